#include "repair/backup_set.h"

#include <algorithm>
#include <tuple>

#include "model/program_paths.h"
#include "model/sections.h"
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

// A string value the text form keeps unchanged: well-formed UTF-16 ending
// in its one NUL, and nothing that would split or end the line.
bool TextFormKeeps(const RecordedValue& value, std::wstring* text) {
  if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return false;
  const std::string& d = value.data;
  if (d.size() < 2 || d.size() % 2 != 0 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0) return false;
  bool complete = false;
  *text = Utf16leToWide(std::string_view(d).substr(0, d.size() - 2), &complete);
  if (!complete || text->find(L'\0') != std::wstring::npos) return false;
  return text->find(L"::") == std::wstring::npos && text->find(L";;") == std::wstring::npos &&
         text->find_first_of(L"\r\n") == std::wstring::npos && (text->empty() || text->back() != L':');
}

// "hex(<type>)" and the bytes, or the text forms older sets also hold.
std::pair<std::wstring, std::wstring> ValueFields(const RecordedValue& value) {
  std::wstring text;
  if (TextFormKeeps(value, &text)) return {ValueTypeName(value.type), text};
  if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.data[i]);
    return {L"REG_DWORD", std::to_wstring(n)};
  }
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring bytes;
  for (unsigned char c : value.data) {
    if (!bytes.empty()) bytes.push_back(L',');
    bytes.push_back(kDigits[c >> 4]);
    bytes.push_back(kDigits[c & 15]);
  }
  std::wstring type;
  for (DWORD t = value.type; type.empty() || t != 0; t >>= 4) type.insert(type.begin(), kDigits[t & 15]);
  return {L"hex(" + type + L")", bytes};
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
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

std::wstring BackupCategoryOf(int32_t id) {
  if (IsJunkSection(id)) return L"Junk";
  if (IsBrowserSection(id)) return L"Internet";
  if (id == section::kShortcuts) return L"Shortcut";
  return L"Registry";
}

bool NeedsBackupCopy(const CError& record) {
  return record.errorType == ErrorType::File && (record.section == section::kShortcuts || IsJunkSection(record.section));
}


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
    // Each name is claimed by creating it where nothing is: whoever loses
    // a race moves on to the next suffix and never touches the winner's.
    if (!platform.CreateDirectory(copies)) {
      if (PathExists(platform, copies)) continue;
      return Status::Error(L"The backup folder " + copies + L" could not be created.");
    }
    if (!platform.CreateNewFile(data)) {
      DWORD error = LastError();
      platform.RemoveDirectory(copies);  // ours, and still empty
      if (error == ERROR_FILE_EXISTS || PathExists(platform, data)) continue;
      return Status::Error(L"The backup file " + data + L" could not be created.");
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

std::wstring FormatBackupRecord(const CError& record, const std::wstring& copy_path,
                                const std::optional<RecordedValue>& value) {
  const std::wstring sep = kFieldSeparator;
  std::wstring type = std::to_wstring(record.errorType);
  switch (record.errorType) {
    case ErrorType::RegistryValue:
    case ErrorType::RegistryKey: {
      auto [type_name, data] = value && record.errorType == ErrorType::RegistryValue
                                   ? ValueFields(*value)
                                   : std::pair{ValueTypeName(record.item.valueType), record.item.valueData};
      return type + sep + record.item.rootName + sep + type_name + sep + record.item.subKey + sep +
             kValueNamePrefix + record.item.valueName + sep + data + sep + kRecordEnd;
    }
    case ErrorType::File:
    case ErrorType::RecycleBin:
      return type + sep + record.filePath + sep + copy_path + sep + record.reason + sep +
             kRecordEnd;
    default:
      return L"";
  }
}

bool AppendBackupRecord(Platform& platform, const std::wstring& data_file, const CError& record,
                        const std::wstring& copy_path, const std::optional<RecordedValue>& value) {
  std::wstring line = FormatBackupRecord(record, copy_path, value);
  if (line.empty()) return true;
  return platform.AppendToFile(data_file, WideToUtf16le(line));
}

bool DecodeBackupValue(const std::wstring& type_field, const std::wstring& data_field, RecordedValue* value,
                       std::wstring* why) {
  if (type_field.starts_with(L"hex(") && type_field.ends_with(L")")) {
    std::wstring digits = type_field.substr(4, type_field.size() - 5);
    uint64_t type = 0;
    if (digits.empty() || digits.size() > 8) {
      *why = L"the recorded type \"" + type_field + L"\" is not a registry type";
      return false;
    }
    for (wchar_t c : digits) {
      int d = HexDigit(c);
      if (d < 0) {
        *why = L"the recorded type \"" + type_field + L"\" is not a registry type";
        return false;
      }
      type = type * 16 + static_cast<uint64_t>(d);
    }
    std::string bytes;
    for (size_t i = 0; i < data_field.size(); i += 3) {
      int high = HexDigit(data_field[i]);
      int low = i + 1 < data_field.size() ? HexDigit(data_field[i + 1]) : -1;
      if (high < 0 || low < 0 || (i + 2 < data_field.size() && data_field[i + 2] != L',')) {
        *why = L"the recorded data is not a list of hex bytes";
        return false;
      }
      bytes.push_back(static_cast<char>(high * 16 + low));
    }
    *value = {static_cast<DWORD>(type), std::move(bytes)};
    return true;
  }
  DWORD type = ValueTypeFromName(type_field);
  if (type == REG_DWORD) {
    std::optional<DWORD> number = ParseDwordText(data_field);
    if (!number) {
      *why = L"the recorded data \"" + data_field + L"\" is not a DWORD number";
      return false;
    }
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((*number >> (8 * i)) & 0xFF);
    *value = {REG_DWORD, std::move(bytes)};
    return true;
  }
  std::string bytes = WideToUtf16le(data_field);
  bytes.append(2, '\0');
  *value = {type, std::move(bytes)};
  return true;
}

std::optional<DWORD> ParseDwordText(const std::wstring& text) {
  size_t begin = text.find_first_not_of(L" \t");
  size_t end = text.find_last_not_of(L" \t");
  if (begin == std::wstring::npos) return std::nullopt;
  std::wstring number = text.substr(begin, end - begin + 1);
  bool negative = number[0] == L'-';
  if (number[0] == L'-' || number[0] == L'+') number.erase(0, 1);
  if (number.empty() || number.size() > 10) return std::nullopt;
  uint64_t value = 0;
  for (wchar_t c : number) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<DWORD>(0x100000000ull - value);
  }
  if (value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<DWORD>(value);
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
