// `CItemListCtrl`: a report list with column headers, one row per entry,
// optional full-row selection and the selection mark (the row selected
// last). Interface thread only.
#pragma once

#include <QTreeWidget>

namespace orvane {

class CItemListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CItemListCtrl(QWidget* parent = nullptr);

  // Inserts a column at `index` (clamped to the end); returns its index.
  int InsertColumn(int index, const QString& heading, int width);
  int GetColumnCount() const { return columnCount(); }
  // Inserts a row at `index` (clamped to the end) with `text` in column 0;
  // returns its index.
  int InsertItem(int index, const QString& text);
  // False when the row or column does not exist.
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  bool DeleteItem(int row);
  void DeleteAllItems();
  int GetItemCount() const { return topLevelItemCount(); }

  // Whole rows highlight when selected (else only the first cell).
  void SetFullRowSelect(bool on);
  bool full_row_select() const { return full_row_; }
  // Selects one row (or none with -1) and makes it the selection mark.
  void SelectRow(int row);
  // The row selected last, or -1.
  int GetSelectionMark() const { return mark_; }

 protected:
  // The skin's focus ring around the rows while the list has the focus.
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void OnSelectionChanged();

  bool full_row_ = false;
  int mark_ = -1;
};

}  // namespace orvane
