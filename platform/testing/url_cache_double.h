// A machine whose URL cache is held in memory, for the code above the
// platform (the cleaners, the privacy sections). The real cache is WinINet's
// in a Wine prefix, tested against Wine itself; this one lets the cleaners'
// choices be checked in milliseconds and without Wine.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/testing/recording_platform.h"

namespace orvane::testing {

class UrlCacheDouble : public RecordingPlatform {
 public:
  UrlCacheDouble(Platform& machine, std::vector<UrlCacheEntry> entries)
      : RecordingPlatform(machine), entries_(std::move(entries)) {}

  // An unreadable cache: every operation on it fails.
  bool readable = true;
  // Whether the history store exists (ClearUrlHistory succeeds).
  bool has_history_store = true;
  int clears = 0;
  int requests = 0;  // calls of DeleteUrlCacheEntries

  const std::vector<UrlCacheEntry>& entries() const { return entries_; }

  bool ListUrlCache(std::vector<UrlCacheEntry>* entries) override {
    if (!readable) return false;
    *entries = entries_;
    return true;
  }
  // Removes every entry stored under the URL, as WinINet does.
  bool DeleteUrlCacheEntry(const std::wstring& source_url) override {
    if (!readable) return false;
    auto gone = std::remove_if(entries_.begin(), entries_.end(),
                               [&](const UrlCacheEntry& e) { return e.source_url == source_url; });
    bool found = gone != entries_.end();
    entries_.erase(gone, entries_.end());
    return found;
  }
  bool DeleteUrlCacheEntries(const std::vector<std::wstring>& source_urls,
                             std::vector<std::wstring>* failed) override {
    ++requests;
    return Platform::DeleteUrlCacheEntries(source_urls, failed);
  }
  bool ClearUrlHistory() override {
    if (!readable || !has_history_store) return false;
    ++clears;
    return true;
  }

 private:
  std::vector<UrlCacheEntry> entries_;
};

}  // namespace orvane::testing
