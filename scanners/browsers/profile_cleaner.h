// The part the Firefox and Chrome families share: a profile folder found (or
// not) by discovery, the legacy history-file step that opens most listings
// and cleanings, and the listing and cleaning of one profile database.
#pragma once

#include <string>
#include <vector>

#include "scanners/browsers/browser_cleaner.h"
#include "scanners/browsers/browser_database.h"

namespace orvane {

class ProfileDataCleaner : public BrowserCleaner {
 public:
  // Appends the found items to *out and replaces the item list with them.
  void CopyItemsTo(std::vector<std::wstring>* out) override;
  // The database kinds hand each row to sink as it is read; the caches hand
  // over their found items.
  void ListItems(int flag, const ItemSink& sink) override;

  const std::wstring& profile_folder() const { return profile_folder_; }
  bool profile_found() const { return profile_found_; }

  // Clears found items; when the profile was found, lists the legacy history
  // file (profile folder + "\" + its name) there. The item list stays.
  void ListLegacyHistoryFile();
  // When the profile was found, deletes profile folder + "\History.dat" (the
  // same name for both browsers).
  void DeleteLegacyHistoryFile();

 protected:
  ProfileDataCleaner(Platform& platform, std::wstring display_name, std::wstring description, std::wstring browser_name,
                     std::wstring process_name, std::wstring profile_folder, bool profile_found,
                     std::wstring legacy_list_name);

  // The database kinds' List: legacy step, then the queries on profile
  // folder + file (the item list is replaced only when the file opens).
  void ListProfileDatabase(const wchar_t* file, const std::vector<ListQuery>& queries);
  // The database kinds' Clean: legacy step, then the deletes on profile
  // folder + file. False when the database had to be left in place.
  bool CleanProfileDatabase(const wchar_t* file, const std::vector<const char*>& deletes);
  // As the two above, over several databases of one kind (a browser that
  // moved the file, several profiles): the item list holds the rows of every
  // database that opened, in the order given, and is replaced only when one
  // did. Clean is false when any database had to be left in place.
  void ListProfileDatabases(const std::vector<std::wstring>& paths, const std::vector<ListQuery>& queries);
  bool CleanProfileDatabases(const std::vector<std::wstring>& paths, const std::vector<const char*>& deletes);
  // Lists (or deletes) every file below folder + "\Cache\", recursively;
  // files whose deletion failed are added to *failed.
  void CollectCache(const std::wstring& folder, bool remove, uint32_t* failed);

  std::wstring profile_folder_;
  bool profile_found_;
  std::wstring legacy_list_name_;

 private:
  // While ListItems runs: where the database listings hand their rows.
  const ItemSink* row_sink_ = nullptr;
  // Whether the last List was a database listing.
  bool listed_rows_ = false;
};

}  // namespace orvane
