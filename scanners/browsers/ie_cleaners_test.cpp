// The Internet Explorer cleaners over the prefix's URL cache.
#include "scanners/browsers/ie_cleaners.h"

#include <gtest/gtest.h>

#include "platform/testing/recording_platform.h"
#include "platform/testing/url_cache_fixture.h"
#include "platform/wine/url_cache_index.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane {
namespace {

using testing::BrowserTest;

constexpr DWORD kSticky = 0x4;

class IeCleanersTest : public BrowserTest {
 protected:
  Platform& WithCache() {
    Platform& p = Open();
    EXPECT_TRUE(
        testing::WriteUrlCache(p, {
                                      {L"http://page/", L"", NORMAL_CACHE_ENTRY},
                                      {L"Cookie:tester@site/", L"", COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY},
                                      {L"Visited: tester@http://page/", L"", URLHISTORY_CACHE_ENTRY},
                                      {L"http://sticky/", L"", NORMAL_CACHE_ENTRY | kSticky},
                                      {L"http://odd/", L"", kSticky},
                                      {L"Visited: tester@http://x/", L"", URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY},
                                  }));
    return p;
  }
  std::vector<std::wstring> Remaining(Platform& p) {
    std::vector<UrlCacheEntry> entries;
    EXPECT_TRUE(p.ListUrlCache(&entries));
    std::vector<std::wstring> urls;
    for (const auto& e : entries) urls.push_back(e.source_url);
    return urls;
  }
};

TEST_F(IeCleanersTest, EachClassListsOnlyItsKindOfEntry) {
  Platform& p = WithCache();
  ie_cache cache(p);
  ie_cookies cookies(p);
  ie_history history(p);
  cache.List(0);
  cookies.List(0);
  history.List(0);
  // A cookie or history entry that is also a normal entry is not cache.
  EXPECT_EQ(cache.found_items(), (std::vector<std::wstring>{L"http://page/", L"http://sticky/"}));
  EXPECT_EQ(cookies.found_items(), std::vector<std::wstring>{L"Cookie:tester@site/"});
  EXPECT_EQ(history.found_items(),
            (std::vector<std::wstring>{L"Visited: tester@http://page/", L"Visited: tester@http://x/"}));
  EXPECT_TRUE(cache.item_list().empty()) << "the scan fills the item list";
  cache.FillItemList();
  EXPECT_EQ(cache.item_list(), cache.found_items());
  // Found items are not cleared by a second listing.
  cookies.List(0);
  EXPECT_EQ(cookies.found_items().size(), 2u);
}

TEST_F(IeCleanersTest, CleaningRemovesExactlyWhatWasListed) {
  Platform& p = WithCache();
  testing::RecordingPlatform recording(p);
  EXPECT_TRUE(ie_cache(recording).Clean());
  EXPECT_EQ(Remaining(p), (std::vector<std::wstring>{L"Cookie:tester@site/", L"Visited: tester@http://page/",
                                                     L"http://odd/", L"Visited: tester@http://x/"}));
  EXPECT_TRUE(ie_cookies(recording).Clean());
  EXPECT_EQ(Remaining(p),
            (std::vector<std::wstring>{L"Visited: tester@http://page/", L"http://odd/", L"Visited: tester@http://x/"}));
  recording.ClearChanges();
  EXPECT_TRUE(ie_history(recording).Clean());
  EXPECT_EQ(Remaining(p), std::vector<std::wstring>{L"http://odd/"});
  ASSERT_FALSE(recording.changes().empty());
  EXPECT_EQ(recording.changes().back(), L"ClearUrlHistory") << "the history store is cleared after the entries";
}

TEST_F(IeCleanersTest, AUrlListedTwiceIsCleanedWithoutAFalseFailure) {
  Platform& p = Open();
  ASSERT_TRUE(testing::WriteUrlCache(
      p, {{L"http://twice/", L"", NORMAL_CACHE_ENTRY}, {L"http://twice/", L"", NORMAL_CACHE_ENTRY}}));
  EXPECT_TRUE(ie_cache(p).Clean());
  EXPECT_TRUE(Remaining(p).empty());
}

TEST_F(IeCleanersTest, ADamagedCacheIsReportedAsLeftInPlace) {
  prefix.File(L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\UrlCache.index", "not an index\n");
  Platform& p = Open();
  ie_cookies cookies(p);
  cookies.List(0);
  EXPECT_TRUE(cookies.found_items().empty());
  EXPECT_FALSE(cookies.Clean());
  EXPECT_FALSE(ie_history(p).Clean());
  // An empty cache is nothing left behind.
  testing::TempPrefix clean_prefix;
  auto clean = clean_prefix.Open();
  EXPECT_TRUE(ie_cache(*clean).Clean());
  EXPECT_TRUE(ie_history(*clean).Clean());
}

}  // namespace
}  // namespace orvane
