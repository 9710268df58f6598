// Test entries for the URL cache a Wine prefix keeps (wine_url_cache.cpp):
// tests fill the cache through the same index file the platform reads.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace orvane::testing {

// Replaces the machine's URL cache index with entries (folders on the way are
// created). False when it could not be written.
bool WriteUrlCache(Platform& platform, const std::vector<UrlCacheEntry>& entries);
// Appends one entry to the index (a missing index starts empty).
bool AddUrlCacheEntry(Platform& platform, const UrlCacheEntry& entry);

}  // namespace orvane::testing
