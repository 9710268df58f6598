// "orvane-cli machines": the Wine prefixes found in the usual places
// (wine::FindPrefixes), one row each (kind, name, size on disk, path; a
// Steam game's name and whether its prefix is orphaned) or a JSON list of
// objects; then the backups the program still keeps of prefixes that are
// gone, with their size, so they can be found and removed. It works on no
// machine, so --prefix plays no part.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/wine/machine_state.h"
#include "platform/wine/prefix_discovery.h"

namespace orvane::cli {

// One row of the listing.
struct MachineRow {
  wine::FoundPrefix prefix;
  std::optional<uint64_t> size;  // bytes on disk (wine::SizeOnDisk); nullopt when unknown
};

struct MachineListing {
  std::vector<MachineRow> rows;        // in the search's order
  std::vector<std::string> looked_in;  // where the search looked, for a listing with no rows
};

// The prefixes found, each measured on disk. Reads only.
MachineListing ListMachines(const wine::PrefixSearch& found);

// The JSON "kind" of a folder of backups whose prefix is gone.
inline constexpr char kOrphanedBackupsKind[] = "backups of a removed prefix";

// Prints the listing; when it has no rows, one sentence naming the places
// looked in (JSON: no prefix objects). Of machines, only the folders whose
// prefix is gone and that still hold backups are shown (JSON objects of kind
// kOrphanedBackupsKind with the former prefix, sets and bytes). Always 0:
// finding none is no error.
int RunMachines(const MachineListing& listing, const std::vector<wine::MachineStateSummary>& machines, bool json,
                std::ostream& out);

}  // namespace orvane::cli
