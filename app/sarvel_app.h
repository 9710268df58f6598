// `CSarvelApp`: the start of the desktop program. One instance runs per
// user: a later start hands "activate" to it and ends without a window.
// Where the system grants raised rights, an unraised start relaunches itself
// raised and ends. Otherwise the program runs its main window until the user
// exits, and that ends the process.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "model/settings_store.h"
#include "platform/elevation.h"
#include "ui/messenger.h"

namespace orvane::app {

// What the words after the program's name ask for.
struct CommandLine {
  QString prefix;   // --prefix DIR (or --prefix=DIR); "" to choose as usual
  QString gallery;  // --gallery DIR: draw the artwork into DIR and end
  bool help = false;
  // The words left once the options above are taken out, joined by blanks:
  // the command line a scheduled scan or a user gives the program.
  QString rest;
  QString error;  // an option without its value
};
CommandLine ParseCommandLine(const QStringList& words);

// True for exactly "-scan": the whole command line, same case.
bool ScanAtStart(const QString& command_line);

// The question the first interactive start asks, in a box captioned "Orvane".
extern const char kStartAtLoginQuestion[];
// Start at login is off until the user turns it on, and on this platform it
// writes outside the machine, so the first interactive start asks once:
// Yes turns it on (a failure is told), No keeps it off and only records the
// answer in the user's settings (no entry, nothing in any machine). A
// scheduled start (scan_at_start) never asks, and neither does any start
// once the user has answered. True when it asked. Interface thread.
bool AskStartAtLoginOnce(SettingsStore& settings, ui::Messenger& messenger, bool scan_at_start);

class CSarvelApp {
 public:
  struct Hooks {
    // True when another instance runs for this user; it has then been
    // asked to come to the front.
    std::function<bool()> another_instance_running;
    Elevation* elevation = nullptr;
    // Creates the long-lived windows and the main window and runs it until
    // the program ends; gives the process's exit code.
    std::function<int(bool scan_at_start)> run_main_window;
  };

  explicit CSarvelApp(Hooks hooks) : hooks_(std::move(hooks)) {}

  // The whole life of the process, in order: the instance check, the
  // relaunch when rights are missing, then the main window. Returns the
  // exit code; 0 when this process ends for another to go on.
  int InitInstance(const QString& command_line);

 private:
  Hooks hooks_;
};

}  // namespace orvane::app
