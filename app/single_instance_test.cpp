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

}  // namespace
}  // namespace orvane::app
