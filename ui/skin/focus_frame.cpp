#include "ui/skin/focus_frame.h"

namespace orvane {

void PaintFocusFrame(QPainter &painter, const QRect &rect) {
  if (rect.width() < 2 * kFocusFrameWidth || rect.height() < 2 * kFocusFrameWidth) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor::fromRgba(kFocusOuterColor), 1));
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.setPen(QPen(QColor::fromRgba(kFocusInnerColor), 1));
  painter.drawRect(rect.adjusted(1, 1, -2, -2));
  painter.restore();
}

}  // namespace orvane
