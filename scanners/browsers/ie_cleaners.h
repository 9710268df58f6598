// The Internet Explorer cleaners: the cached pages, the history entries and
// the cookies of the URL cache, told apart by entry type. Listing and
// deleting go through the platform's URL cache services.
#pragma once

#include "scanners/browsers/browser_cleaner.h"

namespace orvane {

class ie_base : public BrowserCleaner {
 public:
  // Appends the source URL of every cache entry this class handles to found
  // items (which are not cleared first). The scan then calls FillItemList.
  void List(int flag) override;
  // Deletes every entry of the cache that DeleteEntry would, in one request
  // to the platform. False when the cache could not be read, or an entry of
  // this class is still there afterwards.
  bool Clean() override;
  // Deletes entry when it is one List would take (so what is listed is what
  // is removed, and nothing else). False only when it is and the deletion
  // failed.
  virtual bool DeleteEntry(const UrlCacheEntry& entry);

  DWORD entry_type_mask() const { return mask_; }
  // Whether List takes an entry of this type: a type sharing a bit with the
  // mask, and for the cache mask (1) only when it is neither a cookie nor a
  // history entry.
  bool Qualifies(DWORD entry_type) const;
  // Whether Clean removes an entry: one that qualifies, unless it is a
  // cookie of a host to keep.
  bool Takes(const UrlCacheEntry& entry) const;

 protected:
  ie_base(Platform& platform, DWORD mask, std::wstring display_name, std::wstring description,
          std::wstring browser_name, std::wstring process_name);

  DWORD mask_;
};

class ie_cache : public ie_base {
 public:
  explicit ie_cache(Platform& platform);
};

// Also clears the URL history store after its cache entries are gone.
class ie_history : public ie_base {
 public:
  explicit ie_history(Platform& platform);
  bool Clean() override;
};

class ie_cookies : public ie_base {
 public:
  explicit ie_cookies(Platform& platform);
};

}  // namespace orvane
