#include "ui/skin/contrast.h"

#include <QImage>
#include <algorithm>
#include <cmath>

#include "ui/skin/color_static.h"

namespace orvane {
namespace {

double Channel(double c) {
  c /= 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(QColor c) {
  return 0.2126 * Channel(c.red()) + 0.7152 * Channel(c.green()) + 0.0722 * Channel(c.blue());
}

}  // namespace

double ContrastRatio(QColor a, QColor b) {
  double la = Luminance(a), lb = Luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

std::vector<LabelContrast> MeasureLabelContrast(QWidget& window) {
  std::vector<CXColorStatic*> labels;
  for (CXColorStatic* label : window.findChildren<CXColorStatic*>()) {
    if (label->isVisibleTo(&window) && !label->ShownText().trimmed().isEmpty()) labels.push_back(label);
  }
  // The picture under the texts: the window drawn with its labels hidden.
  for (CXColorStatic* label : labels) label->hide();
  QImage back(window.size(), QImage::Format_RGB32);
  back.fill(Qt::white);
  window.render(&back, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
  for (CXColorStatic* label : labels) label->show();

  std::vector<LabelContrast> out;
  for (CXColorStatic* label : labels) {
    const QRect box = QRect(label->mapTo(&window, QPoint(0, 0)), label->size()).intersected(back.rect());
    if (box.isEmpty()) continue;
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor c = back.pixelColor(x, y);
        r += c.red();
        g += c.green();
        b += c.blue();
        ++n;
      }
    }
    LabelContrast m;
    m.text = label->ShownText();
    m.text_color = label->text_color();
    m.background = QColor(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n));
    m.ratio = ContrastRatio(m.text_color, m.background);
    out.push_back(m);
  }
  return out;
}

}  // namespace orvane
