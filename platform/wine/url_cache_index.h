// The text form of the URL cache index kept inside a Wine prefix (see
// wine_url_cache.cpp for where it lives and how it is changed). Parsing is
// strict: the index is outside input, and a file we cannot read completely
// is never rewritten, so nothing it holds can be lost by a clean.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace orvane::wine {

// The first line of every index file.
inline constexpr char kUrlCacheIndexHeader[] = "URL-CACHE-INDEX 1";

// Reads the whole index. True with the entries in file order; false with
// *error set ("line N: what") when any line is malformed, entries untouched.
bool ParseUrlCacheIndex(std::string_view text, std::vector<UrlCacheEntry>* entries, std::wstring* error);
// The index holding entries, in order; ParseUrlCacheIndex gives them back.
std::string FormatUrlCacheIndex(const std::vector<UrlCacheEntry>& entries);

// The Windows path of the index of the machine's user:
// <local application data>\Microsoft\Windows\UrlCache.index; "" when the
// platform names no local application-data folder.
std::wstring UrlCacheIndexPath(Platform& platform);

}  // namespace orvane::wine
