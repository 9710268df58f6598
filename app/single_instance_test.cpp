#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace orvane::app {
namespace {

bool WaitFor(const bool& flag) {
  QElapsedTimer timer;
  timer.start();
  while (!flag && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return flag;
}

TEST(SingleInstanceTest, ALaterStartHandsActivateToTheRunningOneAndEnds) {
  QTemporaryDir dir;
  SingleInstance first("orvane-test", dir.path());
  ASSERT_TRUE(first.Claim());
  bool activated = false;
  QObject::connect(&first, &SingleInstance::activateRequested, [&] { activated = true; });

  SingleInstance second("orvane-test", dir.path());
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(second.Claim());
  EXPECT_LT(timer.elapsed(), 2000);
  EXPECT_TRUE(WaitFor(activated));
}

TEST(SingleInstanceTest, AProgramThatEndedLeavesTheWayFree) {
  QTemporaryDir dir;
  {
    SingleInstance first("orvane-test", dir.path());
    ASSERT_TRUE(first.Claim());
  }
  // Its lock went with it; a socket file left behind (as after a crash) is
  // cleared by the next holder.
  SingleInstance next("orvane-test", dir.path());
  EXPECT_TRUE(next.Claim());
  bool activated = false;
  QObject::connect(&next, &SingleInstance::activateRequested, [&] { activated = true; });
  SingleInstance later("orvane-test", dir.path());
  EXPECT_FALSE(later.Claim());
  EXPECT_TRUE(WaitFor(activated));
}

TEST(SingleInstanceTest, QuitReachesTheRunningOneAndOnlyAsQuit) {
  QTemporaryDir dir;
  SingleInstance running("orvane-test", dir.path());
  ASSERT_TRUE(running.Claim());
  bool quit = false;
  bool activated = false;
  QObject::connect(&running, &SingleInstance::quitRequested, [&] { quit = true; });
  QObject::connect(&running, &SingleInstance::activateRequested, [&] { activated = true; });

  EXPECT_TRUE(SingleInstance::SendQuit("orvane-test", dir.path()));
  EXPECT_TRUE(WaitFor(quit));
  EXPECT_FALSE(activated);

  // Another program's channel is not this one's; with nothing listening the
  // request gives up.
  quit = false;
  EXPECT_FALSE(SingleInstance::SendQuit("orvane-other", dir.path(), 300));
  QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  EXPECT_FALSE(quit);
}

}  // namespace
}  // namespace orvane::app
