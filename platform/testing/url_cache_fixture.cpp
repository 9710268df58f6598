#include "platform/testing/url_cache_fixture.h"

#include "platform/wine/url_cache_index.h"

namespace orvane::testing {

bool WriteUrlCache(Platform& platform, const std::vector<UrlCacheEntry>& entries) {
  std::wstring path = wine::UrlCacheIndexPath(platform);
  if (path.empty()) return false;
  for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
    platform.CreateDirectory(path.substr(0, slash));
  return platform.WriteFileAtomic(path, wine::FormatUrlCacheIndex(entries));
}

bool AddUrlCacheEntry(Platform& platform, const UrlCacheEntry& entry) {
  std::vector<UrlCacheEntry> entries;
  std::string bytes;
  std::wstring error;
  if (platform.ReadFile(wine::UrlCacheIndexPath(platform), &bytes) &&
      !wine::ParseUrlCacheIndex(bytes, &entries, &error))
    return false;
  entries.push_back(entry);
  return WriteUrlCache(platform, entries);
}

}  // namespace orvane::testing
