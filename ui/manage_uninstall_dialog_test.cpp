#include "ui/manage_uninstall_dialog.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>

#include "platform/testing/temp_prefix.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using testing::WaitUntil;
using testing::WhileRunning;

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class FakeChild : public wine::HostProcess {
 public:
  explicit FakeChild(bool* ended) : ended_(ended) {}
  bool Ended(int* status) override {
    if (status) *status = 0;
    return *ended_;
  }

 private:
  bool* ended_;
};

class ManageUninstallDialogTest : public ::testing::Test {
 protected:
  ManageUninstallDialogTest() {
    prefix_.String(HKEY_LOCAL_MACHINE, kUninstall + L"Gone", L"DisplayName", L"gone tool")
        .String(HKEY_LOCAL_MACHINE, kUninstall + L"Gone", L"UninstallString",
                L"C:\\Gone\\unins000.exe /SILENT")
        .String(HKEY_LOCAL_MACHINE, kUninstall + L"Gone", L"Publisher", L"<b>Tags</b> & Co")
        .Dword(HKEY_LOCAL_MACHINE, kUninstall + L"Gone", L"EstimatedSize", 2048)
        .String(HKEY_CURRENT_USER, kUninstall + L"{C0DE}", L"DisplayName", L"Packaged")
        .String(HKEY_LOCAL_MACHINE, kUninstall + L"Another", L"DisplayName", L"Another")
        // The programs the lines name: only what lies in the machine starts.
        .File(L"C:\\Gone\\unins000.exe", "MZ")
        .File(L"C:\\windows\\system32\\msiexec.exe", "MZ");
    prefix_.Write();
    wine::WineOptions options = prefix_.Options();
    options.wine_program = "wine64";
    options.start_helper = "orvane-start.exe";
    options.spawn = [this](const wine::HostCommand& command,
                           std::string* error) -> std::unique_ptr<wine::HostProcess> {
      for (const auto& [name, value] : command.environment)
        if (name == "ORVANE_COMMAND_LINE") lines_.push_back(value);
      if (refuse_) {
        *error = "wine64: not found";
        return nullptr;
      }
      return std::make_unique<FakeChild>(&ended_);
    };
    platform_ = std::make_unique<wine::WinePlatform>(options);
    EngineOptions engine_options;
    engine_options.pacer = &pacer_;
    engine_ = std::make_unique<CSarvelEngine>(*platform_, engine_options);
    dialog_ = std::make_unique<CManageUninstallDialog>(*engine_, messenger_);
  }

  CItemListCtrl* List() { return dialog_->findChild<CItemListCtrl*>(QStringLiteral("1024")); }
  CBitmapButtonEx* Button(int id) { return dialog_->findChild<CBitmapButtonEx*>(QString::number(id)); }
  int RowOf(const QString& program) {
    for (int i = 0; i < List()->GetItemCount(); ++i)
      if (List()->GetItemText(i, 0) == program) return i;
    return -1;
  }
  // Runs the window, acts, and closes it with Close.
  void WithDialog(const std::function<void()>& act) {
    EXPECT_EQ(WhileRunning(
                  *dialog_, [&] { return dialog_->Run(); },
                  [&] {
                    act();
                    Button(1124)->click();
                  }),
              QDialog::Rejected);
  }
  // What the uninstaller did, saved as its wineserver would.
  void RemoveKey(const std::wstring& name) {
    wine::WinePlatform other(prefix_.Options());
    HKEY key;
    ASSERT_EQ(other.OpenKey(HKEY_LOCAL_MACHINE, kUninstall, KEY_WRITE, &key), ERROR_SUCCESS);
    ASSERT_EQ(other.DeleteKey(key, name), ERROR_SUCCESS);
    other.CloseKey(key);
    ASSERT_TRUE(other.Flush());
  }

  orvane::testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  RecordingPacer pacer_;
  RecordingMessenger messenger_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::unique_ptr<CManageUninstallDialog> dialog_;
  std::vector<std::string> lines_;
  bool ended_ = false;
  bool refuse_ = false;
};

