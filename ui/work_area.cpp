#include "ui/work_area.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace orvane::ui {

void CentreOnWorkArea(QWidget* window, int width, int height, int dy) {
  QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  window->move(CentredInside(screen->availableGeometry(), width, height, dy));
}

QPoint CentredInside(const QRect& area, int width, int height, int dy) {
  const int x = area.left() + (area.width() - width) / 2;
  const int y = area.top() + (area.height() - height) / 2 + dy;
  // std::max last: a window larger than the area starts at its corner.
  return QPoint(std::max(area.left(), std::min(x, area.right() + 1 - width)),
                std::max(area.top(), std::min(y, area.bottom() + 1 - height)));
}

void PlaceOnWorkArea(QWidget* window, int width, int height) {
  window->setFixedSize(width, height);
  CentreOnWorkArea(window, width, height);
}

}  // namespace orvane::ui
