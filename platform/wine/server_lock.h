// Whether a wineserver runs for a prefix. While one does, it holds the
// registry in memory and overwrites the files, so nothing we write survives.
#pragma once

#include <string>

namespace orvane::wine {

// The pid of the wineserver holding the prefix's lock, or 0 when none runs.
// prefix_dir is the host path of the prefix folder.
int RunningWineserver(const std::string& prefix_dir);

}  // namespace orvane::wine
