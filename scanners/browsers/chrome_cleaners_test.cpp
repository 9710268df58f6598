// The Chrome cleaners over a Default profile with Chrome's tables.
#include "scanners/browsers/chrome_cleaners.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/testing/recording_platform.h"
#include "scanners/browsers/browser_fixtures.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::BrowserTest;
using testing::CountRows;
using testing::kChromeCookiesSchema;
using testing::kChromeCurrentCookiesSchema;
using testing::kChromeHistorySchema;
using testing::kChromeProfile;
using testing::kChromeWebDataSchema;
using testing::QueryRows;

const std::wstring kHistory = std::wstring(kChromeProfile) + L"\\History";
const std::wstring kCookies = std::wstring(kChromeProfile) + L"\\Cookies";
const std::wstring kWebData = std::wstring(kChromeProfile) + L"\\Web Data";

const char kHistoryRows[] =
    "INSERT INTO urls (id, url, title, visit_count, typed_count, last_visit_time) VALUES"
    " (1, 'https://often.example/', 'Often', 3, 1, 13300000000000000),"
    " (2, 'https://bookmarked.example/', 'Never visited', 0, 0, 0),"
    " (3, 'https://once.example/', 'Once', 1, 0, 13300000005000000);"
    "INSERT INTO visits (url, visit_time, from_visit, transition, segment_id) VALUES"
    " (1, 13300000000000000, 0, 805306369, 1), (1, 13300000001000000, 1, 805306368, 1),"
    " (1, 13300000002000000, 2, 805306368, 1), (3, 13300000005000000, 0, 805306376, 2);"
    "INSERT INTO visit_source VALUES (4, 1);"
    "INSERT INTO segments (id, name, url_id) VALUES (1, 'http://often.example/', 1), (2, 'http://once.example/', 3);"
    "INSERT INTO segment_usage (segment_id, time_slot, visit_count) VALUES (1, 13299955200000000, 3);";

class ChromeCleanersTest : public BrowserTest {};

// Searches typed, downloads with the addresses they came through, and what
// Chrome derives from visits.
const char kHistoryExtraRows[] =
    "INSERT INTO keyword_search_terms VALUES (2, 1, 'Private Search', 'private search');"
    "INSERT INTO downloads (id, guid, current_path, target_path, start_time, received_bytes, total_bytes, state,"
    " danger_type, interrupt_reason, hash, end_time, opened, last_access_time, transient, referrer, site_url,"
    " embedder_download_data, tab_url, tab_referrer_url, http_method, by_ext_id, by_ext_name, by_web_app_id, etag,"
    " last_modified, mime_type, original_mime_type) VALUES (1, 'guid-1', 'C:\\users\\tester\\Downloads\\tax.pdf',"
    " 'C:\\users\\tester\\Downloads\\tax.pdf', 13300000000000000, 10, 10, 1, 0, 0, x'', 13300000001000000, 0, 0, 0,"
    " 'https://often.example/', 'https://often.example/', '', '', '', 'GET', '', '', '', '', '', 'application/pdf',"
    " 'application/pdf');"
    "INSERT INTO downloads_url_chains VALUES (1, 0, 'https://often.example/tax.pdf');"
    "INSERT INTO downloads_slices VALUES (1, 0, 10, 1);"
    "INSERT INTO content_annotations (visit_id, annotation_flags, search_terms, has_url_keyed_image)"
    " VALUES (1, 0, 'private search', 0);"
    "INSERT INTO context_annotations (visit_id, context_annotation_flags) VALUES (1, 0);"
    "INSERT INTO clusters VALUES (1, 1, 'Often', 'Often', 1, '', 0);"
    "INSERT INTO clusters_and_visits VALUES (1, 1, 1, 1, 'often.example', 'often.example', 'often.example', 0);"
    "INSERT INTO cluster_keywords VALUES (1, 'often', 0, 1, '');"
    "INSERT INTO cluster_visit_duplicates VALUES (1, 2);"
    "INSERT INTO visited_links (link_url_id, top_level_url, frame_url, visit_count) VALUES"
    " (1, 'https://often.example/', 'https://often.example/', 3);";

