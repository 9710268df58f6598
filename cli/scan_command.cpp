#include "cli/scan_command.h"

#include <atomic>
#include <csignal>
#include <iomanip>
#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/scan_figures.h"
#include "cli/terminal_text.h"
#include "model/ignore_file.h"
#include "model/sections.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

// Back to the start of the live line, and that line cleared: the program's
// own control, which goes past the filter that takes outside text's out.
constexpr char kClearLine[] = "\r\033[K";
constexpr std::chrono::milliseconds kBatchInterval{10};

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

// "3", "0-12": adds the ids to sections; false for anything else.
bool AddRange(const std::string& word, std::array<bool, kSectionCount>* sections) {
  size_t dash = word.find('-');
  std::string first = word.substr(0, dash);
  std::string last = dash == std::string::npos ? first : word.substr(dash + 1);
  auto number = [](const std::string& t, int* n) {
    if (t.empty() || t.size() > 2 || t.find_first_not_of("0123456789") != std::string::npos) return false;
    *n = std::stoi(t);
    return IsValidSection(*n);
  };
  int a, b;
  if (!number(first, &a) || !number(last, &b) || a > b) return false;
  for (int id = a; id <= b; ++id) (*sections)[id] = true;
  return true;
}

std::string Cut(const std::wstring& text, size_t width) {
  std::string line = WideToUtf8(text);
  if (line.size() > width) line = "..." + line.substr(line.size() - (width - 3));
  return line;
}

}  // namespace

Status ParseScanRequest(const std::string& sections, bool privacy, const std::string& browsers,
                        ScanRequest* request) {
  request->privacy = privacy;
  request->browsers = {true, true, true};
  std::string list = sections.empty() ? (privacy ? "13-21" : "0-12") : sections;
  std::stringstream words(list);
  std::string word;
  while (std::getline(words, word, ',')) {
    if (!AddRange(word, &request->sections))
      return Status::Error(L"--sections takes ids from 0 to 21, as a list such as 4,10 or 0-12; not \"" +
                           Utf8ToWide(word) + L"\"");
  }
  if (!browsers.empty()) {
    request->browsers = {};
    std::stringstream names(browsers);
    while (std::getline(names, word, ',')) {
      if (word == "ie") request->browsers.internet_explorer = true;
      else if (word == "firefox") request->browsers.firefox = true;
      else if (word == "chrome") request->browsers.chrome = true;
      else return Status::Error(L"--browsers takes ie, firefox and chrome; not \"" + Utf8ToWide(word) + L"\"");
    }
  }
  return Status::Ok();
}

void CatchInterrupt() { std::signal(SIGINT, OnInterrupt); }
bool Interrupted() { return g_interrupted; }

void PumpEvents(MessageQueue& queue, const std::function<void()>& stop,
                const std::function<void(const WorkerEvent&)>& handle) {
  bool stop_sent = false;
  for (;;) {
    if (g_interrupted && !stop_sent) {
      stop_sent = true;
      stop();
    }
    // The wait is short only so that Ctrl+C is noticed promptly.
    std::vector<Message> batch = queue.TakeAll(std::chrono::milliseconds(50));
    for (Message& message : batch) {
      WorkerEvent event = Decode(std::move(message));
      handle(event);
      if (IsEndEvent(event)) return;
    }
    // Taken in batches, as the window's bridge takes them: waking for each
    // of a big scan's findings cost both threads more than the findings.
    if (!batch.empty()) std::this_thread::sleep_for(kBatchInterval);
  }
}

nlohmann::json RecordJson(const CError& e) {
  return {{"section", e.section},
          {"section_name", WideToUtf8(SectionName(e.section))},
          {"type", WideToUtf8(e.typeText)},
          {"reason", WideToUtf8(e.reason)},
          {"file", WideToUtf8(e.filePath)},
          {"error_type", e.errorType},
          {"root", WideToUtf8(e.item.rootName)},
          {"key", WideToUtf8(e.item.subKey)},
          {"value", WideToUtf8(e.item.valueName)},
          {"data", WideToUtf8(e.item.valueData)},
          {"size", e.size},
          {"view32", e.item.view == KEY_WOW64_32KEY}};
}

