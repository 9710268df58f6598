// "orvane-cli repair": repairing the unresolved errors (all, or chosen
// sections) with a backup of everything removed (backups_command.h lists,
// restores and deletes the sets).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/scan_command.h"

namespace orvane::cli {

struct RepairRequest {
  std::set<int> sections;          // only these; empty means every section
  std::set<int> excluded_sections;
  std::set<int> records;           // only these numbers (as `results` prints them); empty: all
};

// The record numbers of "--only": a list such as 3,7 or 2-5 (several lists
// may be given). Fails, saying why, on anything else.
Status ParseRecordNumbers(const std::vector<std::string>& lists, std::set<int>* numbers);

// Repairs the unresolved errors the request selects, showing each record,
// then the found, repaired and ignored counts per section. What was not
// repaired (not selected, or failed) stays in the unresolved errors.
// 0 when none remain, 1 when some do, 2 when the machine cannot be changed.
int RunRepair(CSarvelEngine& engine, MessageQueue& queue, const RepairRequest& request, const Output& output);

}  // namespace orvane::cli
