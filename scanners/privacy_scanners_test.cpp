// The privacy sections end to end: browsers' data on a machine built in
// code, scanned into records and cleaned by the repair hook.
#include "scanners/privacy_scanners.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "model/pacer.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/url_cache_double.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::CountRows;
using testing::kChromeProfile;
using testing::kFirefoxProfile;

const std::wstring kFirefoxPlaces = std::wstring(kFirefoxProfile) + L"\\places.sqlite";
const std::wstring kFirefoxCookies = std::wstring(kFirefoxProfile) + L"\\cookies.sqlite";
const std::wstring kChromeHistory = std::wstring(kChromeProfile) + L"\\History";
const std::wstring kChromeCookies = std::wstring(kChromeProfile) + L"\\Cookies";
const std::wstring kFirefoxCache = std::wstring(kFirefoxProfile) + L"\\Cache\\";
const std::wstring kChromeCache = std::wstring(kChromeProfile) + L"\\Cache\\";
const std::wstring kTypedUrls = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";

class PrivacySectionsTest : public testing::BrowserTest {
 protected:
  // Every browser has history, cookies and a cache.
  void SetUp() override {
    BrowserTest::SetUp();
    AddFirefoxProfile();
    MakeDatabase(kFirefoxPlaces, testing::kFirefoxPlacesSchema,
                 "INSERT INTO moz_places (id, url, typed, guid) VALUES (1, 'https://ff.example/', 1, 'a');"
                 "INSERT INTO moz_historyvisits (place_id, visit_date) VALUES (1, 1), (1, 2);");
    MakeDatabase(kFirefoxCookies, testing::kFirefoxCookiesSchema,
                 "INSERT INTO moz_cookies (name, value, host) VALUES ('ff', '1', '.ff.example');");
    MakeDatabase(kChromeHistory, testing::kChromeHistorySchema,
                 "INSERT INTO urls (id, url, visit_count, last_visit_time) VALUES (1, 'https://cr.example/', 1, 1);"
                 "INSERT INTO visits (url, visit_time) VALUES (1, 1);");
    MakeDatabase(kChromeCookies, testing::kChromeCookiesSchema,
                 "INSERT INTO cookies VALUES (1, '.cr.example', '', 'cr', '1', x'', '/', 1, 0, 0, 1, 0, 0, 1, 0, 2,"
                 " 443, 1);");
    prefix.File(kFirefoxCache + L"ff_cache_1").File(kChromeCache + L"data_1");
    prefix.String(HKEY_CURRENT_USER, kTypedUrls, L"url1", L"http://one.example/")
        .String(HKEY_CURRENT_USER, kTypedUrls, L"url2", L"http://two.example/")
        .String(HKEY_CURRENT_USER, kTypedUrls, L"url3", L"http://three.example/")
        .String(HKEY_CURRENT_USER, kTypedUrls, L"url4", L"http://" + std::wstring(600, L'x') + L".example/")
        .String(HKEY_CURRENT_USER, kTypedUrls, L"url5", L"http://five.example/");
    Platform& p = Open();
    ie_cache_ = std::make_unique<testing::UrlCacheDouble>(
        p, std::vector<UrlCacheEntry>{{L"http://ie.example/", L"", NORMAL_CACHE_ENTRY},
                                      {L"Cookie:tester@ie.example/", L"", COOKIE_CACHE_ENTRY},
                                      {L"Visited: tester@http://ie.example/", L"", URLHISTORY_CACHE_ENTRY}});
    recording = std::make_unique<testing::RecordingPlatform>(static_cast<Platform&>(*ie_cache_));
    context = std::make_unique<ScanContext>(ScanEnvironment{*recording, errors, counters, queue, pacer});
    context->running = 1;
  }

