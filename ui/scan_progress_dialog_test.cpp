#include "ui/scan_progress_dialog.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/testing/temp_prefix.h"
#include "ui/event_bridge.h"
#include "ui/testing_messenger.h"

namespace orvane::ui {
namespace {

const QString kCompleted = QStringLiteral("The scan completed successfully.");
const QString kInterrupted = QStringLiteral("The scanning process has been interrupted by the user.");
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kFonts = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::wstring kSounds = L"AppEvents\\Schemes\\Apps\\.Default";

std::array<bool, kSectionCount> Sections(std::initializer_list<int> ids) {
  std::array<bool, kSectionCount> enabled{};
  for (int id : ids) enabled[id] = true;
  return enabled;
}

// Every pause lasts a little, so a scan of many sections runs for a second
// or more and a stop pressed early always finds it running.
class SleepingPacer : public Pacer {
 public:
  void Pause(uint32_t) override { std::this_thread::sleep_for(std::chrono::milliseconds(50)); }
  uint32_t Delay(uint32_t) override { return 50; }
};

// Asks the window to hold for a short real time after each section end.
class ShortHoldPacer : public RecordingPacer {
 public:
  uint32_t Delay(uint32_t milliseconds) override {
    RecordingPacer::Delay(milliseconds);
    return 30;
  }
};

class ScanProgressTest : public ::testing::Test {
 protected:
  // The engine posts to the bridge, which is relayed to the window as the
  // main window does; with relay off, the worker's messages go nowhere and
  // the test speaks for the worker.
  void Make(bool relay, Pacer* engine_pacer = nullptr, Pacer* window_pacer = nullptr) {
    platform_ = prefix_.Open();
    EngineOptions options;
    options.target = relay ? static_cast<MessageTarget*>(&bridge_) : &ignored_;
    options.pacer = engine_pacer ? engine_pacer : &engine_pacer_;
    engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
    window_ = std::make_unique<CScanProgressDialog>(*engine_, window_pacer ? *window_pacer : window_pacer_, messenger_);
    if (relay) {
      QObject::connect(&bridge_, &EventBridge::eventArrived, window_.get(),
                       [this](const WorkerEvent& e) { window_->HandleEvent(e); });
    }
  }

