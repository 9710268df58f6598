// Shell services of the Wine platform: the recycle bin and shell links.
// Placeholder bodies until the Trash and liblnk readers land.
#include "platform/wine/wine_platform.h"

namespace orvane::wine {

bool WinePlatform::ListRecycleBin(std::vector<RecycleBinItem>*) { return false; }
bool WinePlatform::EmptyRecycleBin() { return false; }
bool WinePlatform::ShortcutResolves(const std::wstring&) { return false; }

}  // namespace orvane::wine
