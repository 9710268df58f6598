#include "scanners/browsers/firefox_cleaners.h"

namespace orvane {
namespace {

constexpr wchar_t kPlaces[] = L"\\places.sqlite";

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

void firefox_history::List(int) { ListProfileDatabase(kPlaces, {{"SELECT * FROM moz_places", &UrlOf}}); }

bool firefox_history::Clean() { return CleanProfileDatabase(kPlaces, {"DELETE FROM moz_historyvisits"}); }

firefox_cookies::firefox_cookies(Platform& platform)
    : firefox_base(platform, L"Firefox Cookies", L"Removes Firefox cookies", L"", L"") {}

void firefox_cookies::List(int) {
  ListProfileDatabase(L"\\cookies.sqlite", {{"SELECT host,name,value,isSecure  FROM moz_cookies", &CookieText}});
}

bool firefox_cookies::Clean() { return CleanProfileDatabase(L"\\cookies.sqlite", {"DELETE FROM moz_cookies"}); }

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
      kPlaces, {"DELETE FROM moz_historyvisits WHERE place_id IN (SELECT id FROM moz_places WHERE typed >= 1 AND id NOT IN "
                "(SELECT fk FROM moz_bookmarks WHERE fk NOT NULL))",
                "DELETE FROM moz_places where typed >= 1 AND id NOT IN (SELECT fk FROM moz_bookmarks WHERE fk NOT NULL)",
                "UPDATE moz_places SET typed = 0 WHERE typed >= 1"});
}

}  // namespace orvane
