// Answers of the URL-cache program as Wine's WinINet gives them (lines taken
// from a run in a real prefix), and the ways an answer can be damaged.
#include "platform/wine/url_cache_answer.h"

#include <gtest/gtest.h>

namespace orvane::wine {
namespace {

const char kListed[] =
    "entry\t00100000\tCookie:root@127.0.0.1/\tC:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCookies\\"
    "RKLYGJNB.txt\n"
    "entry\t00200001\tVisited: root@http://127.0.0.1:44409/c.html\t\n"
    "entry\t00000001\thttp://127.0.0.1:44409/c.html?q=a%09b%25\tC:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\"
    "INetCache\\Content.IE5\\QE2OQHRQ\\c[0]\n"
    "end\n";

TEST(UrlCacheAnswer, AListOfRealEntriesIsReadWithTypesAndEscapes) {
  std::vector<UrlCacheEntry> entries;
  ASSERT_TRUE(ParseUrlCacheList(kListed, &entries));
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].entry_type, COOKIE_CACHE_ENTRY);
  EXPECT_EQ(entries[0].source_url, L"Cookie:root@127.0.0.1/");
  EXPECT_EQ(entries[1].entry_type, URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY);
  EXPECT_EQ(entries[1].local_file, L"");
  EXPECT_EQ(entries[2].source_url, L"http://127.0.0.1:44409/c.html?q=a\tb%");
  EXPECT_EQ(entries[2].local_file,
            L"C:\\users\\root\\AppData\\Local\\Microsoft\\Windows\\INetCache\\Content.IE5\\QE2OQHRQ\\c[0]");
  ASSERT_TRUE(ParseUrlCacheList("end\n", &entries));
  EXPECT_TRUE(entries.empty());
}

// A run killed half-way, or a stray line, must not pass for a smaller cache:
// the cleaners would report a clean cache that is not.
TEST(UrlCacheAnswer, ACutOrDamagedAnswerIsRefusedWhole) {
  std::vector<UrlCacheEntry> entries{{L"kept", L"", 1}};
  std::string whole = kListed;
  for (const std::string& bad : std::vector<std::string>{
           std::string(""),
           whole.substr(0, whole.size() - 4),                   // no "end"
           whole.substr(0, whole.size() - 1),                   // "end" never finished
           "entry\t1\thttp://x/\t\nend\n",                      // short type
           "entry\t00000001\t\t\nend\n",                        // no URL
           "entry\t00000001\thttp://x/%4\t\nend\n",             // broken escape
           "entry\t00000001\thttp://x/%ff\t\nend\n",            // not UTF-8
           "entry\t00000001\thttp://x/\nend\n",                 // a field missing
           "end\nentry\t00000001\thttp://x/\t\nend\n" + whole,  // "end" in the middle
       }) {
    EXPECT_FALSE(ParseUrlCacheList(bad, &entries)) << bad;
  }
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].source_url, L"kept");
}

TEST(UrlCacheAnswer, DeletionsAndTheHistoryResult) {
  UrlCacheDeletions result;
  ASSERT_TRUE(ParseUrlCacheDeletions(
      "history\t80004001\ndeleted\tVisited: root@http://a/\nfailed\t2\thttp://gone/\nend\n", &result));
  EXPECT_FALSE(result.history_cleared);
  EXPECT_EQ(result.deleted, std::vector<std::wstring>{L"Visited: root@http://a/"});
  EXPECT_EQ(result.failed, std::vector<std::wstring>{L"http://gone/"});
  ASSERT_TRUE(ParseUrlCacheDeletions("history\t00000000\nend\n", &result));
  EXPECT_TRUE(result.history_cleared);
  EXPECT_FALSE(ParseUrlCacheDeletions("deleted\thttp://a/\n", &result));
  EXPECT_FALSE(ParseUrlCacheDeletions("removed\thttp://a/\nend\n", &result));
}

TEST(UrlCacheAnswer, ARequestCarriesOnlyUrlsALineCanHold) {
  std::vector<std::wstring> unsendable;
  EXPECT_EQ(FormatDeleteRequest({L"http://a/", L"http://b/\nhttp://victim/", L"", L"http://\u00e9/"}, &unsendable),
            "http://a/\nhttp://\xc3\xa9/\n");
  EXPECT_EQ(unsendable, (std::vector<std::wstring>{L"http://b/\nhttp://victim/", L""}));
}

}  // namespace
}  // namespace orvane::wine
