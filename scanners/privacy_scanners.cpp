#include "scanners/privacy_scanners.h"

namespace orvane {

BrowserCleanResult CleanBrowserData(Platform&, int32_t, const std::vector<std::wstring>&) { return {}; }

}  // namespace orvane
