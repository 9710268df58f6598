// Starting one of the program's own helpers on the host (not on the machine
// the program cleans): detached, so it outlives the program that started it.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane {

// Runs program (a host path) with args, in its own session, its standard
// streams on /dev/null, never through a shell. Ok once it has started (the
// program's file was found and executed); otherwise why, in words.
Status StartDetachedHostProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace orvane