  // Runs the window; script runs once its loop is up. A window that does
  // not end within 20 s fails the test instead of hanging it.
  int RunWith(const std::function<void()>& script = {}) {
    QTimer start, watchdog;
    start.setSingleShot(true);
    watchdog.setSingleShot(true);
    QObject::connect(&start, &QTimer::timeout, [&] {
      if (script) script();
    });
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      ADD_FAILURE() << "the window did not end";
      window_->done(-1);
    });
    start.start(0);
    watchdog.start(20000);
    const int result = window_->Run();
    engine_->WaitForScan();
    // What the worker posted last must not reach a window that has ended.
    QCoreApplication::processEvents();
    return result;
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  EventBridge bridge_;
  NullTarget ignored_;
  RecordingPacer engine_pacer_;
  RecordingPacer window_pacer_;
  RecordingMessenger messenger_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::unique_ptr<CScanProgressDialog> window_;
};

TEST_F(ScanProgressTest, ARealScanShowsTheEnginesCountsAndCompletesOnce) {
  prefix_.String(HKEY_CURRENT_USER, kSounds + L"\\Ding\\.Current", L"", L"C:\\gone\\ding.wav");
  for (int i = 0; i < 3; ++i)
    prefix_.String(HKEY_LOCAL_MACHINE, kUninstall + L"\\App" + std::to_wstring(i), L"DisplayIcon",
                   L"C:\\gone\\app" + std::to_wstring(i) + L".exe");
  prefix_.String(HKEY_LOCAL_MACHINE, kFonts, L"Old (TrueType)", L"C:\\windows\\Fonts\\old.ttf")
      .String(HKEY_LOCAL_MACHINE, kFonts, L"Older (TrueType)", L"C:\\windows\\Fonts\\older.ttf");
  Make(/*relay=*/true);
  int section_ends = 0;
  std::vector<int> progress_at_ends;
  QObject::connect(&bridge_, &EventBridge::eventArrived, [&](const WorkerEvent& e) {
    if (!std::holds_alternative<SectionEnds>(e)) return;
    ++section_ends;
    progress_at_ends.push_back(window_->progress());
  });
  int progress_at_completion = -1;
  QString deep_scan_at_completion = QStringLiteral("unset");
  messenger_.on_tell = [&](const QString&) {
    progress_at_completion = window_->progress();
    deep_scan_at_completion = window_->deep_scan_text();
  };
  window_->SetRequest({Sections({2, 3, 9, 10})});

  EXPECT_EQ(RunWith(), QDialog::Accepted);

  const ScanSummary summary = engine_->LastScanSummary();
  EXPECT_TRUE(summary.completed);
  EXPECT_EQ(summary.found[2], 1);
  EXPECT_EQ(summary.found[9], 3);
  EXPECT_EQ(summary.found[10], 2);
  for (int id : {2, 3, 9, 10}) {
    EXPECT_EQ(window_->counter_text(id), QStringLiteral("(%1)").arg(summary.found[id])) << "section " << id;
  }
  EXPECT_EQ(window_->counter_text(4), QStringLiteral("(0)"));
  // The bar follows this scan's own sections, full at the last one's end.
  EXPECT_EQ(progress_at_ends, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(window_->title_text(), QStringLiteral("REGISTRY SCAN"));
  EXPECT_EQ(progress_at_completion, 100);
  EXPECT_EQ(window_->progress(), 100);
  EXPECT_TRUE(deep_scan_at_completion.isEmpty());
  ASSERT_EQ(messenger_.said.size(), 1u);
  EXPECT_EQ(messenger_.said[0].caption, QStringLiteral("Orvane"));
  EXPECT_EQ(messenger_.said[0].text, kCompleted);
  // The window's own pause, once per section end; the worker's are its own.
  EXPECT_EQ(section_ends, 4);
  EXPECT_EQ(window_pacer_.pauses(), std::vector<uint32_t>(4, 2000));
  EXPECT_FALSE(engine_->IsScanRunning());
  EXPECT_FALSE(window_->running());
  EXPECT_FALSE(window_->animation_playing());
}

TEST_F(ScanProgressTest, OneSectionEndsAtItsShareThenAtTheFullBar) {
  prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tool",
                 L"C:\\gone\\tool.exe");
  Make(/*relay=*/true);
  std::vector<int> progress_at_ends;
  QObject::connect(&bridge_, &EventBridge::eventArrived, [&](const WorkerEvent& e) {
    if (std::holds_alternative<SectionEnds>(e)) progress_at_ends.push_back(window_->progress());
  });
  window_->SetRequest({Sections({4})});
  EXPECT_EQ(RunWith(), QDialog::Accepted);
  EXPECT_EQ(progress_at_ends, std::vector<int>{100});
  EXPECT_EQ(window_->progress(), 100);
  EXPECT_EQ(messenger_.texts(), std::vector<QString>{kCompleted});
}

TEST_F(ScanProgressTest, ItemTextsAreCutAfterSeventyUnits) {
  Make(/*relay=*/false);
  const std::wstring seventy(70, L'a');
  QString shown_whole, shown_cut, shown_pair;
  RunWith([&] {
    window_->HandleEvent(ProgressText{seventy});
    shown_whole = window_->item_text();
    window_->HandleEvent(ProgressText{seventy + L"bcd"});
    shown_cut = window_->item_text();
    // A pair that straddles the limit is not split in two.
    window_->HandleEvent(ProgressText{std::wstring(69, L'x') + L"\U0001F600"});
    shown_pair = window_->item_text();
    window_->HandleEvent(ScanCompleted{});
  });
  EXPECT_EQ(shown_whole, QString(70, QLatin1Char('a')));
  EXPECT_EQ(shown_cut, QString(70, QLatin1Char('a')) + QStringLiteral(".."));
  EXPECT_EQ(shown_pair, QString(69, QLatin1Char('x')) + QStringLiteral(".."));
}

TEST_F(ScanProgressTest, RegistryAndPrivacyLayouts) {
  Make(/*relay=*/false);
  // Registry mode: 0-6 in the first column, 7-12 in the second.
  RunWith([&] {
    for (int i = 0; i < kSectionCount; ++i) {
      SCOPED_TRACE(i);
      if (i < 13) {
        EXPECT_TRUE(window_->row_visible(i));
        EXPECT_EQ(window_->name_rect(i), QRect(i < 7 ? 75 : 325, 180 + 20 * (i % 7), 200, 21));
        EXPECT_EQ(window_->counter_rect(i), QRect(i < 7 ? 50 : 300, 182 + 20 * (i % 7), 25, 21));
      } else {
        EXPECT_FALSE(window_->row_visible(i));
        EXPECT_FALSE(window_->row_enabled(i));
      }
    }
    EXPECT_EQ(window_->name_text(12), QStringLiteral("MRU"));
    EXPECT_EQ(window_->title_text(), QStringLiteral("REGISTRY SCAN"));
    window_->HandleEvent(ScanEnded{});
  });

  window_->SetRequest({{}, {}, true});
  std::vector<int> first_column, second_column;
  QRect marker_15, marker_19;
  bool marker_for_hidden_row = true;
  RunWith([&] {
    for (int i = 0; i < kSectionCount; ++i) {
      if (!window_->row_visible(i)) continue;
      (window_->counter_rect(i).x() == 50 ? first_column : second_column).push_back(i);
      const int k = (i - 13) % 5;
      EXPECT_EQ(window_->counter_rect(i).y(), 182 + 20 * k) << i;
      EXPECT_EQ(window_->name_rect(i).topLeft(), window_->counter_rect(i).topLeft() + QPoint(25, -2)) << i;
    }
    // A junk and privacy scan is not called a registry scan.
    EXPECT_EQ(window_->title_text(), QStringLiteral("JUNK AND PRIVACY SCAN"));
    window_->HandleEvent(SectionBegins{15, 0});
    marker_15 = window_->animation_rect();
    window_->HandleEvent(SectionBegins{19, 1});
    marker_19 = window_->animation_rect();
    // A registry section's report in privacy mode goes to its hidden row.
    window_->HandleEvent(SectionBegins{2, 2});
    marker_for_hidden_row = window_->animation_visible();
    window_->HandleEvent(ErrorAdded{2, 2});
    window_->HandleEvent(ScanEnded{});
  });
  EXPECT_EQ(first_column, (std::vector<int>{13, 14, 15, 16, 17}));
  EXPECT_EQ(second_column, (std::vector<int>{18, 19, 20, 21}));
  EXPECT_EQ(window_->name_text(19), QStringLiteral("Internet surfing activity cache"));
  EXPECT_EQ(marker_15, QRect(25, 220, 21, 21));
  EXPECT_EQ(marker_19, QRect(275, 200, 21, 21));
  EXPECT_FALSE(marker_for_hidden_row);
  EXPECT_EQ(window_->counter_text(2), QStringLiteral("(1)"));
  EXPECT_FALSE(window_->row_visible(2));
}

TEST_F(ScanProgressTest, ASectionAnnouncedTwiceCountsOnlyItsSecondPart) {
  Make(/*relay=*/false);
  QString after_first, after_second_announcement;
  QRect marker;
  RunWith([&] {
    window_->HandleEvent(SectionBegins{4, 0});
    marker = window_->animation_rect();
    window_->HandleEvent(ErrorAdded{4, 0});
    window_->HandleEvent(ErrorAdded{4, 0});
    after_first = window_->counter_text(4);
    window_->HandleEvent(SectionBegins{4, 0});
    after_second_announcement = window_->counter_text(4);
    window_->HandleEvent(ErrorAdded{4, 0});
    window_->HandleEvent(SectionEnds{4, 0});
    // The next section starts from nothing, too.
    window_->HandleEvent(SectionBegins{9, 1});
    window_->HandleEvent(ErrorAdded{9, 1});
    window_->HandleEvent(ErrorAdded{40, 1});  // no such section: counted, shown nowhere
    window_->HandleEvent(ErrorAdded{9, 1});
    window_->HandleEvent(ScanCompleted{});
  });
  EXPECT_EQ(marker, QRect(25, 260, 21, 21));
  EXPECT_EQ(after_first, QStringLiteral("(2)"));
  EXPECT_EQ(after_second_announcement, QStringLiteral("(2)"));  // until the next finding
  EXPECT_EQ(window_->counter_text(4), QStringLiteral("(1)"));
  EXPECT_EQ(window_->counter_text(9), QStringLiteral("(3)"));
}

TEST_F(ScanProgressTest, EscapeAndStopWhileTheScanRuns) {
  prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tool",
                 L"C:\\gone\\tool.exe");
  SleepingPacer slow;
  Make(/*relay=*/true, &slow);
  window_->SetRequest({Sections({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12})});
  bool running_before = false;
  EXPECT_EQ(RunWith([&] {
              running_before = engine_->IsScanRunning();
              QTest::keyClick(window_.get(), Qt::Key_Escape);
            }),
            QDialog::Rejected);
  EXPECT_TRUE(running_before);
  // Escape asks first; Yes stops.
  EXPECT_EQ(messenger_.texts(),
            (std::vector<QString>{QString::fromUtf8(CScanProgressDialog::kStopQuestion), kInterrupted}));
  EXPECT_TRUE(messenger_.said[0].question);
  EXPECT_EQ(messenger_.said[1].caption, QStringLiteral("Orvane"));
  EXPECT_FALSE(engine_->LastScanSummary().completed);
  EXPECT_FALSE(window_->animation_playing());

