#include "ui/skin/bitmap_dialog.h"

#include <QChildEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/skin/accessible.h"
#include "ui/skin/check_box.h"
#include "ui/skin/focus_frame.h"
#include "ui/skin/skin_images.h"

namespace orvane {

CBitmapDialog::CBitmapDialog(QWidget* parent) : QDialog(parent) { InstallSkinAccessibility(); }

bool CBitmapDialog::SetBackground(int resource_id) {
  // At the screen's pixel ratio, so the face stays sharp on a scaled screen.
  return SetBackground(SkinImage(resource_id, devicePixelRatioF()));
}

bool CBitmapDialog::SetBackground(const QImage& picture) {
  picture_ = picture;
  has_picture_ = !picture_.isNull();
  update();
  return has_picture_;
}

void CBitmapDialog::set_transparent_labels(bool on) {
  transparent_labels_ = on;
  ApplyLabelLook();
}

void CBitmapDialog::ApplyLabelLook() {
  for (QLabel* label : findChildren<QLabel*>()) {
    label->setAutoFillBackground(!transparent_labels_);
  }
}

void CBitmapDialog::paintEvent(QPaintEvent* event) {
  if (!has_picture_) {
    QDialog::paintEvent(event);
    return;
  }
  // Unscaled at (0, 0): a picture larger than the window is cut at the right
  // and bottom, never squeezed.
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), picture_);
  // A check box as small as its cell gets its focus ring from us, around it.
  if (auto* box = qobject_cast<CCheckBox*>(focusWidget()); box && box->hasFocus() && box->parentWidget() == this &&
                                                           box->RingOutside())
    PaintFocusFrame(painter, box->geometry().adjusted(-3, -3, 3, 3));
}

void CBitmapDialog::mousePressEvent(QMouseEvent* event) {
  QDialog::mousePressEvent(event);
  if (!drag_ || event->button() != Qt::LeftButton) return;
  // Let the window system move the window as if its title bar were grabbed;
  // where it cannot (some platforms), follow the pointer ourselves.
  if (QWindow* handle = window()->windowHandle(); handle && handle->startSystemMove()) return;
  moving_ = true;
  move_grab_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void CBitmapDialog::mouseMoveEvent(QMouseEvent* event) {
  if (moving_ && (event->buttons() & Qt::LeftButton)) {
    window()->move(event->globalPosition().toPoint() - move_grab_);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CBitmapDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) moving_ = false;
  QDialog::mouseReleaseEvent(event);
}

void CBitmapDialog::childEvent(QChildEvent* event) {
  QDialog::childEvent(event);
  if (event->polished()) {
    if (auto* label = qobject_cast<QLabel*>(event->child())) {
      label->setAutoFillBackground(!transparent_labels_);
    }
  }
}

void CBitmapDialog::showEvent(QShowEvent* event) {
  ApplyLabelLook();
  NameControlsByTheirLabels(*this);
  QDialog::showEvent(event);
}

}  // namespace orvane
