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
constexpr size_t kFullFileFields = 4;
constexpr size_t kRegistryFields = 6;

bool IsDriveOnly(const std::wstring& path) { return path.size() == 2 && path[1] == L':'; }

bool IsFolder(Platform& platform, const std::wstring& path) {
  DWORD attributes = platform.GetFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// True for "<copies>\<name>" with a plain file name (no folder, no "..").
bool IsCopyOfSet(const std::wstring& copy, const std::wstring& copies) {
  if (copy.size() <= copies.size() + 1 || !EqualsNoCase(copy.substr(0, copies.size()), copies) ||
      copy[copies.size()] != L'\\')
    return false;
  std::wstring name = copy.substr(copies.size() + 1);
  return name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// Creates every missing folder of path, from the top down: the folders
// above it, and path itself when itself is set.
void CreateFolders(Platform& platform, const std::wstring& path, bool itself) {
  std::vector<std::wstring> components = SplitString(path + L"\\", L"\\");
  if (!itself && !components.empty()) components.pop_back();
  std::wstring prefix;
  for (const std::wstring& component : components) {
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
bool QueryExisting(Platform& platform, HKEY root, const std::wstring& sub_key, DWORD view, const std::wstring& name,
                   DWORD* type, std::string* data) {
  HKEY key;
  if (platform.OpenKey(root, sub_key, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
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

void RestoreValue(Platform& platform, HKEY root, const std::wstring& sub_key, DWORD view, const std::wstring& name,
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
  bool exists = QueryExisting(platform, root, sub_key, view, name, &existing_type, &existing);
  if (exists && SameValue(value, existing_type, existing)) {
    ++report->restored;
    return;
  }
  if (exists && !exact && !IsText(existing_type) && existing_type != REG_DWORD) {
    report->failed.push_back(shown + L": kept the existing value of type " + std::to_wstring(existing_type) +
                             L", which the backup cannot hold");
    return;
  }
  HKEY key;
  LONG rc = platform.OpenKey(root, sub_key, KEY_WRITE | view, &key);
  if (rc != ERROR_SUCCESS) rc = platform.CreateKey(root, sub_key, &key, view);
  if (rc == ERROR_SUCCESS) {
    rc = platform.SetValue(key, name, value.type, value.data);
    platform.CloseKey(key);
  }
  if (rc != ERROR_SUCCESS) {
    report->failed.push_back(shown + L": could not be written (error " + std::to_wstring(rc) + L")");
    return;
  }
  ++report->restored;
  if (exists) report->replaced.push_back(shown);
}

void RestoreKey(Platform& platform, HKEY root, const std::wstring& sub_key, DWORD view, const std::wstring& shown,
                RestoreReport* report) {
  HKEY key;
  if (platform.OpenKey(root, sub_key, KEY_READ | view, &key) == ERROR_SUCCESS) {
    platform.CloseKey(key);
    ++report->restored;
    return;
  }
  LONG rc = platform.CreateKey(root, sub_key, &key, view);
  if (rc != ERROR_SUCCESS) {
    report->failed.push_back(shown + L": could not be created (error " + std::to_wstring(rc) + L")");
    return;
  }
  platform.CloseKey(key);
  ++report->restored;
}

// Reads the set's records when the machine may be changed now; otherwise
// says in report why nothing can be restored.
bool ReadSetForRestore(Platform& platform, StateFolder& state, const std::wstring& data_file,
                       std::vector<std::vector<std::wstring>>* records, RestoreReport* report) {
  if (!ReadBackupRecords(platform, state, data_file, records)) {
    report->read = false;
    return false;
  }
  if (Status writable = platform.CheckWritable(); !writable) {
    report->failed.push_back(writable.message);
    return false;
  }
  return true;
}

const wchar_t kDamaged[] =
    L": its backup line holds more fields than a backup line has (a name in it held \"::\"), so it is not "
    L"guessed at";

// One file record's copy back at its place.
void RestoreFile(Platform& platform, StateFolder& state, const BackupSetPlace& place, const std::wstring& path,
                 const std::wstring& copy, RestoreReport* report) {
  // A folder record ends in "\": the entry itself is the folder (or the
  // link that stood for one), never a folder to make below it.
  const bool folder_record = path.size() > 3 && path.back() == L'\\';
  std::wstring entry = path;
  while (entry.size() > 3 && entry.back() == L'\\') entry.pop_back();
  if (copy.empty() && !folder_record) return;  // nothing was kept
  if (!IsAbsoluteDrivePath(entry) || !platform.InsideMachine(entry)) {
    report->failed.push_back(path + L": refused, the path lies outside the machine");
    return;
  }
  if (copy.empty()) {
    // An emptied folder that the repair removed comes back as the folder.
    CreateFolders(platform, entry, /*itself=*/true);
    if (IsFolder(platform, entry))
      ++report->restored;
    else
      report->failed.push_back(path + L": the folder could not be made again");
    return;
  }
  if (place.in_machine) {
    if (!IsCopyOfSet(copy, place.machine_stem)) {
      report->failed.push_back(path + L": refused, the record names a copy outside its backup set (" + copy + L")");
      return;
    }
    CreateFolders(platform, entry, /*itself=*/false);
    if (!PathExists(platform, copy)) {
      report->skipped.push_back(path);
      return;
    }
    bool existed = PathExists(platform, entry);
    if (existed && SameBytes(platform, copy, entry)) {
      ++report->restored;
      return;
    }
    if (!platform.CopyFile(copy, entry, /*fail_if_exists=*/false)) {
      report->failed.push_back(path + L": could not be copied back from " + copy + L" (error " +
                               std::to_wstring(LastError()) + L")");
      return;
    }
    ++report->restored;
    if (existed) report->replaced.push_back(path);
    return;
  }
  if (!IsBackupCopyName(copy)) {
    report->failed.push_back(path + L": refused, the record names a copy outside its backup set (" + copy + L")");
    return;
  }
  const std::string kept = place.stem + "/" + WideToUtf8(copy);
  StateEntry found;
  CreateFolders(platform, entry, /*itself=*/false);
  if (!state.Stat(kept, &found)) {
    report->skipped.push_back(path);
    return;
  }
  StateCopyOutcome outcome = StateCopyOutcome::kWritten;
  if (Status back = platform.CopyFromState(state, kept, entry, &outcome); !back) {
    report->failed.push_back(path + L": could not be brought back. " + back.message);
    return;
  }
  ++report->restored;
  if (outcome == StateCopyOutcome::kReplaced) report->replaced.push_back(path);
}

}  // namespace

RestoreReport RestoreFileBackup(Platform& platform, StateFolder& state, const std::wstring& data_file) {
  RestoreReport report;
  BackupSetPlace place;
  std::vector<std::vector<std::wstring>> records;
  if (!LocateBackupSet(platform, state, data_file, &place)) {
    report.read = false;
    return report;
  }
  if (!ReadSetForRestore(platform, state, data_file, &records, &report)) return report;
  for (const std::vector<std::wstring>& fields : records) {
    if (fields.size() < kFileFields) {
      report.complete = false;
      break;
    }
    const std::wstring path = DecodeBackupText(fields[1]);
    if (fields.size() > kFullFileFields) {
      report.failed.push_back(path + kDamaged);
      continue;
    }
    // Recycle-bin records keep nothing.
    if (ParseDecimal(fields[0]) != ErrorType::File) continue;
    RestoreFile(platform, state, place, path, DecodeBackupText(fields[2]), &report);
  }
  return report;
}

RestoreReport RestoreRegistryBackup(Platform& platform, StateFolder& state, const std::wstring& data_file) {
  RestoreReport report;
  std::vector<std::vector<std::wstring>> records;
  if (!ReadSetForRestore(platform, state, data_file, &records, &report)) return report;
  for (const std::vector<std::wstring>& f : records) {
    if (f.size() < kRegistryFields) {
      report.complete = false;
      break;
    }
    int32_t type = ParseDecimal(f[0]);
    const std::wstring root_name = DecodeBackupText(f[1]);
    const std::wstring sub_key = DecodeBackupText(f[3]);
    // The prefix is taken off once: the name itself may hold "ValueName="
    // (older sets wrote it as it was).
    std::wstring name = f[4].starts_with(kValueNamePrefix) ? f[4].substr(std::size(kValueNamePrefix) - 1) : f[4];
    name = DecodeBackupText(name);
    std::wstring shown = root_name + L"\\" + sub_key + (type == ErrorType::RegistryValue ? L"\\" + name : L"");
    const bool view32 = f.size() == kRegistryFields + 1 && f[kRegistryFields] == kBackupView32Field;
    if (f.size() > kRegistryFields && !view32) {
      report.failed.push_back(shown + kDamaged);
      continue;
    }
    const DWORD view = view32 ? KEY_WOW64_32KEY : 0;
    if (view32) shown += L" (32-bit)";
    if (type != ErrorType::RegistryValue && type != ErrorType::RegistryKey) continue;
    HKEY root = RootKeyFromName(root_name);
    // An unknown name would otherwise land in HKEY_LOCAL_MACHINE.
    if (RootKeyName(root) != root_name) {
      report.failed.push_back(shown + L": unknown root key");
      continue;
    }
    if (type == ErrorType::RegistryValue)
      RestoreValue(platform, root, sub_key, view, name, f[2], f[5], shown, &report);
    else
      RestoreKey(platform, root, sub_key, view, shown, &report);
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

Status DeleteBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file,
                       std::vector<std::wstring>* left_alone) {
  BackupSetPlace place;
  if (!LocateBackupSet(platform, state, data_file, &place))
    return Status::Error(data_file + L" is not a backup set.");
  std::vector<std::wstring> stayed, foreign;
  if (!place.in_machine) {
    const std::wstring folder = state.Location() + L"/" + Utf8ToWide(place.stem);
    StateEntry entry;
    std::vector<StateEntry> entries;
    state.List(place.stem, &entries);
    for (const StateEntry& e : entries) {
      const std::wstring name = Utf8ToWide(e.name);
      bool own = IsBackupCopyName(name) &&
                 (e.kind == StateEntry::Kind::kFile || e.kind == StateEntry::Kind::kLink);
      if (!own)
        foreign.push_back(folder + L"/" + name);
      else if (!state.Remove(place.stem + "/" + e.name))
        stayed.push_back(folder + L"/" + name);
    }
    if (state.Stat(place.stem, &entry) && foreign.empty() && stayed.empty() && !state.Remove(place.stem))
      stayed.push_back(folder);
    if (stayed.empty() && state.Stat(place.stem + ".dat", &entry) && !state.Remove(place.stem + ".dat"))
      stayed.push_back(data_file);
  } else {
    const std::wstring& folder = place.machine_stem;
    DWORD attributes = platform.GetFileAttributes(folder);
    std::vector<FindData> entries;
    FindData found;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // A set never makes its folder a link: what it leads to is not ours.
      foreign.push_back(folder);
    } else if (std::unique_ptr<FileSearch> search = platform.FindFirst(folder + L"\\*", &found)) {
      do {
        if (found.name != L"." && found.name != L"..") entries.push_back(found);
      } while (search->Next(&found));
    }
    for (const FindData& e : entries) {
      const std::wstring path = folder + L"\\" + e.name;
      const bool link = e.attributes & FILE_ATTRIBUTE_REPARSE_POINT;
      if (!IsBackupCopyName(e.name) || ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) && !link)) {
        foreign.push_back(path);
        continue;
      }
      bool gone = (e.attributes & FILE_ATTRIBUTE_DIRECTORY) ? platform.RemoveDirectory(path)
                                                             : platform.DeleteFile(path);
      // A copy of a read-only file is read-only too.
      if (!gone && !link) gone = platform.SetFileAttributes(path, FILE_ATTRIBUTE_NORMAL) && platform.DeleteFile(path);
      if (!gone) stayed.push_back(path);
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && foreign.empty() && stayed.empty() &&
        !platform.RemoveDirectory(folder)) {
      // Still holding entries no Windows search shows (host names that are
      // no Windows names): none of them is the set's, so they stay with it.
      if (LastError() == ERROR_DIR_NOT_EMPTY)
        foreign.push_back(folder);
      else
        stayed.push_back(folder);
    }
    if (stayed.empty() && PathExists(platform, data_file) && !platform.DeleteFile(data_file))
      stayed.push_back(data_file);
  }
  if (left_alone) *left_alone = foreign;
  if (stayed.empty()) return Status::Ok();
  std::wstring names;
  for (const std::wstring& s : stayed) names += (names.empty() ? L"" : L", ") + s;
  return Status::Error(L"Not everything of the backup could be deleted: " + names + L" remains.");
}

RestoreReport RestoreBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file) {
  std::wstring name = BackupDisplayName(data_file);
  RestoreReport report;
  if (name == L"Junk Cleaner" || name == L"ShortCut Cleaner")
    report = RestoreFileBackup(platform, state, data_file);
  else if (name != L"Internet Cleaner")
    report = RestoreRegistryBackup(platform, state, data_file);
  else if (BackupSetPlace place; !LocateBackupSet(platform, state, data_file, &place))
    report.read = false;
  if (!report.ok()) return report;
  Status deleted = DeleteBackupSet(platform, state, data_file);
  report.set_deleted = deleted.ok;
  if (!deleted) report.failed.push_back(deleted.message);
  return report;
}

}  // namespace orvane
