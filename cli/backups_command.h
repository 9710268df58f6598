// "orvane-cli backups": the backup sets of the machine (those of the
// program's state folder, and those older versions left in the machine),
// listed with their kind, time, item count and size; one restored or
// deleted by its number; old ones pruned when asked.
#pragma once

#include <optional>
#include <string>

#include "cli/scan_command.h"
#include "platform/state_folder.h"

namespace orvane::cli {

struct BackupsRequest {
  std::string action;  // "list", "restore", "delete" or "prune"
  int number = 0;      // restore, delete: from 1, in the list's order (oldest first)
  std::optional<int> older_than_days;  // prune
  std::optional<int> keep;             // prune
};

// Fails, saying why, when the request cannot be carried out as asked: a
// restore or delete without a number, a prune without a rule or with a
// negative one.
Status CheckBackupsRequest(const BackupsRequest& request);

// Carries the request out on the engine's sets. 0 on success; 2 on a usage
// error, a machine that cannot be changed now, or a set that could not be
// (wholly) restored or deleted.
int RunBackups(CSarvelEngine& engine, const BackupsRequest& request, const Output& output);

}  // namespace orvane::cli
