#include "ui/repair_errors_dialog.h"

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <array>
#include <utility>

#include "engine/testing_engine.h"
#include "platform/testing/fake_wineserver.h"
#include "ui/result_status.h"
#include "model/program_paths.h"
#include "ui/testing_windows.h"

namespace orvane::ui {
namespace {

using orvane::testing::GatePacer;
using orvane::testing::LoadAsFound;
using testing::WhileRunning;

class RepairErrorsDialogTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  void Connect(CRepairErrorsDialog& window) {
    QObject::connect(&bridge_, &EventBridge::eventArrived, &window,
                     &CRepairErrorsDialog::HandleEvent);
  }
};

TEST_F(RepairErrorsDialogTest, AnEmptyRepairShowsTheCompletionAndCloses) {
  CSarvelEngine& engine = Engine();
  CRepairErrorsDialog window(engine, messenger_);
  EXPECT_EQ(CRepairErrorsDialog::Instance(), &window);
  Connect(window);
  EXPECT_EQ(window.windowTitle(), "Repairing Errors");
  EXPECT_EQ(window.size(), QSize(450, 393));
  EXPECT_EQ(window.title_label()->ShownText(), "REPAIRING");

  bool open_while_told = false;
  messenger_.on_tell = [&](const QString&) {
    open_while_told = window.isVisible();
    EXPECT_EQ(window.progress_bar()->minimum(), 0);
    EXPECT_EQ(window.progress_bar()->maximum(), 0);
    EXPECT_EQ(window.button()->caption(), "Close");
    EXPECT_TRUE(window.item_label()->stored_text().isEmpty());
  };
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  EXPECT_FALSE(engine.IsRepairRunning());
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(open_while_told);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, "Orvane");
  EXPECT_EQ(messenger_.said[0].text,
            "All the issues have been repaired successfully. Click OK to proceed.");
  // The worker's one-second pause at the end is the "about a second".
  EXPECT_EQ(recording_pacer_.pauses(), std::vector<uint32_t>{1000});
}

TEST_F(RepairErrorsDialogTest, AbortDuringTheThirdRecordEndsAfterItAndDropsTheLateEndMessage) {
  std::vector<CError> records;
  for (int i = 0; i < 10; ++i)
    records.push_back(ValueRecord(section::kStartup, L"v" + std::to_wstring(i)));
  GatePacer pacer(3);
  CSarvelEngine& engine = Engine(&pacer);
  pacer.engine = &engine;
  ASSERT_TRUE(LoadAsFound(engine, records));
  CRepairErrorsDialog window(engine, messenger_);
  Connect(window);

  int begun = 0;
  int range = -1;
  QObject::connect(&bridge_, &EventBridge::eventArrived, &window, [&](const WorkerEvent& e) {
    if (std::holds_alternative<RecordBegins>(e) && ++begun == 3) {
      EXPECT_EQ(window.item_label()->stored_text(), "HKEY_CURRENT_USER\\Software\\Test\\v2");
      range = window.progress_bar()->maximum();
      window.button()->click();
    }
  });
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  // What the aborted worker posted was taken while the window closed.
  int after = 0;
  QObject::connect(&bridge_, &EventBridge::eventArrived, &window,
                   [&](const WorkerEvent&) { ++after; });
  QCoreApplication::processEvents();
  EXPECT_EQ(after, 0);
  EXPECT_FALSE(engine.IsRepairRunning());
  EXPECT_EQ(range, 10);
  EXPECT_TRUE(messenger_.said.empty());  // no completion message after an abort
  EXPECT_EQ(engine.Section(section::kStartup).repaired, 3);
  EXPECT_EQ(engine.Totals().repaired, 3);
  EXPECT_FALSE(ValueExists(L"v2"));
  EXPECT_TRUE(ValueExists(L"v3"));

  // An end message that comes after the window closed changes nothing.
  window.HandleEvent(RecordBegins{L"late"});
  window.HandleEvent(RepairEnded{});
  EXPECT_TRUE(messenger_.said.empty());
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.item_label()->stored_text().endsWith("v2"));

  // The next run starts afresh, at once, and repairs the rest: nothing the
  // aborted worker posted may end it.
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  ASSERT_EQ(messenger_.texts().size(), 1u);
  EXPECT_TRUE(messenger_.texts()[0].startsWith("All the issues have been repaired"));
  EXPECT_EQ(window.progress_bar()->value(), 10);
  EXPECT_FALSE(ValueExists(L"v9"));
}

