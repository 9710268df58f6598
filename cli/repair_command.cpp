#include "cli/repair_command.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/text.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

namespace orvane::cli {
namespace {

bool Selected(const RepairRequest& request, int section) {
  if (request.excluded_sections.count(section)) return false;
  return request.sections.empty() || request.sections.count(section) != 0;
}

nlohmann::json Lines(const std::vector<std::wstring>& lines) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::wstring& l : lines) list.push_back(WideToUtf8(l));
  return list;
}

}  // namespace

int RunRepair(CSarvelEngine& engine, MessageQueue& queue, const RepairRequest& request, const Output& output) {
  std::ostream& out = output.out;
  if (Status writable = engine.platform().CheckWritable(); !writable) {
    output.err << "orvane-cli: " << WideToUtf8(writable.message) << "\n";
    return 2;
  }
  engine.LoadUnresolvedErrors();
  CErrorListEx& errors = engine.errors();
  // The worker repairs the first count records: put the chosen ones first,
  // keeping the order within each group. Records move inside the list, so
  // none is dropped (which would clean up after it).
  auto chosen_end = std::stable_partition(errors.begin(), errors.end(),
                                          [&](const CError& e) { return Selected(request, e.section); });
  int count = static_cast<int>(chosen_end - errors.begin());

  engine.StartRepair(count);
  PumpMessages(
      queue, [&] { return engine.IsRepairRunning(); }, [&] { engine.StopRepair(); },
      [&](const Message& m) {
        if (output.json) return;
        if (m.code == kMsgRepairStarted) out << "Repairing " << m.wparam << " records\n";
        if (m.code == kMsgRecordBegins) out << "  " << WideToUtf8(m.text) << "\n" << std::flush;
      });
  engine.WaitForRepair();
  const CRepairErrorsThread& worker = *engine.repair_thread();

  // Drop what was repaired; keep everything else as unresolved.
  nlohmann::json failures = nlohmann::json::array();
  const std::vector<RecordOutcome>& outcomes = worker.outcomes();
  for (int i = static_cast<int>(outcomes.size()) - 1; i >= 0; --i) {
    const RecordOutcome& o = outcomes[i];
    if (o.state == RecordOutcome::State::kRepaired) {
      errors.RemoveAt(i);
    } else if (o.state == RecordOutcome::State::kNotRepaired) {
      failures.push_back({{"record", WideToUtf8(CRepairErrorsThread::DisplayText(errors[i]))},
                          {"why", WideToUtf8(o.detail)}});
    }
  }
  bool saved = engine.SaveUnresolvedErrors();
  int remaining = 0;
  for (int id = 0; id < kSectionCount; ++id) remaining += engine.counters()[id].ignored;

  nlohmann::json sections = nlohmann::json::array();
  for (int id = 0; id < kSectionCount; ++id) {
    const SectionCounter& c = engine.counters()[id];
    if (c.found == 0) continue;
    sections.push_back({{"id", id},
                        {"name", WideToUtf8(SectionName(id))},
                        {"found", c.found},
                        {"repaired", c.repaired},
                        {"ignored", c.ignored}});
  }
  std::vector<std::wstring> sets;
  for (const BackupSet& s : worker.backup_sets()) sets.push_back(s.data_file);
  if (output.json) {
    out << nlohmann::json{{"repaired", std::stoi(engine.TotalRepaired())},
                          {"remaining", remaining},
                          {"sections", sections},
                          {"not_repaired", failures},
                          {"browsers_left_in_place", Lines(worker.browsers_left_in_place())},
                          {"backup_sets", Lines(sets)},
                          {"problem", WideToUtf8(worker.status().message)}}
                   .dump(2)
        << "\n";
  } else {
    for (const auto& f : failures)
      out << "Not repaired: " << f["record"].get<std::string>() << ": " << f["why"].get<std::string>() << "\n";
    for (const std::wstring& browser : worker.browsers_left_in_place())
      out << "The data of " << WideToUtf8(browser) << " was left in place (is it running?)\n";
    out << "\nSection                              found  repaired  ignored\n";
    for (const auto& s : sections) {
      std::string name = s["name"].get<std::string>();
      name.resize(36, ' ');
      char row[96];
      snprintf(row, sizeof row, "%s %5d %9d %8d\n", name.c_str(), s["found"].get<int>(), s["repaired"].get<int>(),
               s["ignored"].get<int>());
      out << row;
    }
    for (const std::wstring& set : sets) out << "Backup: " << WideToUtf8(set) << "\n";
  }
  if (!worker.status()) output.err << "orvane-cli: " << WideToUtf8(worker.status().message) << "\n";
  if (!saved) {
    output.err << "orvane-cli: the records not repaired could not be kept in "
               << WideToUtf8(engine.UnresolvedErrorsPath()) << "\n";
    return 2;
  }
  return remaining > 0 ? 1 : 0;
}

int RunBackups(Platform& platform, const std::string& action, int number, const Output& output) {
  std::vector<std::wstring> files = ListBackupFiles(platform);
  if (action == "list") {
    if (output.json) {
      nlohmann::json list = nlohmann::json::array();
      for (size_t i = 0; i < files.size(); ++i)
        list.push_back({{"number", i + 1}, {"name", WideToUtf8(BackupDisplayName(files[i]))},
                        {"file", WideToUtf8(files[i])}});
      output.out << list.dump(2) << "\n";
    } else if (files.empty()) {
      output.out << "No backups.\n";
    } else {
      for (size_t i = 0; i < files.size(); ++i)
        output.out << i + 1 << "  " << WideToUtf8(BackupDisplayName(files[i])) << "  " << WideToUtf8(files[i])
                   << "\n";
    }
    return 0;
  }
  if (number < 1 || number > static_cast<int>(files.size())) {
    output.err << "orvane-cli: there is no backup number " << number << " ('orvane-cli backups list' shows "
               << files.size() << ")\n";
    return 2;
  }
  if (Status writable = platform.CheckWritable(); !writable) {
    output.err << "orvane-cli: " << WideToUtf8(writable.message) << "\n";
    return 2;
  }
  const std::wstring& file = files[number - 1];
  if (action == "delete") {
    Status s = DeleteBackupSet(platform, file);
    if (!s) {
      output.err << "orvane-cli: " << WideToUtf8(s.message) << "\n";
      return 2;
    }
    output.out << "Deleted " << WideToUtf8(file) << "\n";
    return 0;
  }
  RestoreReport report = RestoreBackupSet(platform, file);
  if (output.json) {
    output.out << nlohmann::json{{"file", WideToUtf8(file)},  {"ok", report.ok()},
                                 {"restored", report.restored}, {"failed", Lines(report.failed)},
                                 {"replaced", Lines(report.replaced)}, {"skipped", Lines(report.skipped)},
                                 {"set_deleted", report.set_deleted}}
                          .dump(2)
                   << "\n";
  } else {
    for (const std::wstring& l : report.replaced) output.out << "Replaced: " << WideToUtf8(l) << "\n";
    for (const std::wstring& l : report.skipped) output.out << "No copy kept: " << WideToUtf8(l) << "\n";
    for (const std::wstring& l : report.failed) output.out << "Not restored: " << WideToUtf8(l) << "\n";
    if (report.ok())
      output.out << "A previous registry configuration has been successfully restored.\n";
    else
      output.out << "The restore was incomplete; the backup set was kept.\n";
    output.out << report.restored << " items restored from " << WideToUtf8(file) << "\n";
  }
  return report.ok() ? 0 : 2;
}

}  // namespace orvane::cli
