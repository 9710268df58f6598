// The section detail window's rows are as tall as their texts: a missing
// file's long path shows whole, and the rows below it are found where they
// are drawn.
#include "ui/section_result_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "ui/section_results_container.h"

namespace orvane::ui {
namespace {

CError FileRecord(const std::wstring& path) {
  CError e;
  e.section = 1;
  e.errorType = ErrorType::File;
  e.typeText = L"Missing file";
  e.filePath = path;
  return e;
}

TEST(SectionResultDialogTest, RowsAreAsTallAsTheirTexts) {
  std::wstring long_path = L"C:\\Program Files";
  for (int i = 0; i < 14; ++i) long_path += L"\\A folder with a long name " + std::to_wstring(i);
  long_path += L"\\tool.exe";
  CErrorListEx list;
  list.Add(FileRecord(L"C:\\gone\\short.exe"));
  list.Add(FileRecord(long_path));
  list.Add(FileRecord(L"C:\\gone\\after.exe"));
  std::vector<CScanResultInfo> rows(3);
  for (int i = 0; i < 3; ++i) rows[i].list_index = i;

  CSectionResultDialog window(QStringLiteral("Application Paths"), list, rows.data(), 3);
  CSectionResultsContainer* shown = window.list();
  window.show();
  EXPECT_EQ(shown->RowHeight(0), CSectionResultsContainer::kRowHeight);
  EXPECT_EQ(shown->RowHeight(2), CSectionResultsContainer::kRowHeight);

  // The long path wraps to many lines, and its row holds every one of them.
  QFont detail(QStringLiteral("Arial"));
  detail.setPixelSize(12);
  const QString text = CSectionResultsContainer::DetailText(list[1]);
  const int lines_height =
      QFontMetrics(detail).boundingRect(QRect(0, 0, 385, 100000), Qt::AlignLeft | Qt::TextWordWrap, text).height();
  EXPECT_GT(lines_height, 3 * QFontMetrics(detail).height());
  EXPECT_GE(shown->RowHeight(1), 20 + lines_height);
  EXPECT_EQ(shown->scroll_height(), 2 * CSectionResultsContainer::kRowHeight + shown->RowHeight(1));

  // A click lands on the row drawn under it, below the tall one too.
  const QRect third = shown->RowRect(2);
  shown->ScrollTo(third.top());
  const QPoint in_third = shown->RowRect(2).center();
  EXPECT_EQ(shown->RowAt(in_third), 2);
  QTest::mouseClick(shown->viewport(), Qt::LeftButton, Qt::NoModifier, in_third);
  EXPECT_FALSE(rows[2].selected);
  EXPECT_TRUE(rows[1].selected);
  EXPECT_EQ(shown->last_clicked(), 2);
}

TEST(SectionResultDialogTest, TheRecordsAreReachedAndTickedFromTheKeyboard) {
  CErrorListEx list;
  for (int i = 0; i < 12; ++i) list.Add(FileRecord(L"C:\\gone\\file" + std::to_wstring(i) + L".exe"));
  std::vector<CScanResultInfo> rows(12);
  for (int i = 0; i < 12; ++i) rows[i].list_index = i;
  CSectionResultDialog window(QStringLiteral("Help Files"), list, rows.data(), 12);
  CSectionResultsContainer* shown = window.list();
  window.show();
  QApplication::setActiveWindow(&window);
  shown->setFocus(Qt::TabFocusReason);
  ASSERT_TRUE(shown->hasFocus());
  EXPECT_EQ(shown->current_row(), 0);

  // Down past the visible rows scrolls the current one into view.
  for (int i = 0; i < 7; ++i) QTest::keyClick(shown, Qt::Key_Down);
  EXPECT_EQ(shown->current_row(), 7);
  const QRect current = shown->RowRect(7);
  EXPECT_GE(current.top(), 0);
  EXPECT_LE(current.bottom(), shown->visible_height() - 1);
  QTest::keyClick(shown, Qt::Key_Space);
  EXPECT_FALSE(rows[7].selected);
  EXPECT_TRUE(rows[6].selected);
  QTest::keyClick(shown, Qt::Key_End);
  EXPECT_EQ(shown->current_row(), 11);
  QTest::keyClick(shown, Qt::Key_Down);
  EXPECT_EQ(shown->current_row(), 11);
  QTest::keyClick(shown, Qt::Key_Home);
  EXPECT_EQ(shown->current_row(), 0);
  EXPECT_EQ(shown->scroll_position(), 0);
}

// Chooses the menu entry whose text (without its "&") is `entry` once the
// menu opened by the next event is up; records what the menu offered.
void ChooseInNextMenu(const QString& entry, QStringList* offered) {
  QTimer::singleShot(0, [entry, offered] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* action : menu->actions()) {
      offered->append(action->text().remove(u'&'));
      if (action->text().remove(u'&') == entry) menu->setActiveAction(action);
    }
    QTest::keyClick(menu, entry.isEmpty() ? Qt::Key_Escape : Qt::Key_Return);
  });
}

