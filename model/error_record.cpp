#include "model/error_record.h"

#include <limits>
#include <vector>

#include "platform/names.h"

namespace orvane {
namespace {

constexpr size_t kRecordFields = 11;
constexpr wchar_t kValueNamePrefix[] = L"ValueName=";
constexpr wchar_t kValueDataPrefix[] = L"ValueData=";
constexpr wchar_t kSizePrefix[] = L"Size=";

// Digits only, at most 19 of them (below 2^63): a size field that is
// anything else was not written by us and says nothing.
uint64_t ParseSize(std::wstring_view text) {
  if (text.empty() || text.size() > 19) return 0;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
  }
  return value;
}
constexpr wchar_t kView32Field[] = L"View=32";


std::wstring Decimal(int64_t value) {
  std::wstring text;
  bool negative = value < 0;
  uint64_t magnitude =
      negative ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  do {
    text.insert(text.begin(), static_cast<wchar_t>(L'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) text.insert(text.begin(), L'-');
  return text;
}

}  // namespace

int32_t ParseDecimal(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
    negative = text[i] == L'-';
    ++i;
  }
  // Accumulate past 32 bits but stop growing once clamping is certain.
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    if (value <= kLimit) value = value * 10 + (text[i] - L'0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max())
    return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min())
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::wstring FormatErrorLine(const CError& record) {
  std::wstring line;
  AppendErrorLine(record, &line);
  return line;
}

void AppendErrorLine(const CError& record, std::wstring* out) {
  const std::wstring_view sep = kFieldSeparator;
  const CRegistryItem& item = record.item;
  const std::wstring type_name = ValueTypeName(item.valueType);
  const std::wstring error_type = Decimal(record.errorType);
  const std::wstring section = Decimal(record.section);
  // Built in place: the file of a big scan is hundreds of thousands of these.
  std::wstring& line = *out;
  line.reserve(line.size() + 64 + record.filePath.size() + record.reason.size() + record.typeText.size() +
               item.rootName.size() + type_name.size() + item.subKey.size() + item.valueName.size() +
               item.valueData.size());
  for (const std::wstring* field :
       {&error_type, &section, &record.filePath, &record.reason, &record.typeText, &item.rootName, &type_name}) {
    line += *field;
    line += sep;
  }
  line += Decimal(item.tag);
  line += sep;
  line += item.subKey;
  line += sep;
  line += kValueNamePrefix;
  line += item.valueName;
  line += sep;
  line += kValueDataPrefix;
  line += item.valueData;
  line += sep;
  if (record.size != 0) {
    line += kSizePrefix;
    line += std::to_wstring(record.size);
    line += sep;
  }
  if (item.view == KEY_WOW64_32KEY) {
    line += kView32Field;
    line += sep;
  }
  line += kRecordEnd;
}

std::optional<CError> ParseErrorLine(const std::wstring& line) {
  // The pieces before each separator (what follows the last is dropped),
  // taken where they lie: a file of a big scan is hundreds of thousands of
  // lines, and each field becomes its record's string once.
  const std::wstring_view text(line);
  const std::wstring_view sep = kFieldSeparator;
  std::wstring_view fields[kRecordFields];
  size_t count = 0, pos = 0;
  for (; count < kRecordFields; ++count) {
    size_t found = text.find(sep, pos);
    if (found == std::wstring_view::npos) return std::nullopt;
    fields[count] = text.substr(pos, found - pos);
    pos = found + sep.size();
  }
  auto without = [](std::wstring_view field, const wchar_t* prefix) {
    return field.find(prefix) == std::wstring_view::npos ? std::wstring(field)
                                                         : EraseAll(std::wstring(field), prefix);
  };
  CError record;
  record.errorType = ParseDecimal(std::wstring(fields[0]));
  record.section = ParseDecimal(std::wstring(fields[1]));
  record.filePath = fields[2];
  record.reason = fields[3];
  record.typeText = fields[4];
  record.item.rootName = fields[5];
  record.item.rootKey = RootKeyFromName(record.item.rootName);
  record.item.valueType = ValueTypeFromName(std::wstring(fields[6]));
  record.item.tag = ParseDecimal(std::wstring(fields[7]));
  record.item.subKey = fields[8];
  record.item.valueName = without(fields[9], kValueNamePrefix);
  record.item.valueData = without(fields[10], kValueDataPrefix);
  bool sized = false;
  for (size_t found = text.find(sep, pos); found != std::wstring_view::npos; found = text.find(sep, pos)) {
    const std::wstring_view field = text.substr(pos, found - pos);
    pos = found + sep.size();
    if (!sized && field.starts_with(kSizePrefix)) {
      record.size = ParseSize(field.substr(std::size(kSizePrefix) - 1));
      sized = true;
    } else if (field == kView32Field) {
      record.item.view = KEY_WOW64_32KEY;
    }
  }
  return record;
}

bool SurvivesErrorLine(const CError& record) {
  // Nearly every record holds none of what can break a line: only those
  // that do are written and read back to be sure.
  // No "::", ";;" or line end, and no ":" at the end: one pass, as every
  // finding of a scan is asked.
  auto plain = [](const std::wstring& text) {
    if (!text.empty() && text.back() == L':') return false;
    wchar_t previous = 0;
    for (wchar_t unit : text) {
      if (unit == L'\r' || unit == L'\n' || ((unit == L':' || unit == L';') && unit == previous)) return false;
      previous = unit;
    }
    return true;
  };
  if (plain(record.filePath) && plain(record.reason) && plain(record.typeText) && plain(record.item.rootName) &&
      plain(record.item.subKey) && plain(record.item.valueName) && plain(record.item.valueData) &&
      record.item.valueName.find(L"ValueName=") == std::wstring::npos &&
      record.item.valueData.find(L"ValueData=") == std::wstring::npos)
    return true;
  std::wstring line = FormatErrorLine(record);
  if (line.find(kRecordEnd) != line.size() - std::wstring(kRecordEnd).size()) return false;
  std::optional<CError> back = ParseErrorLine(line.substr(0, line.size() - std::wstring(kRecordEnd).size()));
  return back && back->errorType == record.errorType && back->section == record.section &&
         back->filePath == record.filePath && back->reason == record.reason && back->typeText == record.typeText &&
         back->item.rootName == record.item.rootName && back->item.subKey == record.item.subKey &&
         back->item.valueName == record.item.valueName && back->item.valueData == record.item.valueData &&
         back->item.view == record.item.view;
}

}  // namespace orvane
