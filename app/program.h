// The desktop program once it is the one instance: it opens the machine,
// makes the engine, the long-lived windows and the main window, and runs
// them until the user exits.
#pragma once

#include <QString>

namespace orvane::app {

struct ProgramOptions {
  QString prefix;  // "" to choose as usual ($WINEPREFIX, ~/.wine, the sample)
  bool scan_at_start = false;
};

// Returns the process's exit code: 1 after the user's exit, 2 when the
// machine cannot be opened (said in a message box).
int RunProgram(const ProgramOptions& options);

// The help page shipped with the program: beside it, or in
// ../share/orvane/ of an installed one. Empty when neither holds it.
QString HelpPagePath(const QString& program_folder);

}  // namespace orvane::app
