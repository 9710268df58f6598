// The browser privacy sections (17 to 21): the scanners that list each
// selected browser's cookies, history, cache, typed URLs and form history as
// records, and the repair hook that cleans them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scanners/scan_context.h"

namespace orvane {

// What a clean left behind: the display names of the browsers whose data
// could not be removed (a database locked by the running browser, or
// damaged). Empty when everything selected was cleaned.
struct BrowserCleanResult {
  std::vector<std::wstring> left_in_place;
};

// The repair hook for a record of sections 17 to 21: cleans the section's
// data of every selected browser (selection: "1"/"0" for Internet Explorer,
// Firefox, Chrome; missing elements count as not selected). Runs on the
// repair thread.
BrowserCleanResult CleanBrowserData(Platform& platform, int32_t section,
                                    const std::vector<std::wstring>& selection);

}  // namespace orvane