  // Stop after the first finding: the finding is kept for the results.
  messenger_.said.clear();
  window_->SetRequest({Sections({4, 5, 6, 7, 8, 9, 10, 12})});
  QMetaObject::Connection stop_on_finding =
      QObject::connect(&bridge_, &EventBridge::eventArrived, [&](const WorkerEvent& e) {
        if (std::holds_alternative<ErrorAdded>(e) && window_->running()) window_->stop_button().click();
      });
  EXPECT_EQ(RunWith(), QDialog::Accepted);
  QObject::disconnect(stop_on_finding);
  EXPECT_EQ(messenger_.texts(), std::vector<QString>{kInterrupted});
  EXPECT_EQ(engine_->LastScanSummary().found[4], 1);
  EXPECT_FALSE(engine_->LastScanSummary().completed);
  EXPECT_FALSE(engine_->IsScanRunning());
}

TEST_F(ScanProgressTest, NoToTheStopQuestionKeepsScanning) {
  prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Tool",
                 L"C:\\gone\\tool.exe");
  SleepingPacer slow;
  Make(/*relay=*/true, &slow);
  window_->SetRequest({Sections({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12})});
  messenger_.answer = false;
  bool still_running = false, still_shown = false;
  EXPECT_EQ(RunWith([&] {
              QTest::keyClick(window_.get(), Qt::Key_Escape);
              window_->close();  // what Alt+F4 and the close box ask for
              still_running = engine_->IsScanRunning() && window_->running();
              still_shown = window_->isVisible();
              window_->stop_button().click();
            }),
            QDialog::Accepted);
  EXPECT_TRUE(still_running);
  EXPECT_TRUE(still_shown);
  const QString question = QString::fromUtf8(CScanProgressDialog::kStopQuestion);
  EXPECT_EQ(messenger_.texts(), (std::vector<QString>{question, question, kInterrupted}));
}

