// "orvane-cli info": what the machine looks like to the program: registry
// roots with their key and value counts, the drives, the special folders and
// the environment variables the scanners rely on.
#pragma once

#include <ostream>

#include "platform/wine/wine_platform.h"

namespace orvane::cli {

int RunInfo(wine::WinePlatform& platform, bool json, std::ostream& out);

}  // namespace orvane::cli
