#include "ui/restore_backups_dialog.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QRegularExpression>
#include <algorithm>

#include "engine/testing_engine.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using testing::WhileRunning;

const std::wstring kTemp = L"C:\\users\\tester\\Temp\\";

class RestoreBackupsDialogTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  // Repairs records with the engine as orvane-cli does; returns the data
  // files of the sets the run made.
  std::vector<std::wstring> Repair(const std::vector<CError>& records) {
    CSarvelEngine& engine = Engine();
    EXPECT_TRUE(orvane::testing::LoadAsFound(engine, records));
    EXPECT_TRUE(engine.StartRepairOfUnresolved({}));
    return engine.FinishRepair().backup_sets;
  }

  CError JunkRecord(const std::wstring& name, const std::string& content) {
    prefix_.File(kTemp + name, content);
    CError e;
    e.section = section::kTempFiles;
    e.errorType = ErrorType::File;
    e.filePath = kTemp + name;
    return e;
  }

  // Runs the dialog, expects rows rows, then act(); closes it with Close.
  void WithDialog(CRestoreBackupsDialog& dialog, int rows, const std::function<void()>& act) {
    EXPECT_EQ(WhileRunning(
                  dialog, [&] { return dialog.Run(); },
                  [&] {
                    EXPECT_EQ(dialog.list()->GetItemCount(), rows);
                    act();
                    dialog.close_button()->click();
                  }),
              QDialog::Rejected);
  }

  static int RowOf(const CRestoreBackupsDialog& dialog, const std::wstring& path) {
    const auto& paths = dialog.paths();
    auto it = std::find(paths.begin(), paths.end(), path);
    return it == paths.end() ? -1 : static_cast<int>(it - paths.begin());
  }
};

TEST_F(RestoreBackupsDialogTest, RestoreAndDeleteTheNewestSetAndTheListFollows) {
  CError first = ValueRecord(section::kStartup, L"First");
  CError second = ValueRecord(section::kStartup, L"Second");
  std::vector<std::wstring> older = Repair({first});
  std::vector<std::wstring> newer = Repair({second});
  ASSERT_EQ(older.size(), 1u);
  ASSERT_EQ(newer.size(), 1u);
  ASSERT_FALSE(ValueExists(L"First"));
  ASSERT_FALSE(ValueExists(L"Second"));

  CRestoreBackupsDialog dialog(*engine_, messenger_);
  EXPECT_EQ(dialog.windowTitle(), "Restore Backups");
  WithDialog(dialog, 2, [&] {
    const QRegularExpression date("^[A-Z][a-z]{2}, [A-Z][a-z]{2} \\d\\d, \\d{4} \\d\\d:\\d\\d$");
    for (int row = 0; row < 2; ++row) {
      EXPECT_EQ(dialog.list()->GetItemText(row, 0), "Registry Cleaner");
      EXPECT_TRUE(date.match(dialog.list()->GetItemText(row, 1)).hasMatch())
          << dialog.list()->GetItemText(row, 1).toStdString();
      EXPECT_EQ(dialog.list()->GetItemText(row, 2), "1");
      EXPECT_TRUE(dialog.list()->GetItemText(row, 3).endsWith(" KB")) << dialog.list()->GetItemText(row, 3).toStdString();
      EXPECT_TRUE(dialog.list()->topLevelItem(row)->toolTip(1).contains("day, ")) << "the whole date on hovering";
    }
    // Nothing is cut: the widest texts of each column fit it, and the
    // columns fit the list.
    const QFontMetrics metrics(dialog.list()->font());
    const char* widest[] = {"ShortCut Cleaner", "Wed, Sep 30, 2026 23:59", "10000", "1023.9 KB"};
    int total = 0;
    for (int column = 0; column < 4; ++column) {
      EXPECT_LT(metrics.horizontalAdvance(widest[column]) + 12, dialog.list()->columnWidth(column)) << column;
      total += dialog.list()->columnWidth(column);
    }
    EXPECT_LE(total, dialog.list()->viewport()->width());
    // Nothing selected yet.
    dialog.restore_button()->click();
    dialog.delete_button()->click();
    EXPECT_EQ(messenger_.texts(), (std::vector<QString>{"Please make a single selection first.",
                                                        "Please make a selection first."}));
    EXPECT_EQ(messenger_.said[0].caption, "Orvane");
    messenger_.said.clear();

    dialog.list()->SelectRow(RowOf(dialog, newer[0]));
    dialog.restore_button()->click();
    ASSERT_EQ(
        messenger_.texts(),
        std::vector<QString>{"A previous registry configuration has been successfully restored."});
    ASSERT_EQ(dialog.paths(), older);
    EXPECT_EQ(dialog.list()->GetItemCount(), 1);
    EXPECT_EQ(dialog.list()->GetSelectionMark(), -1);
    EXPECT_TRUE(ValueExists(L"Second"));
    EXPECT_FALSE(ValueExists(L"First"));

    // Deleting asks first, naming the set; No keeps it.
    messenger_.said.clear();
    messenger_.answer = false;
    dialog.list()->SelectRow(0);
    dialog.delete_button()->click();
    ASSERT_EQ(messenger_.said.size(), 1u);
    EXPECT_TRUE(messenger_.said[0].question);
    EXPECT_EQ(messenger_.said[0].caption, "Orvane");
    EXPECT_TRUE(messenger_.said[0].text.startsWith("Delete the Registry Cleaner backup of " +
                                                   dialog.list()->topLevelItem(0)->toolTip(1) + "?"))
        << messenger_.said[0].text.toStdString();
    EXPECT_EQ(dialog.paths(), older);
    messenger_.answer = true;
    dialog.list()->SelectRow(0);
    dialog.delete_button()->click();
    EXPECT_EQ(dialog.list()->GetItemCount(), 0);
    EXPECT_TRUE(dialog.paths().empty());
    EXPECT_EQ(messenger_.said.size(), 2u);  // the question only: a delete that worked says nothing
    EXPECT_FALSE(ValueExists(L"First"));
  });
  EXPECT_TRUE(ListBackupFiles(*platform_, state_).empty());
}

