#include "ui/work_area.h"

#include <QGuiApplication>
#include <QScreen>

namespace orvane::ui {

void CentreOnWorkArea(QWidget* window, int width, int height, int dy) {
  QScreen* screen = window->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  window->move(area.left() + (area.width() - width) / 2, area.top() + (area.height() - height) / 2 + dy);
}

void PlaceOnWorkArea(QWidget* window, int width, int height) {
  window->setFixedSize(width, height);
  CentreOnWorkArea(window, width, height);
}

}  // namespace orvane::ui
