#include "scanners/browsers/ie_cleaners.h"

#include <algorithm>

#include "scanners/browsers/cookie_host.h"

namespace orvane {
namespace {

constexpr DWORD kCookieOrHistory = COOKIE_CACHE_ENTRY | URLHISTORY_CACHE_ENTRY;

}  // namespace

ie_base::ie_base(Platform& platform, DWORD mask, std::wstring display_name, std::wstring description,
                 std::wstring browser_name, std::wstring process_name)
    : BrowserCleaner(platform, std::move(display_name), std::move(description), std::move(browser_name),
                     std::move(process_name)),
      mask_(mask) {}

bool ie_base::Takes(const UrlCacheEntry& entry) const {
  if (!Qualifies(entry.entry_type)) return false;
  return !(kept_host_ && (entry.entry_type & COOKIE_CACHE_ENTRY) != 0 && kept_host_(CookieHost(entry.source_url)));
}

bool ie_base::Qualifies(DWORD entry_type) const {
  if ((mask_ & entry_type) == 0) return false;
  return (mask_ & kCookieOrHistory) != 0 || (mask_ == NORMAL_CACHE_ENTRY && (entry_type & kCookieOrHistory) == 0);
}

void ie_base::List(int) {
  std::vector<UrlCacheEntry> entries;
  if (!platform_.ListUrlCache(&entries)) return;
  for (const auto& entry : entries)
    if (Qualifies(entry.entry_type)) found_items_.push_back(entry.source_url);
}

bool ie_base::Clean() {
  std::vector<UrlCacheEntry> entries;
  if (!platform_.ListUrlCache(&entries)) return false;
  // One request for all of them: under Wine every request to the cache is a
  // run of a program in the prefix. A URL listed twice is asked for once.
  std::vector<std::wstring> urls;
  for (const auto& entry : entries)
    if (Takes(entry) && std::find(urls.begin(), urls.end(), entry.source_url) == urls.end())
      urls.push_back(entry.source_url);
  if (urls.empty() || platform_.DeleteUrlCacheEntries(urls, nullptr)) return true;
  // What counts is whether anything of ours is still there.
  if (!platform_.ListUrlCache(&entries)) return false;
  for (const auto& entry : entries)
    if (Takes(entry)) return false;
  return true;
}

bool ie_base::DeleteEntry(const UrlCacheEntry& entry) {
  if (!Takes(entry)) return true;
  return platform_.DeleteUrlCacheEntry(entry.source_url);
}

ie_cache::ie_cache(Platform& platform)
    : ie_base(platform, NORMAL_CACHE_ENTRY, L"Internet Explorer Cache", L"Clears the Internet Explorer browser cache",
              L"Internet Explorer", L"iexplore.exe") {}

ie_history::ie_history(Platform& platform)
    : ie_base(platform, URLHISTORY_CACHE_ENTRY, L"Internet Explorer History",
              L"Removes Internet Explorer history records", L"", L"") {}

bool ie_history::Clean() {
  bool entries_gone = ie_base::Clean();
  return platform_.ClearUrlHistory() && entries_gone;
}

ie_cookies::ie_cookies(Platform& platform)
    : ie_base(platform, COOKIE_CACHE_ENTRY, L"Internet Explorer Cookies", L"Removes Internet Explorer cookie files",
              L"", L"") {}

}  // namespace orvane
