// Internet Explorer's URL cache and URL history store for the Wine platform.
//
// A Linux program cannot call WinINet, so the prefix keeps the cache's entry
// list itself, in one index file of the machine's user:
//
//   <local application data>\Microsoft\Windows\UrlCache.index
//
// next to the INetCache, INetCookies and History folders (and outside them,
// so the temporary-file scan of the internet cache never lists the index as
// junk). The file is UTF-8 text with LF line ends (CR LF is read too):
//
//   URL-CACHE-INDEX 1
//   <entry type, 8 hex digits> TAB <source URL> TAB <local file>
//   ...
//
// one line per entry, in cache order. In both text fields the bytes '%', 0x00
// to 0x1F and 0x7F are written as %XX, so a field never holds a TAB or a line
// end; the local file is a Windows path, or empty for an entry without a
// cached copy. Entry types are WinINet's: NORMAL_CACHE_ENTRY (1) for cached
// pages, COOKIE_CACHE_ENTRY (0x100000), URLHISTORY_CACHE_ENTRY (0x200000).
//
// Every change rewrites the whole file through WriteFileAtomic, so a crash
// leaves the old index or the new one. An index that cannot be read
// completely (bad header, malformed line, invalid UTF-8) is damaged: every
// operation fails and the file is never rewritten, so nothing in it is lost.
// A missing index is an empty cache.
//
// Deleting an entry also deletes its cached copy, but only when that copy
// lies inside one of the user's cache folders (INetCache, INetCookies,
// History): the index is outside input, and a line naming some other file
// must never make a clean delete it.
#include <cstdio>

#include "platform/text.h"
#include "platform/wine/url_cache_index.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

bool MustEscape(unsigned char c) { return c == '%' || c < 0x20 || c == 0x7f; }

std::string EncodeField(const std::wstring& text) {
  std::string utf8 = WideToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (unsigned char c : utf8) {
    if (MustEscape(c)) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False when an escape is malformed or the bytes are not UTF-8.
bool DecodeField(std::string_view field, std::wstring* out) {
  std::string bytes;
  bytes.reserve(field.size());
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
  // The decoder replaces invalid sequences; a rewrite would then change the
  // entry, so such a field is damage, not text.
  return WideToUtf8(*out) == bytes;
}

bool ParseType(std::string_view field, DWORD* type) {
  if (field.size() != 8) return false;
  DWORD value = 0;
  for (char c : field) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<DWORD>(d);
  }
  *type = value;
  return true;
}

std::wstring LineError(size_t line, const wchar_t* what) { return L"line " + std::to_wstring(line) + L": " + what; }

enum class IndexState { kMissing, kRead, kDamaged };

IndexState LoadIndex(Platform& p, const std::wstring& path, std::vector<UrlCacheEntry>* entries) {
  if (path.empty()) return IndexState::kDamaged;
  DWORD attributes = p.GetFileAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return IndexState::kMissing;
  std::string bytes;
  std::wstring error;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || !p.ReadFile(path, &bytes) ||
      !ParseUrlCacheIndex(bytes, entries, &error)) {
    SetLastError(ERROR_CANTREAD);
    return IndexState::kDamaged;
  }
  return IndexState::kRead;
}

// True when path is a plain path (no "." or ".." steps) below folder.
bool LiesBelow(const std::wstring& path, const std::wstring& folder) {
  if (folder.empty() || path.size() <= folder.size() + 1) return false;
  if (!EqualsNoCase(std::wstring_view(path).substr(0, folder.size()), folder) || path[folder.size()] != L'\\')
    return false;
  size_t start = folder.size() + 1;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring_view step = std::wstring_view(path).substr(start, end - start);
    if (step.empty() || step == L"." || step == L".." || step.find(L'/') != std::wstring_view::npos) return false;
    start = end + 1;
  }
  return true;
}

// Removes the entry's cached copy when it is ours to remove. False only when
// a copy inside the cache folders exists and could not be deleted.
bool DeleteCachedCopy(Platform& p, const std::wstring& local_file) {
  if (local_file.empty()) return true;
  bool owned = false;
  for (int csidl : {CSIDL_INTERNET_CACHE, CSIDL_COOKIES, CSIDL_HISTORY})
    owned = owned || LiesBelow(local_file, p.SpecialFolder(csidl));
  if (!owned) return true;
  DWORD attributes = p.GetFileAttributes(local_file);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  if (attributes & FILE_ATTRIBUTE_READONLY) p.SetFileAttributes(local_file, attributes & ~FILE_ATTRIBUTE_READONLY);
  return p.DeleteFile(local_file);
}

