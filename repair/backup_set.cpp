#include "repair/backup_set.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kDataSuffix[] = L".dat";
constexpr wchar_t kValueNamePrefix[] = L"ValueName=";
// Far more runs than fit in one minute; a bound only so a folder we cannot
// read properly never loops for long.
constexpr int kMaxSuffix = 9999;

bool IsFolder(Platform& platform, const std::wstring& path) {
  DWORD attributes = platform.GetFileAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EndsWithNoCase(const std::wstring& text, std::wstring_view end) {
  return text.size() >= end.size() &&
         EqualsNoCase(std::wstring_view(text).substr(text.size() - end.size()), end);
}

// Appends through the host's own file calls: rewriting the whole file for
// every record would make a long repair quadratic.
bool AppendNative(const std::string& host_path, const std::string& bytes) {
  std::filesystem::path path(std::u8string(host_path.begin(), host_path.end()));
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  return static_cast<bool>(out);
}

// Sort key of a data file name "<stamp>_<word>[_<n>].dat": sets of one minute
// stay in the order they were made.
std::tuple<std::wstring, long, std::wstring> ListingKey(const std::wstring& path) {
  std::wstring name = ToUpper(FileNameOfPath(path));
  name.resize(name.size() - std::size(kDataSuffix) + 1);
  size_t stamp_end = name.find(L'_', name.find(L'_') + 1);
  if (stamp_end == std::wstring::npos) return {name, 0, name};
  long suffix = 1;
  size_t last = name.rfind(L'_');
  if (last > stamp_end && last + 1 < name.size() &&
      std::all_of(name.begin() + last + 1, name.end(),
                  [](wchar_t c) { return c >= L'0' && c <= L'9'; }) &&
      name.size() - last - 1 <= 6) {
    suffix = std::stol(name.substr(last + 1));
  }
  return {name.substr(0, stamp_end), suffix, name};
}

}  // namespace

std::wstring BackupCategoryOf(int32_t section) {
  if (section >= 13 && section <= 16) return L"Junk";
  if (section >= 17 && section <= 21) return L"Internet";
  if (section == 11) return L"Shortcut";
  return L"Registry";
}

bool NeedsBackupCopy(const CError& record) {
  return record.errorType == ErrorType::File &&
         (record.section == 11 || (record.section >= 13 && record.section <= 16));
}

std::wstring BackupFolder(Platform& platform) { return ProgramFolder(platform) + L"\\backup"; }

std::wstring BackupStamp(const LocalDateTime& now) {
  return PaddedNumber(now.year, 4) + PaddedNumber(now.month, 2) + PaddedNumber(now.day, 2) + L"_" +
         PaddedNumber(now.hour, 2) + PaddedNumber(now.minute, 2);
}

Status CreateBackupSet(Platform& platform, const std::wstring& word, const LocalDateTime& now,
                       BackupSet* set) {
  std::wstring folder = BackupFolder(platform);
  if (!PathExists(platform, folder)) platform.CreateDirectory(folder);
  if (!IsFolder(platform, folder))
    return Status::Error(L"The backup folder " + folder + L" could not be created.");

  std::wstring base = folder + L"\\" + BackupStamp(now) + L"_" + word;
  for (int n = 1; n <= kMaxSuffix; ++n) {
    std::wstring copies = n == 1 ? base : base + L"_" + std::to_wstring(n);
    std::wstring data = copies + kDataSuffix;
    if (PathExists(platform, data) || PathExists(platform, copies)) continue;
    if (!platform.WriteFileAtomic(data, ""))
      return Status::Error(L"The backup file " + data + L" could not be created.");
    if (!platform.CreateDirectory(copies)) {
      platform.DeleteFile(data);
      return Status::Error(L"The backup folder " + copies + L" could not be created.");
    }
    *set = {data, copies};
    return Status::Ok();
  }
  return Status::Error(L"Too many backups were made in one minute; no name is free for another.");
}

std::wstring CopyToBackup(Platform& platform, const std::wstring& file,
                          const std::wstring& copies_folder, int number, bool* copied) {
  std::wstring copy = copies_folder + L"\\OrvaneBK" + std::to_wstring(number) + L".bpc";
  bool ok = platform.CopyFile(file, copy, /*fail_if_exists=*/true);
  if (copied) *copied = ok;
  return copy;
}

std::wstring FormatBackupRecord(const CError& record, const std::wstring& copy_path) {
  const std::wstring sep = kFieldSeparator;
  std::wstring type = std::to_wstring(record.errorType);
  switch (record.errorType) {
    case ErrorType::RegistryValue:
    case ErrorType::RegistryKey:
      return type + sep + record.item.rootName + sep + ValueTypeName(record.item.valueType) + sep +
             record.item.subKey + sep + kValueNamePrefix + record.item.valueName + sep +
             record.item.valueData + sep + kRecordEnd;
    case ErrorType::File:
    case ErrorType::RecycleBin:
      return type + sep + record.filePath + sep + copy_path + sep + record.reason + sep +
             kRecordEnd;
    default:
      return L"";
  }
}

bool AppendBackupRecord(Platform& platform, const std::wstring& data_file, const CError& record,
                        const std::wstring& copy_path) {
  std::wstring line = FormatBackupRecord(record, copy_path);
  if (line.empty()) return true;
  std::string bytes = WideToUtf16le(line);
  if (!platform.CheckWritable()) return false;
  std::string host = platform.NativePath(data_file);
  if (!host.empty()) return AppendNative(host, bytes);
  // A platform without host paths: read, extend, and replace atomically.
  std::string existing;
  if (!platform.ReadFile(data_file, &existing)) return false;
  return platform.WriteFileAtomic(data_file, existing + bytes);
}

std::vector<std::vector<std::wstring>> ParseBackupRecords(std::string_view bytes) {
  std::vector<std::vector<std::wstring>> records;
  for (const std::wstring& piece : SplitString(Utf16leToWide(bytes), kRecordEnd))
    records.push_back(SplitString(piece, kFieldSeparator));
  return records;
}

bool ReadBackupRecords(Platform& platform, const std::wstring& data_file,
                       std::vector<std::vector<std::wstring>>* records) {
  records->clear();
  std::string bytes;
  if (!platform.ReadFile(data_file, &bytes)) return false;
  *records = ParseBackupRecords(bytes);
  return true;
}

std::vector<std::wstring> ListBackupFiles(Platform& platform) {
  std::wstring folder = BackupFolder(platform);
  std::vector<std::wstring> files;
  FindData entry;
  std::unique_ptr<FileSearch> search = platform.FindFirst(folder + L"\\*.dat", &entry);
  if (!search) return files;
  do {
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!EndsWithNoCase(entry.name, kDataSuffix)) continue;
    files.push_back(folder + L"\\" + entry.name);
  } while (search->Next(&entry));
  std::sort(files.begin(), files.end(), [](const std::wstring& a, const std::wstring& b) {
    return ListingKey(a) < ListingKey(b);
  });
  return files;
}

std::wstring BackupDisplayName(const std::wstring& data_file) {
  std::wstring name = ToUpper(FileNameOfPath(data_file));
  if (name.find(L"JUNK") != std::wstring::npos) return L"Junk Cleaner";
  if (name.find(L"INTERNET") != std::wstring::npos) return L"Internet Cleaner";
  if (name.find(L"SHORTCUT") != std::wstring::npos) return L"ShortCut Cleaner";
  return L"Registry Cleaner";
}

}  // namespace orvane
