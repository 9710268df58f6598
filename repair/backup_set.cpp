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
// Texts a line cannot carry as they are: written with escapes; older sets
// hold them as hex bytes, which still read.
constexpr wchar_t kEscapedMarker[] = L"esc:";
constexpr wchar_t kTextMarker[] = L"hex:";
constexpr wchar_t kCopyPrefix[] = L"OrvaneBK";
constexpr wchar_t kCopySuffix[] = L".bpc";
// Far more runs than fit in one minute; a bound only so a folder we cannot
// read properly never loops for long.
constexpr int kMaxSuffix = 9999;
// Far beyond any repair's data file; a bound on what is read whole.
constexpr uint64_t kMaxDataFile = 256ull << 20;
constexpr wchar_t kDigits[] = L"0123456789abcdef";

bool EndsWithNoCase(const std::wstring& text, std::wstring_view end) {
  return text.size() >= end.size() && EqualsNoCase(std::wstring_view(text).substr(text.size() - end.size()), end);
}

// Bytes as two-digit hex numbers joined by ",".
std::wstring HexBytes(std::string_view data) {
  if (data.empty()) return {};
  std::wstring bytes(data.size() * 3 - 1, L',');
  wchar_t* out = bytes.data();
  for (unsigned char c : data) {
    out[0] = kDigits[c >> 4];
    out[1] = kDigits[c & 15];
    out += 3;
  }
  return bytes;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// The bytes of a HexBytes text; nullopt when it is not one.
std::optional<std::string> ParseHexBytes(std::wstring_view text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); i += 3) {
    int high = HexDigit(text[i]);
    int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
    if (high < 0 || low < 0 || (i + 2 < text.size() && text[i + 2] != L',') || i + 2 == text.size() - 1)
      return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

// True when a text would not come back the same from a line as it stands:
// it would split the field or the record, lose its end, lose text to the
// "ValueName=" prefix, or read as the encoded form.
bool NeedsEncoding(std::wstring_view text) {
  if (text.empty()) return false;
  if (text.front() == L':' || text.back() == L':' || text.starts_with(kTextMarker) || text.starts_with(kEscapedMarker))
    return true;
  // One pass: a backup set's lines are made for every record of a repair.
  wchar_t previous = 0;
  for (wchar_t unit : text) {
    if (unit == L'=' || unit == L'\r' || unit == L'\n' || unit == L'\0' || (unit == L':' && previous == L':'))
      return true;
    previous = unit;
  }
  return false;
}

// A unit the escaped form writes as "%" and four hex digits: what could
// split a field or end a line, the escape itself, and surrogates (so a lone
// one cannot make the line's UTF-16 unreadable).
bool Escaped(wchar_t unit) {
  const auto u = static_cast<uint32_t>(unit);
  return u < 0x20 || unit == L'%' || unit == L':' || unit == L'=' || unit == L';' || (u >= 0xD800 && u <= 0xDFFF);
}

std::optional<std::wstring> Unescape(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 4 >= text.size()) return std::nullopt;
    uint32_t unit = 0;
    for (size_t k = 1; k <= 4; ++k) {
      int d = HexDigit(text[i + k]);
      if (d < 0) return std::nullopt;
      unit = unit * 16 + static_cast<uint32_t>(d);
    }
    out.push_back(static_cast<wchar_t>(unit));
    i += 4;
  }
  return out;
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
         text->find_first_of(L"\r\n") == std::wstring::npos && (text->empty() || text->back() != L':') &&
         !text->starts_with(L':');
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
  std::wstring type;
  for (DWORD t = value.type; type.empty() || t != 0; t >>= 4) type.insert(type.begin(), kDigits[t & 15]);
  return {L"hex(" + type + L")", HexBytes(value.data)};
}

// The type and data fields of a record written from its own text.
std::pair<std::wstring, std::wstring> TextValueFields(const CRegistryItem& item) {
  if (!NeedsEncoding(item.valueData) && item.valueData.find(L";;") == std::wstring::npos)
    return {ValueTypeName(item.valueType), item.valueData};
  DWORD type = item.valueType == REG_EXPAND_SZ ? REG_EXPAND_SZ : REG_SZ;
  std::string bytes = WideToUtf16le(item.valueData);
  bytes.append(2, '\0');
  return {L"hex(" + std::to_wstring(type) + L")", HexBytes(bytes)};
}

