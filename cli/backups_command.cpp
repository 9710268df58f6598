#include "cli/backups_command.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/text.h"
#include "repair/backup_catalog.h"
#include "repair/backup_set.h"

namespace orvane::cli {
namespace {

// Paths and lines may carry names read from the machine: control
// characters are shown as '?' so they cannot drive the terminal.
std::string Printable(const std::wstring& text) {
  std::string out = WideToUtf8(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return out;
}

nlohmann::json Lines(const std::vector<std::wstring>& lines) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::wstring& l : lines) list.push_back(WideToUtf8(l));
  return list;
}

std::string Iso(const LocalDateTime& when) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", when.year, when.month, when.day, when.hour,
                when.minute);
  return text;
}

std::string Padded(std::string text, size_t width, bool right = false) {
  size_t shown = 0;
  for (char c : text) shown += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  std::string pad(width > shown ? width - shown : 0, ' ');
  return right ? pad + text : text + pad;
}

int List(CSarvelEngine& engine, const Output& output) {
  const std::vector<BackupSetInfo> sets = engine.ListBackups();
  if (output.json) {
    nlohmann::json list = nlohmann::json::array();
    for (size_t i = 0; i < sets.size(); ++i) {
      const BackupSetInfo& s = sets[i];
      list.push_back({{"number", i + 1},
                      {"name", WideToUtf8(s.kind)},
                      {"made", s.made ? Iso(*s.made) : ""},
                      {"items", s.items},
                      {"bytes", s.bytes},
                      {"file", WideToUtf8(s.data_file)},
                      {"in_machine", s.in_machine},
                      {"readable", s.readable}});
    }
    output.out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return 0;
  }
  if (sets.empty()) {
    output.out << "No backups.\n";
    return 0;
  }
  // One row a set, numbered as restore and delete take them; the columns
  // line up for the sets listed.
  const size_t number_width = std::to_string(sets.size()).size();
  for (size_t i = 0; i < sets.size(); ++i) {
    const BackupSetInfo& s = sets[i];
    std::string made = s.made ? WideToUtf8(BackupDateText(*s.made)) : "unknown date";
    std::string items = s.readable ? std::to_string(s.items) + (s.items == 1 ? " item" : " items") : "unreadable";
    output.out << Padded(std::to_string(i + 1), number_width) << "  " << Padded(WideToUtf8(s.kind), 16) << "  "
               << Padded(made, 34) << "  " << Padded(items, 11, true) << "  " << Padded(WideToUtf8(BackupSizeText(s.bytes)), 8, true)
               << "  " << Printable(s.data_file) << (s.in_machine ? "  (inside the machine)" : "") << "\n";
  }
  return 0;
}

void PrintLeftAlone(const std::vector<std::wstring>& left, const Output& output) {
  for (const std::wstring& l : left)
    output.out << "Left alone (not made by a backup): " << Printable(l) << "\n";
}

int Prune(CSarvelEngine& engine, const BackupsRequest& request, const Output& output) {
  PruneReport report = engine.PruneBackups({request.older_than_days, request.keep});
  if (output.json) {
    output.out << nlohmann::json{{"deleted", Lines(report.deleted)},
                                 {"failed", Lines(report.failed)},
                                 {"left_alone", Lines(report.left_alone)},
                                 {"kept", report.kept}}
                      .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
               << "\n";
  } else {
    for (const std::wstring& d : report.deleted) output.out << "Deleted " << Printable(d) << "\n";
    for (const std::wstring& f : report.failed) output.err << "orvane-cli: " << Printable(f) << "\n";
    PrintLeftAlone(report.left_alone, output);
    output.out << report.deleted.size() << (report.deleted.size() == 1 ? " set" : " sets") << " deleted, "
               << report.kept << " kept.\n";
  }
  return report.failed.empty() ? 0 : 2;
}

}  // namespace

Status CheckBackupsRequest(const BackupsRequest& request) {
  if ((request.action == "restore" || request.action == "delete") && request.number < 1)
    return Status::Error(L"backups " + Utf8ToWide(request.action) +
                         L" needs the set's number (see 'orvane-cli backups list')");
  if (request.action == "prune") {
    if (!request.older_than_days && !request.keep)
      return Status::Error(L"backups prune needs --older-than DAYS or --keep N: nothing is pruned unasked");
    if (request.older_than_days.value_or(0) < 0 || request.keep.value_or(0) < 0)
      return Status::Error(L"backups prune takes no negative numbers");
  }
  return Status::Ok();
}

int RunBackups(CSarvelEngine& engine, const BackupsRequest& request, const Output& output) {
  if (Status checked = CheckBackupsRequest(request); !checked) {
    output.err << "orvane-cli: " << WideToUtf8(checked.message) << "\n";
    return 2;
  }
  if (request.action == "list") return List(engine, output);
  if (request.action == "prune") return Prune(engine, request, output);
  std::vector<std::wstring> files = ListBackupFiles(engine.platform(), engine.state());
  if (request.number > static_cast<int>(files.size())) {
    output.err << "orvane-cli: there is no backup number " << request.number
               << " ('orvane-cli backups list' shows " << files.size() << ")\n";
    return 2;
  }
  const std::wstring& file = files[request.number - 1];
  if (request.action == "delete") {
    std::vector<std::wstring> left;
    Status s = engine.DeleteBackup(file, &left);
    PrintLeftAlone(left, output);
    if (!s) {
      output.err << "orvane-cli: " << Printable(s.message) << "\n";
      return 2;
    }
    output.out << "Deleted " << Printable(file) << "\n";
    return 0;
  }
  if (Status writable = engine.platform().CheckWritable(); !writable) {
    output.err << "orvane-cli: " << WideToUtf8(writable.message) << "\n";
    return 2;
  }
  RestoreReport report = engine.RestoreBackup(file);
  if (output.json) {
    output.out << nlohmann::json{{"file", WideToUtf8(file)},          {"ok", report.ok()},
                                 {"restored", report.restored},       {"failed", Lines(report.failed)},
                                 {"replaced", Lines(report.replaced)}, {"skipped", Lines(report.skipped)},
                                 {"set_deleted", report.set_deleted}}
                      .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
               << "\n";
  } else {
    for (const std::wstring& l : report.replaced) output.out << "Replaced: " << Printable(l) << "\n";
    for (const std::wstring& l : report.skipped) output.out << "No copy kept: " << Printable(l) << "\n";
    for (const std::wstring& l : report.failed) output.out << "Not restored: " << Printable(l) << "\n";
    if (report.ok())
      output.out << "A previous registry configuration has been successfully restored.\n";
    else
      output.out << "The restore was incomplete; the backup set was kept.\n";
    output.out << report.restored << " items restored from " << Printable(file) << "\n";
  }
  return report.ok() ? 0 : 2;
}

}  // namespace orvane::cli
