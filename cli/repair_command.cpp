#include "cli/repair_command.h"

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/scan_figures.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

nlohmann::json Lines(const std::vector<std::wstring>& lines) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::wstring& l : lines) list.push_back(WideToUtf8(l));
  return list;
}

}  // namespace

Status ParseRecordNumbers(const std::vector<std::string>& lists, std::set<int>* numbers) {
  for (const std::string& list : lists) {
    std::stringstream words(list);
    std::string word;
    while (std::getline(words, word, ',')) {
      size_t dash = word.find('-');
      std::string first = word.substr(0, dash);
      std::string last = dash == std::string::npos ? first : word.substr(dash + 1);
      auto number = [](const std::string& t, int* n) {
        if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos) return false;
        *n = std::stoi(t);
        return *n >= 1;
      };
      int a = 0, b = 0;
      if (!number(first, &a) || !number(last, &b) || a > b || b - a > 10000000)
        return Status::Error(L"--only takes record numbers from 1, as `results` prints them, in a list such as "
                             L"3,7 or 2-5; not \"" + Utf8ToWide(word) + L"\"");
      for (int n = a; n <= b; ++n) numbers->insert(n);
    }
  }
  return Status::Ok();
}

int RunRepair(CSarvelEngine& engine, MessageQueue& queue, const RepairRequest& request, const Output& output) {
  std::ostream& out = output.out;
  if (!request.records.empty()) {
    engine.LoadUnresolvedErrors();
    const int count = engine.errors().GetCount();
    if (*request.records.rbegin() > count) {
      output.err << "orvane-cli: there is no record " << *request.records.rbegin() << "; the unresolved errors hold "
                 << count << " (see 'orvane-cli results')\n";
      return 2;
    }
  }
  if (Status started =
          engine.StartRepairOfUnresolved({request.sections, request.excluded_sections, request.records});
      !started) {
    output.err << "orvane-cli: " << WideToUtf8(started.message) << "\n";
    return 2;
  }
  PumpEvents(queue, [&] { engine.StopRepair(); }, [&](const WorkerEvent& event) {
    if (output.json) return;
    if (const auto* started = std::get_if<RepairStarted>(&event)) out << "Repairing " << started->count << " records\n";
    if (const auto* record = std::get_if<RecordBegins>(&event)) out << "  " << WideToUtf8(record->text) << "\n";
  });
  RepairSummary summary = engine.FinishRepair();

  nlohmann::json failures = nlohmann::json::array();
  for (const RepairFailure& f : summary.not_repaired)
    failures.push_back({{"record", WideToUtf8(f.record)}, {"why", WideToUtf8(f.why)}});
  nlohmann::json sections = nlohmann::json::array();
  for (int id = 0; id < kSectionCount; ++id) {
    const SectionCounter& c = summary.sections[id];
    if (c.found == 0) continue;
    sections.push_back({{"id", id},
                        {"name", WideToUtf8(SectionName(id))},
                        {"found", c.found},
                        {"repaired", c.repaired},
                        {"ignored", c.ignored}});
  }
  if (output.json) {
    out << nlohmann::json{{"repaired", summary.repaired},
                          {"remaining", summary.remaining},
                          {"sections", sections},
                          {"not_repaired", failures},
                          {"browsers_left_in_place", Lines(summary.browsers_left_in_place)},
                          {"backup_sets", Lines(summary.backup_sets)},
                          {"removed", FilesJson(summary.figures.removed)},
                          {"backup_bytes", summary.figures.backup_bytes},
                          {"problem", WideToUtf8(summary.problem.message)}}
                   .dump(2)
        << "\n";
  } else {
    for (const RepairFailure& f : summary.not_repaired)
      out << "Not repaired: " << WideToUtf8(f.record) << ": " << WideToUtf8(f.why) << "\n";
    for (const std::wstring& browser : summary.browsers_left_in_place)
      out << "The data of " << WideToUtf8(browser) << " was left in place (is it running?)\n";
    out << "\nSection                              found  repaired  ignored\n";
    for (int id = 0; id < kSectionCount; ++id) {
      const SectionCounter& c = summary.sections[id];
      if (c.found == 0) continue;
      std::string name = WideToUtf8(SectionName(id));
      name.resize(36, ' ');
      char row[96];
      snprintf(row, sizeof row, "%s %5d %9d %8d\n", name.c_str(), c.found, c.repaired, c.ignored);
      out << row;
    }
    for (const std::wstring& set : summary.backup_sets) out << "Backup: " << WideToUtf8(set) << "\n";
    PrintRepairFigures(summary, out);
  }
  if (!summary.problem) output.err << "orvane-cli: " << WideToUtf8(summary.problem.message) << "\n";
  if (!summary.kept) {
    output.err << "orvane-cli: the records not repaired could not be kept in "
               << WideToUtf8(engine.UnresolvedErrorsPath()) << "\n";
    return 2;
  }
  return summary.remaining > 0 ? 1 : 0;
}

}  // namespace orvane::cli
