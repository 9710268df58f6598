// "orvane-cli uninstall": the programs the machine records as installed,
// and the start of one's uninstaller.
#pragma once

#include <string>

#include "cli/scan_command.h"

namespace orvane::cli {

// action "list": one row per program, numbered from 1 in the uninstall
// manager's order (by program name); 0. action "run": starts the uninstaller
// of row `number`, waits for it and for the machine to show its work, then
// says whether the program is gone: 0 gone, 1 still installed, 2 when
// nothing could be started or the row does not exist.
int RunUninstall(CSarvelEngine& engine, const std::string& action, int number, const Output& output);

}  // namespace orvane::cli
