// The desktop program. For now it offers the artwork gallery; the main window
// is started from here once it exists (see RunMainWindow).
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "ui/skin/gallery.h"

namespace {

int RunGallery(const QString& dir) {
  QStringList written;
  QString error;
  if (!orvane::WriteGallery(dir, &written, &error)) {
    std::fprintf(stderr, "orvane: %s\n", qPrintable(error));
    return 1;
  }
  std::printf("orvane: wrote %lld files to %s\n", static_cast<long long>(written.size()),
              qPrintable(dir));
  return 0;
}

// The main window and start-up belong here.
int RunMainWindow(QApplication&) {
  std::fprintf(stderr,
               "orvane: the main window is not part of this build yet; "
               "try: orvane --gallery DIR\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const bool gallery = argc == 3 && std::strcmp(argv[1], "--gallery") == 0;
  // The gallery only draws into files: it needs no display.
  if (gallery && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  if (gallery) return RunGallery(QString::fromLocal8Bit(argv[2]));
  return RunMainWindow(app);
}