// Sort key of a data file name "<stamp>_<word>[_<n>].dat": sets of one minute
// stay in the order they were made.
std::tuple<std::wstring, long, std::wstring> ListingKey(const std::wstring& path) {
  std::wstring name = ToUpper(path.substr(path.find_last_of(L"\\/") + 1));
  name.resize(name.size() - std::size(kDataSuffix) + 1);
  size_t stamp_end = name.find(L'_', name.find(L'_') + 1);
  if (stamp_end == std::wstring::npos) return {name, 0, name};
  long suffix = 1;
  size_t last = name.rfind(L'_');
  if (last > stamp_end && last + 1 < name.size() &&
      std::all_of(name.begin() + last + 1, name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }) &&
      name.size() - last - 1 <= 6) {
    suffix = std::stol(name.substr(last + 1));
  }
  return {name.substr(0, stamp_end), suffix, name};
}

// A set's own name: one plain component.
bool IsSetName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(std::wstring_view(L"\\/:\0", 4)) == std::wstring::npos;
}

std::wstring StateBackupFolderPath(StateFolder& state) {
  std::wstring location = state.Location();
  return location.empty() ? location : location + L"/" + Utf8ToWide(kStateBackupFolder);
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

Status CreateBackupSet(StateFolder& state, const std::wstring& word, const LocalDateTime& now, BackupSet* set) {
  if (Status made = state.CreateFolder(kStateBackupFolder); !made)
    return Status::Error(L"The backup folder could not be made. " + made.message);
  const std::string base = std::string(kStateBackupFolder) + "/" + WideToUtf8(BackupStamp(now) + L"_" + word);
  StateEntry entry;
  for (int n = 1; n <= kMaxSuffix; ++n) {
    std::string stem = n == 1 ? base : base + "_" + std::to_string(n);
    std::string data = stem + ".dat";
    if (state.Stat(data, &entry) || state.Stat(stem, &entry)) continue;
    // Each name is claimed by creating its data file where nothing is:
    // whoever loses a race moves on to the next suffix and never touches
    // the winner's.
    if (Status claimed = state.CreateNewFile(data); !claimed) {
      if (state.Stat(data, &entry)) continue;
      return Status::Error(L"The backup file could not be made. " + claimed.message);
    }
    if (Status folder = state.CreateFolder(stem); !folder || !state.Stat(stem, &entry) ||
                                                 entry.kind != StateEntry::Kind::kFolder) {
      state.Remove(data);  // ours, and still empty
      return Status::Error(L"The backup folder could not be made. " + folder.message);
    }
    const std::wstring location = state.Location() + L"/";
    *set = {location + Utf8ToWide(data), location + Utf8ToWide(stem), stem};
    return Status::Ok();
  }
  return Status::Error(L"Too many backups were made in one minute; no name is free for another.");
}

std::wstring BackupCopyName(int number) { return kCopyPrefix + std::to_wstring(number) + kCopySuffix; }

bool IsBackupCopyName(std::wstring_view name) {
  const std::wstring_view prefix = kCopyPrefix, suffix = kCopySuffix;
  if (name.size() <= prefix.size() + suffix.size() || !EqualsNoCase(name.substr(0, prefix.size()), prefix) ||
      !EqualsNoCase(name.substr(name.size() - suffix.size()), suffix))
    return false;
  std::wstring_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  return digits.size() <= 10 && std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

Status MoveToBackup(Platform& platform, StateFolder& state, const BackupSet& set, const std::wstring& path,
                    int number) {
  if (set.stem.empty()) return Status::Error(L"Older backup sets are never written to.");
  return platform.MoveIntoState(path, state, set.stem + "/" + WideToUtf8(BackupCopyName(number)));
}

namespace {

void AppendEncoded(std::wstring* out, const std::wstring& text) {
  if (!NeedsEncoding(text)) {
    *out += text;
    return;
  }
  // Escapes, not hex: a history of 200,000 URLs, each holding "=", made a
  // set six times the size of the texts.
  *out += kEscapedMarker;
  // Runs of plain units go in whole; a URL holds few units to escape.
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!Escaped(text[i])) continue;
    out->append(text, plain, i - plain);
    const auto u = static_cast<uint32_t>(text[i]);
    *out += {L'%', kDigits[u >> 12], kDigits[(u >> 8) & 15], kDigits[(u >> 4) & 15], kDigits[u & 15]};
    plain = i + 1;
  }
  out->append(text, plain, std::wstring::npos);
}

}  // namespace

std::wstring EncodeBackupText(const std::wstring& text) {
  std::wstring field;
  AppendEncoded(&field, text);
  return field;
}