TEST_F(ScanProgressTest, EndingWithoutARunningScanSaysNothing) {
  Make(/*relay=*/false);
  // The worker of an empty selection has ended before anyone presses a key.
  EXPECT_EQ(RunWith([&] {
              engine_->WaitForScan();
              QTest::keyClick(window_.get(), Qt::Key_Escape);
            }),
            QDialog::Rejected);
  EXPECT_EQ(RunWith([&] {
              engine_->WaitForScan();
              window_->stop_button().click();
            }),
            QDialog::Accepted);
  // A worker that ends without completing ends the window too.
  EXPECT_EQ(RunWith([&] { window_->HandleEvent(ScanEnded{}); }), QDialog::Accepted);
  EXPECT_TRUE(messenger_.said.empty());

  // Nothing reaches a window that has ended.
  window_->HandleEvent(SectionBegins{4, 0});
  window_->HandleEvent(ErrorAdded{4, 0});
  window_->HandleEvent(ScanCompleted{});
  EXPECT_EQ(window_->counter_text(4), QStringLiteral("(0)"));
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(ScanProgressTest, ASectionEndIsHeldWithoutBlockingAndWaitingEventsFollowInOrder) {
  ShortHoldPacer hold;
  Make(/*relay=*/false, nullptr, &hold);
  bool held = false, stop_enabled = false;
  int waiting = 0;
  QString counter_during_hold, item_during_hold;
  int progress_during_hold = -1;
  bool marker_during_hold = true;
  QRect marker_after;
  QString item_at_completion;
  messenger_.on_tell = [&](const QString&) { item_at_completion = window_->item_text(); };
  RunWith([&] {
    window_->HandleEvent(SectionBegins{3, 0});
    window_->HandleEvent(ErrorAdded{3, 0});
    window_->HandleEvent(SectionEnds{3, 0});
    window_->HandleEvent(SectionBegins{10, 1});
    window_->HandleEvent(ErrorAdded{10, 1});
    window_->HandleEvent(ProgressText{L"HKEY_LOCAL_MACHINE\\Fonts"});
    window_->HandleEvent(SectionEnds{10, 1});
    window_->HandleEvent(ScanCompleted{});
    window_->HandleEvent(ScanEnded{});
    held = window_->holding();
    waiting = window_->waiting_events();
    stop_enabled = window_->stop_button().isEnabled();
    counter_during_hold = window_->counter_text(10);
    item_during_hold = window_->item_text();
    progress_during_hold = window_->progress();
    marker_during_hold = window_->animation_visible();
    // After the first hold, the second section's start is shown.
    QTimer::singleShot(45, window_.get(), [&] { marker_after = window_->animation_rect(); });
  });
  EXPECT_TRUE(held);
  EXPECT_EQ(waiting, 6);
  EXPECT_TRUE(stop_enabled);
  EXPECT_EQ(counter_during_hold, QStringLiteral("(0)"));
  EXPECT_TRUE(item_during_hold.isEmpty());
  EXPECT_EQ(progress_during_hold, 7);  // one of the thirteen registry sections
  EXPECT_FALSE(marker_during_hold);
  EXPECT_EQ(marker_after, QRect(275, 240, 21, 21));
  EXPECT_EQ(window_->counter_text(10), QStringLiteral("(1)"));
  EXPECT_EQ(item_at_completion, QStringLiteral("HKEY_LOCAL_MACHINE\\Fonts"));
  EXPECT_EQ(messenger_.texts(), std::vector<QString>{kCompleted});
  EXPECT_EQ(hold.pauses(), (std::vector<uint32_t>{2000, 2000}));
}

TEST_F(ScanProgressTest, AStopDuringAHoldDropsWhatWaited) {
  ShortHoldPacer hold;
  Make(/*relay=*/false, nullptr, &hold);
  EXPECT_EQ(RunWith([&] {
              window_->HandleEvent(SectionBegins{4, 0});
              window_->HandleEvent(SectionEnds{4, 0});
              window_->HandleEvent(SectionBegins{9, 1});
              window_->HandleEvent(ErrorAdded{9, 1});
              window_->HandleEvent(ScanCompleted{});
              engine_->WaitForScan();
              window_->stop_button().click();
            }),
            QDialog::Accepted);
  // Let the hold's time pass: nothing that waited is handled.
  QTest::qWait(60);
  EXPECT_FALSE(window_->holding());
  EXPECT_EQ(window_->waiting_events(), 0);
  EXPECT_EQ(window_->counter_text(9), QStringLiteral("(0)"));
  EXPECT_EQ(window_->progress(), 7);
  EXPECT_TRUE(messenger_.said.empty());
}

TEST_F(ScanProgressTest, EachRunStartsFromAFreshDisplay) {
  Make(/*relay=*/false);
  EXPECT_EQ(CScanProgressDialog::Instance(), window_.get());
  QString title;
  QPoint where;
  QSize size;
  bool animated = false;
  RunWith([&] {
    window_->HandleEvent(SectionBegins{4, 0});
    window_->HandleEvent(ErrorAdded{4, 0});
    window_->HandleEvent(ProgressText{L"item"});
    window_->HandleEvent(SectionEnds{4, 0});
    window_->HandleEvent(ScanCompleted{});
  });
  RunWith([&] {
    title = window_->windowTitle();
    where = window_->pos();
    size = window_->size();
    // The animation's thread marks itself playing once it runs.
    for (int i = 0; i < 400 && !window_->animation_playing(); ++i) QTest::qWait(5);
    animated = window_->animation_playing() && window_->animation_visible();
    EXPECT_EQ(window_->counter_text(4), QStringLiteral("(0)"));
    EXPECT_TRUE(window_->item_text().isEmpty());
    EXPECT_EQ(window_->progress(), 0);
    EXPECT_EQ(window_->deep_scan_text(), QStringLiteral("Deep System Scan ..."));
    // Sized by the picture it plays (21 x 21), where the template put it.
    EXPECT_EQ(window_->animation_rect(), QRect(300, 325, 21, 21));
    window_->HandleEvent(ScanEnded{});
  });
  EXPECT_EQ(title, QStringLiteral("Scan in Progress"));
  EXPECT_EQ(size, QSize(528, 461));
  const QRect free = window_->screen()->availableGeometry();
  EXPECT_EQ(where, QPoint(free.x() + (free.width() - 528) / 2, free.y() + (free.height() - 461) / 2));
  EXPECT_TRUE(animated);
  EXPECT_FALSE(window_->animation_playing());
  window_.reset();
  EXPECT_EQ(CScanProgressDialog::Instance(), nullptr);
}

}  // namespace
}  // namespace orvane::ui
