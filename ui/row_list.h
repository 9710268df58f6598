// `CRowList`: the base of the two results lists. Rows of one
// height (or, where a subclass sets them, each its own) are drawn by the
// subclass, only those that meet the visible area, so a list of a million
// rows costs no more to show than one of ten; there is no widget per row. Scrolling follows the list controls of the skin: 60-pixel
// lines, pages of the visible height, and the wheel in steps of lines.
// Interface thread only.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QRect>
#include <vector>

class QPainter;

namespace orvane::ui {

// The pixels one wheel movement scrolls (negative: upwards, for a positive
// delta): max(1, (|delta| / 120) * lines / 3) steps of `step` pixels, or
// one page when lines is negative (a screen per notch).
int WheelScrollPixels(int delta, int lines, int step, int page);

class CRowList : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kLineStep = 60;

  CRowList(int row_height, QColor background, QWidget* parent = nullptr);

  // The rows' common height (the least, when the rows have their own).
  int row_height() const { return row_height_; }
  int row_count() const { return row_count_; }
  int scroll_height() const;
  // Row `row`'s own height; 0 for a row that does not exist.
  int RowHeight(int row) const;
  int visible_height() const;
  // The top of the visible area within the rows.
  int scroll_position() const;
  // Moves the visible area to y, clamped to 0 and scroll height - visible.
  void ScrollTo(int y);

  // The row under a point of the list's visible area, or -1 when the point
  // lies below the last row (or above the first).
  int RowAt(QPoint at) const;
  // The row's place in the visible area (it may lie outside it).
  QRect RowRect(int row) const;
  void UpdateRow(int row);

  // The wheel-scroll-lines setting; the platform's unless replaced (tests).
  void set_wheel_lines(int lines) { wheel_lines_ = lines; }
  int wheel_lines() const;

  // The row the keyboard stands on (-1 for none). Up, Down, Page Up, Page
  // Down, Home and End move it and scroll it into view; the focus ring is
  // drawn around it while the list has the focus.
  int current_row() const { return current_row_; }
  void SetCurrentRow(int row);

  // How many rows the last paint drew.
  int rows_painted() const { return rows_painted_; }

 protected:
  // Sets the number of rows and the scroll range; keeps the position when
  // it still fits.
  void SetRowCount(int rows);
  // Gives each row its own height (at least row_height()), one per row, and
  // sets the row count to their number; SetRowCount goes back to rows of
  // one height.
  void SetRowHeights(const std::vector<int>& heights);
  // Paints row `row` whose top is at `top` in the visible area.
  virtual void PaintRow(QPainter& painter, int row, int top) = 0;
  // Space and Enter on the current row: what a click on its check box and
  // on its opening part do. Nothing unless a subclass says.
  virtual void ToggleRowByKey(int row) { (void)row; }
  virtual void OpenRowByKey(int row) { (void)row; }

  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateScrollRange();
  void PaintRows(QPainter& painter, const QRect& dirty);

  // The top of the row within the rows.
  int RowTop(int row) const;

  int row_height_;
  std::vector<int> tops_;  // with own heights: row_count_ + 1 tops, the last the end
  int row_count_ = 0;
  QColor background_;
  int wheel_lines_ = 0;  // 0: the platform's
  int rows_painted_ = 0;
  int current_row_ = -1;
};

}  // namespace orvane::ui