TEST_F(RestoreBackupsDialogTest, APartialRestoreSaysWhichItemsFailedAndKeepsTheSet) {
  std::vector<std::wstring> sets =
      Repair({JunkRecord(L"good.tmp", "good"), JunkRecord(L"blocked.tmp", "blocked")});
  ASSERT_EQ(sets.size(), 1u);
  // Something now stands where a file is to come back.
  prefix_.Folder(kTemp + L"blocked.tmp\\in the way");

  CRestoreBackupsDialog dialog(*engine_, messenger_);
  WithDialog(dialog, 1, [&] {
    EXPECT_EQ(dialog.list()->GetItemText(0, 0), "Junk Cleaner");
    EXPECT_EQ(dialog.list()->GetItemText(0, 2), "2");  // two files
    dialog.list()->SelectRow(0);
    dialog.restore_button()->click();
    ASSERT_EQ(messenger_.said.size(), 1u);
    const QString text = messenger_.said[0].text;
    EXPECT_FALSE(text.contains("successfully")) << text.toStdString();
    EXPECT_TRUE(text.contains("1 item was put back")) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdWString(kTemp + L"blocked.tmp")))
        << text.toStdString();
    EXPECT_FALSE(text.contains("good.tmp")) << text.toStdString();
    EXPECT_TRUE(text.contains("kept"));
    EXPECT_EQ(dialog.paths(), sets);  // still listed: it can be retried
  });
  EXPECT_EQ(orvane::testing::ReadHostFile(prefix_.HostPath(kTemp + L"good.tmp")), "good");
}

TEST_F(RestoreBackupsDialogTest, RowsAreNamedByCategoryAndAnInternetSetRestoresNothing) {
  CSarvelEngine& engine = Engine();
  const std::wstring folder = BackupFolder(*platform_);
  CRestoreBackupsDialog dialog(engine, messenger_);
  // No backup folder at all.
  WithDialog(dialog, 0, [&] {
    dialog.restore_button()->click();
    EXPECT_EQ(messenger_.texts().back(), "Please make a single selection first.");
  });
  messenger_.said.clear();

  const std::wstring internet = folder + L"\\20131105_1742_Internet.dat";
  const std::wstring shortcut = folder + L"\\20131105_1742_Shortcut_2.dat";
  ASSERT_TRUE(platform_->CreateDirectory(folder));
  ASSERT_TRUE(platform_->WriteFileAtomic(internet, WideToUtf16le(L"3::x::::r::;;\r\n")));
  ASSERT_TRUE(platform_->WriteFileAtomic(shortcut, ""));
  ASSERT_TRUE(platform_->WriteFileAtomic(folder + L"\\handmade.dat", ""));
  WithDialog(dialog, 3, [&] {
    int row = RowOf(dialog, internet);
    ASSERT_GE(row, 0);
    EXPECT_EQ(dialog.list()->GetItemText(row, 0), "Internet Cleaner");
    EXPECT_EQ(dialog.list()->GetItemText(row, 1), "Tue, Nov 05, 2013 17:42");
    EXPECT_EQ(dialog.list()->topLevelItem(row)->toolTip(1), "Tuesday, November 05, 2013 17:42");
    EXPECT_EQ(dialog.list()->GetItemText(RowOf(dialog, shortcut), 0), "ShortCut Cleaner");
    // Without a stamp the file's own time stands in.
    EXPECT_FALSE(
        dialog.list()->GetItemText(RowOf(dialog, folder + L"\\handmade.dat"), 1).isEmpty());

    dialog.list()->SelectRow(row);
    dialog.restore_button()->click();
    EXPECT_EQ(
        messenger_.texts(),
        std::vector<QString>{"A previous registry configuration has been successfully restored."});
    EXPECT_EQ(dialog.list()->GetItemCount(), 2);
    EXPECT_EQ(RowOf(dialog, internet), -1);
  });
}

TEST_F(RestoreBackupsDialogTest, ARunningWineserverIsToldAndTheSetStays) {
  std::vector<std::wstring> sets = Repair({ValueRecord(section::kStartup, L"Held")});
  ASSERT_EQ(sets.size(), 1u);
  CRestoreBackupsDialog dialog(*engine_, messenger_);
  WithDialog(dialog, 1, [&] {
    orvane::testing::FakeWineserver server(prefix_.dir());
    dialog.list()->SelectRow(0);
    dialog.restore_button()->click();
    ASSERT_EQ(messenger_.said.size(), 1u);
    EXPECT_TRUE(messenger_.said[0].text.startsWith("The backup cannot be restored now: "));
    EXPECT_TRUE(messenger_.said[0].text.contains(QString::fromStdString(prefix_.dir())));
    EXPECT_EQ(dialog.paths(), sets);
  });
  EXPECT_FALSE(ValueExists(L"Held"));
  EXPECT_EQ(ListBackupFiles(*platform_, state_), sets);
}

}  // namespace
}  // namespace orvane::ui
