#include "cli/scan_figures.h"

#include "cli/terminal_text.h"
#include "model/sections.h"
#include "platform/text.h"

namespace orvane::cli {

std::string FilesText(const FileTotals& totals) {
  if (totals.files == 0) return "";
  return std::to_string(totals.files) + (totals.files == 1 ? " file, " : " files, ") +
         WideToUtf8(ByteSizeText(totals.bytes));
}

nlohmann::json FilesJson(const FileTotals& totals) {
  return {{"files", totals.files}, {"bytes", totals.bytes}, {"size", WideToUtf8(ByteSizeText(totals.bytes))}};
}

void PrintScanFigures(const ScanSummary& summary, const ScanFileTotals& totals, std::ostream& out, std::ostream& err) {
  for (const std::wstring& problem : summary.ignore_problems)
    err << "orvane-cli: warning: " << TerminalSafe(WideToUtf8(problem)) << "\n";
  if (totals.all.files > 0) {
    out << "Files found: " << FilesText(totals.all) << "\n";
    for (int id = 0; id < kSectionCount; ++id)
      if (totals.sections[id].files > 0)
        out << "  " << WideToUtf8(SectionName(id)) << ": " << FilesText(totals.sections[id]) << "\n";
  }
  if (summary.ignored_total > 0) {
    out << "Ignored (the ignore list): " << summary.ignored_total << " (";
    bool first = true;
    for (int id = 0; id < kSectionCount; ++id) {
      if (summary.ignored[id] == 0) continue;
      out << (first ? "" : ", ") << WideToUtf8(SectionName(id)) << " " << summary.ignored[id];
      first = false;
    }
    out << ")\n";
  }
}

void AddScanFiguresJson(const ScanSummary& summary, const ScanFileTotals& totals, nlohmann::json* scan) {
  for (nlohmann::json& section : (*scan)["sections"]) {
    int id = section.value("id", -1);
    if (!IsValidSection(id)) continue;
    section.update(FilesJson(totals.sections[id]));
    section["ignored"] = summary.ignored[id];
  }
  scan->update(FilesJson(totals.all));
  (*scan)["ignored"] = summary.ignored_total;
  nlohmann::json skipped = nlohmann::json::array();
  for (const std::wstring& p : summary.ignore_problems) skipped.push_back(WideToUtf8(p));
  (*scan)["ignore_list_skipped"] = skipped;
}

void PrintRepairFigures(const RepairSummary& summary, std::ostream& out) {
  out << WideToUtf8(RepairFiguresText(summary.figures)) << "\n";
}

}  // namespace orvane::cli
