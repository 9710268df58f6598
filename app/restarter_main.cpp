// orvane-restarter: started by the program once a new version is in place.
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "app/restarter.h"

namespace {

constexpr char kUsage[] =
    "usage: orvane-restarter [--prefix DIR]\n"
    "  Asks the running Orvane to quit, waits for it to end and starts the\n"
    "  orvane beside this program again (with --prefix DIR when given).\n";

// The wait may be shortened (never lengthened past a day) for trials that
// cannot spend a minute on a program that refuses to end.
std::chrono::milliseconds Limit() {
  bool ok = false;
  const int ms = qEnvironmentVariableIntValue("ORVANE_RESTARTER_LIMIT_MS", &ok);
  if (ok && ms > 0 && ms <= 24 * 3600 * 1000) return std::chrono::milliseconds(ms);
  return std::chrono::milliseconds(60000);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const orvane::app::RestarterLine line = orvane::app::ParseRestarterLine(QCoreApplication::arguments().mid(1));
  if (line.help) {
    std::printf("%s", kUsage);
    return 0;
  }
  if (!line.error.isEmpty()) {
    std::fprintf(stderr, "orvane-restarter: %s\n%s", qPrintable(line.error), kUsage);
    return 2;
  }

  orvane::app::RestartOptions options;
  options.program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvane"));
  // The program starts in its own folder, where a relative path would mean
  // something else.
  if (!line.prefix.isEmpty()) options.arguments = {QStringLiteral("--prefix"), QDir(line.prefix).absolutePath()};
  options.limit = Limit();

  const orvane::app::RestartOutcome outcome = orvane::app::Restart(options);
  if (outcome.result != orvane::app::RestartOutcome::Result::kStarted) {
    std::fprintf(stderr, "orvane-restarter: %s\n", qPrintable(outcome.message));
    return 1;
  }
  if (!outcome.message.isEmpty()) std::fprintf(stderr, "orvane-restarter: %s\n", qPrintable(outcome.message));
  return 0;
}
