#include "app/sarvel_app.h"

namespace orvane::app {

CommandLine ParseCommandLine(const QStringList& words) {
  CommandLine line;
  QStringList rest;
  for (int i = 0; i < words.size(); ++i) {
    const QString& word = words[i];
    auto value = [&](const QString& option, QString* into) {
      if (word.startsWith(option + "=")) {
        *into = word.mid(option.size() + 1);
        return true;
      }
      if (word != option) return false;
      if (i + 1 < words.size()) *into = words[++i];
      else line.error = option + " needs a folder";
      return true;
    };
    if (value("--prefix", &line.prefix) || value("--gallery", &line.gallery)) continue;
    if (word == "--help" || word == "-h") {
      line.help = true;
      continue;
    }
    rest << word;
  }
  line.rest = rest.join(' ');
  return line;
}

bool ScanAtStart(const QString& command_line) { return command_line == QStringLiteral("-scan"); }

const char kStartAtLoginQuestion[] =
    "Should Orvane start when you log in?\n\n"
    "Yes adds Orvane to your desktop's start-up programs (outside the Wine prefix); at each login it then opens "
    "your default machine. You can change this later in Settings.";

bool AskStartAtLoginOnce(SettingsStore& settings, ui::Messenger& messenger, bool scan_at_start) {
  if (scan_at_start || settings.StartAtLoginAnswered()) return false;
  const bool yes = messenger.Ask(nullptr, QStringLiteral("Orvane"), QString::fromUtf8(kStartAtLoginQuestion));
  if (Status s = settings.SetStartWithWindows(yes); !s)
    messenger.Tell(
        nullptr, QStringLiteral("Orvane"),
        QStringLiteral("Orvane could not be set to start at login: %1").arg(QString::fromStdWString(s.message)),
        ui::Messenger::Icon::kWarning);
  return true;
}

int CSarvelApp::InitInstance(const QString& command_line) {
  const bool scan = ScanAtStart(command_line);
  if (hooks_.another_instance_running && hooks_.another_instance_running()) {
    // The running instance was asked to come forward; a relaunch with
    // raised rights would find it all the same.
    if (hooks_.elevation && hooks_.elevation->NeedsElevation()) hooks_.elevation->RelaunchElevated(L"");
    return 0;
  }
  if (hooks_.elevation && hooks_.elevation->NeedsElevation()) {
    // The raised copy starts anew; this one ends now and frees the lock.
    hooks_.elevation->RelaunchElevated(scan ? L"-scan" : L"");
    return 0;
  }
  return hooks_.run_main_window ? hooks_.run_main_window(scan) : 1;
}

}  // namespace orvane::app
