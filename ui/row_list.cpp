#include "ui/row_list.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "ui/skin/focus_frame.h"

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
  setFocusPolicy(Qt::StrongFocus);
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(RowListFactory); });
}

int CRowList::visible_height() const { return viewport()->height(); }

int CRowList::scroll_position() const { return verticalScrollBar()->value(); }

void CRowList::ScrollTo(int y) {
  // The scroll bar clamps to its range: 0 .. scroll height - visible.
  verticalScrollBar()->setValue(y);
}

int CRowList::scroll_height() const { return tops_.empty() ? row_height_ * row_count_ : tops_.back(); }

int CRowList::RowHeight(int row) const {
  if (row < 0 || row >= row_count_) return 0;
  return tops_.empty() ? row_height_ : tops_[row + 1] - tops_[row];
}

int CRowList::RowTop(int row) const { return tops_.empty() ? row * row_height_ : tops_[row]; }

int CRowList::RowAt(QPoint at) const {
  int y = at.y() + scroll_position();
  if (y < 0 || row_height_ <= 0) return -1;
  if (tops_.empty()) {
    int row = y / row_height_;
    return row < row_count_ ? row : -1;
  }
  // The last top at or above y.
  auto after = std::upper_bound(tops_.begin(), tops_.end(), y);
  int row = static_cast<int>(after - tops_.begin()) - 1;
  return row < row_count_ ? row : -1;
}

QRect CRowList::RowRect(int row) const {
  return QRect(0, RowTop(row) - scroll_position(), viewport()->width(), RowHeight(row));
}

void CRowList::UpdateRow(int row) {
  if (row >= 0 && row < row_count_) viewport()->update(RowRect(row));
}

int CRowList::wheel_lines() const {
  return wheel_lines_ != 0 ? wheel_lines_ : QApplication::wheelScrollLines();
}

void CRowList::SetCurrentRow(int row) {
  if (row_count_ == 0) {
    current_row_ = -1;
    viewport()->update();
    return;
  }
  current_row_ = std::clamp(row, 0, row_count_ - 1);
  const QRect r = RowRect(current_row_);
  if (r.top() < 0) {
    ScrollTo(scroll_position() + r.top());
  } else if (r.bottom() >= visible_height()) {
    ScrollTo(scroll_position() + r.bottom() + 1 - visible_height());
  }
  viewport()->update();
}

void CRowList::keyPressEvent(QKeyEvent* event) {
  const int row = std::max(current_row_, 0);
  const int page_rows = std::max(1, visible_height() / std::max(1, row_height_));
  switch (event->key()) {
    case Qt::Key_Up: SetCurrentRow(current_row_ < 0 ? 0 : row - 1); break;
    case Qt::Key_Down: SetCurrentRow(current_row_ < 0 ? 0 : row + 1); break;
    case Qt::Key_PageUp: SetCurrentRow(row - page_rows); break;
    case Qt::Key_PageDown: SetCurrentRow(row + page_rows); break;
    case Qt::Key_Home: SetCurrentRow(0); break;
    case Qt::Key_End: SetCurrentRow(row_count_ - 1); break;
    case Qt::Key_Space:
      if (current_row_ >= 0) ToggleRowByKey(current_row_);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Without a row, Enter is the window's.
      if (current_row_ < 0) return QAbstractScrollArea::keyPressEvent(event);
      OpenRowByKey(current_row_);
      break;
    default: return QAbstractScrollArea::keyPressEvent(event);
  }
  event->accept();
}

void CRowList::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  if (current_row_ < 0 && row_count_ > 0) current_row_ = RowAt(QPoint(0, 0));
  viewport()->update();
}

void CRowList::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void CRowList::SetRowHeights(const std::vector<int>& heights) {
  tops_.clear();
  if (!heights.empty()) {
    tops_.reserve(heights.size() + 1);
    tops_.push_back(0);
    for (int h : heights) tops_.push_back(tops_.back() + std::max(h, row_height_));
  }
  row_count_ = static_cast<int>(heights.size());
  if (current_row_ >= row_count_) current_row_ = row_count_ - 1;
  UpdateScrollRange();
  viewport()->update();
}

void CRowList::SetRowCount(int rows) {
  tops_.clear();
  row_count_ = std::max(0, rows);
  if (current_row_ >= row_count_) current_row_ = row_count_ - 1;
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
  PaintRows(painter, dirty);
  if (hasFocus()) PaintFocusFrame(painter, current_row_ >= 0 ? RowRect(current_row_) : viewport()->rect());
}

void CRowList::PaintRows(QPainter& painter, const QRect& dirty) {
  if (row_count_ == 0) return;
  const int top = scroll_position();
  int first = RowAt(QPoint(0, std::max(0, dirty.top())));
  if (first < 0) return;  // the dirty part lies below the last row
  int last = RowAt(QPoint(0, dirty.bottom()));
  if (last < 0) last = row_count_ - 1;
  for (int row = first; row <= last; ++row) {
    painter.save();
    PaintRow(painter, row, RowTop(row) - top);
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
