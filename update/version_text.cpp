#include "update/version_text.h"

#include <vector>

namespace orvane::update {
namespace {

bool Blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }
bool Digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view TrimEnd(std::wstring_view text) {
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

// "1.10.2" as its components without leading zeros; false when the text is
// not digits separated by single dots.
bool DottedNumber(std::wstring_view text, std::vector<std::wstring_view>* parts) {
  parts->clear();
  while (true) {
    size_t dot = text.find(L'.');
    std::wstring_view part = text.substr(0, dot);
    if (part.empty()) return false;
    for (wchar_t c : part)
      if (!Digit(c)) return false;
    while (part.size() > 1 && part.front() == L'0') part.remove_prefix(1);
    parts->push_back(part);
    if (dot == std::wstring_view::npos) return true;
    text.remove_prefix(dot + 1);
  }
}

// Compares digit strings without leading zeros as numbers, of any length.
int CompareNumbers(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace

std::wstring_view TrimBlanks(std::wstring_view text) {
  text = TrimEnd(text);
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  return text;
}

std::wstring ShownVersion(std::wstring_view text) {
  constexpr size_t kShown = 40;
  text = TrimBlanks(text);
  std::wstring shown;
  for (wchar_t c : text.substr(0, kShown)) shown.push_back(c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) ? L'?' : c);
  if (text.size() > kShown) shown += L"...";
  return shown;
}

std::wstring WidenAscii(std::string_view bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return text;
}

bool IsNewerVersion(std::wstring_view server, std::wstring_view own) {
  if (server.empty() || !Digit(server.front())) return false;
  server = TrimEnd(server);
  own = TrimEnd(own);
  if (server == own) return false;
  std::vector<std::wstring_view> theirs, ours;
  if (!DottedNumber(server, &theirs) || !DottedNumber(own, &ours)) return true;
  static constexpr std::wstring_view kZero = L"0";
  for (size_t i = 0; i < std::max(theirs.size(), ours.size()); ++i) {
    int order = CompareNumbers(i < theirs.size() ? theirs[i] : kZero, i < ours.size() ? ours[i] : kZero);
    if (order != 0) return order > 0;
  }
  return false;
}

std::optional<uint64_t> ParseAnnouncedSize(std::wstring_view text) {
  text = TrimBlanks(text);
  if (text.empty() || text.size() > 16) return std::nullopt;
  uint64_t size = 0;
  for (wchar_t c : text) {
    if (!Digit(c)) return std::nullopt;
    size = size * 10 + static_cast<uint64_t>(c - L'0');
  }
  if (size > (uint64_t{1} << 53)) return std::nullopt;
  return size;
}

}  // namespace orvane::update