TEST_F(RepairErrorsDialogTest, EscapeAndTheCloseRequestRunTheAbortProcedure) {
  std::vector<CError> records;
  for (int i = 0; i < 4; ++i)
    records.push_back(ValueRecord(section::kStartup, L"e" + std::to_wstring(i)));
  GatePacer pacer(1);
  CSarvelEngine& engine = Engine(&pacer);
  pacer.engine = &engine;
  ASSERT_TRUE(LoadAsFound(engine, records));
  CRepairErrorsDialog window(engine, messenger_);
  Connect(window);
  std::function<void()> stop;
  QObject::connect(&bridge_, &EventBridge::eventArrived, &window, [&](const WorkerEvent& e) {
    if (std::holds_alternative<RecordProcessed>(e) && stop) std::exchange(stop, nullptr)();
  });

  stop = [&] {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &escape);
  };
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  EXPECT_FALSE(engine.IsRepairRunning());
  EXPECT_EQ(engine.Totals().repaired, 1);
  EXPECT_TRUE(ValueExists(L"e1"));

  pacer.Rearm(1);
  stop = [&] { window.close(); };
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  EXPECT_FALSE(engine.IsRepairRunning());
  EXPECT_EQ(engine.Totals().repaired, 2);  // e0 again (already gone), then the stop
  EXPECT_TRUE(ValueExists(L"e1"));
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(RepairErrorsDialogTest, ARefusedMachineIsToldAndNothingStarts) {
  CError record = ValueRecord(section::kStartup, L"kept");
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(LoadAsFound(engine, {record}));
  CRepairErrorsDialog window(engine, messenger_);
  Connect(window);
  {
    orvane::testing::FakeWineserver server(prefix_.dir());
    EXPECT_EQ(window.Run(), QDialog::Rejected);
  }
  EXPECT_EQ(engine.repair_thread(), nullptr);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_TRUE(messenger_.said[0].text.startsWith("The repair cannot run now: "));
  EXPECT_TRUE(messenger_.said[0].text.contains(QString::fromStdString(prefix_.dir())));
  EXPECT_TRUE(ValueExists(L"kept"));
}

TEST_F(RepairErrorsDialogTest, ARunThatFellShortIsNotAnnouncedAsASuccess) {
  CError record = ValueRecord(section::kStartup, L"unsafe");
  // A file where the backup folder belongs: no backup, so no repair.
  ASSERT_TRUE(state_.CreateNewFile(kStateBackupFolder));
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(LoadAsFound(engine, {record}));
  CRepairErrorsDialog window(engine, messenger_);
  Connect(window);
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_TRUE(messenger_.said[0].text.startsWith("The repair could not be completed: "))
      << messenger_.said[0].text.toStdString();
  EXPECT_TRUE(messenger_.said[0].text.contains("backup"));
  EXPECT_TRUE(ValueExists(L"unsafe"));
  EXPECT_EQ(engine.Totals().repaired, 0);
}

TEST_F(RepairErrorsDialogTest, RecordsLeftInPlaceAreCountedInTheMessage) {
  CError repaired = ValueRecord(section::kStartup, L"gone");
  // An empty key that gained a value since the scan is kept, rightly.
  prefix_.String(HKEY_CURRENT_USER, L"Software\\Filled", L"now", L"here");
  CError kept;
  kept.section = section::kSoftwareSettings;
  kept.errorType = ErrorType::RegistryKey;
  kept.item.rootKey = HKEY_CURRENT_USER;
  kept.item.rootName = L"HKEY_CURRENT_USER";
  kept.item.subKey = L"Software\\Filled";
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(LoadAsFound(engine, {repaired, kept}));
  CRepairErrorsDialog window(engine, messenger_);
  Connect(window);
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].text,
            "1 of the 2 issues have been repaired; 1 could not be repaired and stay in the list. Click OK to see "
            "what was repaired.");
  EXPECT_FALSE(ValueExists(L"gone"));
  EXPECT_EQ(engine.Totals().repaired, 1);
}

TEST_F(RepairErrorsDialogTest, RecordsTheUserLeftOutAreNamedInTheMessage) {
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(LoadAsFound(engine, {ValueRecord(section::kStartup, L"gone"), ValueRecord(section::kStartup, L"aside")}));
  std::vector<bool> chosen = {true, false};
  engine.SetAsideUnselected(chosen);
  CRepairErrorsDialog window(engine, messenger_);
  Connect(window);
  EXPECT_EQ(window.Run(), QDialog::Rejected);
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].text,
            "All chosen issues (1) have been repaired successfully; the ones you left out (1) stay in the list. "
            "Click OK to proceed.");
  EXPECT_FALSE(ValueExists(L"gone"));
}

class ResultStatusTest : public ::testing::Test, public testing::WindowFixture {
 protected:
  // Leaves the counters as orvane-cli's repair does: of each {section,
  // found, repaired}, found records are loaded, the first repaired of them
  // chosen and repaired, and the others kept as unresolved (ignored).
  void Repair(std::initializer_list<std::array<int, 3>> sections) {
    CSarvelEngine& engine = Engine();
    std::vector<CError> records;
    RepairSelection chosen;
    for (auto [section, found, repaired] : sections) {
      for (int i = 0; i < found; ++i) {
        records.push_back(ValueRecord(section, L"v" + std::to_wstring(records.size())));
        if (i < repaired) chosen.records.insert(static_cast<int>(records.size()));
      }
    }
    ASSERT_TRUE(LoadAsFound(engine, records));
    ASSERT_TRUE(engine.StartRepairOfUnresolved(chosen));
    ASSERT_EQ(engine.FinishRepair().repaired, static_cast<int>(chosen.records.size()));
  }

