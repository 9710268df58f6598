#include "model/sizes.h"

namespace orvane {

std::wstring ByteSizeText(uint64_t bytes) {
  if (bytes < 1024)
    return std::to_wstring(bytes) + L" B";
  static const wchar_t *const kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
  // In tenths of a unit; bytes / 1024 first, so the largest sizes do not
  // overflow on the way.
  uint64_t tenths = bytes / 1024 * 10 + bytes % 1024 * 10 / 1024;
  int unit = 0;
  while (tenths >= 10240 && unit < 3) {
    tenths /= 1024;
    ++unit;
  }
  return std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10) +
         L" " + kUnits[unit];
}

ScanFileTotals TotalsOf(const CErrorListEx &errors) {
  ScanFileTotals totals;
  for (const CError &e : errors) {
    if (e.errorType != ErrorType::File || e.filePath.empty())
      continue;
    ++totals.all.files;
    totals.all.bytes += e.size;
    if (IsValidSection(e.section)) {
      ++totals.sections[e.section].files;
      totals.sections[e.section].bytes += e.size;
    }
  }
  return totals;
}

} // namespace orvane
