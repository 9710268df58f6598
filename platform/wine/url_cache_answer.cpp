#include "platform/wine/url_cache_answer.h"

#include "platform/text.h"

namespace orvane::wine {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False when an escape is malformed, a raw control byte appears or the
// bytes are not UTF-8 (a URL read back differently would never match).
bool DecodeField(std::string_view field, std::wstring* out) {
  std::string bytes;
  for (size_t i = 0; i < field.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(field[i]);
    if (c == '%') {
      if (i + 2 >= field.size()) return false;
      int hi = HexDigit(field[i + 1]), lo = HexDigit(field[i + 2]);
      if (hi < 0 || lo < 0) return false;
      bytes += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c < 0x20 || c == 0x7f) {
      return false;
    } else {
      bytes += static_cast<char>(c);
    }
  }
  *out = Utf8ToWide(bytes);
  return WideToUtf8(*out) == bytes;
}

std::vector<std::string_view> Split(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// The answer's lines without the closing "end"; false when it has none.
bool Lines(std::string_view answer, std::vector<std::string_view>* lines) {
  std::vector<std::string_view> all;
  size_t pos = 0;
  while (pos < answer.size()) {
    size_t end = answer.find('\n', pos);
    if (end == std::string_view::npos) return false;  // a last line never finished
    std::string_view line = answer.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    all.push_back(line);
    pos = end + 1;
  }
  if (all.empty() || all.back() != "end") return false;
  all.pop_back();
  *lines = std::move(all);
  return true;
}

bool ParseHex(std::string_view text, DWORD* value) {
  if (text.empty() || text.size() > 8) return false;
  DWORD v = 0;
  for (char c : text) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<DWORD>(d);
  }
  *value = v;
  return true;
}

}  // namespace

bool ParseUrlCacheList(std::string_view answer, std::vector<UrlCacheEntry>* entries) {
  std::vector<std::string_view> lines;
  if (!Lines(answer, &lines)) return false;
  std::vector<UrlCacheEntry> parsed;
  for (std::string_view line : lines) {
    std::vector<std::string_view> f = Split(line);
    UrlCacheEntry entry;
    if (f.size() != 4 || f[0] != "entry" || f[1].size() != 8 || !ParseHex(f[1], &entry.entry_type) ||
        !DecodeField(f[2], &entry.source_url) || entry.source_url.empty() || !DecodeField(f[3], &entry.local_file))
      return false;
    parsed.push_back(std::move(entry));
  }
  *entries = std::move(parsed);
  return true;
}

bool ParseUrlCacheDeletions(std::string_view answer, UrlCacheDeletions* result) {
  std::vector<std::string_view> lines;
  if (!Lines(answer, &lines)) return false;
  UrlCacheDeletions parsed;
  for (std::string_view line : lines) {
    std::vector<std::string_view> f = Split(line);
    std::wstring url;
    DWORD code = 0;
    if (f.size() == 2 && f[0] == "history" && ParseHex(f[1], &code)) {
      parsed.history_cleared = code == 0;  // S_OK
    } else if (f.size() == 2 && f[0] == "deleted" && DecodeField(f[1], &url)) {
      parsed.deleted.push_back(std::move(url));
    } else if (f.size() == 3 && f[0] == "failed" && DecodeField(f[2], &url)) {
      parsed.failed.push_back(std::move(url));
    } else {
      return false;
    }
  }
  *result = std::move(parsed);
  return true;
}

std::string FormatDeleteRequest(const std::vector<std::wstring>& urls, std::vector<std::wstring>* unsendable) {
  std::string out;
  for (const std::wstring& url : urls) {
    if (url.empty() || url.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos) {
      if (unsendable) unsendable->push_back(url);
      continue;
    }
    out += WideToUtf8(url);
    out += '\n';
  }
  return out;
}

}  // namespace orvane::wine