  std::vector<std::wstring> Paths() const {
    std::vector<std::wstring> out;
    for (const auto& e : errors) out.push_back(e.filePath);
    return out;
  }
  std::vector<Message> SectionStarts() {
    std::vector<Message> out;
    for (auto& m : queue.Drain())
      if (m.code == kMsgSectionBegins) out.push_back(m);
    return out;
  }
  size_t IeEntries() {
    std::vector<UrlCacheEntry> entries;
    EXPECT_TRUE(ie_cache_->ListUrlCache(&entries));
    return entries.size();
  }

  // Internet Explorer's cache, held in memory (WinINet's own is tested
  // against Wine).
  std::unique_ptr<testing::UrlCacheDouble> ie_cache_;
  std::unique_ptr<testing::RecordingPlatform> recording;
  CErrorListEx errors;
  SectionCounters counters;
  MessageQueue queue;
  RecordingPacer pacer;
  std::unique_ptr<ScanContext> context;
};

TEST_F(PrivacySectionsTest, HistoryOfOneBrowserBecomesFileRecords) {
  ScanBrowserHistory(*context, kFirefox);
  ASSERT_EQ(errors.GetCount(), 1) << "Firefox's place only, not Chrome's";
  const CError& e = errors[0];
  EXPECT_EQ(e.errorType, ErrorType::File);
  EXPECT_EQ(e.section, 18);
  EXPECT_EQ(e.filePath, L"https://ff.example/");
  EXPECT_EQ(e.reason, L"The target file for https://ff.example/ file");
  EXPECT_EQ(e.typeText, L"Internet History");
  EXPECT_EQ(counters[18].found, 1);
  auto starts = SectionStarts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].wparam, 18);
  EXPECT_EQ(starts[0].lparam, 18);
  EXPECT_TRUE(recording->changes().empty()) << "a scan changes nothing";
}

TEST_F(PrivacySectionsTest, EachBrowserAnnouncesTheSectionAndReportsItsItems) {
  for (int32_t browser : {kInternetExplorer, kFirefox, kChrome}) ScanBrowserCache(*context, browser);
  EXPECT_EQ(SectionStarts().size(), 3u);
  const std::wstring chrome_listed =
      L"C:\\users\\tester\\AppData\\Local\\google\\chrome\\User Data\\Default\\\\Cache\\data_1";
  EXPECT_EQ(Paths(), (std::vector<std::wstring>{L"http://ie.example/", kFirefoxCache + L"ff_cache_1", chrome_listed}));
  for (const auto& e : errors) EXPECT_EQ(e.typeText, L"Internet Cache");

  errors.RemoveAll();
  for (int32_t browser : {kInternetExplorer, kFirefox, kChrome}) ScanBrowserCookies(*context, browser);
  EXPECT_EQ(Paths(), (std::vector<std::wstring>{L"Cookie:tester@ie.example/", L"profile host - .ff.example , name - ff",
                                                L"hostkey - .cr.example path - / name - cr value - 1"}));
  for (const auto& e : errors) EXPECT_EQ(e.typeText, L"Internet Cookie");
  EXPECT_TRUE(recording->changes().empty());
}

TEST_F(PrivacySectionsTest, TypedUrlsAndFormHistoryOfTheProfileBrowsers) {
  ScanBrowserUrls(*context, 20, kFirefox, false);
  ScanBrowserUrls(*context, 20, kInternetExplorer, false);  // announces, lists nothing
  ScanBrowserUrls(*context, 21, kChrome, true);             // no Web Data: nothing
  ASSERT_EQ(errors.GetCount(), 1);
  EXPECT_EQ(errors[0].filePath, L"profile fieldname - https://ff.example/ value -");
  EXPECT_EQ(errors[0].typeText, L"Typed url");
  EXPECT_EQ(errors[0].section, 20);
  EXPECT_EQ(SectionStarts().size(), 3u);
  EXPECT_FALSE(fs::exists(Host(std::wstring(kChromeProfile) + L"\\Web Data")));
}