std::wstring DecodeBackupText(const std::wstring& field) {
  if (field.starts_with(kEscapedMarker)) {
    std::optional<std::wstring> text = Unescape(std::wstring_view(field).substr(std::size(kEscapedMarker) - 1));
    return text ? *text : field;
  }
  if (!field.starts_with(kTextMarker)) return field;
  std::optional<std::string> bytes = ParseHexBytes(std::wstring_view(field).substr(std::size(kTextMarker) - 1));
  if (!bytes || bytes->size() % 2 != 0) return field;
  bool complete = false;
  std::wstring text = Utf16leToWide(*bytes, &complete);
  return complete ? text : field;
}

std::wstring FormatBackupRecord(const CError& record, const std::wstring& copy,
                                const std::optional<RecordedValue>& value) {
  std::wstring line;
  AppendBackupRecordLine(&line, record, copy, value);
  return line;
}

void AppendBackupRecordLine(std::wstring* lines, const CError& record, const std::wstring& copy,
                            const std::optional<RecordedValue>& value) {
  std::wstring& out = *lines;
  switch (record.errorType) {
    case ErrorType::RegistryValue:
    case ErrorType::RegistryKey: {
      auto [type_name, data] =
          value && record.errorType == ErrorType::RegistryValue ? ValueFields(*value) : TextValueFields(record.item);
      out += std::to_wstring(record.errorType);
      out += kFieldSeparator;
      AppendEncoded(&out, record.item.rootName);
      out += kFieldSeparator;
      out += type_name;
      out += kFieldSeparator;
      AppendEncoded(&out, record.item.subKey);
      out += kFieldSeparator;
      out += kValueNamePrefix;
      AppendEncoded(&out, record.item.valueName);
      out += kFieldSeparator;
      out += data;
      out += kFieldSeparator;
      if (record.item.view == KEY_WOW64_32KEY) {
        out += kBackupView32Field;
        out += kFieldSeparator;
      }
      out += kRecordEnd;
      return;
    }
    case ErrorType::File:
    case ErrorType::RecycleBin:
      out += std::to_wstring(record.errorType);
      out += kFieldSeparator;
      AppendEncoded(&out, record.filePath);
      out += kFieldSeparator;
      AppendEncoded(&out, copy);
      out += kFieldSeparator;
      AppendEncoded(&out, record.reason);
      out += kFieldSeparator;
      out += kRecordEnd;
      return;
    default:
      return;
  }
}

Status AppendBackupLines(StateFolder& state, const BackupSet& set, const std::wstring& lines) {
  if (lines.empty()) return Status::Ok();
  if (set.stem.empty()) return Status::Error(L"Older backup sets are never written to.");
  return state.Append(set.stem + ".dat", WideToUtf16le(lines));
}

Status AppendBackupRecord(StateFolder& state, const BackupSet& set, const CError& record, const std::wstring& copy,
                          const std::optional<RecordedValue>& value) {
  return AppendBackupLines(state, set, FormatBackupRecord(record, copy, value));
}

bool DecodeBackupValue(const std::wstring& type_field, const std::wstring& data_field, RecordedValue* value,
                       std::wstring* why) {
  if (type_field.starts_with(L"hex(") && type_field.ends_with(L")")) {
    std::wstring digits = type_field.substr(4, type_field.size() - 5);
    uint64_t type = 0;
    bool number = !digits.empty() && digits.size() <= 8;
    for (wchar_t c : digits) {
      int d = HexDigit(c);
      number = number && d >= 0;
      type = type * 16 + static_cast<uint64_t>(std::max(d, 0));
    }
    if (!number) {
      *why = L"the recorded type \"" + type_field + L"\" is not a registry type";
      return false;
    }
    std::optional<std::string> bytes = ParseHexBytes(data_field);
    if (!bytes) {
      *why = L"the recorded data is not a list of hex bytes";
      return false;
    }
    *value = {static_cast<DWORD>(type), std::move(*bytes)};
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

size_t CountBackupRecords(std::string_view bytes) {
  // The units as Utf16leToWide reads them, up to a broken sequence, and the
  // record ends among them (";;\r\n" cannot overlap itself, so counting
  // left to right finds what a split finds).
  size_t count = 0;
  int matched = 0;  // units of ";;\r\n" just seen
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    const unsigned u = static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= units) break;
      const unsigned next =
          static_cast<unsigned char>(bytes[2 * i + 2]) | (static_cast<unsigned char>(bytes[2 * i + 3]) << 8);
      if (next < 0xDC00 || next > 0xDFFF) break;
      ++i;
      matched = 0;
      continue;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) break;
    if (u == L';') {
      matched = matched == 1 || matched == 2 ? 2 : 1;
    } else if (u == L'\r' && matched == 2) {
      matched = 3;
    } else if (u == L'\n' && matched == 3) {
      ++count;
      matched = 0;
    } else {
      matched = 0;
    }
  }
  return count;
}

