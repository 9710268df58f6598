// What the URL-cache program run inside a Wine prefix (orvane-urlcache.exe,
// see urlcache_helper/) answers, and what it is asked. Its answer is outside
// input: it is read strictly, and one that does not end in its "end" line
// (the program was killed, the disk filled) is refused whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace orvane::wine {

// The outcome of a delete or clear-history run.
struct UrlCacheDeletions {
  std::vector<std::wstring> deleted;
  std::vector<std::wstring> failed;
  bool history_cleared = false;  // the history store's own clear succeeded
};

// A "list" answer: true with the entries in the order given; false (entries
// untouched) when it is cut short or any line is malformed.
bool ParseUrlCacheList(std::string_view answer, std::vector<UrlCacheEntry>* entries);
// A "delete" or "clear-history" answer, under the same rule.
bool ParseUrlCacheDeletions(std::string_view answer, UrlCacheDeletions* result);
// The request file of a "delete" run: one URL per line, UTF-8. A URL that a
// line cannot carry (it holds a line end or a NUL) is left out and added to
// *unsendable.
std::string FormatDeleteRequest(const std::vector<std::wstring>& urls, std::vector<std::wstring>* unsendable);

}  // namespace orvane::wine
