// The Firefox cleaners over a profile whose databases have Firefox's tables.
#include "scanners/browsers/firefox_cleaners.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "scanners/browsers/browser_fixtures.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::BrowserTest;
using testing::CountRows;
using testing::kFirefoxCookiesSchema;
using testing::kFirefoxFormHistorySchema;
using testing::kFirefoxLocalProfile;
using testing::kFirefoxPlacesSchema;
using testing::kFirefoxProfile;
using testing::QueryRows;
using testing::ReadHostFile;
using testing::RunSql;

const std::wstring kPlaces = std::wstring(kFirefoxProfile) + L"\\places.sqlite";
const std::wstring kCookies = std::wstring(kFirefoxProfile) + L"\\cookies.sqlite";
const std::wstring kForms = std::wstring(kFirefoxProfile) + L"\\formhistory.sqlite";
const std::wstring kLegacy = std::wstring(kFirefoxProfile) + L"\\History.dat";

const char kPlacesRows[] =
    "INSERT INTO moz_places (id, url, title, visit_count, typed, guid) VALUES"
    " (1, 'https://news.example/', 'News', 3, 1, 'g1'),"
    " (2, 'https://mail.example/inbox', 'Inbox', 1, 0, 'g2'),"
    " (3, 'https://typed.example/', NULL, 2, 4, 'g3');"
    "INSERT INTO moz_historyvisits (from_visit, place_id, visit_date, visit_type) VALUES"
    " (0, 1, 1700000000000000, 1), (1, 1, 1700000001000000, 1), (0, 2, 1700000002000000, 2),"
    " (0, 3, 1700000003000000, 2);";

class FirefoxCleanersTest : public BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    AddFirefoxProfile();
  }
};

TEST_F(FirefoxCleanersTest, HistoryListsEveryPlaceAndCleaningEmptiesOnlyTheVisits) {
  MakeDatabase(kPlaces, kFirefoxPlacesSchema, kPlacesRows);
  Platform& p = Open();
  firefox_history history(p);
  history.List(1);
  EXPECT_EQ(history.item_list(), (std::vector<std::wstring>{L"https://news.example/", L"https://mail.example/inbox",
                                                            L"https://typed.example/"}));
  EXPECT_FALSE(fs::exists(Host(kPlaces) + "-wal")) << "listing leaves no journal files in the profile";
  EXPECT_TRUE(history.Clean());
  EXPECT_FALSE(fs::exists(Host(kPlaces) + "-wal")) << "nor does cleaning";
  EXPECT_EQ(CountRows(Host(kPlaces), "moz_historyvisits"), 0);
  EXPECT_EQ(CountRows(Host(kPlaces), "moz_places"), 3);
}

TEST_F(FirefoxCleanersTest, PlacesWithoutTheirTablesListNothingAndStayUnchanged) {
  MakeDatabase(kPlaces, "CREATE TABLE moz_something_else (id INTEGER PRIMARY KEY);");
  Platform& p = Open();
  const std::string before = ReadHostFile(Host(kPlaces));
  firefox_history history(p);
  history.List(1);
  EXPECT_TRUE(history.item_list().empty());
  EXPECT_TRUE(history.Clean());
  EXPECT_EQ(ReadHostFile(Host(kPlaces)), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(Host(kFirefoxProfile)), fs::directory_iterator()), 1)
      << "no journal or other file may be left beside it";
}

TEST_F(FirefoxCleanersTest, TypedUrlsAreThePlacesTypedAtLeastOnce) {
  MakeDatabase(kPlaces, kFirefoxPlacesSchema, kPlacesRows);
  Platform& p = Open();
  firefox_typedurl typed(p);
  typed.List(1);
  EXPECT_EQ(typed.item_list(), (std::vector<std::wstring>{L"profile fieldname - https://news.example/ value -News",
                                                          L"profile fieldname - https://typed.example/ value -"}));
  EXPECT_TRUE(typed.Clean());
  EXPECT_EQ(QueryRows(Host(kPlaces), "SELECT url FROM moz_places"),
            std::vector<std::string>{"https://mail.example/inbox"});
  // Their visits went with them; the untyped page keeps its own.
  EXPECT_EQ(QueryRows(Host(kPlaces), "SELECT place_id FROM moz_historyvisits"), std::vector<std::string>{"2"});
}

