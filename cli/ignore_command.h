// "orvane-cli ignore": the machine's lasting ignore list (model/ignore_list.h),
// kept in its state folder. add takes findings by their numbers in 'results',
// or one entry given outright; list shows the entries numbered; remove takes
// one out by that number.
#pragma once

#include <string>
#include <vector>

#include "cli/scan_command.h"
#include "engine/engine.h"

namespace orvane::cli {

struct IgnoreRequest {
  std::string action;                // add, list or remove
  std::vector<std::string> numbers;  // add: record numbers; remove: one entry number
  std::string key, value, path, host;
  bool value_given = false;  // --value was given (an empty name is the default value)
};

// Runs the request. 0 when done; 2, with the reason on err and the file
// untouched, for a number that names nothing, an entry that cannot be one,
// options that do not go together, or a file that cannot be read or written.
// Lines of the file that were no entry are named on err as warnings.
int RunIgnore(CSarvelEngine& engine, const IgnoreRequest& request, const Output& output);

}  // namespace orvane::cli
