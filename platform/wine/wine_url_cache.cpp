// Internet Explorer's URL cache and history store for the Wine platform.
// Placeholder bodies until the store lands.
#include "platform/wine/wine_platform.h"

namespace orvane::wine {

bool WinePlatform::ListUrlCache(std::vector<UrlCacheEntry>*) { return false; }
bool WinePlatform::DeleteUrlCacheEntry(const std::wstring&) { return false; }
bool WinePlatform::ClearUrlHistory() { return false; }

}  // namespace orvane::wine
