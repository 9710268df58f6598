// orvane-restarter: brings a newly installed program into use. The update
// has put the new executable in place while the old program still runs; the
// restarter asks that program to quit over the single-instance channel,
// waits until its per-user lock is free and then starts the program beside
// itself. It never starts a second instance: when the old one does not end
// in time, nothing is started.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>

#include "app/single_instance.h"

namespace orvane::app {

// The restarter's command line: [--prefix DIR | --prefix=DIR] [--help].
struct RestarterLine {
  QString prefix;  // "" when not given
  bool help = false;
  QString error;  // not empty when the line cannot be used
};
RestarterLine ParseRestarterLine(const QStringList& arguments);

struct RestartOptions {
  QString program;  // the executable to start (the restarter's own folder + "/orvane")
  QStringList arguments;
  QString instance_name = QString::fromLatin1(kProgramInstanceName);
  QString lock_dir;  // "" for the user's runtime folder, as the program uses
  std::chrono::milliseconds limit{60000};
  std::chrono::milliseconds poll{100};
};

struct RestartOutcome {
  enum class Result {
    kStarted,       // the program was started (after the old one ended, or at once)
    kStillRunning,  // the old program held its lock past the limit: nothing started
    kCannotStart,   // the lock was free but the program could not be started
  };
  Result result = Result::kCannotStart;
  bool instance_was_running = false;
  // Why nothing was started, for the user; a note when the quit request
  // could not be handed over but the program ended anyway.
  QString message;
};

// Does the restarter's work: asks a running instance to quit, waits up to
// options.limit for its lock to become free, and starts the program detached
// in its own folder. Blocks; needs a QCoreApplication.
RestartOutcome Restart(const RestartOptions& options);

}  // namespace orvane::app
