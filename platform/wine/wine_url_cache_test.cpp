#include <gtest/gtest.h>

#include <filesystem>

#include "platform/testing/temp_prefix.h"
#include "platform/testing/url_cache_fixture.h"
#include "platform/wine/url_cache_index.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using testing::TempPrefix;

constexpr wchar_t kCache[] = L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCache";
constexpr wchar_t kIndex[] = L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\UrlCache.index";

bool SameEntries(const std::vector<UrlCacheEntry>& a, const std::vector<UrlCacheEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].source_url != b[i].source_url || a[i].local_file != b[i].local_file || a[i].entry_type != b[i].entry_type)
      return false;
  return true;
}

TEST(UrlCacheIndexTest, FieldsWithSeparatorsAndNonAsciiSurviveARoundTrip) {
  std::vector<UrlCacheEntry> entries = {
      {L"http://example.com/a\tb%20c\r\nd", L"C:\\x\\caf\u00e9 \u4e2d.htm", NORMAL_CACHE_ENTRY},
      {L"Cookie:tester@example.com/", L"", COOKIE_CACHE_ENTRY},
      {L"Visited: tester@http://example.com/", L"", URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY},
  };
  std::string text = FormatUrlCacheIndex(entries);
  std::vector<UrlCacheEntry> back;
  std::wstring error;
  ASSERT_TRUE(ParseUrlCacheIndex(text, &back, &error)) << error;
  EXPECT_TRUE(SameEntries(entries, back));
  // CR LF line ends and blank lines read the same.
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n\r\n") : std::string(1, c);
  ASSERT_TRUE(ParseUrlCacheIndex(crlf, &back, &error)) << error;
  EXPECT_TRUE(SameEntries(entries, back));
}

