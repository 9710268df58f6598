// orvane: the desktop program.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "app/program.h"
#include "app/sarvel_app.h"
#include "app/scan_dialog.h"
#include "app/single_instance.h"
#include "platform/wine/wine_elevation.h"
#include "ui/skin/gallery.h"

namespace {

constexpr char kUsage[] =
    "usage: orvane [--prefix DIR] [-scan]\n"
    "  --prefix DIR  the Wine prefix to work on (default: $WINEPREFIX, else ~/.wine,\n"
    "                else a sample machine with known faults)\n"
    "  -scan         (the whole command line besides --prefix) start a registry scan\n"
    "  --gallery DIR draw the program's artwork into DIR and end\n";

int RunGallery(const QString& dir) {
  QStringList written;
  QString error;
  if (!orvane::WriteGallery(dir, &written, &error)) {
    std::fprintf(stderr, "orvane: %s\n", qPrintable(error));
    return 1;
  }
  std::printf("orvane: wrote %lld files to %s\n", static_cast<long long>(written.size()), qPrintable(dir));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The gallery only draws into files: it needs no display.
  for (int i = 1; i < argc; ++i)
    if (QByteArray(argv[i]).startsWith("--gallery") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Qt has taken its own options (such as -platform) out of these.
  orvane::app::CommandLine line = orvane::app::ParseCommandLine(QCoreApplication::arguments().mid(1));
  if (!line.error.isEmpty() || line.help) {
    if (line.help) std::printf("%s", kUsage);
    else std::fprintf(stderr, "orvane: %s\n%s", qPrintable(line.error), kUsage);
    return line.help ? 0 : 2;
  }
  if (!line.gallery.isEmpty()) return RunGallery(line.gallery);

  orvane::app::SingleInstance instance("orvane");
  orvane::wine::WineElevation elevation;
  orvane::app::CSarvelApp::Hooks hooks;
  hooks.another_instance_running = [&] { return !instance.Claim(); };
  hooks.elevation = &elevation;
  hooks.run_main_window = [&](bool scan_at_start) {
    orvane::app::ProgramOptions options{line.prefix, scan_at_start};
    // A later start asks this one to come to the front.
    QObject::connect(&instance, &orvane::app::SingleInstance::activateRequested, [] {
      if (auto* window = orvane::app::CScanDialog::Instance()) window->OnOpen();
    });
    // The restarter asks this one to make room for its new version.
    QObject::connect(&instance, &orvane::app::SingleInstance::quitRequested, [] {
      if (auto* window = orvane::app::CScanDialog::Instance()) window->OnExit();
    });
    return orvane::app::RunProgram(options);
  };
  return orvane::app::CSarvelApp(hooks).InitInstance(line.rest);
}
