// `CSectionResultsContainer`: the detail window's list, one row per record
// of a section with its check box, its type text and its reason or file
// path; a row is 60 pixels or as tall as its wrapped text, so a long path
// shows whole. A click anywhere on a row selects or deselects the record.
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
  // Toggles row's entry and makes it the last clicked row.
  void ClickRow(int row);

  // The second line of a row: the reason of a registry record, else its
  // file path, with a blank after every backslash so long paths wrap there.
  static QString DetailText(const CError& record);
  // The height of a row showing `record`: 60 pixels, or more for a detail
  // text that wraps to more lines than fit.
  static int RowHeightFor(const CError& record);

 protected:
  void PaintRow(QPainter& painter, int row, int top) override;
  void mousePressEvent(QMouseEvent* event) override;
  void ToggleRowByKey(int row) override { ClickRow(row); }
  void OpenRowByKey(int row) override { ClickRow(row); }

 private:
  CError RecordOf(int row) const;

  const CErrorListEx* list_ = nullptr;
  CScanResultInfo* first_ = nullptr;
  int count_ = 0;
  int last_clicked_ = -1;
  QImage checked_, unchecked_;
};

}  // namespace orvane::ui