TEST_F(PrivacySectionsTest, EveryTypedUrlValueIsARecordOfTheWholeKey) {
  for (int32_t section : {20, 21}) {
    errors.RemoveAll();
    context->BeginSection(L"HKEY_CURRENT_USER", HKEY_CURRENT_USER, section, section, false);
    ScanTypedUrls(*context, kTypedUrls);
    ASSERT_EQ(errors.GetCount(), 5);
    for (int i = 0; i < 5; ++i) {
      const CError& e = errors[i];
      std::wstring name = L"url" + std::to_wstring(i + 1);
      EXPECT_EQ(e.errorType, ErrorType::RegistryKey);
      EXPECT_EQ(e.section, section);
      EXPECT_EQ(e.filePath, kTypedUrls);
      EXPECT_EQ(e.typeText, L"Internet History ");
      EXPECT_EQ(e.reason, L"The key " + kTypedUrls + L"\\" + name + L" is a History URL");
      EXPECT_EQ(e.item.rootName, L"HKEY_CURRENT_USER");
      EXPECT_EQ(e.item.rootKey, HKEY_CURRENT_USER);
      EXPECT_EQ(e.item.subKey, kTypedUrls);
      EXPECT_EQ(e.item.valueName, name);
    }
    EXPECT_EQ(errors[0].item.valueData, L"http://one.example/");
    // A long URL whole, never cut short.
    EXPECT_EQ(errors[3].item.valueData, L"http://" + std::wstring(600, L'x') + L".example/");
    EXPECT_EQ(errors[4].item.valueData, L"http://five.example/");
  }
}

TEST_F(PrivacySectionsTest, NothingIsReportedOnceTheScanIsStopped) {
  context->running = 0;
  ScanBrowserHistory(*context, kChrome);
  ScanTypedUrls(*context, kTypedUrls);
  EXPECT_EQ(errors.GetCount(), 0);
  EXPECT_TRUE(queue.Drain().empty());
}

TEST_F(PrivacySectionsTest, RepairingACookieRecordCleansTheCookiesOfEverySelectedBrowser) {
  BrowserCleanResult r = CleanBrowserData(*ie_cache_, 17, {L"1", L"1", L"1"});
  EXPECT_TRUE(r.left_in_place.empty());
  EXPECT_EQ(CountRows(Host(kFirefoxCookies), "moz_cookies"), 0);
  EXPECT_EQ(CountRows(Host(kChromeCookies), "cookies"), 0);
  EXPECT_EQ(IeEntries(), 2u) << "only the cookie entry goes";
  // Their other data stays.
  EXPECT_EQ(CountRows(Host(kFirefoxPlaces), "moz_historyvisits"), 2);
  EXPECT_EQ(CountRows(Host(kChromeHistory), "visits"), 1);
  EXPECT_TRUE(fs::exists(Host(kChromeCache + L"data_1")));
}

TEST_F(PrivacySectionsTest, CookiesOfIgnoredHostsStayWhenCookiesAreCleaned) {
  testing::RunSql(Host(kFirefoxCookies),
                  "INSERT INTO moz_cookies (name, value, host) VALUES ('k', '1', 'www.ff.example'),"
                  " ('o', '1', 'badff.example'), ('g', '1', '.gone.example');");
  testing::RunSql(Host(kChromeCookies),
                  "INSERT INTO cookies VALUES (2, 'sub.cr.example', '', 'k', '1', x'', '/', 1, 0, 0, 1, 0, 0, 1, 0, 2,"
                  " 443, 1), (3, '.other.example', '', 'o', '1', x'', '/', 1, 0, 0, 1, 0, 0, 1, 0, 2, 443, 1);");
  IgnoreList ignore;
  IgnoreEntry entry;
  for (const wchar_t* host : {L"ff.example", L".cr.example", L"ie.example"}) {
    ASSERT_TRUE(MakeIgnoreEntry(IgnoreKind::kHost, host, L"", &entry));
    ignore.Add(entry);
  }
  ASSERT_TRUE(MakeIgnoreEntry(IgnoreKind::kKey, L"HKCU\\Software\\Other", L"", &entry));
  ignore.Add(entry);

  BrowserCleanResult r = CleanBrowserData(*ie_cache_, 17, {L"1", L"1", L"1"}, &ignore);
  EXPECT_TRUE(r.left_in_place.empty());
  EXPECT_EQ(testing::QueryRows(Host(kFirefoxCookies), "SELECT host FROM moz_cookies ORDER BY host"),
            (std::vector<std::string>{".ff.example", "www.ff.example"}));
  EXPECT_EQ(testing::QueryRows(Host(kChromeCookies), "SELECT host_key FROM cookies ORDER BY host_key"),
            (std::vector<std::string>{".cr.example", "sub.cr.example"}));
  EXPECT_EQ(IeEntries(), 3u) << "the ignored host's cookie entry stays";

  // Without the host entries every cookie goes, as before.
  IgnoreList keys_only;
  keys_only.Add(entry);
  r = CleanBrowserData(*ie_cache_, 17, {L"1", L"1", L"1"}, &keys_only);
  EXPECT_TRUE(r.left_in_place.empty());
  EXPECT_EQ(CountRows(Host(kFirefoxCookies), "moz_cookies"), 0);
  EXPECT_EQ(CountRows(Host(kChromeCookies), "cookies"), 0);
  EXPECT_EQ(IeEntries(), 2u);
}

