// The URL cache index of a Wine prefix: any bytes must parse or be refused
// without a crash, and whatever parses must survive a rewrite unchanged (a
// clean rewrites the index with the entries it keeps).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/wine/url_cache_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<orvane::UrlCacheEntry> entries;
  std::wstring error;
  if (!orvane::wine::ParseUrlCacheIndex(text, &entries, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::vector<orvane::UrlCacheEntry> again;
  if (!orvane::wine::ParseUrlCacheIndex(orvane::wine::FormatUrlCacheIndex(entries), &again, &error)) std::abort();
  if (again.size() != entries.size()) std::abort();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (again[i].source_url != entries[i].source_url || again[i].local_file != entries[i].local_file ||
        again[i].entry_type != entries[i].entry_type)
      std::abort();
  }
  return 0;
}
