#include "repair/restore.h"

#include <algorithm>

#include "model/error_record.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "repair/repair_log.h"

namespace orvane {
namespace {

constexpr wchar_t kValueNamePrefix[] = L"ValueName=";
constexpr size_t kFileFields = 3;
constexpr size_t kRegistryFields = 6;

bool IsDriveOnly(const std::wstring& path) { return path.size() == 2 && path[1] == L':'; }

// True for "<copies>\<name>" with a plain file name (no folder, no "..").
bool IsCopyOfSet(const std::wstring& copy, const std::wstring& copies) {
  if (copy.size() <= copies.size() + 1 || !EqualsNoCase(copy.substr(0, copies.size()), copies) ||
      copy[copies.size()] != L'\\')
    return false;
  std::wstring name = copy.substr(copies.size() + 1);
  return name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// Creates every missing folder above the file, from the top down.
void CreateParentFolders(Platform& platform, const std::wstring& file) {
  std::wstring prefix;
  for (const std::wstring& component : SplitString(file, L"\\")) {
    prefix = prefix.empty() ? component : prefix + L"\\" + component;
    if (prefix.empty() || IsDriveOnly(prefix)) continue;
    if (!FileExists(platform, prefix)) platform.CreateDirectory(prefix);
  }
}

bool SameBytes(Platform& platform, const std::wstring& a, const std::wstring& b) {
  std::string first, second;
  return platform.ReadFile(a, &first) && platform.ReadFile(b, &second) && first == second;
}

// The value as it stands: false when the key or the value is missing.
bool QueryExisting(Platform& platform, HKEY root, const std::wstring& sub_key,
                   const std::wstring& name, DWORD* type, std::string* data) {
  HKEY key;
  if (platform.OpenKey(root, sub_key, KEY_READ, &key) != ERROR_SUCCESS) return false;
  LONG rc = platform.QueryValue(key, name, type, data, 0xFFFFFFFFu);
  platform.CloseKey(key);
  return rc == ERROR_SUCCESS;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

bool SameValue(const RecordedValue& value, DWORD existing_type, const std::string& existing) {
  if (value.type != existing_type) return false;
  if (value.type == REG_DWORD) return existing.size() >= 4 && existing.compare(0, 4, value.data) == 0;
  // A string stored without its terminating NUL is the same string.
  if (IsText(value.type)) return RegistryDataAsText(existing) == RegistryDataAsText(value.data);
  return existing == value.data;
}

void RestoreValue(Platform& platform, HKEY root, const std::wstring& sub_key, const std::wstring& name,
                  const std::wstring& type_field, const std::wstring& data_field, const std::wstring& shown,
                  RestoreReport* report) {
  RecordedValue value;
  std::wstring why;
  if (!DecodeBackupValue(type_field, data_field, &value, &why)) {
    report->failed.push_back(shown + L": " + why);
    return;
  }
  bool exact = type_field.starts_with(L"hex(");
  DWORD existing_type = 0;
  std::string existing;
  bool exists = QueryExisting(platform, root, sub_key, name, &existing_type, &existing);
  if (exists && SameValue(value, existing_type, existing)) {
    ++report->restored;
    return;
  }
  if (exists && !exact && !IsText(existing_type) && existing_type != REG_DWORD) {
    report->failed.push_back(shown + L": kept the existing value of type " +
                             std::to_wstring(existing_type) + L", which the backup cannot hold");
    return;
  }
  HKEY key;
  LONG rc = platform.OpenKey(root, sub_key, KEY_WRITE, &key);
  if (rc != ERROR_SUCCESS) rc = platform.CreateKey(root, sub_key, &key);
  if (rc == ERROR_SUCCESS) {
    rc = platform.SetValue(key, name, value.type, value.data);
    platform.CloseKey(key);
  }
  if (rc != ERROR_SUCCESS) {
    report->failed.push_back(shown + L": could not be written (error " + std::to_wstring(rc) +
                             L")");
    return;
  }
  ++report->restored;
  if (exists) report->replaced.push_back(shown);
}

void RestoreKey(Platform& platform, HKEY root, const std::wstring& sub_key,
                const std::wstring& shown, RestoreReport* report) {
  if (KeyExists(platform, root, sub_key)) {
    ++report->restored;
    return;
  }
  HKEY key;
  LONG rc = platform.CreateKey(root, sub_key, &key);
  if (rc != ERROR_SUCCESS) {
    report->failed.push_back(shown + L": could not be created (error " + std::to_wstring(rc) +
                             L")");
    return;
  }
  platform.CloseKey(key);
  ++report->restored;
}

// Removes folder and everything in it; links are removed, never entered.
// Returns false when anything stayed.
bool DeleteTree(Platform& platform, const std::wstring& folder) {
  DWORD attributes = platform.GetFileAttributes(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return platform.RemoveDirectory(folder);
  std::vector<FindData> entries;
  FindData entry;
  if (std::unique_ptr<FileSearch> search = platform.FindFirst(folder + L"\\*", &entry)) {
    do {
      if (entry.name != L"." && entry.name != L"..") entries.push_back(entry);
    } while (search->Next(&entry));
  }
  bool ok = true;
  for (const FindData& e : entries) {
    std::wstring path = folder + L"\\" + e.name;
    bool is_folder = e.attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      ok &= is_folder ? platform.RemoveDirectory(path) : platform.DeleteFile(path);
    } else if (is_folder) {
      ok &= DeleteTree(platform, path);
    } else if (!platform.DeleteFile(path)) {
      // A copy of a read-only file is read-only too.
      ok &= platform.SetFileAttributes(path, FILE_ATTRIBUTE_NORMAL) && platform.DeleteFile(path);
    }
  }
  return platform.RemoveDirectory(folder) && ok;
}

// Reads the set's records when the machine may be changed now; otherwise
// says in report why nothing can be restored.
bool ReadSetForRestore(Platform& platform, const std::wstring& data_file,
                       std::vector<std::vector<std::wstring>>* records, RestoreReport* report) {
  if (!ReadBackupRecords(platform, data_file, records)) {
    report->read = false;
    return false;
  }
  if (Status writable = platform.CheckWritable(); !writable) {
    report->failed.push_back(writable.message);
    return false;
  }
  return true;
}

}  // namespace


RestoreReport RestoreFileBackup(Platform& platform, const std::wstring& data_file) {
  RestoreReport report;
  std::vector<std::vector<std::wstring>> records;
  if (!ReadSetForRestore(platform, data_file, &records, &report)) return report;
  const std::wstring copies = data_file.substr(0, data_file.size() - std::min<size_t>(4, data_file.size()));
  for (const std::vector<std::wstring>& fields : records) {
    if (fields.size() < kFileFields) {
      report.complete = false;
      break;
    }
    const std::wstring& path = fields[1];
    const std::wstring& copy = fields[2];
    if (copy.empty()) continue;
    // The set is outside input: copies come only from its own folder, and
    // go only to files inside the machine.
    if (!IsCopyOfSet(copy, copies)) {
      report.failed.push_back(path + L": refused, the record names a copy outside its backup set (" + copy + L")");
      continue;
    }
    if (!IsAbsoluteDrivePath(path) || !platform.InsideMachine(path)) {
      report.failed.push_back(path + L": refused, the path lies outside the machine");
      continue;
    }
    CreateParentFolders(platform, path);
    if (!PathExists(platform, copy)) {
      report.skipped.push_back(path);
      continue;
    }
    bool existed = PathExists(platform, path);
    if (existed && SameBytes(platform, copy, path)) {
      ++report.restored;
      continue;
    }
    if (!platform.CopyFile(copy, path, /*fail_if_exists=*/false)) {
      report.failed.push_back(path + L": could not be copied back from " + copy + L" (error " +
                              std::to_wstring(LastError()) + L")");
      continue;
    }
    ++report.restored;
    if (existed) report.replaced.push_back(path);
  }
  return report;
}

RestoreReport RestoreRegistryBackup(Platform& platform, const std::wstring& data_file) {
  RestoreReport report;
  std::vector<std::vector<std::wstring>> records;
  if (!ReadSetForRestore(platform, data_file, &records, &report)) return report;
  for (const std::vector<std::wstring>& f : records) {
    if (f.size() < kRegistryFields) {
      report.complete = false;
      break;
    }
    int32_t type = ParseDecimal(f[0]);
    if (type != ErrorType::RegistryValue && type != ErrorType::RegistryKey) continue;
    std::wstring name = EraseAll(f[4], kValueNamePrefix);
    std::wstring shown =
        f[1] + L"\\" + f[3] + (type == ErrorType::RegistryValue ? L"\\" + name : L"");
    HKEY root = RootKeyFromName(f[1]);
    // An unknown name would otherwise land in HKEY_LOCAL_MACHINE.
    if (RootKeyName(root) != f[1]) {
      report.failed.push_back(shown + L": unknown root key");
      continue;
    }
    if (type == ErrorType::RegistryValue)
      RestoreValue(platform, root, f[3], name, f[2], f[5], shown, &report);
    else
      RestoreKey(platform, root, f[3], shown, &report);
  }
  Status saved = platform.Flush();
  if (!saved) {
    report.failed.push_back(L"The registry could not be saved: " + saved.message);
    return report;
  }
  // Forget the items set aside by marking, so that scans report them again.
  if (report.complete) {
    std::wstring log = RepairLogPath(platform);
    if (PathExists(platform, log) && !platform.DeleteFile(log))
      report.failed.push_back(log + L": the repair log could not be deleted");
  }
  return report;
}

Status DeleteBackupSet(Platform& platform, const std::wstring& data_file) {
  std::wstring folder = BackupFolder(platform);
  size_t slash = data_file.rfind(L'\\');
  if (slash == std::wstring::npos || !EqualsNoCase(data_file.substr(0, slash), folder) ||
      data_file.size() - slash - 1 <= 4 ||
      !EqualsNoCase(data_file.substr(data_file.size() - 4), L".dat")) {
    return Status::Error(data_file + L" is not a backup set of " + folder + L".");
  }
  std::wstring copies = data_file.substr(0, data_file.size() - 4);
  bool copies_gone = DeleteTree(platform, copies);
  bool data_gone = !PathExists(platform, data_file) || platform.DeleteFile(data_file);
  if (copies_gone && data_gone) return Status::Ok();
  std::wstring left = !copies_gone ? copies : data_file;
  if (!copies_gone && !data_gone) left += L" and " + data_file;
  return Status::Error(L"Not everything of the backup could be deleted: " + left + L" remains.");
}

RestoreReport RestoreBackupSet(Platform& platform, const std::wstring& data_file) {
  std::wstring name = BackupDisplayName(data_file);
  RestoreReport report;
  if (name == L"Junk Cleaner" || name == L"ShortCut Cleaner")
    report = RestoreFileBackup(platform, data_file);
  else if (name != L"Internet Cleaner")
    report = RestoreRegistryBackup(platform, data_file);
  if (!report.ok()) return report;
  Status deleted = DeleteBackupSet(platform, data_file);
  report.set_deleted = deleted.ok;
  if (!deleted) report.failed.push_back(deleted.message);
  return report;
}

}  // namespace orvane