// Deletes every entry that matches (and its copy) and rewrites the index.
// Entries whose copy could not be deleted stay. *matched tells whether any
// entry matched. False when a copy stayed or the index could not be written.
template <typename Match>
bool RemoveEntries(Platform& p, const std::wstring& path, std::vector<UrlCacheEntry> entries, Match match,
                   bool* matched) {
  std::vector<UrlCacheEntry> kept;
  bool all_gone = true;
  *matched = false;
  for (auto& e : entries) {
    if (!match(e)) {
      kept.push_back(std::move(e));
      continue;
    }
    *matched = true;
    if (!DeleteCachedCopy(p, e.local_file)) {
      all_gone = false;
      kept.push_back(std::move(e));
    }
  }
  if (kept.size() == entries.size()) return all_gone;
  return p.WriteFileAtomic(path, FormatUrlCacheIndex(kept)) && all_gone;
}

}  // namespace

bool ParseUrlCacheIndex(std::string_view text, std::vector<UrlCacheEntry>* entries, std::wstring* error) {
  std::vector<UrlCacheEntry> parsed;
  size_t line_no = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line_no == 1) {
      if (line != kUrlCacheIndexHeader) {
        *error = LineError(line_no, L"not a URL cache index");
        return false;
      }
      continue;
    }
    if (line.empty()) continue;
    size_t tab1 = line.find('\t');
    size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos || line.find('\t', tab2 + 1) != std::string_view::npos) {
      *error = LineError(line_no, L"an entry has three fields separated by tabs");
      return false;
    }
    UrlCacheEntry entry;
    if (!ParseType(line.substr(0, tab1), &entry.entry_type)) {
      *error = LineError(line_no, L"the entry type is not 8 hex digits");
      return false;
    }
    if (!DecodeField(line.substr(tab1 + 1, tab2 - tab1 - 1), &entry.source_url) || entry.source_url.empty()) {
      *error = LineError(line_no, L"the source URL is empty or badly encoded");
      return false;
    }
    if (!DecodeField(line.substr(tab2 + 1), &entry.local_file)) {
      *error = LineError(line_no, L"the local file is badly encoded");
      return false;
    }
    parsed.push_back(std::move(entry));
  }
  if (line_no == 0) {
    *error = LineError(1, L"not a URL cache index");
    return false;
  }
  *entries = std::move(parsed);
  return true;
}

std::string FormatUrlCacheIndex(const std::vector<UrlCacheEntry>& entries) {
  std::string out = kUrlCacheIndexHeader;
  out += '\n';
  for (const auto& e : entries) {
    char type[16];
    std::snprintf(type, sizeof type, "%08x\t", static_cast<unsigned>(e.entry_type));
    out += type;
    out += EncodeField(e.source_url);
    out += '\t';
    out += EncodeField(e.local_file);
    out += '\n';
  }
  return out;
}

std::wstring UrlCacheIndexPath(Platform& platform) {
  std::wstring local = platform.SpecialFolder(CSIDL_LOCAL_APPDATA);
  if (local.empty()) return L"";
  if (local.back() != L'\\') local += L'\\';
  return local + L"Microsoft\\Windows\\UrlCache.index";
}

bool WinePlatform::ListUrlCache(std::vector<UrlCacheEntry>* entries) {
  std::vector<UrlCacheEntry> read;
  switch (LoadIndex(*this, UrlCacheIndexPath(*this), &read)) {
    case IndexState::kMissing:
      entries->clear();
      return true;
    case IndexState::kRead:
      *entries = std::move(read);
      return true;
    case IndexState::kDamaged:
      break;
  }
  return false;
}

bool WinePlatform::DeleteUrlCacheEntry(const std::wstring& source_url) {
  std::wstring path = UrlCacheIndexPath(*this);
  std::vector<UrlCacheEntry> entries;
  IndexState state = LoadIndex(*this, path, &entries);
  if (state != IndexState::kRead) {
    if (state == IndexState::kMissing) SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  bool matched = false;
  bool ok = RemoveEntries(
      *this, path, std::move(entries), [&](const UrlCacheEntry& e) { return e.source_url == source_url; }, &matched);
  if (!matched) SetLastError(ERROR_FILE_NOT_FOUND);
  return matched && ok;
}

bool WinePlatform::ClearUrlHistory() {
  std::wstring path = UrlCacheIndexPath(*this);
  std::vector<UrlCacheEntry> entries;
  IndexState state = LoadIndex(*this, path, &entries);
  if (state == IndexState::kMissing) return true;
  if (state == IndexState::kDamaged) return false;
  bool matched = false;
  return RemoveEntries(
      *this, path, std::move(entries),
      [](const UrlCacheEntry& e) { return (e.entry_type & URLHISTORY_CACHE_ENTRY) != 0; }, &matched);
}

}  // namespace orvane::wine
