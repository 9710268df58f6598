// The Firefox cleaners: the disk cache, the history, the cookies, the form
// history and the typed URLs of the first profile in profiles.ini. With no
// profile they list and clean nothing. Database rows become item texts as
// each class states; column text is SQLite's UTF-8, decoded.
#pragma once

#include "scanners/browsers/browser_profiles.h"
#include "scanners/browsers/profile_cleaner.h"

namespace orvane {

class firefox_base : public ProfileDataCleaner {
 public:
  const std::wstring& local_folder() const { return local_folder_; }

 protected:
  firefox_base(Platform& platform, std::wstring display_name, std::wstring description, std::wstring browser_name,
               std::wstring process_name);
  firefox_base(Platform& platform, std::wstring display_name, std::wstring description, std::wstring browser_name,
               std::wstring process_name, const FirefoxProfile& profile);

  std::wstring local_folder_;
};

// Every file under <profile>\Cache\, then under <local>\Cache\ when there is
// a local folder. List fills found items only (the scan calls FillItemList);
// Clean deletes them and the subfolders they leave empty, keeping "Cache".
class firefox_cache : public firefox_base {
 public:
  explicit firefox_cache(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// places.sqlite: every place that is history (visited, or used by no
// bookmark or keyword) is listed by its url. Clean empties the visits, the
// typed inputs and the page-view records, deletes those places with what
// refers to them (annotations, origins of sites left without places), and
// leaves the bookmarked places unvisited.
class firefox_history : public firefox_base {
 public:
  explicit firefox_history(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// cookies.sqlite, moz_cookies: "profile host - <host> , name - <name>".
class firefox_cookies : public firefox_base {
 public:
  explicit firefox_cookies(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// formhistory.sqlite, moz_formhistory:
// "profile fieldname - <fieldname> value -<value>".
class firefox_autocompletelist : public firefox_base {
 public:
  explicit firefox_autocompletelist(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

// places.sqlite, the places typed at least once:
// "profile fieldname - <url> value -<title>"; Clean deletes those places.
class firefox_typedurl : public firefox_base {
 public:
  explicit firefox_typedurl(Platform& platform);
  void List(int flag) override;
  bool Clean() override;
};

}  // namespace orvane