TEST_F(PrivacySectionsTest, RepairingACacheRecordCleansCachesOnlyAndOnlyOfSelectedBrowsers) {
  BrowserCleanResult r = CleanBrowserData(*ie_cache_, 19, {L"1", L"0"});  // Chrome's flag is missing
  EXPECT_TRUE(r.left_in_place.empty());
  EXPECT_EQ(IeEntries(), 2u);
  EXPECT_TRUE(fs::exists(Host(kFirefoxCache + L"ff_cache_1")));
  EXPECT_TRUE(fs::exists(Host(kChromeCache + L"data_1")));
  r = CleanBrowserData(*ie_cache_, 19, {L"0", L"1", L"1"});
  EXPECT_FALSE(fs::exists(Host(kFirefoxCache + L"ff_cache_1")));
  EXPECT_FALSE(fs::exists(Host(kChromeCache + L"data_1")));
  EXPECT_EQ(CountRows(Host(kFirefoxCookies), "moz_cookies"), 1);
  EXPECT_EQ(CountRows(Host(kChromeHistory), "visits"), 1);
}

TEST_F(PrivacySectionsTest, TypedUrlSectionsLeaveInternetExplorerToTheRecordsOwnRepair) {
  for (int32_t section : {20, 21}) {
    recording->ClearChanges();
    BrowserCleanResult r = CleanBrowserData(*recording, section, {L"1", L"0", L"0"});
    EXPECT_TRUE(r.left_in_place.empty());
    EXPECT_TRUE(recording->changes().empty());
  }
  EXPECT_TRUE(CleanBrowserData(*ie_cache_, 42, {L"1", L"1", L"1"}).left_in_place.empty());
}

TEST_F(PrivacySectionsTest, ABrowserHoldingItsDatabaseIsNamedAndKeepsItsData) {
  sqlite3* browser = nullptr;
  ASSERT_EQ(sqlite3_open(Host(kFirefoxCookies).c_str(), &browser), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(browser, "BEGIN IMMEDIATE; INSERT INTO moz_cookies (name, host) VALUES ('new', 'x');", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  BrowserCleanResult r = CleanBrowserData(*ie_cache_, 17, {L"1", L"1", L"1"});
  sqlite3_exec(browser, "ROLLBACK;", nullptr, nullptr, nullptr);
  sqlite3_close(browser);
  EXPECT_EQ(r.left_in_place, std::vector<std::wstring>{L"Firefox"});
  EXPECT_EQ(CountRows(Host(kFirefoxCookies), "moz_cookies"), 1);
  EXPECT_EQ(CountRows(Host(kChromeCookies), "cookies"), 0) << "the next browser is still cleaned";
  EXPECT_EQ(IeEntries(), 2u);
}

}  // namespace
}  // namespace orvane
