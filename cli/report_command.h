// "orvane-cli report": the HTML report of the unresolved errors.
#pragma once

#include "cli/scan_command.h"

namespace orvane::cli {

// Writes the report (creating the reports folder when missing) and prints
// its path. 0 on success, 2 when it could not be written.
int RunReport(CSarvelEngine& engine, const Output& output);

}  // namespace orvane::cli
