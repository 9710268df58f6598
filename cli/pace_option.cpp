#include "cli/pace_option.h"

namespace orvane::cli {

void PaceOption::AddTo(CLI::App& app) {
  app.add_option("--pace", pace_,
                 "Pauses of scans and repairs: 'none' (the default: full speed) or 'spec' (the program's own "
                 "pauses, as the desktop program keeps them)")
      ->check(CLI::IsMember({"spec", "none"}));
}

Pacer& PaceOption::Choose(Pacer& waiting) { return pace_ == "spec" ? waiting : static_cast<Pacer&>(none_); }

}  // namespace orvane::cli
