// The figures orvane-cli prints beside a scan's findings: the files found
// and their bytes, per section and in all, and what the ignore list took.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "engine/engine.h"
#include "model/sizes.h"

namespace orvane::cli {

// "10 files, 1.4 MB" ("1 file, ..."); "" when there are none.
std::string FilesText(const FileTotals& totals);
// {"files": n, "bytes": b, "size": "1.4 MB"}.
nlohmann::json FilesJson(const FileTotals& totals);

// After a scan: the files found by section (only sections holding some), what
// the ignore list took, and the list's skipped lines as warnings on err.
void PrintScanFigures(const ScanSummary& summary, const ScanFileTotals& totals, std::ostream& out, std::ostream& err);
// The same into the scan's JSON: each of sections' objects (by its "id")
// gets files, bytes and ignored; the top gets the totals, "ignored" and
// "ignore_list_skipped".
void AddScanFiguresJson(const ScanSummary& summary, const ScanFileTotals& totals, nlohmann::json* scan);

// After a repair: "Removed from the machine: 5 files, 71.3 KB; the backup
// now holds 72.0 KB." (what left the machine, and what its sets keep of it).
void PrintRepairFigures(const RepairSummary& summary, std::ostream& out);

}  // namespace orvane::cli
