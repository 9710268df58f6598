// `CSectionResultsContainer`: the detail window's list, one row per record
// of a section with its check box, its type text and its reason or file
// path, and a file's size on the right; a row is 60 pixels or as tall as its
// wrapped text, so a long path shows whole. A click anywhere on a row selects
// or deselects the record; with the row menu on, a right click (or the Menu
// key, or Shift+F10, on the current row) offers "Always ignore this".
// Interface thread only.
#pragma once

#include <QImage>

#include "ui/window_instance.h"
#include "model/error_list.h"
#include "ui/row_list.h"
#include "ui/result_entry.h"

namespace orvane::ui {

class CSectionResultsContainer : public CRowList, public WindowInstance<CSectionResultsContainer> {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 60;

  explicit CSectionResultsContainer(QWidget* parent = nullptr);

  // Shows count entries from first, whose records are read from list; both
  // must outlive the list's showing. The entries' selected flags are
  // changed in place.
  void Fill(const CErrorListEx& list, CScanResultInfo* first, int count);

  int last_clicked() const { return last_clicked_; }
  // The record a row shows (an empty one past the rows).
  CError RecordAt(int row) const;
  // Whether rows have the "Always ignore this" menu (off at first).
  void set_row_menu(bool on) { row_menu_ = on; }
  // Opens the row menu at a point of the screen; returns when it closed.
  void ShowRowMenu(int row, QPoint global);

  // Toggles row's entry and makes it the last clicked row.
  void ClickRow(int row);

  // The second line of a row: the reason of a registry record, else its
  // file path, with a blank after every backslash so long paths wrap there.
  static QString DetailText(const CError& record);
  // The height of a row showing `record`: 60 pixels, or more for a detail
  // text that wraps to more lines than fit.
  static int RowHeightFor(const CError& record);

 signals:
  // "Always ignore this" was chosen on row.
  void IgnoreRequested(int row);

 protected:
  void PaintRow(QPainter& painter, int row, int top) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void ToggleRowByKey(int row) override { ClickRow(row); }
  void OpenRowByKey(int row) override { ClickRow(row); }

 private:
  const CErrorListEx* list_ = nullptr;
  CScanResultInfo* first_ = nullptr;
  int count_ = 0;
  int last_clicked_ = -1;
  bool row_menu_ = false;
  QImage checked_, unchecked_;
};

}  // namespace orvane::ui
