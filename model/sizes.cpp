#include "model/sizes.h"

#include <unordered_set>

#include "platform/text.h"

namespace orvane {

std::wstring ByteSizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_wstring(bytes) + L" B";
  static const wchar_t* const kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
  // In tenths of a unit; bytes / 1024 first, so the largest sizes do not
  // overflow on the way.
  uint64_t tenths = bytes / 1024 * 10 + bytes % 1024 * 10 / 1024;
  int unit = 0;
  while (tenths >= 10240 && unit < 3) {
    tenths /= 1024;
    ++unit;
  }
  return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) + L" " + kUnits[unit];
}

bool IsFileFinding(const CError& record) {
  const int32_t id = record.section;
  return record.errorType == ErrorType::File && !record.filePath.empty() &&
         (id == section::kShortcuts || id == section::kWindowsTemp || id == section::kLogFiles ||
          id == section::kTempFiles);
}

bool IsFolderFinding(const CError& record) { return IsFileFinding(record) && record.filePath.back() == L'\\'; }

ScanFileTotals TotalsOf(const CErrorListEx& errors) {
  ScanFileTotals totals;
  std::unordered_set<std::wstring> counted;
  for (const CError& e : errors) {
    if (!IsFileFinding(e)) continue;
    const bool folder = IsFolderFinding(e);
    FileTotals& section = totals.sections[e.section];
    section.files += !folder;
    section.bytes += e.size;
    if (counted.insert(ToUpper(e.filePath)).second) {
      totals.all.files += !folder;
      totals.all.bytes += e.size;
    }
  }
  return totals;
}

}  // namespace orvane