TEST_F(FirefoxCleanersTest, ABookmarkedTypedPageKeepsItsBookmark) {
  MakeDatabase(kPlaces, kFirefoxPlacesSchema,
               std::string(kPlacesRows) + "INSERT INTO moz_bookmarks (type, fk, parent, title) VALUES (1, 1, 0, 'News');");
  Platform& p = Open();
  firefox_typedurl typed(p);
  EXPECT_TRUE(typed.Clean());
  EXPECT_EQ(QueryRows(Host(kPlaces), "SELECT url, typed FROM moz_places ORDER BY id"),
            (std::vector<std::string>{"https://news.example/|0", "https://mail.example/inbox|0"}));
  EXPECT_EQ(QueryRows(Host(kPlaces), "SELECT COUNT(*) FROM moz_bookmarks b JOIN moz_places p ON p.id = b.fk"),
            std::vector<std::string>{"1"});
  typed.List(1);
  EXPECT_TRUE(typed.item_list().empty());
}

TEST_F(FirefoxCleanersTest, CookiesAndFormHistory) {
  MakeDatabase(kCookies, kFirefoxCookiesSchema,
               "INSERT INTO moz_cookies (name, value, host, path, isSecure) VALUES"
               " ('sid', 'abc', '.shop.example', '/', 1), (NULL, 'v', 'nameless.example', '/', 0);");
  MakeDatabase(kForms, kFirefoxFormHistorySchema,
               "INSERT INTO moz_formhistory (fieldname, value, timesUsed) VALUES"
               " ('searchbar-history', 'cheap flights', 2), ('lastname', 'M\xc3\xbcller', 1);");
  Platform& p = Open();
  firefox_cookies cookies(p);
  cookies.List(1);
  // A NULL name gives an empty name part.
  EXPECT_EQ(cookies.item_list(), (std::vector<std::wstring>{L"profile host - .shop.example , name - sid",
                                                            L"profile host - nameless.example , name - "}));
  firefox_autocompletelist forms(p);
  forms.List(1);
  EXPECT_EQ(forms.item_list(), (std::vector<std::wstring>{L"profile fieldname - searchbar-history value -cheap flights",
                                                          L"profile fieldname - lastname value -M\u00fcller"}));
  EXPECT_TRUE(cookies.Clean());
  EXPECT_TRUE(forms.Clean());
  EXPECT_EQ(CountRows(Host(kCookies), "moz_cookies"), 0);
  EXPECT_EQ(CountRows(Host(kForms), "moz_formhistory"), 0);
}

TEST_F(FirefoxCleanersTest, EveryDatabaseCleanDeletesTheLegacyHistoryFile) {
  MakeDatabase(kPlaces, kFirefoxPlacesSchema, kPlacesRows);
  Platform& p = Open();
  std::vector<std::unique_ptr<BrowserCleaner>> cleaners;
  cleaners.push_back(std::make_unique<firefox_history>(p));
  cleaners.push_back(std::make_unique<firefox_cookies>(p));
  cleaners.push_back(std::make_unique<firefox_autocompletelist>(p));
  cleaners.push_back(std::make_unique<firefox_typedurl>(p));
  for (auto& cleaner : cleaners) {
    prefix.File(kLegacy, "legacy");
    cleaner->List(1);
    EXPECT_EQ(cleaner->found_items(), std::vector<std::wstring>{kLegacy}) << "listed, but never as a record";
    EXPECT_TRUE(cleaner->Clean());
    EXPECT_FALSE(fs::exists(Host(kLegacy)));
  }
  prefix.File(kLegacy, "legacy");
  firefox_cache(p).Clean();
  EXPECT_TRUE(fs::exists(Host(kLegacy))) << "the cache class leaves it";
  // Databases the profile lacks are not created by listing or cleaning.
  EXPECT_FALSE(fs::exists(Host(kCookies)));
  EXPECT_FALSE(fs::exists(Host(kForms)));
}

