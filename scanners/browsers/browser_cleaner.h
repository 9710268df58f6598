// What every browser cleaner class shares: the items its last listing found,
// its descriptive texts, the item list the privacy scan turns into records,
// and the recursive file collector of the cache and legacy-history steps.
//
// A cleaner is short-lived and used by one thread: the scan constructs one,
// lists, reads the item list and drops it; the repair constructs one and
// cleans. The Platform passed in must outlive the object.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace orvane {

// Takes one listed item; returns false to end the listing there (the scan
// was stopped).
using ItemSink = std::function<bool(const std::wstring& item)>;
// Whether the cookies of a host (as the browser's store spells it, maybe with
// a leading ".") are to stay when cookies are cleaned.
using HostFilter = std::function<bool(std::wstring_view host)>;

class BrowserCleaner {
 public:
  virtual ~BrowserCleaner() = default;
  BrowserCleaner(const BrowserCleaner&) = delete;
  BrowserCleaner& operator=(const BrowserCleaner&) = delete;

  // Fills found items (and, for the database kinds, the item list). The flag
  // is accepted for the callers' sake and used by no class.
  virtual void List(int flag) = 0;
  // Removes the data. True when nothing that should have gone was left in
  // place: also true when there was nothing to remove. False when data stays
  // because its store was locked (the browser runs), damaged or could not be
  // written; then that store is exactly as it was.
  virtual bool Clean() = 0;
  // Appends the found items to *out (the profile families also replace the
  // item list with them).
  virtual void CopyItemsTo(std::vector<std::wstring>* out);
  // Replaces the item list with the found items, in order.
  void FillItemList() { item_list_ = found_items_; }
  // What the privacy scan reports: the items that List(flag) and, for the
  // kinds that list found items only, FillItemList would leave in the item
  // list, handed to sink in the same order. The database kinds hand over
  // each row as it is read and keep none, so a history of a million visits
  // is never held in memory; the item list is then left as it was.
  virtual void ListItems(int flag, const ItemSink& sink);

  const std::vector<std::wstring>& found_items() const { return found_items_; }
  const std::vector<std::wstring>& item_list() const { return item_list_; }
  const std::wstring& display_name() const { return display_name_; }
  const std::wstring& description() const { return description_; }
  const std::wstring& browser_name() const { return browser_name_; }
  const std::wstring& process_name() const { return process_name_; }
  // What the last listing could not read (a locked or damaged database),
  // one sentence each; its data was left in place and is not in the list.
  const std::vector<std::wstring>& unread() const { return unread_; }
  // The cookie kinds' Clean leaves the cookies of every host this accepts
  // (the user's ignore list); the other kinds take no notice of it.
  void KeepCookiesOf(HostFilter kept) { kept_host_ = std::move(kept); }

 protected:
  BrowserCleaner(Platform& platform, std::wstring display_name, std::wstring description, std::wstring browser_name,
                 std::wstring process_name);
  // The end of ListItems for the kinds that list found items: FillItemList,
  // then every item to sink until it says stop.
  void HandOverFoundItems(const ItemSink& sink);

  Platform& platform_;
  std::vector<std::wstring> found_items_;
  std::wstring display_name_;
  std::wstring description_;
  std::vector<std::wstring> item_list_;
  std::wstring browser_name_;
  std::wstring process_name_;
  std::vector<std::wstring> unread_;
  HostFilter kept_host_;  // empty: no cookie stays
};

// Options of CollectFiles.
struct CollectOptions {
  uint32_t min_age_days = 0;         // 0: any age; else younger files stay
  bool recurse = false;              // also walk subfolders
  bool skip_files = false;           // take no files (only walk and prune)
  bool remove_start_folder = false;  // when deleting, try to remove folder too
  bool include_system = false;       // take files with the system attribute
};

struct CollectResult {
  uint32_t deleted = 0;  // files deleted
  uint32_t kept = 0;     // files left: too young, or their deletion failed
  uint32_t failed = 0;   // of those, the ones whose deletion failed
};

// Collects the files of folder (ending in "\") that match any mask of names
// (Windows wildcards): appends folder + name to *found, or deletes them when
// remove is set. Folders, offline files and (unless include_system) system
// files are never taken. With recurse, every subfolder is collected the same
// way and, when deleting, removed afterwards if that left it empty. Links to
// folders are never entered, so a walk cannot leave the folder it was given,
// and a folder that is itself reached through a link out of the machine is
// not walked. FIFOs, sockets and devices are never taken.
// found may be null when deleting.
CollectResult CollectFiles(Platform& platform, const std::wstring& folder, const std::vector<std::wstring>& names,
                           const CollectOptions& options, std::vector<std::wstring>* found, bool remove);

}  // namespace orvane
