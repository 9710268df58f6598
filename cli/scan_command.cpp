#include "cli/scan_command.h"

#include <atomic>
#include <csignal>
#include <iomanip>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/terminal_text.h"
#include "model/sections.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

// Back to the start of the live line, and that line cleared: the program's
// own control, which goes past the filter that takes outside text's out.
constexpr char kClearLine[] = "\r\033[K";

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
  std::string list = sections.empty() ? (privacy ? "13-21" : "0-12") : sections;
  std::stringstream words(list);
  std::string word;
  while (std::getline(words, word, ',')) {
    if (!AddRange(word, &request->sections))
      return Status::Error(L"--sections takes ids from 0 to 21, as a list such as 4,10 or 0-12; not \"" +
                           Utf8ToWide(word) + L"\"");
  }
  if (!browsers.empty()) {
    request->browser_flags = {L"0", L"0", L"0"};
    std::stringstream names(browsers);
    while (std::getline(names, word, ',')) {
      if (word == "ie") request->browser_flags[0] = L"1";
      else if (word == "firefox") request->browser_flags[1] = L"1";
      else if (word == "chrome") request->browser_flags[2] = L"1";
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
    std::optional<Message> message = queue.Take(std::chrono::milliseconds(50));
    if (!message) continue;
    WorkerEvent event = Decode(std::move(*message));
    handle(event);
    if (IsEndEvent(event)) return;
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
          {"view32", e.item.view == KEY_WOW64_32KEY}};
}

int RunScan(CSarvelEngine& engine, MessageQueue& queue, const ScanRequest& request, const Output& output,
            const std::wstring& machine_text) {
  std::ostream& out = output.out;
  if (!output.json) out << "Scanning " << WideToUtf8(machine_text) << "\n";
  engine.SetBrowserFlags(request.browser_flags);
  engine.SetPrivacyScan(request.privacy);
  engine.StartScan(request.sections);

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
  engine.WaitForScan();
  ScanSummary summary = engine.LastScanSummary();
  found = summary.found;
  finish_section();
  end_live();

  nlohmann::json findings = nlohmann::json::array();
  if (output.json)
    for (const CError& e : engine.errors()) findings.push_back(RecordJson(e));
  bool saved = engine.SaveUnresolvedErrors();
  if (output.json) {
    nlohmann::json sections = nlohmann::json::array();
    for (int id = 0; id < kSectionCount; ++id) {
      if (!request.sections[id]) continue;
      sections.push_back({{"id", id}, {"name", WideToUtf8(SectionName(id))}, {"found", summary.found[id]}});
    }
    nlohmann::json notes = nlohmann::json::array();
    for (const std::wstring& n : summary.notes) notes.push_back(WideToUtf8(n));
    out << nlohmann::json{{"machine", WideToUtf8(machine_text)},
                          {"completed", summary.completed},
                          {"found", summary.total},
                          {"sections", sections},
                          {"left_in_place", notes},
                          {"findings", findings},
                          {"unresolved_errors", saved ? WideToUtf8(engine.UnresolvedErrorsPath()) : ""}}
                   .dump(2)
        << "\n";
  } else {
    for (const std::wstring& note : summary.notes) out << "Not scanned: " << WideToUtf8(note) << "\n";
    out << (summary.completed ? "Scan completed: " : "Scan stopped: ") << summary.total << " found.\n";
    if (summary.total > 0 && saved)
      out << "Kept as unresolved errors in " << WideToUtf8(engine.UnresolvedErrorsPath())
          << "\n'orvane-cli results' lists them; 'orvane-cli repair' repairs them with a backup.\n";
  }
  if (!saved) {
    output.err << "orvane-cli: the findings could not be saved to " << WideToUtf8(engine.UnresolvedErrorsPath())
               << ": " << WideToUtf8(engine.platform().CheckWritable().message) << "\n";
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
    output.out << nlohmann::json{{"count", errors.GetCount()}, {"records", records}}.dump(2) << "\n";
  } else if (errors.IsEmpty()) {
    output.out << "No unresolved errors.\n";
  } else {
    for (int id = 0; id < kSectionCount; ++id) {
      int count = 0;
      for (const CError& e : errors) count += e.section == id;
      if (count == 0) continue;
      output.out << WideToUtf8(SectionName(id)) << " (" << count << ")\n";
      // Numbered in the file's order, which `repair --only` takes.
      int number = 0;
      for (const CError& e : errors) {
        ++number;
        if (e.section != id) continue;
        output.out << std::setw(5) << number << ". " << WideToUtf8(e.typeText) << "  " << WideToUtf8(e.reason)
                   << WideToUtf8(ViewMention(e.item.view)) << "\n";
        if (!e.filePath.empty() && e.reason.find(e.filePath) == std::wstring::npos)
          output.out << "        " << WideToUtf8(e.filePath) << "\n";
      }
    }
    output.out << errors.GetCount() << " unresolved errors.\n";
  }
  return errors.IsEmpty() ? 0 : 1;
}

}  // namespace orvane::cli
