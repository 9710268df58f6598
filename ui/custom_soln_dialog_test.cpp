#include "ui/custom_soln_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "model/settings_store.h"
#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using testing::WhileRunning;

const QString kNotAvailable = QStringLiteral(
    "Your customized PC repair solution is not available yet. Please allow 24-48 hours. When the solution is "
    "ready, the button below will become active.");

class CustomSolnDialogTest : public ::testing::Test {
 protected:
  CustomSolnDialogTest() {
    prefix_.File(L"C:\\a.txt", "a").Dword(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID", 42);
    platform_ = prefix_.Open();
    executor_ = std::make_unique<SolutionExecutor>(*platform_, state_);
  }

  // A service that answers ready (with comments and script) or not.
  CCustomSolnDialog::QueryStatus Service(bool ready, std::wstring comments, std::wstring script) {
    return [=, this](std::wstring* c, std::wstring* s, std::wstring*) {
      ++queries_;
      if (!ready) return false;
      *c = comments;
      *s = script;
      return true;
    };
  }

  ::orvane::testing::TempPrefix prefix_;
  orvane::testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  std::unique_ptr<SolutionExecutor> executor_;
  RecordingMessenger messenger_;
  int queries_ = 0;
};

TEST_F(CustomSolnDialogTest, WithoutASolutionTheRunButtonStaysOff) {
  CCustomSolnDialog dialog(*executor_, messenger_, Service(false, L"ignored", L"2%C:\\a.txt"));
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); },
                [&] {
                  EXPECT_EQ(queries_, 1);
                  EXPECT_EQ(dialog.status_text(), kNotAvailable);
                  EXPECT_EQ(dialog.instructions(), QStringLiteral("Not Yet Available."));
                  EXPECT_FALSE(dialog.run_button()->isEnabled());
                  dialog.reject();
                }),
            QDialog::Rejected);
  EXPECT_TRUE(PathExists(*platform_, L"C:\\a.txt"));
}

TEST_F(CustomSolnDialogTest, WithNoAnswerToHaveTheWindowSaysWhyAndPromisesNoWait) {
  CCustomSolnDialog dialog(*executor_, messenger_, [](std::wstring*, std::wstring*, std::wstring* problem) {
    *problem = kNoReportSentText;
    return false;
  });
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); },
                [&] {
                  EXPECT_EQ(dialog.status_text(), QString::fromWCharArray(kNoReportSentText));
                  EXPECT_FALSE(dialog.status_text().contains("24-48"));
                  EXPECT_FALSE(dialog.run_button()->isEnabled());
                  dialog.reject();
                }),
            QDialog::Rejected);
}

TEST_F(CustomSolnDialogTest, AReadySolutionRunsOnceAndShowsItsReport) {
  CCustomSolnDialog dialog(*executor_, messenger_, Service(true, L"<b>Close</b> your browser first.", L"2%C:\\a.txt"));
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); },
                [&] {
                  EXPECT_EQ(dialog.status_text(),
                            QStringLiteral("The solution is available. Please read the instructions below."));
                  EXPECT_EQ(dialog.instructions(), QStringLiteral("<b>Close</b> your browser first."));
                  ASSERT_TRUE(dialog.run_button()->isEnabled());
                  dialog.run_button()->click();
                  // A report with actions keeps the window open.
                  EXPECT_TRUE(dialog.isVisible());
                  EXPECT_FALSE(dialog.run_button()->isEnabled());
                  dialog.reject();
                }),
            QDialog::Rejected);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, QStringLiteral("Orvane"));
  EXPECT_EQ(messenger_.said[0].text, QStringLiteral("File = C:\\a.txt has been deleted\r\n"));
  EXPECT_FALSE(PathExists(*platform_, L"C:\\a.txt"));
  EXPECT_FALSE(RegistryValueExists(*platform_, HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"LogID"));
}

TEST_F(CustomSolnDialogTest, AnEmptyScriptReportsNothingToDoAndCloses) {
  CCustomSolnDialog dialog(*executor_, messenger_, Service(true, L"All is well.", L""));
  EXPECT_EQ(WhileRunning(
                dialog, [&] { return dialog.Run(); }, [&] { dialog.run_button()->click(); }),
            QDialog::Accepted);
  ASSERT_EQ(messenger_.texts().size(), 1u);
  EXPECT_EQ(messenger_.texts()[0], QString::fromWCharArray(kNoActionReport));
}

// With ORVANE_SHOT=/path/file.png the window is shown with a ready solution
// and its picture written there, to be looked at by a person.
TEST_F(CustomSolnDialogTest, PictureForAPerson) {
  const QString shot = qEnvironmentVariable("ORVANE_SHOT");
  if (shot.isEmpty()) GTEST_SKIP() << "ORVANE_SHOT not set";
  CCustomSolnDialog dialog(*executor_, messenger_,
                           Service(true,
                                   L"Hello,\r\nwe found an adware helper in your browser and a leftover "
                                   L"program folder. Please close every browser window, then press the "
                                   L"button below. Everything removed is kept as a backup.\r\n\r\nThe support team",
                                   L"2%C:\\a.txt"));
  dialog.Open();
  dialog.show();
  ASSERT_TRUE(testing::WaitUntil([&] { return dialog.isVisible(); }));
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(dialog.grab().save(shot));
  CCustomSolnDialog waiting(*executor_, messenger_, Service(false, L"", L""));
  waiting.Open();
  waiting.show();
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
  QString second = shot;
  second.replace(QStringLiteral(".png"), QStringLiteral("-waiting.png"));
  EXPECT_TRUE(waiting.grab().save(second));
}

}  // namespace
}  // namespace orvane::ui