int RunScan(CSarvelEngine& engine, MessageQueue& queue, const ScanRequest& request, const Output& output,
            const std::wstring& machine_text) {
  std::ostream& out = output.out;
  if (!output.json) out << "Scanning " << WideToUtf8(machine_text) << "\n";
  engine.StartScan(request);

  int current = -1;
  bool live_line = false;
  auto end_live = [&] {
    if (live_line) WriteTerminalControl(out, kClearLine);
    live_line = false;
  };
  std::array<int32_t, kSectionCount> found{};  // as the events tell it, for the live display
  auto finish_section = [&] {
    if (current < 0 || output.json) return;
    end_live();
    out << "  " << WideToUtf8(SectionName(current)) << ": " << found[current] << " found\n";
    out.flush();
  };
  PumpEvents(queue, [&] { engine.StopScan(); }, [&](const WorkerEvent& event) {
    if (const auto* begins = std::get_if<SectionBegins>(&event); begins && begins->section != current) {
      finish_section();
      current = begins->section;
    } else if (const auto* added = std::get_if<ErrorAdded>(&event)) {
      if (IsValidSection(added->section)) ++found[added->section];
    } else if (const auto* text = std::get_if<ProgressText>(&event); text && output.live && !output.json) {
      WriteTerminalControl(out, kClearLine);
      out << "    " << Cut(text->text, 90);
      out.flush();
      live_line = true;
    }
  });
  const ScanOutcome outcome = engine.FinishScan();
  const ScanSummary& summary = outcome.summary;
  const bool saved = static_cast<bool>(outcome.kept);
  found = summary.found;
  finish_section();
  end_live();

  nlohmann::json findings = nlohmann::json::array();
  if (output.json)
    for (const CError& e : engine.errors()) findings.push_back(RecordJson(e));
  const ScanFileTotals totals = TotalsOf(engine.errors());
  if (output.json) {
    nlohmann::json sections = nlohmann::json::array();
    for (int id = 0; id < kSectionCount; ++id) {
      if (!request.sections[id]) continue;
      sections.push_back({{"id", id}, {"name", WideToUtf8(SectionName(id))}, {"found", summary.found[id]}});
    }
    nlohmann::json notes = nlohmann::json::array();
    for (const std::wstring& n : summary.notes) notes.push_back(WideToUtf8(n));
    nlohmann::json scan{{"machine", WideToUtf8(machine_text)},
                        {"completed", summary.completed},
                        {"found", summary.total},
                        {"sections", sections},
                        {"left_in_place", notes},
                        {"findings", findings},
                        {"unresolved_errors", saved && summary.total > 0 ? WideToUtf8(engine.UnresolvedErrorsPath()) : ""}};
    AddScanFiguresJson(summary, totals, &scan);
    out << scan.dump(2) << "\n";
  } else {
    for (const std::wstring& note : summary.notes) out << "Not scanned: " << WideToUtf8(note) << "\n";
    PrintScanFigures(summary, totals, out, output.err);
    out << (summary.completed ? "Scan completed: " : "Scan stopped: ") << summary.total << " found.\n";
    if (summary.total > 0 && saved)
      out << "Kept as unresolved errors in " << WideToUtf8(engine.UnresolvedErrorsPath())
          << "\n'orvane-cli results' lists them; 'orvane-cli repair' repairs them with a backup.\n";
  }
  if (!saved) {
    output.err << "orvane-cli: the findings could not be saved to " << WideToUtf8(engine.UnresolvedErrorsPath())
               << ": " << WideToUtf8(outcome.kept.message) << "\n";
    return 2;
  }
  // Something left unread is not a clean machine either.
  return summary.total > 0 || !summary.notes.empty() ? 1 : 0;
}

int RunResults(CSarvelEngine& engine, const Output& output) {
  engine.LoadUnresolvedErrors();
  const CErrorListEx& errors = engine.errors();
  if (output.json) {
    nlohmann::json records = nlohmann::json::array();
    int number = 0;
    for (const CError& e : errors) {
      nlohmann::json record = RecordJson(e);
      record["number"] = ++number;
      records.push_back(record);
    }
    nlohmann::json listing{{"count", errors.GetCount()}, {"records", records}};
    listing.update(FilesJson(TotalsOf(errors).all));
    listing["ignore_list_entries"] = ReadIgnoreFile(engine.state()).list.entries().size();
    output.out << listing.dump(2) << "\n";
  } else if (errors.IsEmpty()) {
    output.out << "No unresolved errors.\n";
  } else {
    const ScanFileTotals totals = TotalsOf(errors);
    for (int id = 0; id < kSectionCount; ++id) {
      int count = 0;
      for (int i = 0; i < errors.GetCount(); ++i) count += errors.SectionAt(i) == id;
      if (count == 0) continue;
      const std::string files = FilesText(totals.sections[id]);
      output.out << WideToUtf8(SectionName(id)) << " (" << count << (files.empty() ? "" : "; " + files) << ")\n";
      // Numbered in the file's order, which `repair --only` takes.
      int number = 0;
      for (const CError& e : errors) {
        ++number;
        if (e.section != id) continue;
        const bool file = IsFileFinding(e) && e.filePath.back() != L'\\';  // a folder has no size of its own
        output.out << std::setw(5) << number << ". " << WideToUtf8(e.typeText) << "  " << WideToUtf8(e.reason)
                   << WideToUtf8(ViewMention(e.item.view)) << (file ? "  (" + WideToUtf8(ByteSizeText(e.size)) + ")" : "")
                   << "\n";
        if (!e.filePath.empty() && e.reason.find(e.filePath) == std::wstring::npos)
          output.out << "        " << WideToUtf8(e.filePath) << "\n";
      }
    }
    const std::string files = FilesText(totals.all);
    output.out << errors.GetCount() << " unresolved errors" << (files.empty() ? "" : "; " + files) << ".\n";
    if (size_t listed = ReadIgnoreFile(engine.state()).list.entries().size())
      output.out << "The ignore list has " << listed << " entr" << (listed == 1 ? "y" : "ies")
                 << ": what they match is never reported ('orvane-cli ignore list').\n";
  }
  return errors.IsEmpty() ? 0 : 1;
}

}  // namespace orvane::cli
