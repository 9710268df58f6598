#include "ui/skin/item_list.h"

#include <QHeaderView>
#include <QPainter>

#include "ui/skin/focus_frame.h"

namespace orvane {

CItemListCtrl::CItemListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setColumnCount(0);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  SetFullRowSelect(false);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CItemListCtrl::OnSelectionChanged);
}

int CItemListCtrl::InsertColumn(int index, const QString& heading, int width) {
  const int count = columnCount();
  index = std::clamp(index, 0, count);
  QStringList headings;
  for (int i = 0; i < count; ++i) headings << headerItem()->text(i);
  QList<int> widths;
  for (int i = 0; i < count; ++i) widths << columnWidth(i);
  headings.insert(index, heading);
  widths.insert(index, width);
  // Existing rows move their cells right of the new column.
  for (int row = 0; row < topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = topLevelItem(row);
    QStringList cells;
    for (int i = 0; i < count; ++i) cells << item->text(i);
    cells.insert(index, QString());
    for (int i = 0; i <= count; ++i) item->setText(i, cells[i]);
  }
  setColumnCount(count + 1);
  setHeaderLabels(headings);
  for (int i = 0; i <= count; ++i) setColumnWidth(i, widths[i]);
  return index;
}

int CItemListCtrl::InsertItem(int index, const QString& text) {
  index = std::clamp(index, 0, topLevelItemCount());
  auto* item = new QTreeWidgetItem();
  item->setText(0, text);
  insertTopLevelItem(index, item);
  if (mark_ >= index) ++mark_;
  return index;
}

bool CItemListCtrl::SetItemText(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item || column < 0 || column >= columnCount()) return false;
  item->setText(column, text);
  return true;
}

QString CItemListCtrl::GetItemText(int row, int column) const {
  QTreeWidgetItem* item = topLevelItem(row);
  return item ? item->text(column) : QString();
}

bool CItemListCtrl::DeleteItem(int row) {
  if (row < 0 || row >= topLevelItemCount()) return false;
  const int mark = mark_;
  delete takeTopLevelItem(row);
  // The mark follows its row; it is lost with it.
  if (mark == row) {
    mark_ = -1;
  } else if (mark > row) {
    mark_ = mark - 1;
  } else {
    mark_ = mark;
  }
  return true;
}

void CItemListCtrl::DeleteAllItems() {
  clear();
  mark_ = -1;
}

void CItemListCtrl::SetFullRowSelect(bool on) {
  full_row_ = on;
  setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
  setAllColumnsShowFocus(on);
}

void CItemListCtrl::SelectRow(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (!item) {
    clearSelection();
    return;
  }
  setCurrentItem(item);
  item->setSelected(true);
  mark_ = row;
}

void CItemListCtrl::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(viewport());
  PaintFocusFrame(painter, viewport()->rect());
}

void CItemListCtrl::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  viewport()->update();
}

void CItemListCtrl::focusOutEvent(QFocusEvent* event) {
  QTreeWidget::focusOutEvent(event);
  viewport()->update();
}

void CItemListCtrl::scrollContentsBy(int dx, int dy) {
  QTreeWidget::scrollContentsBy(dx, dy);
  // Scrolling moves the painted pixels, the ring's top and bottom with them.
  if (hasFocus()) viewport()->update();
}

void CItemListCtrl::OnSelectionChanged() {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  if (!selected.isEmpty()) mark_ = indexOfTopLevelItem(selected.back());
}

}  // namespace orvane
