// The pace of orvane-cli's scans and repairs. A command line runs at full
// speed unless asked otherwise: "--pace spec" keeps the program's own pauses
// (two seconds and more a section, one second a repaired record), as the
// desktop program and the scheduled scan always do; "--pace none", the
// default, skips them.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "model/pacer.h"

namespace orvane::cli {

class PaceOption {
 public:
  // Adds --pace to app (with fallthrough it is also taken after a command's
  // name). The option's value lives in this object, which must outlive the
  // parse.
  void AddTo(CLI::App& app);
  // The pacer the run uses: for "spec" the given one, which waits; for
  // "none" one that never waits. The result lives as long as both objects.
  Pacer& Choose(Pacer& waiting);

 private:
  std::string pace_ = "none";
  NoPacer none_;
};

}  // namespace orvane::cli