  // Opens the summary and calls look() while it is shown.
  void Show(CResultStatus& window, const std::function<void()>& look) {
    EXPECT_EQ(WhileRunning(
                  window, [&] { return window.Run(); },
                  [&] {
                    look();
                    window.close_button()->click();
                  }),
              QDialog::Rejected);
  }
};

TEST_F(ResultStatusTest, RegistryModeShowsTheCountersAndTotalsOverHiddenRows) {
  CSarvelEngine& engine = Engine();
  CResultStatus window(engine);
  // Counters as a repair leaves them; set after the window was made, so the
  // window must read them when it opens.
  Repair({{section::kStartup, 5, 3}, {0, 1, 1}, {section::kTempFiles, 4, 0}});  // temporary files: a hidden row
  Show(window, [&] {
    EXPECT_EQ(window.windowTitle(), "Repair results summary");
    EXPECT_EQ(window.size(), QSize(510, 446));
    const CResultStatus::Row& row = window.row(section::kStartup);
    EXPECT_EQ(row.found->ShownText(), "5");
    EXPECT_EQ(row.repaired->ShownText(), "3");
    EXPECT_EQ(row.ignored->ShownText(), "2");
    EXPECT_EQ(row.name->ShownText(),
              QString::fromStdWString(CSarvelEngine::SectionName(section::kStartup)));
    EXPECT_EQ(row.name->geometry(), QRect(50, 102 + 22 * 4, 215, 21));
    EXPECT_EQ(row.ignored->geometry(), QRect(420, 102 + 22 * 4, 40, 21));
    EXPECT_EQ(window.row(12).found->geometry(), QRect(270, 366, 40, 21));
    for (int i = 0; i < CResultStatus::kRows; ++i) {
      EXPECT_EQ(window.row(i).found->isHidden(), i >= 13) << i;
      EXPECT_EQ(window.row(i).name->isEnabled(), i < 13) << i;
    }
    EXPECT_EQ(window.total_found()->ShownText(), "10");
    EXPECT_EQ(window.total_repaired()->ShownText(), "4");
    EXPECT_EQ(window.total_ignored()->ShownText(), "6");
    EXPECT_TRUE(window.findChild<QWidget*>("1054")->isHidden());
  });
}

TEST_F(ResultStatusTest, PrivacyModeShowsNineRowsFromTheTopAndEscapeCloses) {
  CSarvelEngine& engine = Engine();
  engine.SetPrivacyScan(true);
  // Start-up's row is hidden in this mode, but counted.
  Repair({{section::kTempFiles, 7, 6}, {section::kStartup, 2, 0}});
  CResultStatus window(engine);
  EXPECT_EQ(WhileRunning(
                window, [&] { return window.Run(); },
                [&] {
                  for (int i = 0; i < CResultStatus::kRows; ++i) {
                    const CResultStatus::Row& row = window.row(i);
                    EXPECT_EQ(row.name->isHidden(), i < 13) << i;
                    EXPECT_EQ(row.ignored->isEnabled(), i >= 13) << i;
                    if (i < 13) continue;
                    const int y = 102 + 22 * (i - 13);
                    EXPECT_EQ(row.name->geometry(), QRect(50, y, 215, 21)) << i;
                    EXPECT_EQ(row.found->geometry(), QRect(270, y, 40, 21)) << i;
                    EXPECT_EQ(row.repaired->geometry(), QRect(350, y, 40, 21)) << i;
                    EXPECT_EQ(row.ignored->geometry(), QRect(430, y, 40, 21)) << i;
                  }
                  EXPECT_EQ(window.row(section::kTempFiles).repaired->ShownText(), "6");
                  EXPECT_EQ(window.total_found()->ShownText(), "9");
                  EXPECT_EQ(window.total_ignored()->ShownText(), "3");
                  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                  QCoreApplication::sendEvent(&window, &escape);
                }),
            QDialog::Rejected);

  // Back in registry mode the same window puts the rows back.
  engine.SetPrivacyScan(false);
  Show(window, [&] {
    EXPECT_FALSE(window.row(section::kStartup).name->isHidden());
    EXPECT_TRUE(window.row(section::kTempFiles).name->isHidden());
    EXPECT_EQ(window.row(section::kTempFiles).ignored->geometry().x(), 420);
    EXPECT_EQ(window.row(section::kTempFiles).name->geometry().y(), 102 + 22 * 15);
  });
}

}  // namespace
}  // namespace orvane::ui