TEST(UrlCacheIndexTest, DamageIsReportedWithItsLine) {
  struct Case {
    const char* text;
    const wchar_t* error;
  } cases[] = {
      {"", L"line 1: not a URL cache index"},
      {"URL-CACHE-INDEX 2\n", L"line 1: not a URL cache index"},
      {"URL-CACHE-INDEX 1\n00000001\thttp://a\n", L"line 2: an entry has three fields separated by tabs"},
      {"URL-CACHE-INDEX 1\n00000001\thttp://a\t\tx\n", L"line 2: an entry has three fields separated by tabs"},
      {"URL-CACHE-INDEX 1\n0001\thttp://a\t\n", L"line 2: the entry type is not 8 hex digits"},
      {"URL-CACHE-INDEX 1\n0000000g\thttp://a\t\n", L"line 2: the entry type is not 8 hex digits"},
      {"URL-CACHE-INDEX 1\n\n00000001\t\t\n", L"line 3: the source URL is empty or badly encoded"},
      {"URL-CACHE-INDEX 1\n00000001\thttp://a%2\t\n", L"line 2: the source URL is empty or badly encoded"},
      {"URL-CACHE-INDEX 1\n00000001\thttp://\xff\t\n", L"line 2: the source URL is empty or badly encoded"},
      {"URL-CACHE-INDEX 1\n00000001\thttp://a\tC:\\%zz\n", L"line 2: the local file is badly encoded"},
  };
  for (const auto& c : cases) {
    std::vector<UrlCacheEntry> entries = {{L"keep", L"", 1}};
    std::wstring error;
    EXPECT_FALSE(ParseUrlCacheIndex(c.text, &entries, &error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    EXPECT_EQ(entries.size(), 1u) << "entries must stay untouched";
  }
}

TEST(WineUrlCacheTest, MissingIndexIsAnEmptyCache) {
  TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(UrlCacheIndexPath(*p), kIndex);
  std::vector<UrlCacheEntry> entries = {{L"stale", L"", 1}};
  EXPECT_TRUE(p->ListUrlCache(&entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(p->DeleteUrlCacheEntry(L"http://nothing/"));
  EXPECT_TRUE(p->ClearUrlHistory());
  EXPECT_FALSE(fs::exists(prefix.HostPath(kIndex))) << "no index may appear from nothing";
}

TEST(WineUrlCacheTest, DeletingAnEntryRemovesItsCopyAndKeepsTheRest) {
  TempPrefix prefix;
  std::wstring copy = std::wstring(kCache) + L"\\IE\\AB12\\page[1].htm";
  prefix.File(copy, "<html>");
  auto p = prefix.Open();
  ASSERT_TRUE(testing::WriteUrlCache(*p, {{L"http://a.example/", copy, NORMAL_CACHE_ENTRY},
                                          {L"Cookie:tester@a.example/", L"", COOKIE_CACHE_ENTRY},
                                          {L"http://b.example/", L"", NORMAL_CACHE_ENTRY}}));
  EXPECT_TRUE(p->DeleteUrlCacheEntry(L"http://a.example/"));
  EXPECT_FALSE(fs::exists(prefix.HostPath(copy)));
  std::vector<UrlCacheEntry> left;
  ASSERT_TRUE(p->ListUrlCache(&left));
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].source_url, L"Cookie:tester@a.example/");
  EXPECT_EQ(left[1].source_url, L"http://b.example/");
  // URLs are matched exactly: another case is another entry.
  EXPECT_FALSE(p->DeleteUrlCacheEntry(L"HTTP://B.EXAMPLE/"));
  EXPECT_FALSE(p->DeleteUrlCacheEntry(L"http://a.example/"));
}

TEST(WineUrlCacheTest, CopiesOutsideTheCacheFoldersAreNeverDeleted) {
  TempPrefix prefix;
  prefix.File(L"C:\\users\\tester\\Documents\\thesis.doc", "precious");
  prefix.File(L"C:\\windows\\system32\\kernel32.dll", "system");
  auto p = prefix.Open();
  std::wstring escape = std::wstring(kCache) + L"\\..\\..\\..\\..\\..\\Documents\\thesis.doc";
  ASSERT_TRUE(testing::WriteUrlCache(*p, {{L"http://a/", L"C:\\windows\\system32\\kernel32.dll", 1},
                                          {L"http://b/", escape, 1},
                                          {L"http://c/", L"C:\\users\\tester\\Documents\\thesis.doc", 1}}));
  EXPECT_TRUE(p->DeleteUrlCacheEntry(L"http://a/"));
  EXPECT_TRUE(p->DeleteUrlCacheEntry(L"http://b/"));
  EXPECT_TRUE(p->DeleteUrlCacheEntry(L"http://c/"));
  EXPECT_TRUE(fs::exists(prefix.HostPath(L"C:\\windows\\system32\\kernel32.dll")));
  EXPECT_TRUE(fs::exists(prefix.HostPath(L"C:\\users\\tester\\Documents\\thesis.doc")));
  std::vector<UrlCacheEntry> left;
  ASSERT_TRUE(p->ListUrlCache(&left));
  EXPECT_TRUE(left.empty());
}

TEST(WineUrlCacheTest, ClearHistoryRemovesHistoryEntriesOnly) {
  TempPrefix prefix;
  auto p = prefix.Open();
  ASSERT_TRUE(testing::WriteUrlCache(
      *p, {{L"Visited: tester@http://a/", L"", URLHISTORY_CACHE_ENTRY},
           {L"http://a/", L"", NORMAL_CACHE_ENTRY},
           {L"Cookie:tester@a/", L"", COOKIE_CACHE_ENTRY},
           {L":2024010120240108: tester@http://b/", L"", URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY}}));
  EXPECT_TRUE(p->ClearUrlHistory());
  std::vector<UrlCacheEntry> left;
  ASSERT_TRUE(p->ListUrlCache(&left));
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].source_url, L"http://a/");
  EXPECT_EQ(left[1].source_url, L"Cookie:tester@a/");
}

TEST(WineUrlCacheTest, ADamagedIndexFailsEveryCallAndIsNeverRewritten) {
  TempPrefix prefix;
  const std::string damaged = "URL-CACHE-INDEX 1\n00200000\thttp://a/\t\ngarbage line\n";
  prefix.File(kIndex, damaged);
  auto p = prefix.Open();
  std::vector<UrlCacheEntry> entries;
  EXPECT_FALSE(p->ListUrlCache(&entries));
  EXPECT_FALSE(p->DeleteUrlCacheEntry(L"http://a/"));
  EXPECT_FALSE(p->ClearUrlHistory());
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(kIndex)), damaged);
}

TEST(WineUrlCacheTest, AnEntryLongerThanAWinInetBufferIsListedWhole) {
  TempPrefix prefix;
  auto p = prefix.Open();
  std::wstring url = L"http://example.com/?q=" + std::wstring(6000, L'x');
  ASSERT_TRUE(testing::AddUrlCacheEntry(*p, {url, L"", NORMAL_CACHE_ENTRY}));
  std::vector<UrlCacheEntry> entries;
  ASSERT_TRUE(p->ListUrlCache(&entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].source_url, url);
}

}  // namespace
}  // namespace orvane::wine
