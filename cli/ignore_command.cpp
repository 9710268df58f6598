#include "cli/ignore_command.h"

#include <nlohmann/json.hpp>

#include "cli/terminal_text.h"
#include "model/ignore_file.h"
#include "model/sections.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

int Refuse(const Output& output, const std::wstring& why) {
  output.err << "orvane-cli: ignore: " << WideToUtf8(why) << "\n";
  return 2;
}

// A whole number from 1 up, digits only.
bool ParseNumber(const std::string& word, size_t* number) {
  if (word.empty() || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos) return false;
  *number = std::stoul(word);
  return *number > 0;
}

// The entries the request names, or why it names none.
Status EntriesOf(CSarvelEngine& engine, const IgnoreRequest& request, std::vector<IgnoreEntry>* entries) {
  const int given = !request.key.empty() + !request.path.empty() + !request.host.empty();
  if (request.value_given && request.key.empty()) return Status::Error(L"--value names a value of the --key");
  if (!request.numbers.empty()) {
    if (given) return Status::Error(L"give record numbers or one of --key, --path, --host, not both");
    engine.LoadUnresolvedErrors();
    const CErrorListEx& errors = engine.errors();
    for (const std::string& word : request.numbers) {
      size_t number = 0;
      if (!ParseNumber(word, &number) || number > static_cast<size_t>(errors.GetCount()))
        return Status::Error(L"there is no record " + Utf8ToWide(word) + L": 'orvane-cli results' numbers " +
                             std::to_wstring(errors.GetCount()) + L" unresolved errors");
      CError record = errors.GetAt(static_cast<int>(number - 1));
      IgnoreEntry entry;
      if (!CSarvelEngine::IgnoreEntryOf(record, &entry))
        return Status::Error(L"record " + Utf8ToWide(word) + L" names no key, value, file or cookie host to ignore");
      entries->push_back(entry);
    }
    return Status::Ok();
  }
  if (given != 1)
    return Status::Error(L"add takes record numbers, or one of --key K [--value V], --path GLOB, --host H");
  IgnoreEntry entry;
  Status made = !request.key.empty() ? MakeIgnoreEntry(request.value_given ? IgnoreKind::kValue : IgnoreKind::kKey,
                                                       Utf8ToWide(request.key), Utf8ToWide(request.value), &entry)
                : !request.path.empty() ? MakeIgnoreEntry(IgnoreKind::kPath, Utf8ToWide(request.path), L"", &entry)
                                        : MakeIgnoreEntry(IgnoreKind::kHost, Utf8ToWide(request.host), L"", &entry);
  if (!made.ok) return made;
  entries->push_back(entry);
  return Status::Ok();
}

int List(const IgnoreFile& file, const Output& output) {
  const std::vector<IgnoreEntry>& entries = file.list.entries();
  if (output.json) {
    nlohmann::json rows = nlohmann::json::array();
    for (size_t i = 0; i < entries.size(); ++i) {
      nlohmann::json row{{"number", i + 1},
                         {"kind", WideToUtf8(IgnoreKindName(entries[i].kind))},
                         {"text", WideToUtf8(entries[i].text)}};
      if (entries[i].kind == IgnoreKind::kValue) row["value"] = WideToUtf8(entries[i].value);
      rows.push_back(row);
    }
    nlohmann::json skipped = nlohmann::json::array();
    for (const std::wstring& p : file.problems) skipped.push_back(WideToUtf8(p));
    output.out << nlohmann::json{{"count", entries.size()}, {"entries", rows}, {"skipped_lines", skipped}}.dump(2)
               << "\n";
    return 0;
  }
  if (entries.empty()) output.out << "The ignore list is empty.\n";
  for (size_t i = 0; i < entries.size(); ++i)
    output.out << std::to_string(i + 1) << ". " << TerminalSafe(WideToUtf8(IgnoreEntryText(entries[i]))) << "\n";
  return 0;
}

}  // namespace

int RunIgnore(CSarvelEngine& engine, const IgnoreRequest& request, const Output& output) {
  StateFolder& state = engine.state();
  IgnoreFile file = ReadIgnoreFile(state);
  for (const std::wstring& problem : file.problems)
    output.err << "orvane-cli: warning: " << TerminalSafe(WideToUtf8(problem)) << "\n";
  if (request.action == "list") return List(file, output);

  if (request.action == "remove") {
    size_t number = 0;
    if (request.numbers.size() != 1 || !ParseNumber(request.numbers[0], &number) || number > file.list.entries().size())
      return Refuse(output, L"remove takes one entry's number as 'orvane-cli ignore list' shows it (the list has " +
                                std::to_wstring(file.list.entries().size()) + L" entries)");
    IgnoreEntry gone = file.list.entries()[number - 1];
    file.list.Remove(number - 1);
    if (Status s = WriteIgnoreFile(state, file); !s.ok) return Refuse(output, s.message);
    if (!output.json) output.out << "No longer ignored: " << TerminalSafe(WideToUtf8(IgnoreEntryText(gone))) << "\n";
    return 0;
  }

  std::vector<IgnoreEntry> entries;
  if (Status s = EntriesOf(engine, request, &entries); !s.ok) return Refuse(output, s.message);
  std::vector<IgnoreEntry> added;
  for (const IgnoreEntry& entry : entries)
    if (file.list.Add(entry)) added.push_back(entry);
  if (!added.empty()) {
    if (Status s = WriteIgnoreFile(state, file); !s.ok) return Refuse(output, s.message);
  }
  if (!output.json) {
    for (const IgnoreEntry& entry : entries) {
      bool is_new = std::find(added.begin(), added.end(), entry) != added.end();
      output.out << (is_new ? "Ignored from now on: " : "Already ignored: ")
                 << TerminalSafe(WideToUtf8(IgnoreEntryText(entry))) << "\n";
    }
  }
  return 0;
}

}  // namespace orvane::cli
