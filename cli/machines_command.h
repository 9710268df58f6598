// "orvane-cli machines": the Wine prefixes found in the usual places
// (wine::FindPrefixes), one row each (kind, name, path) or a JSON list of
// objects. It works on no machine, so --prefix plays no part.
#pragma once

#include <ostream>

#include "platform/wine/prefix_discovery.h"

namespace orvane::cli {

// Prints what was found; when nothing was, one sentence naming the places
// looked in (JSON: an empty list). Always 0: finding none is no error.
int RunMachines(const wine::PrefixSearch& found, bool json, std::ostream& out);

}  // namespace orvane::cli
