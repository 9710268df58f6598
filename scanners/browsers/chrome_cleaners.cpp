#include "scanners/browsers/chrome_cleaners.h"

#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kHistory[] = L"\\history";

std::wstring UrlText(const DatabaseRow& row) { return row.Text(0); }
std::wstring CookieText(const DatabaseRow& row) {
  return L"hostkey - " + row.Text(0) + L" path - " + row.Text(1) + L" name - " + row.Text(3) + L" value - " +
         row.Text(4);
}
std::wstring SegmentText(const DatabaseRow& row) {
  return L"id- " + row.Text(0) + L" url - " + row.Text(1) + L" name - " + row.Text(2) + L" ";
}
std::wstring AutofillText(const DatabaseRow& row) {
  return L"auto fill value name - " + row.Text(0) + L", value -" + row.Text(1);
}
std::wstring CardText(const DatabaseRow& row) { return L"name on credit card - " + row.Text(0); }
std::wstring DateText(const DatabaseRow& row) { return L"date created - " + row.Text(0); }
std::wstring CompanyText(const DatabaseRow& row) { return L"profile company name - " + row.Text(0); }
std::wstring NameText(const DatabaseRow& row) { return L"profile first names - " + row.Text(0); }
std::wstring EmailText(const DatabaseRow& row) { return L"profile email - " + row.Text(0); }
std::wstring PhoneText(const DatabaseRow& row) { return L"profile phone - " + row.Text(0); }

}  // namespace

const char kChromeHistoryListSql[] =
    "SELECT urls.url, urls.title, urls.visit_count, urls.typed_count, urls.last_visit_time, urls.hidden, "
    "visits.visit_time, visits.from_visit, visits.transition FROM urls, visits WHERE  urls.id = visits.url";

chrome_base::chrome_base(Platform& platform, std::wstring display_name, std::wstring description,
                         std::wstring browser_name, std::wstring process_name)
    : chrome_base(platform, std::move(display_name), std::move(description), std::move(browser_name),
                  std::move(process_name), ChromeProfileOf(platform)) {}

chrome_base::chrome_base(Platform& platform, std::wstring display_name, std::wstring description,
                         std::wstring browser_name, std::wstring process_name, const ChromeProfile& profile)
    : ProfileDataCleaner(platform, std::move(display_name), std::move(description), std::move(browser_name),
                         std::move(process_name), profile.profile_folder, profile.found, L"History"),
      second_folder_(profile.second_folder) {}

chrome_cache::chrome_cache(Platform& platform)
    : chrome_base(platform, L"chrome Cache", L"Clears the chrome cache", L"chrome", L"chrome.exe") {}

void chrome_cache::List(int) {
  found_items_.clear();
  if (!profile_found_) return;
  CollectCache(profile_folder_, false, nullptr);
  if (!EqualsNoCase(second_folder_, profile_folder_)) CollectCache(second_folder_, false, nullptr);
}

bool chrome_cache::Clean() {
  if (!profile_found_) return true;
  uint32_t failed = 0;
  CollectCache(profile_folder_, true, &failed);
  if (!EqualsNoCase(second_folder_, profile_folder_)) CollectCache(second_folder_, true, &failed);
  return failed == 0;
}

chrome_history::chrome_history(Platform& platform)
    : chrome_base(platform, L"chrome History", L"Removes chrome history records", L"chrome", L"chrome.exe") {}

void chrome_history::List(int) { ListProfileDatabase(kHistory, {{kChromeHistoryListSql, &UrlText}}); }

// Besides the visits and the pages visited: the searches typed, the
// downloads with the addresses they came from, and what Chrome derived from
// the visits (annotations, visit clusters, visited links). Tables a version
// lacks are skipped.
bool chrome_history::Clean() {
  return CleanProfileDatabase(
      kHistory, {"DELETE FROM visit_source", "DELETE FROM visits", "DELETE FROM segments", "DELETE FROM segment_usage",
                 "DELETE FROM urls where visit_count > 0", "DELETE FROM keyword_search_terms",
                 "DELETE FROM downloads", "DELETE FROM downloads_url_chains", "DELETE FROM downloads_slices",
                 "DELETE FROM content_annotations", "DELETE FROM context_annotations", "DELETE FROM clusters",
                 "DELETE FROM clusters_and_visits", "DELETE FROM cluster_keywords",
                 "DELETE FROM cluster_visit_duplicates", "DELETE FROM visited_links"});
}

chrome_cookies::chrome_cookies(Platform& platform)
    : chrome_base(platform, L"chrome Cookies", L"Removes chrome cookies", L"", L"") {}

std::vector<std::wstring> chrome_cookies::Databases() {
  std::vector<std::wstring> paths;
  for (const std::wstring& folder : ChromeProfileFolders(platform_, profile_folder_)) {
    paths.push_back(folder + L"\\cookies");
    paths.push_back(folder + L"\\Network\\Cookies");
  }
  return paths;
}

void chrome_cookies::List(int) {
  ListProfileDatabases(Databases(),
                       {{"select host_key,  path,  expires_utc, name, value from cookies", &CookieText}});
}

bool chrome_cookies::Clean() { return CleanProfileDatabases(Databases(), {"DELETE FROM cookies WHERE NOT kept_host(host_key)"}); }

chrome_typedurl::chrome_typedurl(Platform& platform)
    : chrome_base(platform, L"chrome typedurl", L"Removes chrome typedurl", L"", L"") {}

void chrome_typedurl::List(int) {
  ListProfileDatabase(kHistory, {{"select id, name, url_id FROM segments", &SegmentText}});
}

bool chrome_typedurl::Clean() { return CleanProfileDatabase(kHistory, {"DELETE FROM segments"}); }

chrome_autocomplete::chrome_autocomplete(Platform& platform)
    : chrome_base(platform, L"chrome autocomplete", L"Removes chrome autocomplete", L"", L"") {}

void chrome_autocomplete::List(int) {
  ListProfileDatabase(L"\\web data", {
                                         {"select name, value FROM autofill", &AutofillText},
                                         {"select name_on_card FROM credit_cards", &CardText},
                                         {"select date_created FROM autofill_dates", &DateText},
                                         {"select company_name FROM autofill_profiles", &CompanyText},
                                         {"select first_name FROM autofill_profile_names", &NameText},
                                         {"select email FROM autofill_profile_emails", &EmailText},
                                         {"select number FROM autofill_profile_phones", &PhoneText},
                                     });
}

bool chrome_autocomplete::Clean() {
  return CleanProfileDatabase(L"\\web data",
                              {"DELETE FROM credit_cards", "DELETE FROM autofill", "DELETE FROM autofill_dates",
                               "DELETE FROM autofill_profiles", "DELETE FROM autofill_profile_names",
                               "DELETE FROM autofill_profile_emails", "DELETE FROM autofill_profile_phones"});
}

}  // namespace orvane
