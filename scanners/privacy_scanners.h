// The browser privacy sections (17 to 21): the scanners that list each
// selected browser's cookies, history, cache, typed URLs and form history as
// records, and the repair hook that cleans them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scanners/browsers/browser_cleaner.h"
#include "scanners/scan_context.h"

namespace orvane {

// Browser indexes of the selection.
inline constexpr int32_t kInternetExplorer = 0;
inline constexpr int32_t kFirefox = 1;
inline constexpr int32_t kChrome = 2;

// The browser's name as the clean result gives it: "Internet Explorer",
// "Firefox", "Chrome"; "" for another index.
std::wstring BrowserDisplayName(int32_t browser);

// The cleaner class of a privacy section (17 to 21) for a browser; null when
// the pair has none (Internet Explorer in 20 and 21: those are registry
// records, removed by their own repair).
std::unique_ptr<BrowserCleaner> MakeBrowserCleaner(Platform& platform, int32_t section, int32_t browser);

// Sections 17 (cookies), 18 (history) and 19 (cache) for one browser: sets
// the context's section and ordinal to the section's id, announces it while
// running, and reports every listed item as a record of type File with the
// section's type text ("Internet Cookie", "Internet History",
// "Internet Cache"). Scan thread only.
void ScanBrowserCookies(ScanContext& context, int32_t browser);
void ScanBrowserHistory(ScanContext& context, int32_t browser);
void ScanBrowserCache(ScanContext& context, int32_t browser);
// Sections 20 and 21 for Firefox and Chrome: the typed URLs ("Typed url") or,
// with autocomplete set, the form history ("Autocomplete"). Another browser
// index only announces the section.
void ScanBrowserUrls(ScanContext& context, int32_t section, int32_t browser, bool autocomplete);
// Internet Explorer's typed URLs in sections 20 and 21: one record of type
// RegistryKey per value of HKEY_CURRENT_USER\key (type text
// "Internet History ", file path the key), so repairing any of them deletes
// the key. The caller has begun the section with the root key.
void ScanTypedUrls(ScanContext& context, const std::wstring& key);

// What a clean left behind: the display names of the browsers whose data
// could not be removed (a database locked by the running browser, or
// damaged), as BrowserDisplayName gives them, in browser order. Empty when
// everything selected was cleaned.
struct BrowserCleanResult {
  std::vector<std::wstring> left_in_place;
};

// The repair hook for a record of sections 17 to 21: cleans the section's
// data of every selected browser (selection: "1"/"0" for Internet Explorer,
// Firefox, Chrome; missing elements count as not selected). A browser whose
// data had to stay is named in the result (its store is then unchanged) and
// the next browser is still cleaned; callers that keep the silent behaviour
// ignore the result. Other sections do nothing. The cookies of hosts that
// ignore (if given) lists stay. Runs on the repair thread.
BrowserCleanResult CleanBrowserData(Platform& platform, int32_t section, const std::vector<std::wstring>& selection,
                                    const IgnoreList* ignore = nullptr);

}  // namespace orvane