TEST_F(ManageUninstallDialogTest, ListsProgramsSortedWithTheirHiddenColumnsKeptNarrow) {
  WithDialog([&] {
    CItemListCtrl* list = List();
    ASSERT_EQ(list->GetItemCount(), 3);
    EXPECT_EQ(list->GetItemText(0, 0), QStringLiteral("Another"));
    EXPECT_EQ(list->GetItemText(1, 0), QStringLiteral("gone tool"));
    EXPECT_EQ(list->GetItemText(2, 0), QStringLiteral("Packaged"));
    EXPECT_EQ(list->GetItemText(1, 1), QStringLiteral("<b>Tags</b> & Co"));
    EXPECT_EQ(list->GetItemText(1, 2), QStringLiteral("2.00 MB"));
    EXPECT_EQ(list->GetItemText(1, 3), QStringLiteral("Gone"));
    EXPECT_EQ(
        list->GetItemText(1, 5),
        QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone"));
    EXPECT_EQ(list->columnWidth(0), 200);
    // The user widens a visible column, and a hidden one by other means.
    list->header()->resizeSection(0, 240);
    list->header()->resizeSection(4, 80);
    EXPECT_EQ(list->columnWidth(0), 240);
    for (int c = 3; c < 6; ++c) EXPECT_EQ(list->columnWidth(c), 1) << c;
    EXPECT_EQ(list->header()->sectionResizeMode(3), QHeaderView::Fixed);
  });
}

TEST_F(ManageUninstallDialogTest, UninstallNeedsASelection) {
  WithDialog([&] { Button(1026)->click(); });
  EXPECT_EQ(messenger_.texts(),
            std::vector<QString>{QStringLiteral("Please first select an item to be uninstall.")});
  EXPECT_TRUE(lines_.empty());
}

TEST_F(ManageUninstallDialogTest, WaitsWithoutFreezingThenShowsTheListTheUninstallerLeft) {
  WithDialog([&] {
    List()->SelectRow(RowOf(QStringLiteral("gone tool")));
    Button(1026)->click();
    ASSERT_EQ(lines_, std::vector<std::string>{"C:\\Gone\\unins000.exe /SILENT"});
    // Running: no second start, no closing, and the window says so.
    EXPECT_FALSE(Button(1026)->isEnabled());
    dialog_->reject();
    EXPECT_TRUE(dialog_->isVisible());
    auto* status = dialog_->findChild<CXColorStatic*>(QStringLiteral("status"));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->isVisible());
    QTest::qWait(1500);
    EXPECT_TRUE(messenger_.said.empty());

    RemoveKey(L"Gone");
    ended_ = true;
    ASSERT_TRUE(WaitUntil([&] { return !messenger_.said.empty(); }));
    EXPECT_EQ(messenger_.said[0].caption, QStringLiteral("Orvane"));
    EXPECT_EQ(
        messenger_.said[0].text,
        QStringLiteral("The selected application has been successfully removed from Orvane Performance."));
    EXPECT_EQ(RowOf(QStringLiteral("gone tool")), -1);
    EXPECT_EQ(List()->GetItemCount(), 2);
    EXPECT_TRUE(Button(1026)->isEnabled());
    EXPECT_FALSE(status->isVisible());
  });
}

TEST_F(ManageUninstallDialogTest, AnUninstallerThatLeavesTheProgramIsNotReportedAsARemoval) {
  ended_ = true;
  WithDialog([&] {
    List()->SelectRow(RowOf(QStringLiteral("Packaged")));
    Button(1026)->click();
    ASSERT_TRUE(WaitUntil([&] { return !messenger_.said.empty(); }));
  });
  // No uninstall string: the product code goes to the installer.
  EXPECT_EQ(lines_, std::vector<std::string>{"MsiExec.exe /x{C0DE} /qf"});
  EXPECT_EQ(
      messenger_.texts(),
      std::vector<QString>{QStringLiteral(
          "The uninstaller of the selected application has ended, but the application is still installed.")});
}

TEST_F(ManageUninstallDialogTest, AnUninstallerThatCannotStartIsSaidSo) {
  refuse_ = true;
  WithDialog([&] {
    List()->SelectRow(RowOf(QStringLiteral("Another")));
    Button(1026)->click();
  });
  EXPECT_EQ(
      messenger_.texts(),
      std::vector<QString>{QStringLiteral(
          "The selected application has not been updated from Orvane Performance .\n\nwine64: not found")});
}

}  // namespace
}  // namespace orvane::ui
