#include "app/restarter.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <memory>

#include "platform/wine/instance_lock.h"

namespace orvane::app {
namespace {

// True when no instance holds the lock. The probe lets go of the lock at
// once: the program about to be started must be able to take it.
bool LockIsFree(const RestartOptions& options) {
  wine::InstanceLock probe(options.instance_name.toStdString(), options.lock_dir.toStdString());
  return probe.TryAcquire();
}

RestartOutcome Start(const RestartOptions& options, RestartOutcome outcome) {
  const QString folder = QFileInfo(options.program).absolutePath();
  if (QProcess::startDetached(options.program, options.arguments, folder)) {
    outcome.result = RestartOutcome::Result::kStarted;
  } else {
    outcome.result = RestartOutcome::Result::kCannotStart;
    outcome.message = QStringLiteral("cannot start %1").arg(options.program);
  }
  return outcome;
}

}  // namespace

RestarterLine ParseRestarterLine(const QStringList& arguments) {
  RestarterLine line;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      line.help = true;
    } else if (argument == QLatin1String("--prefix")) {
      if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
        line.error = QStringLiteral("--prefix needs a folder");
        return line;
      }
      line.prefix = arguments[++i];
    } else if (argument.startsWith(QLatin1String("--prefix="))) {
      line.prefix = argument.mid(9);
      if (line.prefix.isEmpty()) {
        line.error = QStringLiteral("--prefix needs a folder");
        return line;
      }
    } else {
      line.error = QStringLiteral("unknown argument: %1").arg(argument);
      return line;
    }
  }
  return line;
}

RestartOutcome Restart(const RestartOptions& options) {
  RestartOutcome outcome;
  if (LockIsFree(options)) return Start(options, outcome);

  outcome.instance_was_running = true;
  // The program may be busy for a moment (a modal window's loop still
  // reads its socket, so it hears us; it may still ask before it ends).
  bool asked = SingleInstance::SendQuit(options.instance_name, options.lock_dir);
  QElapsedTimer timer, since_asked;
  timer.start();
  since_asked.start();
  while (timer.elapsed() < options.limit.count()) {
    // A program too busy to take the request at first (a loaded machine, a
    // window still closing) is asked again each second until it answers.
    if (!asked && since_asked.elapsed() >= 1000) {
      asked = SingleInstance::SendQuit(options.instance_name, options.lock_dir);
      since_asked.restart();
    }
    if (LockIsFree(options)) {
      if (!asked) outcome.message = QStringLiteral("the running program did not answer, but it has ended");
      return Start(options, outcome);
    }
    QThread::msleep(static_cast<unsigned long>(options.poll.count()));
  }
  outcome.result = RestartOutcome::Result::kStillRunning;
  const qint64 seconds = (options.limit.count() + 999) / 1000;
  outcome.message = asked ? QStringLiteral(
                                "the running program was asked to quit but has not ended after %1 s; the new version "
                                "was not started (close Orvane and start it again to use the new version)")
                                .arg(seconds)
                          : QStringLiteral(
                                "the running program could not be asked to quit and has not ended after %1 s; the new "
                                "version was not started (close Orvane and start it again to use the new version)")
                                .arg(seconds);
  return outcome;
}

}  // namespace orvane::app
