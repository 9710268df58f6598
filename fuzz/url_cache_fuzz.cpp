// The answers of the URL-cache program run in a Wine prefix: any bytes must
// be read or refused without a crash, and a list that is read names every
// entry by a non-empty URL.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/wine/url_cache_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<orvane::UrlCacheEntry> entries;
  if (orvane::wine::ParseUrlCacheList(text, &entries)) {
    for (const auto& e : entries)
      if (e.source_url.empty()) std::abort();
  }
  orvane::wine::UrlCacheDeletions deletions;
  orvane::wine::ParseUrlCacheDeletions(text, &deletions);
  return 0;
}
