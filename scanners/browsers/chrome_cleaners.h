// The Chrome cleaners: the disk cache, the history, the cookies, the
// most-visited segments ("typed URLs") and the form-fill data of the Default
// profile under the local application-data folder. The profile always counts
// as found; when Chrome is not installed the files are simply not there and
// nothing is listed, cleaned or created. Column text is SQLite's UTF-8,
// decoded.
#pragma once

#include "scanners/browsers/browser_profiles.h"
#include "scanners/browsers/profile_cleaner.h"

namespace orvane {

// The statement chrome_history lists with (one row per visit, the URL first).
extern const char kChromeHistoryListSql[];

class chrome_base : public ProfileDataCleaner {
 public:
  const std::wstring& second_folder() const { return second_folder_; }

 protected:
  chrome_base(Platform& platform, std::wstring display_name, std::wstring description, std::wstring browser_name,
              std::wstring process_name);
  chrome_base(Platform& platform, std::wstring display_name, std::wstring description, std::wstring browser_name,
              std::wstring process_name, const ChromeProfile& profile);

  std::wstring second_folder_;
};

// Every file under <profile>\Cache\. The second folder is walked too only
// when it names another folder: it is the same one, and walking it again
// would list every file twice. List fills found items only (the scan calls
// FillItemList).
class chrome_cache : public chrome_base {
 public:
  explicit chrome_cache(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// History: one item (the URL) per visit; Clean empties visit_source, visits,
// segments and segment_usage, deletes the urls ever visited, and empties the
// search terms, the downloads (with their URL chains and slices) and the
// tables Chrome fills from the visits.
class chrome_history : public chrome_base {
 public:
  explicit chrome_history(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// Cookies: "hostkey - <host_key> path - <path> name - <name> value - <value>",
// of every profile, from both places Chrome has kept them: <profile>\Cookies
// (before version 96) and <profile>\Network\Cookies (since; an updated
// Chrome may leave the old file behind).
class chrome_cookies : public chrome_base {
 public:
  explicit chrome_cookies(Platform& platform);
  void List(int flag) override;
  bool Clean() override;

 private:
  std::vector<std::wstring> Databases();
};

// History, segments: "id- <id> url - <name> name - <url_id> ".
class chrome_typedurl : public chrome_base {
 public:
  explicit chrome_typedurl(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// Web Data: the autofill entries, credit-card names, autofill dates and the
// autofill profiles' companies, names, e-mails and phones, in that order; a
// table this version lacks is skipped and the others still go.
class chrome_autocomplete : public chrome_base {
 public:
  explicit chrome_autocomplete(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

}  // namespace orvane
