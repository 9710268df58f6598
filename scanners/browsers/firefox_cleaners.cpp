#include "scanners/browsers/firefox_cleaners.h"

namespace orvane {
namespace {

constexpr wchar_t kPlaces[] = L"\\places.sqlite";

// The places a bookmark or a keyword uses are no history: they stay, and
// lose only what their visits left on them. (A schema whose moz_keywords
// has no place_id fails these statements, which are then skipped: nothing
// that could be a bookmark's is deleted.)
constexpr char kHistoryListSql[] =
    "SELECT * FROM moz_places WHERE visit_count > 0 OR last_visit_date NOT NULL OR id NOT IN "
    "(SELECT fk FROM moz_bookmarks WHERE fk NOT NULL UNION SELECT place_id FROM moz_keywords WHERE place_id NOT NULL)";

// What refers to places (or visits) and would outlive those a clean deleted,
// the origins of sites no place is on among them.
std::vector<const char*> WithOrphansDeleted(std::vector<const char*> deletes) {
  for (const char* sql : {
           "DELETE FROM moz_historyvisits_extra WHERE visit_id NOT IN (SELECT id FROM moz_historyvisits)",
           "DELETE FROM moz_inputhistory WHERE place_id NOT IN (SELECT id FROM moz_places)",
           "DELETE FROM moz_annos WHERE place_id NOT IN (SELECT id FROM moz_places)",
           "DELETE FROM moz_places_extra WHERE place_id NOT IN (SELECT id FROM moz_places)",
           "DELETE FROM moz_places_metadata WHERE place_id NOT IN (SELECT id FROM moz_places) OR "
           "referrer_place_id NOT IN (SELECT id FROM moz_places)",
           "DELETE FROM moz_places_metadata_search_queries WHERE id NOT IN "
           "(SELECT search_query_id FROM moz_places_metadata WHERE search_query_id NOT NULL)",
           "DELETE FROM moz_newtab_shortcuts_interaction WHERE place_id NOT IN (SELECT id FROM moz_places)",
           "DELETE FROM moz_origins WHERE id NOT IN (SELECT origin_id FROM moz_places WHERE origin_id NOT NULL)",
       })
    deletes.push_back(sql);
  return deletes;
}

std::wstring UrlOf(const DatabaseRow& row) { return row.Text(1); }
std::wstring CookieText(const DatabaseRow& row) {
  return L"profile host - " + row.Text(0) + L" , name - " + row.Text(1);
}
std::wstring FieldText(const DatabaseRow& row) {
  return L"profile fieldname - " + row.Text(0) + L" value -" + row.Text(1);
}

}  // namespace

firefox_base::firefox_base(Platform& platform, std::wstring display_name, std::wstring description,
                           std::wstring browser_name, std::wstring process_name)
    : firefox_base(platform, std::move(display_name), std::move(description), std::move(browser_name),
                   std::move(process_name), FirefoxProfileOf(platform)) {}

firefox_base::firefox_base(Platform& platform, std::wstring display_name, std::wstring description,
                           std::wstring browser_name, std::wstring process_name, const FirefoxProfile& profile)
    : ProfileDataCleaner(platform, std::move(display_name), std::move(description), std::move(browser_name),
                         std::move(process_name), profile.profile_folder, profile.found, L"History.dat"),
      local_folder_(profile.local_folder) {}

firefox_cache::firefox_cache(Platform& platform)
    : firefox_base(platform, L"Firefox Cache", L"Clears the Firefox cache", L"Firefox", L"firefox.exe") {}

void firefox_cache::List(int) {
  found_items_.clear();
  if (!profile_found_) return;
  CollectCache(profile_folder_, false, nullptr);
  if (!local_folder_.empty()) CollectCache(local_folder_, false, nullptr);
}

bool firefox_cache::Clean() {
  if (!profile_found_) return true;
  uint32_t failed = 0;
  CollectCache(profile_folder_, true, &failed);
  if (!local_folder_.empty()) CollectCache(local_folder_, true, &failed);
  return failed == 0;
}

firefox_history::firefox_history(Platform& platform)
    : firefox_base(platform, L"Firefox History", L"Removes Firefox history records", L"Firefox", L"firefox.exe") {}

void firefox_history::List(int) { ListProfileDatabase(kPlaces, {{kHistoryListSql, &UrlOf}}); }

// The visits, what was typed to reach pages and how long they were looked
// at, and then every place no bookmark uses, with its annotations and its
// site's origin: the addresses and titles are the history as much as the
// visits are. The places that stay forget their visits; Firefox works out
// their ranking again.
bool firefox_history::Clean() {
  return CleanProfileDatabase(
      kPlaces,
      WithOrphansDeleted({"DELETE FROM moz_historyvisits", "DELETE FROM moz_inputhistory",
                          "DELETE FROM moz_places_metadata", "DELETE FROM moz_places_metadata_search_queries",
                          "DELETE FROM moz_places WHERE id NOT IN (SELECT fk FROM moz_bookmarks WHERE fk NOT NULL "
                          "UNION SELECT place_id FROM moz_keywords WHERE place_id NOT NULL)",
                          "UPDATE moz_places SET visit_count = 0, last_visit_date = NULL",
                          "UPDATE moz_places SET recalc_frecency = 1"}));
}

firefox_cookies::firefox_cookies(Platform& platform)
    : firefox_base(platform, L"Firefox Cookies", L"Removes Firefox cookies", L"", L"") {}

void firefox_cookies::List(int) {
  ListProfileDatabase(L"\\cookies.sqlite", {{"SELECT host,name,value,isSecure  FROM moz_cookies", &CookieText}});
}

bool firefox_cookies::Clean() { return CleanProfileDatabase(L"\\cookies.sqlite", {"DELETE FROM moz_cookies WHERE NOT kept_host(host)"}); }

firefox_autocompletelist::firefox_autocompletelist(Platform& platform)
    : firefox_base(platform, L"Firefox History", L"Removes Firefox history records", L"Firefox", L"firefox.exe") {}

void firefox_autocompletelist::List(int) {
  ListProfileDatabase(L"\\formhistory.sqlite", {{"SELECT fieldname, value FROM moz_formhistory", &FieldText}});
}

bool firefox_autocompletelist::Clean() {
  return CleanProfileDatabase(L"\\formhistory.sqlite", {"DELETE FROM moz_formhistory"});
}

firefox_typedurl::firefox_typedurl(Platform& platform)
    : firefox_base(platform, L"Firefox History", L"Removes Firefox history records", L"Firefox", L"firefox.exe") {}

void firefox_typedurl::List(int) {
  ListProfileDatabase(kPlaces, {{"SELECT url, title FROM moz_places where typed >= 1", &FieldText}});
}

// Deleting every typed place outright would take bookmarked pages with them
// (their bookmarks would point at nothing) and leave their visits pointing
// at removed places. Bookmarked places stay and only lose their typed mark;
// the others go with their visits. All in the one transaction of the clean.
bool firefox_typedurl::Clean() {
  return CleanProfileDatabase(
      kPlaces, WithOrphansDeleted(
                   {"DELETE FROM moz_historyvisits WHERE place_id IN (SELECT id FROM moz_places WHERE typed >= 1 AND "
                    "id NOT IN (SELECT fk FROM moz_bookmarks WHERE fk NOT NULL UNION SELECT place_id FROM "
                    "moz_keywords WHERE place_id NOT NULL))",
                    "DELETE FROM moz_places where typed >= 1 AND id NOT IN (SELECT fk FROM moz_bookmarks WHERE fk "
                    "NOT NULL UNION SELECT place_id FROM moz_keywords WHERE place_id NOT NULL)",
                    "UPDATE moz_places SET typed = 0 WHERE typed >= 1"}));
}

}  // namespace orvane