TEST_F(ChromeCleanersTest, HistoryGivesOneItemPerVisitAndCleaningLeavesNoTraceOfAVisit) {
  MakeDatabase(kHistory, kChromeHistorySchema, std::string(kHistoryRows) + kHistoryExtraRows);
  Platform& p = Open();
  chrome_history history(p);
  history.List(1);
  EXPECT_EQ(history.item_list(), (std::vector<std::wstring>{L"https://often.example/", L"https://often.example/",
                                                            L"https://often.example/", L"https://once.example/"}));
  EXPECT_TRUE(history.Clean());
  for (const char* table :
       {"visits", "visit_source", "segments", "segment_usage", "keyword_search_terms", "downloads",
        "downloads_url_chains", "downloads_slices", "content_annotations", "context_annotations", "clusters",
        "clusters_and_visits", "cluster_keywords", "cluster_visit_duplicates", "visited_links"})
    EXPECT_EQ(CountRows(Host(kHistory), table), 0) << table;
  EXPECT_EQ(QueryRows(Host(kHistory), "SELECT url FROM urls"), std::vector<std::string>{"https://bookmarked.example/"});
  // Chrome reads its meta rows to decide whether it can open the file.
  EXPECT_EQ(QueryRows(Host(kHistory), "SELECT value FROM meta WHERE key = 'version'"), std::vector<std::string>{"70"});
  EXPECT_EQ(QueryRows(Host(kHistory), "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  EXPECT_EQ(QueryRows(Host(kHistory), "PRAGMA freelist_count"), std::vector<std::string>{"0"}) << "compacted";
  EXPECT_TRUE(fs::exists(Host(kHistory))) << "the History database itself is never deleted as a file";

  // A second clean (the typed URLs share the file) finds nothing to delete
  // and does not rewrite the file.
  const std::string once = testing::ReadHostFile(Host(kHistory));
  EXPECT_TRUE(history.Clean());
  EXPECT_TRUE(chrome_typedurl(p).Clean());
  EXPECT_EQ(testing::ReadHostFile(Host(kHistory)), once);
}

TEST_F(ChromeCleanersTest, ListingHandsOverRowsAsTheyAreReadAndStopsWhenAsked) {
  MakeDatabase(kHistory, kChromeHistorySchema, kHistoryRows);
  const std::wstring cache = std::wstring(kChromeProfile) + L"\\Cache\\";
  prefix.File(cache + L"data_0").File(cache + L"data_1");
  Platform& p = Open();
  chrome_history history(p);
  std::vector<std::wstring> handed;
  history.ListItems(1, [&](const std::wstring& item) {
    handed.push_back(item);
    return handed.size() < 2;
  });
  EXPECT_EQ(handed, (std::vector<std::wstring>{L"https://often.example/", L"https://often.example/"}));
  EXPECT_TRUE(history.item_list().empty()) << "rows handed over are not kept";
  EXPECT_TRUE(history.unread().empty()) << "a stop is no fault of the database";

  // The caches hand over the files they found.
  chrome_cache files(p);
  handed.clear();
  files.ListItems(1, [&](const std::wstring& item) {
    handed.push_back(item);
    return true;
  });
  EXPECT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed, files.item_list());
}

TEST_F(ChromeCleanersTest, CookiesAndSegmentsTexts) {
  MakeDatabase(kCookies, kChromeCookiesSchema,
               "INSERT INTO cookies VALUES (13300000000000000, '.shop.example', '', 'cart', '3 items', x'', '/basket',"
               " 13400000000000000, 1, 1, 13300000000000000, 1, 1, 1, 0, 2, 443, 13300000000000000);");
  MakeDatabase(kHistory, kChromeHistorySchema, kHistoryRows);
  Platform& p = Open();
  chrome_cookies cookies(p);
  cookies.List(1);
  EXPECT_EQ(cookies.item_list(),
            std::vector<std::wstring>{L"hostkey - .shop.example path - /basket name - cart value - 3 items"});
  chrome_typedurl typed(p);
  typed.List(1);
  EXPECT_EQ(typed.item_list(), (std::vector<std::wstring>{L"id- 1 url - http://often.example/ name - 1 ",
                                                          L"id- 2 url - http://once.example/ name - 3 "}));
  EXPECT_TRUE(cookies.Clean());
  EXPECT_TRUE(typed.Clean());
  EXPECT_EQ(CountRows(Host(kCookies), "cookies"), 0);
  EXPECT_EQ(CountRows(Host(kHistory), "segments"), 0);
  EXPECT_EQ(CountRows(Host(kHistory), "visits"), 4) << "typed URLs leave the history alone";
}

const char kWebDataRows[] =
    "INSERT INTO autofill (name, value, value_lower, pair_id) VALUES ('email', 'me@example.org', 'me@example.org', 1);"
    "INSERT INTO autofill_dates VALUES (1, 1700000000);"
    "INSERT INTO autofill_profiles (guid, company_name) VALUES ('p1', 'Acme');"
    "INSERT INTO autofill_profile_names VALUES ('p1', 'Ada', '', 'Lovelace');"
    "INSERT INTO autofill_profile_emails VALUES ('p1', 'ada@example.org');"
    "INSERT INTO autofill_profile_phones VALUES ('p1', 0, '+44 20 7946 0000');"
    "INSERT INTO keywords VALUES (1, 'Search', 's', '', 'https://search.example/?q={searchTerms}');";

TEST_F(ChromeCleanersTest, AutocompleteReadsAllSevenTablesInOrder) {
  MakeDatabase(
      kWebData, kChromeWebDataSchema,
      std::string(kWebDataRows) + "INSERT INTO credit_cards (guid, name_on_card) VALUES ('c1', 'A LOVELACE');");
  Platform& p = Open();
  chrome_autocomplete autocomplete(p);
  autocomplete.List(1);
  EXPECT_EQ(autocomplete.item_list(),
            (std::vector<std::wstring>{L"auto fill value name - email, value -me@example.org",
                                       L"name on credit card - A LOVELACE", L"date created - 1700000000",
                                       L"profile company name - Acme", L"profile first names - Ada",
                                       L"profile email - ada@example.org", L"profile phone - +44 20 7946 0000"}));
  EXPECT_TRUE(autocomplete.Clean());
  for (const char* table : {"autofill", "credit_cards", "autofill_dates", "autofill_profiles", "autofill_profile_names",
                            "autofill_profile_emails", "autofill_profile_phones"})
    EXPECT_EQ(CountRows(Host(kWebData), table), 0) << table;
  EXPECT_EQ(CountRows(Host(kWebData), "keywords"), 1) << "other tables stay as they were";
}

TEST_F(ChromeCleanersTest, AutocompleteWithoutCreditCardsStillHandlesTheOtherTables) {
  MakeDatabase(kWebData, kChromeWebDataSchema, std::string(kWebDataRows) + "DROP TABLE credit_cards;");
  Platform& p = Open();
  chrome_autocomplete autocomplete(p);
  autocomplete.List(1);
  EXPECT_EQ(autocomplete.item_list().size(), 6u);
  EXPECT_TRUE(autocomplete.Clean());
  for (const char* table : {"autofill", "autofill_dates", "autofill_profiles", "autofill_profile_names",
                            "autofill_profile_emails", "autofill_profile_phones"})
    EXPECT_EQ(CountRows(Host(kWebData), table), 0) << table;
}

TEST_F(ChromeCleanersTest, CacheFilesAreListedOnce) {
  const std::wstring cache = std::wstring(kChromeProfile) + L"\\Cache\\";
  prefix.File(cache + L"data_0").File(cache + L"f_000001");
  Platform& p = Open();
  chrome_cache c(p);
  ASSERT_EQ(c.second_folder(), c.profile_folder());
  c.List(1);
  // The second folder is the first one again; walking it twice would list
  // (and count) every file twice.
  const std::wstring listed = L"C:\\users\\tester\\AppData\\Local\\google\\chrome\\User Data\\Default\\\\Cache\\";
  EXPECT_EQ(c.found_items(), (std::vector<std::wstring>{listed + L"data_0", listed + L"f_000001"}));
  EXPECT_TRUE(c.Clean());
  EXPECT_TRUE(fs::is_empty(Host(cache)));
}

TEST_F(ChromeCleanersTest, WithoutChromeNothingIsListedCreatedOrChanged) {
  Platform& p = Open();
  testing::RecordingPlatform recording(p);
  std::vector<std::unique_ptr<BrowserCleaner>> cleaners;
  cleaners.push_back(std::make_unique<chrome_cache>(recording));
  cleaners.push_back(std::make_unique<chrome_history>(recording));
  cleaners.push_back(std::make_unique<chrome_cookies>(recording));
  cleaners.push_back(std::make_unique<chrome_typedurl>(recording));
  cleaners.push_back(std::make_unique<chrome_autocomplete>(recording));
  for (auto& cleaner : cleaners) {
    cleaner->List(1);
    EXPECT_TRUE(cleaner->found_items().empty());
    EXPECT_TRUE(cleaner->item_list().empty());
    EXPECT_TRUE(cleaner->Clean());
  }
  EXPECT_TRUE(recording.changes().empty());
  EXPECT_FALSE(fs::exists(prefix.HostPath(L"C:\\users\\tester\\AppData\\Local\\google")));
}

TEST_F(ChromeCleanersTest, TheLegacyStepListsHistoryButDeletesOnlyHistoryDat) {
  MakeDatabase(kHistory, kChromeHistorySchema, kHistoryRows);
  prefix.File(std::wstring(kChromeProfile) + L"\\History.dat", "legacy");
  Platform& p = Open();
  chrome_cookies cookies(p);
  cookies.List(1);
  ASSERT_EQ(cookies.found_items().size(), 1u);
  EXPECT_EQ(cookies.found_items()[0],
            L"C:\\users\\tester\\AppData\\Local\\google\\chrome\\User Data\\Default\\\\History");
  EXPECT_TRUE(cookies.item_list().empty());
  EXPECT_TRUE(cookies.Clean());
  EXPECT_FALSE(fs::exists(Host(std::wstring(kChromeProfile) + L"\\History.dat")));
  EXPECT_EQ(CountRows(Host(kHistory), "visits"), 4);
}

// A current Chrome keeps its cookies in Network\Cookies; one that was
// updated may still have the old file, and every profile has its own.
TEST_F(ChromeCleanersTest, CookiesOfEveryProfileInBothPlacesAreListedAndCleaned) {
  const std::wstring user_data = L"C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data";
  const std::wstring current = std::wstring(kChromeProfile) + L"\\Network\\Cookies";
  const std::wstring second = user_data + L"\\Profile 1\\Network\\Cookies";
  const std::wstring named = user_data + L"\\Work\\Network\\Cookies";
  const std::string row =
      "INSERT INTO cookies VALUES (13300000000000000, '%s', '', 'sid', 'v', x'', '/', 13400000000000000, 1, 1,"
      " 13300000000000000, 1, 1, 1, 0, 2, 443, 13300000000000000, 0, 0);";
  auto insert = [&](const char* host) {
    std::string sql = row;
    sql.replace(sql.find("%s"), 2, host);
    return sql;
  };
  MakeDatabase(current, kChromeCurrentCookiesSchema, insert(".current.example"));
  MakeDatabase(kCookies, kChromeCookiesSchema,
               "INSERT INTO cookies VALUES (13300000000000000, '.old.example', '', 'cart', '1', x'', '/',"
               " 13400000000000000, 1, 1, 13300000000000000, 1, 1, 1, 0, 2, 443, 13300000000000000);");
  MakeDatabase(second, kChromeCurrentCookiesSchema, insert(".second.example"));
  // A folder with a Preferences file is a profile whatever its name; one
  // without (Chrome's own data folders) is not.
  MakeDatabase(named, kChromeCurrentCookiesSchema, insert(".named.example"));
  prefix.File(user_data + L"\\Work\\Preferences", "{}");
  MakeDatabase(user_data + L"\\Crashpad\\Network\\Cookies", kChromeCurrentCookiesSchema, insert(".not.a.profile"));
  Platform& p = Open();

  chrome_cookies cookies(p);
  cookies.List(1);
  std::vector<std::wstring> items = cookies.item_list();
  ASSERT_EQ(items.size(), 4u);
  // The Default profile first, the old file before the new one.
  EXPECT_EQ(items[0], L"hostkey - .old.example path - / name - cart value - 1");
  EXPECT_EQ(items[1], L"hostkey - .current.example path - / name - sid value - v");
  std::sort(items.begin() + 2, items.end());
  EXPECT_EQ(items[2], L"hostkey - .named.example path - / name - sid value - v");
  EXPECT_EQ(items[3], L"hostkey - .second.example path - / name - sid value - v");

  EXPECT_TRUE(cookies.Clean());
  for (const std::wstring& db : {current, kCookies, second, named}) {
    EXPECT_EQ(CountRows(Host(db), "cookies"), 0);
    EXPECT_EQ(QueryRows(Host(db), "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
  }
  // Chrome reads its meta rows to decide whether it can open the file.
  EXPECT_EQ(QueryRows(Host(current), "SELECT value FROM meta WHERE key = 'version'"), std::vector<std::string>{"24"});
  EXPECT_EQ(CountRows(Host(user_data + L"\\Crashpad\\Network\\Cookies"), "cookies"), 1);
}

}  // namespace
}  // namespace orvane
