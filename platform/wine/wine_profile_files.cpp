// Profile (ini) files of a prefix, read and written whole as the files they
// are: UTF-16 with its mark or UTF-8, "[section]" and "key=value" lines.
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "platform/wine/wine_files.h"

namespace orvane::wine {
namespace {

std::wstring Trim(const std::wstring& s) {
  size_t b = s.find_first_not_of(L" \t\r");
  if (b == std::wstring::npos) return L"";
  size_t e = s.find_last_not_of(L" \t\r");
  return s.substr(b, e - b + 1);
}

std::wstring DecodeIni(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE)
    return Utf16leToWide(std::string_view(bytes).substr(2));
  std::string_view b = bytes;
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") b.remove_prefix(3);
  return Utf8ToWide(b);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool IsSection(const std::wstring& line, std::wstring* name) {
  std::wstring t = Trim(line);
  if (t.size() < 2 || t.front() != L'[') return false;
  size_t close = t.find(L']');
  if (close == std::wstring::npos) return false;
  *name = Trim(t.substr(1, close - 1));
  return true;
}

bool IsEntry(const std::wstring& line, std::wstring* key, std::wstring* value) {
  size_t eq = line.find(L'=');
  std::wstring t = Trim(line);
  if (eq == std::wstring::npos || t.empty() || t[0] == L';') return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

}  // namespace

std::wstring WineFiles::ReadProfileString(const std::wstring& file, const std::wstring& section,
                                             const std::wstring& key, const std::wstring& fallback) {
  std::string bytes;
  if (!ReadFile(file, &bytes)) return fallback;
  bool in_section = false;
  for (const auto& line : Lines(DecodeIni(bytes))) {
    std::wstring name, k, v;
    if (IsSection(line, &name)) {
      in_section = EqualsNoCase(name, section);
    } else if (in_section && IsEntry(line, &k, &v) && EqualsNoCase(k, key)) {
      if (v.size() >= 2 && ((v.front() == L'"' && v.back() == L'"') || (v.front() == L'\'' && v.back() == L'\'')))
        v = v.substr(1, v.size() - 2);
      return v;
    }
  }
  return fallback;
}

bool WineFiles::WriteProfileString(const std::wstring& file, const std::wstring& section,
                                      const std::wstring& key, const std::wstring& value) {
  std::string bytes;
  std::vector<std::wstring> lines;
  if (ReadFile(file, &bytes)) lines = Lines(DecodeIni(bytes));
  bool in_section = false, done = false;
  size_t section_end = std::wstring::npos;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::wstring name, k, v;
    if (IsSection(lines[i], &name)) {
      if (in_section) break;
      in_section = EqualsNoCase(name, section);
      if (in_section) section_end = i + 1;
    } else if (in_section) {
      if (IsEntry(lines[i], &k, &v) && EqualsNoCase(k, key)) {
        lines[i] = k + L"=" + value;
        done = true;
      } else if (!Trim(lines[i]).empty()) {
        section_end = i + 1;
      }
    }
  }
  if (!done) {
    if (section_end == std::wstring::npos) {
      lines.push_back(L"[" + section + L"]");
      section_end = lines.size();
    }
    lines.insert(lines.begin() + static_cast<long>(section_end), key + L"=" + value);
  }
  std::wstring text;
  for (const auto& l : lines) text += l + L"\r\n";
  return WriteFileAtomic(file, WideToUtf8(text));
}

}  // namespace orvane::wine
