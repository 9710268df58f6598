#include "ui/pending_window.h"

#include <QScreen>

#include "ui/skin/bitmap_button.h"
#include "ui/skin/color_static.h"
#include "ui/skin/skin_images.h"

namespace orvane::ui {

PendingWindow::PendingWindow(const QString& title, int background, const QString& what, QWidget* parent)
    : CBitmapDialog(parent) {
  setWindowTitle(title);
  SetBackground(background);
  set_drag(true);
  QSize size = has_picture() ? picture().size() : QSize(528, 461);
  setFixedSize(size);
  auto* line = new CXColorStatic(what, this);
  line->SetFont("Arial", 10, 700);
  line->set_text_color(QColor(0x0D, 0x5B, 0x99));
  line->setWordWrap(true);
  line->setGeometry(50, 120, size.width() - 100, 120);
  auto* close = new CBitmapButtonEx(this);
  close->SetUp(202, 0, QPoint(size.width() - 128, size.height() - 63), tr("Close"), 8);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace orvane::ui
