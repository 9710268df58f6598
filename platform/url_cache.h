// The URL cache role: Internet Explorer's URL cache and history store.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_types.h"

namespace orvane {

// An entry of Internet Explorer's URL cache (WinINet's cache entry info,
// reduced to what the cleaners use).
struct UrlCacheEntry {
  std::wstring source_url;  // the URL the entry was stored under
  std::wstring local_file;  // the cached copy, a Windows path; may be ""
  DWORD entry_type = 0;     // NORMAL_CACHE_ENTRY, COOKIE_CACHE_ENTRY, ...
};

class UrlCache {
 public:
  virtual ~UrlCache() = default;

  // Every entry of the URL cache, in the cache's order. False when the cache
  // cannot be read (entries untouched).
  virtual bool ListUrlCache(std::vector<UrlCacheEntry>* entries) {
    (void)entries;
    return false;
  }
  // DeleteUrlCacheEntryW: removes the entry stored under source_url and its
  // cached copy. False when there is no such entry or it could not go.
  virtual bool DeleteUrlCacheEntry(const std::wstring& source_url) {
    (void)source_url;
    return false;
  }
  // DeleteUrlCacheEntry for each URL, in order, as one change where that is
  // cheaper (under Wine, one run of a program in the prefix). *failed (may
  // be null) gets the URLs that are still there or could not be asked for.
  // True when every one went.
  virtual bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                                     std::vector<std::wstring>* failed) {
    bool all = true;
    for (const std::wstring& url : source_urls) {
      if (DeleteUrlCacheEntry(url)) continue;
      all = false;
      if (failed) failed->push_back(url);
    }
    return all;
  }
  // IUrlHistoryStg2::ClearHistory. False when there is no history store.
  virtual bool ClearUrlHistory() { return false; }
};

}  // namespace orvane
