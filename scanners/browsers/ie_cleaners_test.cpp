// The Internet Explorer cleaners over the prefix's URL cache.
#include "scanners/browsers/ie_cleaners.h"

#include <gtest/gtest.h>

#include "platform/testing/recording_platform.h"
#include "platform/testing/url_cache_double.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane {
namespace {

using testing::BrowserTest;

constexpr DWORD kSticky = 0x4;

class IeCleanersTest : public BrowserTest {
 protected:
  Platform& WithCache(std::vector<UrlCacheEntry> entries) {
    cache_ = std::make_unique<testing::UrlCacheDouble>(Open(), std::move(entries));
    return *cache_;
  }
  Platform& WithCache() {
    return WithCache({
                                      {L"http://page/", L"", NORMAL_CACHE_ENTRY},
                                      {L"Cookie:tester@site/", L"", COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY},
                                      {L"Visited: tester@http://page/", L"", URLHISTORY_CACHE_ENTRY},
                                      {L"http://sticky/", L"", NORMAL_CACHE_ENTRY | kSticky},
                                      {L"http://odd/", L"", kSticky},
                                      {L"Visited: tester@http://x/", L"", URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY},
                                  });
  }
  std::vector<std::wstring> Remaining(Platform& p) {
    std::vector<UrlCacheEntry> entries;
    EXPECT_TRUE(p.ListUrlCache(&entries));
    std::vector<std::wstring> urls;
    for (const auto& e : entries) urls.push_back(e.source_url);
    return urls;
  }
  std::unique_ptr<testing::UrlCacheDouble> cache_;
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

TEST_F(IeCleanersTest, AUrlListedTwiceIsAskedForOnceInOneRequest) {
  Platform& p = WithCache({{L"http://twice/", L"", NORMAL_CACHE_ENTRY},
                           {L"Cookie:tester@twice/", L"", COOKIE_CACHE_ENTRY},
                           {L"http://twice/", L"", NORMAL_CACHE_ENTRY}});
  testing::RecordingPlatform recording(p);
  EXPECT_TRUE(ie_cache(recording).Clean());
  EXPECT_EQ(recording.changes(), std::vector<std::wstring>{L"DeleteUrlCacheEntry http://twice/"});
  EXPECT_EQ(cache_->requests, 1);
  EXPECT_EQ(Remaining(p), std::vector<std::wstring>{L"Cookie:tester@twice/"});
}

TEST_F(IeCleanersTest, AnUnreadableCacheIsReportedAsLeftInPlace) {
  WithCache({{L"Cookie:tester@site/", L"", COOKIE_CACHE_ENTRY}});
  cache_->readable = false;
  ie_cookies cookies(*cache_);
  cookies.List(0);
  EXPECT_TRUE(cookies.found_items().empty());
  EXPECT_FALSE(cookies.Clean());
  EXPECT_FALSE(ie_history(*cache_).Clean());
  // An empty cache is nothing left behind.
  cache_->readable = true;
  cache_ = std::make_unique<testing::UrlCacheDouble>(*platform, std::vector<UrlCacheEntry>{});
  EXPECT_TRUE(ie_cache(*cache_).Clean());
  EXPECT_TRUE(ie_history(*cache_).Clean());
}

}  // namespace
}  // namespace orvane
