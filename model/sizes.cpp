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

bool IsFileSection(int32_t id) {
  return id == section::kShortcuts || id == section::kWindowsTemp || id == section::kLogFiles ||
         id == section::kTempFiles;
}

bool IsFileFinding(const CError& record) {
  return record.errorType == ErrorType::File && !record.filePath.empty() && IsFileSection(record.section);
}

bool IsFolderFinding(const CError& record) { return IsFileFinding(record) && record.filePath.back() == L'\\'; }

ScanFileTotals TotalsOf(const CErrorListEx& errors) {
  ScanFileTotals totals;
  std::unordered_set<std::wstring> counted;
  CError e;
  for (int i = 0; i < errors.GetCount(); ++i) {
    // The records of other sections (a history of 200,000 visits) are never
    // built.
    if (!IsFileSection(errors.SectionAt(i))) continue;
    errors.Read(i, &e);
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
