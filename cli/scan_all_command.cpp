#include "cli/scan_all_command.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/table_text.h"
#include "cli/terminal_text.h"
#include "model/sections.h"
#include "model/sizes.h"
#include "platform/read_only_platform.h"
#include "platform/text.h"
#include "platform/wine/server_lock.h"
#include "platform/wine/wine_platform.h"

namespace orvane::cli {
namespace {

constexpr int kFirstBrowserSection = 17;
constexpr size_t kNumberWidth = 8;  // FINDINGS, FILES
constexpr size_t kBytesWidth = 10;
// Back to the start of the live line, and that line cleared: the program's
// own control, past the filter that outside text goes through.
constexpr char kClearLine[] = "\r\033[K";

bool AnyBrowserSection(const ScanRequest& request) {
  return std::any_of(request.sections.begin() + kFirstBrowserSection, request.sections.end(),
                     [](bool on) { return on; });
}

// "0-12", "4,10,13-21": the sections as the --sections option takes them.
std::string SectionList(const ScanRequest& request) {
  std::string list;
  for (int id = 0; id < kSectionCount;) {
    if (!request.sections[id]) {
      ++id;
      continue;
    }
    int last = id;
    while (last + 1 < kSectionCount && request.sections[last + 1]) ++last;
    if (!list.empty()) list += ",";
    list += std::to_string(id) + (last > id ? "-" + std::to_string(last) : "");
    id = last + 1;
  }
  return list;
}

// On one line, for the table.
std::string Reason(const Status& status) {
  std::string text = WideToUtf8(status.message);
  std::replace(text.begin(), text.end(), '\n', ' ');
  return Printable(text);
}

nlohmann::json MachineJson(const MachineScan& scan, const ScanRequest& request) {
  const wine::FoundPrefix& m = scan.machine;
  nlohmann::json row{{"kind", m.kind}, {"name", m.name},         {"path", m.path},
                     {"game", m.game}, {"orphaned", m.orphaned}, {"scanned", static_cast<bool>(scan.skipped)}};
  if (!scan.skipped) {
    row["skipped"] = WideToUtf8(scan.skipped.message);
    return row;
  }
  nlohmann::json sections = nlohmann::json::array();
  for (int id = 0; id < kSectionCount; ++id)
    if (request.sections[id])
      sections.push_back({{"id", id}, {"name", WideToUtf8(SectionName(id))}, {"found", scan.summary.found[id]}});
  nlohmann::json notes = nlohmann::json::array();
  for (const std::wstring& n : scan.summary.notes) notes.push_back(WideToUtf8(n));
  row["completed"] = scan.summary.completed;
  row["found"] = scan.summary.total;
  row["files"] = scan.files;
  row["bytes"] = scan.bytes;
  row["sections"] = sections;
  row["left_in_place"] = notes;
  return row;
}

}  // namespace

MachineScan ScanMachineReadOnly(const wine::FoundPrefix& machine, const ScanRequest& request, Pacer& pacer,
                                const std::function<void(const std::wstring&)>& progress) {
  MachineScan scan;
  scan.machine = machine;
  if (Status s = wine::CheckPrefix(machine.path); !s) {
    scan.skipped = s;
    return scan;
  }
  // What a running Wine holds in memory is not what the files say, and the
  // scan of a prefix in use by a game would compete with the game.
  if (Status busy = wine::WineWatch(machine.path).Check(/*fresh=*/true); !busy) {
    scan.skipped = busy;
    return scan;
  }
  wine::WinePlatform prefix{wine::WineOptions(machine.path)};
  // A registry that cannot be read at all would scan as a clean machine.
  if (Status s = prefix.CheckReadable(); !s) {
    scan.skipped = s;
    return scan;
  }
  ReadOnlyPlatform platform(prefix);
  MessageQueue queue;
  EngineOptions options;
  options.target = &queue;
  options.pacer = &pacer;
  CSarvelEngine engine(platform, options);
  engine.StartScan(request);
  PumpEvents(
      queue, [&] { engine.StopScan(); },
      [&](const WorkerEvent& event) {
        if (const auto* text = std::get_if<ProgressText>(&event); text && progress) progress(text->text);
      });
  engine.WaitForScan();
  scan.summary = engine.LastScanSummary();
  // Counted as every other listing of the program counts them.
  const FileTotals totals = TotalsOf(engine.errors()).all;
  scan.files = totals.files;
  scan.bytes = totals.bytes;
  return scan;
}

int RunScanAllMachines(const wine::PrefixSearch& search, const ScanRequest& asked, Pacer& pacer, const Output& output) {
  std::ostream& out = output.out;
  ScanRequest request = asked;
  std::vector<std::string> notes;
  if (AnyBrowserSection(request) && request.browsers.internet_explorer) {
    request.browsers.internet_explorer = false;
    notes.push_back(
        "Internet Explorer's cache, cookies and history are left out: only a program run in the prefix can read "
        "them, and a scan of every machine runs nothing in any.");
  }
  if (search.prefixes.empty()) {
    if (output.json) {
      out << nlohmann::json{{"sections", SectionList(request)}, {"machines", nlohmann::json::array()}}.dump(2) << "\n";
      return 0;
    }
    out << "No Wine prefix found to scan; looked in ";
    for (size_t i = 0; i < search.looked_in.size(); ++i) out << (i ? ", " : "") << Printable(search.looked_in[i]);
    if (search.looked_in.empty()) out << "no place (no home folder, no WINEPREFIX)";
    out << ".\n";
    return 0;
  }

  size_t kind_width = 4, name_width = 4;  // the headings' widths
  for (const wine::FoundPrefix& m : search.prefixes) {
    kind_width = std::max(kind_width, Width(m.kind));
    name_width = std::max(name_width, Width(Printable(m.name)));
  }
  if (!output.json) {
    out << "Scanning " << search.prefixes.size() << " machine" << (search.prefixes.size() == 1 ? "" : "s")
        << " read-only (nothing is written into any prefix), sections " << SectionList(request) << "\n";
    for (const std::string& note : notes) out << note << "\n";
    out << Pad("KIND", kind_width) << "  " << Pad("NAME", name_width) << "  " << PadLeft("FINDINGS", kNumberWidth)
        << "  " << PadLeft("FILES", kNumberWidth) << "  " << PadLeft("BYTES", kBytesWidth) << "  PATH\n";
    out.flush();
  }

  std::vector<MachineScan> scans;
  int64_t found = 0, files = 0;
  uint64_t bytes = 0;
  int skipped = 0;
  bool whole = true;  // every machine scanned completely, nothing left unread
  for (const wine::FoundPrefix& machine : search.prefixes) {
    bool live_line = false;
    auto progress = [&](const std::wstring& text) {
      if (!output.live || output.json) return;
      std::string line = Printable(WideToUtf8(text));
      if (Width(line) > 80) {  // its end, cut between characters
        size_t start = line.size();
        for (size_t shown = 0; start > 0 && shown < 77;)
          if ((static_cast<unsigned char>(line[--start]) & 0xC0) != 0x80) ++shown;
        line = "..." + line.substr(start);
      }
      WriteTerminalControl(out, kClearLine);
      out << "    " << line;
      out.flush();
      live_line = true;
    };
    MachineScan scan;
    if (Interrupted()) {
      scan.machine = machine;
      scan.skipped = Status::Error(L"stopped before it was scanned (Ctrl+C)");
    } else {
      scan = ScanMachineReadOnly(machine, request, pacer, progress);
    }
    if (live_line) WriteTerminalControl(out, kClearLine);
    if (!scan.skipped) {
      ++skipped;
    } else {
      found += scan.summary.total;
      files += scan.files;
      bytes += scan.bytes;
      whole = whole && scan.summary.completed && scan.summary.notes.empty();
    }
    if (!output.json) {
      out << Pad(machine.kind, kind_width) << "  " << Pad(Printable(machine.name), name_width) << "  ";
      if (scan.skipped) {
        out << PadLeft(std::to_string(scan.summary.total), kNumberWidth) << "  "
            << PadLeft(std::to_string(scan.files), kNumberWidth) << "  " << PadLeft(SizeText(scan.bytes), kBytesWidth)
            << "  " << Printable(machine.path) << (scan.summary.completed ? "" : "  (stopped)") << "\n";
        for (const std::wstring& note : scan.summary.notes)
          out << "    not scanned: " << Printable(WideToUtf8(note)) << "\n";
      } else {
        out << PadLeft("-", kNumberWidth) << "  " << PadLeft("-", kNumberWidth) << "  " << PadLeft("-", kBytesWidth)
            << "  " << Printable(machine.path) << "\n    skipped: " << Reason(scan.skipped) << "\n";
      }
      out.flush();
    }
    scans.push_back(std::move(scan));
  }

  if (output.json) {
    nlohmann::json machines = nlohmann::json::array();
    for (const MachineScan& scan : scans) machines.push_back(MachineJson(scan, request));
    nlohmann::json doc{{"sections", SectionList(request)},
                       {"notes", notes},
                       {"machines", machines},
                       {"scanned", static_cast<int64_t>(scans.size()) - skipped},
                       {"skipped", skipped},
                       {"found", found},
                       {"files", files},
                       {"bytes", bytes}};
    // Folder names and launchers' settings need not be UTF-8.
    out << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else {
    out << scans.size() - skipped << " scanned, " << skipped << " skipped: " << found << " found, " << files << " file"
        << (files == 1 ? "" : "s") << " (" << SizeText(bytes) << ").\n";
  }
  return found > 0 || skipped > 0 || !whole ? 1 : 0;
}

}  // namespace orvane::cli
