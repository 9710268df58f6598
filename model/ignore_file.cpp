#include "model/ignore_file.h"

#include "platform/text.h"

namespace orvane {
namespace {

// Far more than any list a person makes; a bigger file is no list of ours.
constexpr uint64_t kMostBytes = 64ull << 20;

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// The entry of one line, or why it is none.
Status ParseLine(std::string_view line, IgnoreEntry* entry) {
  std::wstring wide = Utf8ToWide(line);
  if (WideToUtf8(wide) != line) return Status::Error(L"it is not UTF-8 text");
  std::vector<std::string_view> fields = SplitTabs(line);
  IgnoreKind kind;
  if (!IgnoreKindFromName(Utf8ToWide(fields[0]), &kind))
    return Status::Error(L"it does not begin with key, value, path or host and a tab");
  const size_t wanted = kind == IgnoreKind::kValue ? 3 : 2;
  if (fields.size() != wanted)
    return Status::Error(L"a " + IgnoreKindName(kind) + L" line has " + std::to_wstring(wanted) +
                         L" fields separated by tabs, not " + std::to_wstring(fields.size()));
  return MakeIgnoreEntry(kind, Utf8ToWide(fields[1]), wanted == 3 ? Utf8ToWide(fields[2]) : L"", entry);
}

}  // namespace

IgnoreFile ParseIgnoreFile(std::string_view text) {
  IgnoreFile file;
  size_t number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    start = end == std::string_view::npos ? text.size() : end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    IgnoreEntry entry;
    if (Status s = ParseLine(line, &entry); !s.ok) {
      file.kept_lines.emplace_back(line);
      file.problems.push_back(L"line " + std::to_wstring(number) + L" of the ignore list was skipped: " + s.message);
      continue;
    }
    file.list.Add(entry);
  }
  return file;
}

std::string FormatIgnoreFile(const IgnoreFile& file) {
  std::string text =
      "# What orvane never reports on this machine: one entry a "
      "line, a kind (key, value, path or host),\n"
      "# a tab, the key, pattern or host (and for a value a tab "
      "and its name). 'orvane-cli ignore' edits it.\n";
  for (const IgnoreEntry& e : file.list.entries()) {
    text += WideToUtf8(IgnoreKindName(e.kind));
    text += '\t';
    text += WideToUtf8(e.text);
    if (e.kind == IgnoreKind::kValue) {
      text += '\t';
      text += WideToUtf8(e.value);
    }
    text += '\n';
  }
  for (const std::string& line : file.kept_lines) text += line + "\n";
  return text;
}

IgnoreFile ReadIgnoreFile(StateFolder& state) {
  StateEntry entry;
  if (!state.Stat(kIgnoreFileName, &entry)) return {};
  std::string bytes;
  if (!state.Read(kIgnoreFileName, &bytes, kMostBytes)) {
    IgnoreFile file;
    file.unreadable = true;
    file.problems.push_back(state.Location() + L"/" + Utf8ToWide(kIgnoreFileName) +
                            L" could not be read (it is no file, or is larger "
                            L"than 64 MB): nothing is ignored");
    return file;
  }
  return ParseIgnoreFile(bytes);
}

Status WriteIgnoreFile(StateFolder& state, const IgnoreFile& file) {
  if (file.unreadable)
    return Status::Error(
        L"the ignore list was not changed: its file could not "
        L"be read, and would be lost");
  return state.Replace(kIgnoreFileName, FormatIgnoreFile(file));
}

}  // namespace orvane