bool LocateBackupSet(Platform& platform, StateFolder& state, const std::wstring& data_file, BackupSetPlace* place) {
  const std::wstring state_folder = StateBackupFolderPath(state);
  if (!state_folder.empty() && data_file.size() > state_folder.size() + 1 && data_file.starts_with(state_folder) &&
      data_file[state_folder.size()] == L'/' && data_file.ends_with(kDataSuffix)) {
    std::wstring name = data_file.substr(state_folder.size() + 1);
    name.resize(name.size() - std::size(kDataSuffix) + 1);
    std::string stem = std::string(kStateBackupFolder) + "/" + WideToUtf8(name);
    if (!IsSetName(name) || !IsStateName(stem)) return false;
    *place = {false, name, stem, L""};
    return true;
  }
  const std::wstring folder = BackupFolder(platform);
  if (data_file.size() <= folder.size() + 1 || !EqualsNoCase(data_file.substr(0, folder.size()), folder) ||
      data_file[folder.size()] != L'\\' || !EndsWithNoCase(data_file, kDataSuffix))
    return false;
  std::wstring name = data_file.substr(folder.size() + 1);
  name.resize(name.size() - std::size(kDataSuffix) + 1);
  if (!IsSetName(name)) return false;
  *place = {true, name, "", folder + L"\\" + name};
  return true;
}

namespace {

// The bytes of a set's data file, wherever the set lies.
bool ReadSetBytes(Platform& platform, StateFolder& state, const std::wstring& data_file, std::string* bytes) {
  BackupSetPlace place;
  if (!LocateBackupSet(platform, state, data_file, &place)) return false;
  return place.in_machine ? platform.ReadFile(data_file, bytes) : state.Read(place.stem + ".dat", bytes, kMaxDataFile);
}

}  // namespace

bool ReadBackupRecords(Platform& platform, StateFolder& state, const std::wstring& data_file,
                       std::vector<std::vector<std::wstring>>* records) {
  records->clear();
  std::string bytes;
  if (!ReadSetBytes(platform, state, data_file, &bytes)) return false;
  *records = ParseBackupRecords(bytes);
  return true;
}

bool CountSetRecords(Platform& platform, StateFolder& state, const std::wstring& data_file, size_t* count) {
  *count = 0;
  std::string bytes;
  if (!ReadSetBytes(platform, state, data_file, &bytes)) return false;
  *count = CountBackupRecords(bytes);
  return true;
}

std::vector<std::wstring> ListBackupFiles(Platform& platform, StateFolder& state) {
  // Older sets first where stamps are equal: they were made by an earlier
  // version, so before any set of the state folder.
  std::vector<std::wstring> files;
  const std::wstring folder = BackupFolder(platform);
  FindData entry;
  if (std::unique_ptr<FileSearch> search = platform.FindFirst(folder + L"\\*.dat", &entry)) {
    do {
      if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (!EndsWithNoCase(entry.name, kDataSuffix) || !IsSetName(entry.name)) continue;
      files.push_back(folder + L"\\" + entry.name);
    } while (search->Next(&entry));
  }
  std::vector<StateEntry> entries;
  state.List(kStateBackupFolder, &entries);
  const std::wstring state_folder = StateBackupFolderPath(state);
  for (const StateEntry& e : entries) {
    std::wstring name = Utf8ToWide(e.name);
    if (e.kind == StateEntry::Kind::kFile && name.size() > 4 && name.ends_with(kDataSuffix))
      files.push_back(state_folder + L"/" + name);
  }
  std::stable_sort(files.begin(), files.end(),
                   [](const std::wstring& a, const std::wstring& b) { return ListingKey(a) < ListingKey(b); });
  return files;
}

std::wstring BackupDisplayName(const std::wstring& data_file) {
  std::wstring name = ToUpper(data_file.substr(data_file.find_last_of(L"\\/") + 1));
  if (name.find(L"JUNK") != std::wstring::npos) return L"Junk Cleaner";
  if (name.find(L"INTERNET") != std::wstring::npos) return L"Internet Cleaner";
  if (name.find(L"SHORTCUT") != std::wstring::npos) return L"ShortCut Cleaner";
  return L"Registry Cleaner";
}

}  // namespace orvane