TEST(SectionResultDialogTest, AlwaysIgnoreThisTakesTheRowOutOfTheRepairForGood) {
  CErrorListEx list;
  for (int i = 0; i < 3; ++i) list.Add(FileRecord(L"C:\\gone\\file" + std::to_wstring(i) + L".exe"));
  std::vector<CScanResultInfo> rows(3);
  for (int i = 0; i < 3; ++i) rows[i].list_index = i;
  std::vector<std::wstring> asked;
  bool accept = true;
  CSectionResultDialog window(QStringLiteral("Help Files"), list, rows.data(), 3);
  CSectionResultsContainer* shown = window.list();
  window.show();
  QApplication::setActiveWindow(&window);
  shown->setFocus(Qt::TabFocusReason);

  // Without an action there is no menu to open.
  QStringList offered;
  ChooseInNextMenu(QStringLiteral("Always ignore this"), &offered);
  QTest::keyClick(shown, Qt::Key_Menu);
  QApplication::processEvents();
  EXPECT_TRUE(offered.isEmpty());

  window.set_ignore_action([&](QWidget* over, const CError& record) {
    EXPECT_EQ(over, &window);
    asked.push_back(record.filePath);
    return accept;
  });
  // From the keyboard, on the current row.
  QTest::keyClick(shown, Qt::Key_Down);
  ChooseInNextMenu(QStringLiteral("Always ignore this"), &offered);
  QTest::keyClick(shown, Qt::Key_Menu);
  EXPECT_EQ(offered, QStringList{QStringLiteral("Always ignore this")});
  EXPECT_EQ(asked, std::vector<std::wstring>{L"C:\\gone\\file1.exe"});
  EXPECT_FALSE(rows[1].selected);

  // By a right click on a row; an action that fails leaves the row as it was.
  accept = false;
  offered.clear();
  ChooseInNextMenu(QStringLiteral("Always ignore this"), &offered);
  QContextMenuEvent click(QContextMenuEvent::Mouse, shown->RowRect(2).center(),
                          shown->viewport()->mapToGlobal(shown->RowRect(2).center()));
  QApplication::sendEvent(shown->viewport(), &click);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked.back(), L"C:\\gone\\file2.exe");
  EXPECT_TRUE(rows[2].selected);

  // A menu closed with Escape does nothing.
  ChooseInNextMenu(QString(), &offered);
  QTest::keyClick(shown, Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_EQ(asked.size(), 2u);

  // Cancel puts the other rows back, never the ignored one.
  shown->ClickRow(0);
  window.OnCancel();
  EXPECT_TRUE(rows[0].selected);
  EXPECT_FALSE(rows[1].selected);
}

}  // namespace
}  // namespace orvane::ui
