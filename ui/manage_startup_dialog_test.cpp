#include "ui/manage_startup_dialog.h"

#include <gtest/gtest.h>

#include <QTextDocument>

#include "engine/startup_list.h"
#include "platform/registry_values.h"
#include "platform/testing/fake_wineserver.h"
#include "platform/text.h"
#include "repair/backup_set.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using testing::WhileRunning;

const QString kLocationUser =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString kLocationMachine =
    QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

class ManageStartupDialogTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  void SetUp() override {
    prefix_.String(HKEY_CURRENT_USER, kRunKey, L"Tray", L"C:\\tray.exe")
        .String(HKEY_CURRENT_USER, kRunKey, L"Tray <b>Bold</b>", L"<i>C:\\bold.exe</i>")
        .Dword(HKEY_LOCAL_MACHINE, kRunKey, L"Level", 42)
        .String(HKEY_LOCAL_MACHINE, kRunKey, L"Huge", std::wstring(600, L'h'));
    Engine();
  }

  // Runs the dialog, then act(); closes it with Close.
  void WithDialog(CManageStartupDialog& dialog, const std::function<void()>& act) {
    EXPECT_EQ(WhileRunning(
                  dialog, [&] { return dialog.Run(); },
                  [&] {
                    act();
                    dialog.close_button()->click();
                  }),
              QDialog::Rejected);
  }

  static std::vector<QString> Column(const CManageStartupDialog& dialog, int column) {
    std::vector<QString> cells;
    for (int row = 0; row < dialog.list()->GetItemCount(); ++row)
      cells.push_back(dialog.list()->GetItemText(row, column));
    return cells;
  }

  std::vector<std::wstring> NamesInRegistry() {
    std::vector<std::wstring> names;
    for (const CRegistryItem& item : ListStartupEntries(*platform_))
      names.push_back(item.valueName);
    return names;
  }
};

TEST_F(ManageStartupDialogTest, ListsBothRunKeysAsTheRegistryHoldsThem) {
  CManageStartupDialog dialog(*engine_, messenger_);
  WithDialog(dialog, [&] {
    // "Huge" whole, however long.
    EXPECT_EQ(Column(dialog, 0), (std::vector<QString>{"Tray", "Tray <b>Bold</b>", "Huge", "Level"}));
    EXPECT_EQ(Column(dialog, 1), (std::vector<QString>{"C:\\tray.exe", "<i>C:\\bold.exe</i>",
                                                       QString(600, QChar('h')), "42"}));
    EXPECT_EQ(Column(dialog, 2), (std::vector<QString>{kLocationUser, kLocationUser, kLocationMachine, kLocationMachine}));
    // The whole text on hovering, as the registry holds it, not as markup.
    QTextDocument tip;
    tip.setHtml(dialog.list()->topLevelItem(1)->toolTip(1));
    EXPECT_EQ(tip.toPlainText(), "<i>C:\\bold.exe</i>");
  });
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(ManageStartupDialogTest, WithoutASelectionNothingIsRemoved) {
  CManageStartupDialog dialog(*engine_, messenger_);
  WithDialog(dialog, [&] {
    dialog.remove_button()->click();
    EXPECT_EQ(dialog.list()->GetItemCount(), 4);
  });
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, "Orvane");
  EXPECT_EQ(messenger_.said[0].text, "Please first select an item to be removed.");
  EXPECT_EQ(NamesInRegistry().size(), 4u);
  EXPECT_TRUE(ListBackupFiles(*platform_).empty());
}

TEST_F(ManageStartupDialogTest, TheFreshListingDecidesAfterTheRunKeysChanged) {
  CManageStartupDialog dialog(*engine_, messenger_);
  WithDialog(dialog, [&] {
    dialog.list()->SelectRow(1);
    // Another program takes "Tray" out while the window shows it: index 1
    // of a fresh listing is "Huge" now.
    ASSERT_TRUE(DeleteRegistryValue(*platform_, HKEY_CURRENT_USER, kRunKey, L"Tray"));
    dialog.remove_button()->click();
    EXPECT_EQ(Column(dialog, 0), (std::vector<QString>{"Tray <b>Bold</b>", "Level"}));
    // The refilled list has no selection: a second press removes nothing.
    dialog.remove_button()->click();
  });
  ASSERT_EQ(messenger_.said.size(), 2u);
  EXPECT_EQ(messenger_.said[0].text,
            "The selected application has been removed from Windows startup successfully.");
  EXPECT_EQ(messenger_.said[1].text, "Please first select an item to be removed.");
  EXPECT_EQ(NamesInRegistry(), (std::vector<std::wstring>{L"Tray <b>Bold</b>", L"Level"}));
  EXPECT_EQ(ListBackupFiles(*platform_).size(), 1u);
}

TEST_F(ManageStartupDialogTest, ARunningWineserverIsToldAndNothingChanges) {
  CManageStartupDialog dialog(*engine_, messenger_);
  WithDialog(dialog, [&] {
    orvane::testing::FakeWineserver server(prefix_.dir());
    dialog.list()->SelectRow(0);
    dialog.remove_button()->click();
    EXPECT_EQ(dialog.list()->GetItemCount(), 4);
  });
  ASSERT_EQ(messenger_.said.size(), 1u);
  const QString& text = messenger_.said[0].text;
  EXPECT_TRUE(text.startsWith("The selected application was not removed from Windows startup."))
      << text.toStdString();
  EXPECT_TRUE(text.contains("wineserver")) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromStdString(prefix_.dir()))) << text.toStdString();
  EXPECT_EQ(NamesInRegistry().size(), 4u);
  EXPECT_TRUE(ListBackupFiles(*platform_).empty());
}

}  // namespace
}  // namespace orvane::ui