TEST_F(FirefoxCleanersTest, CacheListsRoamingThenLocalAndCleaningKeepsTheCacheFolders) {
  const std::wstring roaming = std::wstring(kFirefoxProfile) + L"\\Cache\\";
  const std::wstring local = std::wstring(kFirefoxLocalProfile) + L"\\Cache\\";
  prefix.File(local + L"0\\AB\\CDEF01").File(local + L"_CACHE_MAP_");
  prefix.File(roaming + L"_CACHE_001_").File(roaming + L"1\\22\\333");
  Platform& p = Open();
  firefox_cache cache(p);
  cache.List(1);
  EXPECT_EQ(cache.found_items(), (std::vector<std::wstring>{roaming + L"_CACHE_001_", roaming + L"1\\22\\333",
                                                            local + L"_CACHE_MAP_", local + L"0\\AB\\CDEF01"}));
  EXPECT_TRUE(cache.item_list().empty());
  EXPECT_TRUE(cache.Clean());
  EXPECT_TRUE(fs::is_empty(Host(roaming)));
  EXPECT_TRUE(fs::is_empty(Host(local)));
}

// A profile database that is a link to a host file (the user's own Firefox
// profile, say): SQLite would read and empty it through the link, so it is
// neither read nor cleaned, and the listing says why.
TEST_F(FirefoxCleanersTest, ADatabaseThatIsALinkOutOfTheMachineIsLeftAlone) {
  const std::string host_places = prefix.OutsideDir() + "/places.sqlite";
  RunSql(host_places, kFirefoxPlacesSchema);
  RunSql(host_places, kPlacesRows);
  fs::create_directories(Host(kFirefoxProfile));
  fs::create_symlink(host_places, Host(kPlaces));
  // A journal that is a link is no way round: SQLite will not open it.
  MakeDatabase(kCookies, kFirefoxCookiesSchema,
               "INSERT INTO moz_cookies (name, value, host, path, isSecure) VALUES ('sid', 'abc', '.x', '/', 1);");
  const std::string host_journal = prefix.OutsideDir() + "/cookies.sqlite-journal";
  fs::create_symlink(host_journal, Host(kCookies) + "-journal");
  Platform& p = Open();
  const std::string before = ReadHostFile(host_places);

  firefox_history history(p);
  history.List(1);
  EXPECT_TRUE(history.item_list().empty());
  EXPECT_EQ(history.unread(),
            std::vector<std::wstring>{kPlaces + L" could not be read (it is a link to a file outside this computer)"});
  EXPECT_FALSE(history.Clean());
  EXPECT_EQ(ReadHostFile(host_places), before);
  EXPECT_EQ(CountRows(host_places, "moz_historyvisits"), 4);

  EXPECT_FALSE(firefox_cookies(p).Clean());
  EXPECT_EQ(CountRows(Host(kCookies), "moz_cookies"), 1);
  EXPECT_FALSE(fs::exists(host_journal));
}

// A cache folder linked to the host's own cache is no cache of the machine.
TEST_F(FirefoxCleanersTest, ACacheFolderThatLeadsOutOfTheMachineIsNotWalked) {
  const std::string host_cache = prefix.OutsideDir() + "/cache";
  fs::create_directories(host_cache + "/1");
  std::ofstream(host_cache + "/1/entry") << "host";
  std::ofstream(host_cache + "/_CACHE_MAP_") << "host";
  fs::create_directories(Host(kFirefoxProfile));
  fs::create_directory_symlink(host_cache, Host(std::wstring(kFirefoxProfile) + L"\\Cache"));
  Platform& p = Open();
  firefox_cache cache(p);
  cache.List(1);
  EXPECT_TRUE(cache.found_items().empty());
  EXPECT_TRUE(cache.Clean());
  EXPECT_TRUE(fs::exists(host_cache + "/1/entry"));
  EXPECT_TRUE(fs::exists(host_cache + "/_CACHE_MAP_"));
}

}  // namespace
}  // namespace orvane
