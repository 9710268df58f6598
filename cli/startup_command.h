// "orvane-cli startup": the programs Windows starts at logon through the Run
// keys, numbered from 1 as the startup manager lists them, and the removal of
// one by its number (backed up first, so "backups restore" brings it back).
#pragma once

#include <string>

#include "cli/scan_command.h"

namespace orvane::cli {

// action "list" or "remove". number counts from 1 in a fresh listing's
// order. 0 on success; 2 when there is no such entry or it was not removed
// (the reason on the error stream).
int RunStartup(CSarvelEngine& engine, const std::string& action, int number, const Output& output);

}  // namespace orvane::cli
