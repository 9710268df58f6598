#include "scanners/privacy_scanners.h"

#include "platform/registry_values.h"
#include "scanners/browsers/chrome_cleaners.h"
#include "scanners/browsers/firefox_cleaners.h"
#include "scanners/browsers/ie_cleaners.h"

namespace orvane {
namespace {

constexpr int32_t kCookieSection = section::kCookies;
constexpr int32_t kHistorySection = section::kHistory;
constexpr int32_t kCacheSection = section::kCache;
constexpr int32_t kTypedUrlSection = section::kTypedUrls;
constexpr int32_t kAutocompleteSection = section::kAutocomplete;

const wchar_t* TypeTextOf(int32_t section) {
  switch (section) {
    case kCookieSection:
      return L"Internet Cookie";
    case kHistorySection:
      return L"Internet History";
    case kCacheSection:
      return L"Internet Cache";
    default:
      return L"";
  }
}

// Every item the cleaner lists becomes a record as it is read, so a big
// history is never held twice (rows, then records); what could not be read
// is said after the scan. The progress line shows one item in 256: one for
// each would be a message a row, and with the program's pacing a pause
// every hundred rows (minutes for a big history).
void ReportItems(ScanContext& context, BrowserCleaner& cleaner, int32_t browser, int flag,
                 const std::wstring& type_text) {
  constexpr unsigned kItemsPerProgressLine = 256;
  unsigned listed = 0;
  cleaner.ListItems(flag, [&](const std::wstring& item) {
    if (!context.IsRunning()) return false;
    if (listed++ % kItemsPerProgressLine == 0) context.ReportProgress(type_text + L"\\" + item);
    context.AddTargetError(item, type_text);
    return true;
  });
  for (const std::wstring& problem : cleaner.unread())
    context.AddNote(BrowserDisplayName(browser) + L": " + problem + L"; it was left in place");
}

// Sections 17 to 19: announce, list, report every item.
void ScanBrowserSection(ScanContext& context, int32_t section, int32_t browser) {
  context.AnnounceSection(section, section);
  std::unique_ptr<BrowserCleaner> cleaner = MakeBrowserCleaner(context.platform(), section, browser);
  if (!cleaner) return;
  ReportItems(context, *cleaner, browser, browser == kInternetExplorer ? 0 : 1, TypeTextOf(section));
}

}  // namespace

std::wstring BrowserDisplayName(int32_t browser) {
  switch (browser) {
    case kInternetExplorer:
      return L"Internet Explorer";
    case kFirefox:
      return L"Firefox";
    case kChrome:
      return L"Chrome";
    default:
      return L"";
  }
}

std::unique_ptr<BrowserCleaner> MakeBrowserCleaner(Platform& platform, int32_t section, int32_t browser) {
  switch (browser) {
    case kInternetExplorer:
      if (section == kCookieSection) return std::make_unique<ie_cookies>(platform);
      if (section == kHistorySection) return std::make_unique<ie_history>(platform);
      if (section == kCacheSection) return std::make_unique<ie_cache>(platform);
      return nullptr;
    case kFirefox:
      if (section == kCookieSection) return std::make_unique<firefox_cookies>(platform);
      if (section == kHistorySection) return std::make_unique<firefox_history>(platform);
      if (section == kCacheSection) return std::make_unique<firefox_cache>(platform);
      if (section == kTypedUrlSection) return std::make_unique<firefox_typedurl>(platform);
      if (section == kAutocompleteSection) return std::make_unique<firefox_autocompletelist>(platform);
      return nullptr;
    case kChrome:
      if (section == kCookieSection) return std::make_unique<chrome_cookies>(platform);
      if (section == kHistorySection) return std::make_unique<chrome_history>(platform);
      if (section == kCacheSection) return std::make_unique<chrome_cache>(platform);
      if (section == kTypedUrlSection) return std::make_unique<chrome_typedurl>(platform);
      if (section == kAutocompleteSection) return std::make_unique<chrome_autocomplete>(platform);
      return nullptr;
    default:
      return nullptr;
  }
}

void ScanBrowserCookies(ScanContext& context, int32_t browser) { ScanBrowserSection(context, kCookieSection, browser); }

void ScanBrowserHistory(ScanContext& context, int32_t browser) {
  ScanBrowserSection(context, kHistorySection, browser);
}

void ScanBrowserCache(ScanContext& context, int32_t browser) { ScanBrowserSection(context, kCacheSection, browser); }

void ScanBrowserUrls(ScanContext& context, int32_t section, int32_t browser, bool autocomplete) {
  context.AnnounceSection(section, section);
  if (browser != kFirefox && browser != kChrome) return;
  std::unique_ptr<BrowserCleaner> cleaner =
      MakeBrowserCleaner(context.platform(), autocomplete ? kAutocompleteSection : kTypedUrlSection, browser);
  ReportItems(context, *cleaner, browser, 1, autocomplete ? L"Autocomplete" : L"Typed url");
}

void ScanTypedUrls(ScanContext& context, const std::wstring& key_path) {
  Platform& platform = context.platform();
  HKEY key = 0;
  if (platform.OpenKey(HKEY_CURRENT_USER, key_path, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD sub_keys = 0, values = 0;
  if (platform.QueryInfoKey(key, &sub_keys, &values) != ERROR_SUCCESS) {
    platform.CloseKey(key);
    return;
  }
  for (DWORD index = 0; index < values && context.IsRunning(); ++index) {
    std::wstring name;
    DWORD type = 0;
    std::string data;
    if (platform.EnumValue(key, index, &name, &type, &data) != ERROR_SUCCESS) continue;
    context.ReportProgress(key_path + L"\\" + name);
    CRegistryItem item;
    item.valueType = type;
    item.rootKey = context.root_key();
    item.rootName = context.root_name();
    item.subKey = key_path;
    item.valueName = name;
    item.valueData = RegistryDataAsText(data);
    context.AddRegistryError(L"The key " + key_path + L"\\" + name + L" is a History URL", L"Internet History ", item,
                             key_path, ErrorType::RegistryKey);
  }
  platform.CloseKey(key);
}

BrowserCleanResult CleanBrowserData(Platform& platform, int32_t section, const std::vector<std::wstring>& selection,
                                    const IgnoreList* ignore) {
  BrowserCleanResult result;
  for (int32_t browser = kInternetExplorer; browser <= kChrome; ++browser) {
    if (static_cast<size_t>(browser) >= selection.size() || selection[browser] != L"1") continue;
    bool cleaned = true;
    try {
      std::unique_ptr<BrowserCleaner> cleaner = MakeBrowserCleaner(platform, section, browser);
      if (cleaner && ignore && !ignore->empty())
        cleaner->KeepCookiesOf([ignore](std::wstring_view host) { return ignore->MatchesHost(host); });
      if (cleaner) cleaned = cleaner->Clean();
    } catch (...) {
      // One browser's failure must not keep the next one's data.
      cleaned = false;
    }
    if (!cleaned) result.left_in_place.push_back(BrowserDisplayName(browser));
  }
  return result;
}

}  // namespace orvane
