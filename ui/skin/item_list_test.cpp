#include "ui/skin/item_list.h"

#include <gtest/gtest.h>

#include <QTest>

namespace orvane {
namespace {

TEST(ItemListTest, ColumnsRowsAndCells) {
  CItemListCtrl list;
  EXPECT_EQ(list.InsertColumn(0, QStringLiteral("Program"), 120), 0);
  EXPECT_EQ(list.InsertColumn(5, QStringLiteral("Location"), 165), 1);  // clamped to the end
  list.InsertItem(0, QStringLiteral("Updater"));
  list.SetItemText(0, 1, QStringLiteral("HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(list.InsertColumn(1, QStringLiteral("File Name"), 150), 1);
  EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("File Name"));
  EXPECT_EQ(list.columnWidth(0), 120);
  EXPECT_EQ(list.columnWidth(1), 150);
  EXPECT_EQ(list.columnWidth(2), 165);
  EXPECT_EQ(list.GetItemText(0, 1), QString()) << "cells move right of a new column";
  EXPECT_EQ(list.GetItemText(0, 2), QStringLiteral("HKEY_LOCAL_MACHINE"));
  EXPECT_FALSE(list.SetItemText(0, 3, QStringLiteral("x")));
  EXPECT_FALSE(list.SetItemText(4, 0, QStringLiteral("x")));
  EXPECT_EQ(list.InsertItem(-3, QStringLiteral("First")), 0);
  EXPECT_EQ(list.InsertItem(99, QStringLiteral("Last")), 2);
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(list.GetItemText(1, 0), QStringLiteral("Updater"));
}

TEST(ItemListTest, SelectionMarkFollowsClicksAndDeletions) {
  CItemListCtrl list;
  list.InsertColumn(0, QStringLiteral("Backup Name"), 200);
  list.InsertColumn(1, QStringLiteral("Date"), 200);
  for (int i = 0; i < 4; ++i) list.InsertItem(i, QStringLiteral("row %1").arg(i));
  list.SetFullRowSelect(true);
  EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list.GetSelectionMark(), -1);
  list.resize(420, 200);
  list.show();

  QRect row2 = list.visualItemRect(list.topLevelItem(2));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(300, row2.center().y()));
  EXPECT_EQ(list.GetSelectionMark(), 2) << "a click in the second column selects the row";
  EXPECT_TRUE(list.topLevelItem(2)->isSelected());

  list.InsertItem(0, QStringLiteral("new"));
  EXPECT_EQ(list.GetSelectionMark(), 3);
  EXPECT_TRUE(list.DeleteItem(0));
  EXPECT_EQ(list.GetSelectionMark(), 2);
  EXPECT_TRUE(list.DeleteItem(3));
  EXPECT_EQ(list.GetSelectionMark(), 2);
  EXPECT_TRUE(list.DeleteItem(2));
  EXPECT_EQ(list.GetSelectionMark(), -1) << "lost with its row";
  EXPECT_FALSE(list.DeleteItem(7));
  list.SelectRow(1);
  EXPECT_EQ(list.GetSelectionMark(), 1);
  list.DeleteAllItems();
  EXPECT_EQ(list.GetSelectionMark(), -1);
  EXPECT_EQ(list.GetItemCount(), 0);
}

}  // namespace
}  // namespace orvane
