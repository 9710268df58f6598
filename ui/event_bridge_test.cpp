#include "ui/event_bridge.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>
#include <thread>
#include <vector>

namespace orvane::ui {
namespace {

// Runs the interface thread's queue until the end event came (or 20 s).
std::vector<WorkerEvent> Collect(EventBridge& bridge, const std::function<void()>& worker) {
  std::vector<WorkerEvent> got;
  bool ended = false;
  QObject::connect(&bridge, &EventBridge::eventArrived, [&](const WorkerEvent& e) {
    got.push_back(e);
    ended |= IsEndEvent(e);
  });
  std::thread thread(worker);
  QElapsedTimer timer;
  timer.start();
  while (!ended && timer.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  thread.join();
  QCoreApplication::processEvents();
  return got;
}

TEST(EventBridgeTest, EveryEventArrivesInOrderAndAFloodOfProgressIsCoalesced) {
  EventBridge bridge;
  constexpr int kTexts = 1000000;
  std::vector<WorkerEvent> got = Collect(bridge, [&] {
    bridge.Post(Encode(SectionBegins{4, 0}));
    for (int i = 0; i < kTexts; ++i) {
      bridge.Post(Encode(ProgressText{L"key " + std::to_wstring(i)}));
      if (i % 100000 == 99999) bridge.Post(Encode(ErrorAdded{4, i / 100000}));
    }
    bridge.Post(Encode(ProgressText{L"last"}));
    bridge.Post(Message{0x1234, 1, 2, {}});  // not a worker event: dropped
    bridge.Post(Encode(ScanCompleted{}));
    bridge.Post(Encode(ScanEnded{}));
  });
  ASSERT_FALSE(got.empty());
  EXPECT_TRUE(std::holds_alternative<SectionBegins>(got.front()));
  EXPECT_TRUE(std::holds_alternative<ScanEnded>(got.back()));
  int errors = 0, texts = 0;
  int last_number = -1;
  std::wstring last_text;
  for (const WorkerEvent& e : got) {
    if (const auto* added = std::get_if<ErrorAdded>(&e)) {
      EXPECT_EQ(added->ordinal, errors++);  // all of them, in order
    } else if (const auto* text = std::get_if<ProgressText>(&e)) {
      ++texts;
      last_text = text->text;
      if (text->text != L"last") {
        int n = std::stoi(text->text.substr(4));
        EXPECT_GT(n, last_number);  // never an older text after a newer one
        last_number = n;
      }
    }
  }
  EXPECT_EQ(errors, 10);
  EXPECT_EQ(last_text, L"last");  // the newest text is never lost
  EXPECT_LT(texts, kTexts / 10) << "progress texts were queued one by one";
  EXPECT_TRUE(std::holds_alternative<ScanCompleted>(got[got.size() - 2]));
}

TEST(EventBridgeTest, AWaitingTextGoesOutBeforeTheEventPostedAfterIt) {
  EventBridge bridge;
  std::vector<WorkerEvent> got = Collect(bridge, [&] {
    bridge.Post(Encode(ProgressText{L"one"}));
    bridge.Post(Encode(ErrorAdded{15, 0}));
    bridge.Post(Encode(ProgressText{L"two"}));
    bridge.Post(Encode(RepairEnded{}));
  });
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(std::get<ProgressText>(got[0]).text, L"one");
  EXPECT_TRUE(std::holds_alternative<ErrorAdded>(got[1]));
  EXPECT_EQ(std::get<ProgressText>(got[2]).text, L"two");
  EXPECT_TRUE(std::holds_alternative<RepairEnded>(got[3]));
}

TEST(EventBridgeTest, AReceiverThatRunsANestedLoopStillSeesEveryEventInOrder) {
  EventBridge bridge;
  std::vector<int32_t> got;
  bool ended = false;
  QObject::connect(&bridge, &EventBridge::eventArrived, [&](const WorkerEvent& e) {
    if (const auto* added = std::get_if<ErrorAdded>(&e)) {
      got.push_back(added->ordinal);
      // As a message box would: events keep being handed on meanwhile.
      if (added->ordinal % 1000 == 0) {
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 3 * EventBridge::kDrainIntervalMs) QCoreApplication::processEvents();
      }
    }
    ended |= IsEndEvent(e);
  });
  std::thread worker([&] {
    for (int i = 0; i < 5000; ++i) {
      bridge.Post(Encode(ErrorAdded{1, i}));
      if (i % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bridge.Post(Encode(ScanEnded{}));
  });
  QElapsedTimer timer;
  timer.start();
  while (!ended && timer.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  worker.join();
  ASSERT_EQ(got.size(), 5000u);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(got[i], i);
}

}  // namespace
}  // namespace orvane::ui
