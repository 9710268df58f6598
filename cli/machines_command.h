// "orvane-cli machines": the Wine prefixes found in the usual places
// (wine::FindPrefixes), one row each (kind, name, path) or a JSON list of
// objects; then the backups the program still keeps of prefixes that are
// gone, with their size, so they can be found and removed. It works on no
// machine, so --prefix plays no part.
#pragma once

#include <ostream>
#include <vector>

#include "platform/wine/machine_state.h"
#include "platform/wine/prefix_discovery.h"

namespace orvane::cli {

// The JSON "kind" of a folder of backups whose prefix is gone.
inline constexpr char kOrphanedBackupsKind[] = "backups of a removed prefix";

// Prints what was found; when no prefix was, one sentence naming the places
// looked in (JSON: no prefix objects). Of machines, only the folders whose
// prefix is gone and that still hold backups are shown (JSON objects of
// kind kOrphanedBackupsKind with the former prefix, sets and bytes). Always
// 0: finding none is no error.
int RunMachines(const wine::PrefixSearch& found, const std::vector<wine::MachineStateSummary>& machines, bool json,
                std::ostream& out);

}  // namespace orvane::cli
