// How the main window shows the stored problems count ("IgnoredErrorsCount"):
// the label's text and colour and the gauge picture, from Low to High.
#pragma once

#include <QColor>
#include <QString>

namespace orvane::app {

struct ProblemsLook {
  QString text;   // "%s errors", or "0 errors"
  QColor color;
  int gauge = 0;  // picture id; 0 leaves the gauge as it is
};

// stored: the setting's text ("" when missing).
ProblemsLook ProblemsFor(const QString& stored);

}  // namespace orvane::app
