// How legible a skinned window's texts are: the contrast ratio (as the web's
// accessibility guidelines define it, 1:1 to 21:1) between each label's text
// colour and the picture under it. Normal text needs 4.5:1. Interface thread.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

namespace orvane {

// The contrast ratio of two colours, from their relative luminances.
double ContrastRatio(QColor a, QColor b);

struct LabelContrast {
  QString text;        // what the label shows
  QColor text_color;   // its colour
  QColor background;   // the picture's colour under it (the mean over its box)
  double ratio = 0;    // text colour against that mean
};

// Every visible label of window that shows text, measured against the window
// drawn without its labels. The window need not be shown on a screen.
std::vector<LabelContrast> MeasureLabelContrast(QWidget& window);

}  // namespace orvane
