#include "ui/row_list.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace orvane::ui {

namespace {

// The rows are drawn, not widgets: to a screen reader the list is a list,
// named by the window that shows it.
QAccessibleInterface* RowListFactory(const QString& key, QObject* object) {
  if (key != QLatin1String("orvane::ui::CRowList")) return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::List);
}

}  // namespace

int WheelScrollPixels(int delta, int lines, int step, int page) {
  if (delta == 0) return 0;
  int pixels = lines < 0 ? page : std::max(1, (std::abs(delta) / 120) * lines / 3) * step;
  return delta > 0 ? -pixels : pixels;
}

CRowList::CRowList(int row_height, QColor background, QWidget* parent)
    : QAbstractScrollArea(parent), row_height_(row_height), background_(background) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setMouseTracking(true);
  // Every pixel is painted by paintEvent; no need for Qt to clear first.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  verticalScrollBar()->setSingleStep(kLineStep);
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(RowListFactory); });
}

int CRowList::visible_height() const { return viewport()->height(); }

int CRowList::scroll_position() const { return verticalScrollBar()->value(); }

void CRowList::ScrollTo(int y) {
  // The scroll bar clamps to its range: 0 .. scroll height - visible.
  verticalScrollBar()->setValue(y);
}

int CRowList::RowAt(QPoint at) const {
  int y = at.y() + scroll_position();
  if (y < 0 || row_height_ <= 0) return -1;
  int row = y / row_height_;
  return row < row_count_ ? row : -1;
}

QRect CRowList::RowRect(int row) const {
  return QRect(0, row * row_height_ - scroll_position(), viewport()->width(), row_height_);
}

void CRowList::UpdateRow(int row) {
  if (row >= 0 && row < row_count_) viewport()->update(RowRect(row));
}

int CRowList::wheel_lines() const {
  return wheel_lines_ != 0 ? wheel_lines_ : QApplication::wheelScrollLines();
}

void CRowList::SetRowCount(int rows) {
  row_count_ = std::max(0, rows);
  UpdateScrollRange();
  viewport()->update();
}

void CRowList::UpdateScrollRange() {
  QScrollBar* bar = verticalScrollBar();
  int page = visible_height();
  bar->setPageStep(std::max(1, page));
  bar->setRange(0, std::max(0, scroll_height() - page));
}

void CRowList::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect dirty = event->rect();
  painter.fillRect(dirty, background_);
  rows_painted_ = 0;
  if (row_count_ == 0) return;
  const int top = scroll_position();
  int first = std::max(0, (top + dirty.top()) / row_height_);
  int last = std::min(row_count_ - 1, (top + dirty.bottom()) / row_height_);
  for (int row = first; row <= last; ++row) {
    painter.save();
    PaintRow(painter, row, row * row_height_ - top);
    painter.restore();
    ++rows_painted_;
  }
}

void CRowList::wheelEvent(QWheelEvent* event) {
  int delta = event->angleDelta().y();
  if (scroll_height() <= visible_height() || delta == 0) {
    event->ignore();
    return;
  }
  ScrollTo(scroll_position() + WheelScrollPixels(delta, wheel_lines(), kLineStep, visible_height()));
  event->accept();
}

void CRowList::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
}

}  // namespace orvane::ui
