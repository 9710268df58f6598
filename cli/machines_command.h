// "orvane-cli machines": the Wine prefixes found in the usual places
// (wine::FindPrefixes), one row each (kind, name, size on disk, path; a
// Steam game's name and whether its prefix is orphaned) or a JSON list of
// objects. It works on no machine, so --prefix plays no part.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

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

// Prints the listing; when it has no rows, one sentence naming the places
// looked in (JSON: an empty list). Always 0: finding none is no error.
int RunMachines(const MachineListing& listing, bool json, std::ostream& out);

}  // namespace orvane::cli
