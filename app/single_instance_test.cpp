#include "app/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

#include <optional>
#include <string>

#include "platform/testing/scoped_env.h"

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

TEST(SingleInstanceTest, TheChannelLiesBesideTheLockSoAnotherSessionCannotTakeItOver) {
  // Two sessions of one user whose runtime folders differ hold two locks;
  // they share one temporary folder. The second must not replace the first
  // one's channel there and receive its requests.
  QTemporaryDir shared_tmp, runtime_a, runtime_b;
  testing::ScopedEnv tmp("TMPDIR", shared_tmp.path().toUtf8().constData());
  std::optional<testing::ScopedEnv> runtime;
  runtime.emplace("XDG_RUNTIME_DIR", runtime_a.path().toUtf8().constData());
  SingleInstance first("orvane-test");
  ASSERT_TRUE(first.Claim());
  bool first_quit = false;
  QObject::connect(&first, &SingleInstance::quitRequested, [&] { first_quit = true; });
  const QString socket_name = "orvane-test-" + QString::number(getuid()) + ".socket";
  EXPECT_TRUE(QFileInfo::exists(runtime_a.path() + "/" + socket_name));

  runtime.emplace("XDG_RUNTIME_DIR", runtime_b.path().toUtf8().constData());
  SingleInstance second("orvane-test");
  ASSERT_TRUE(second.Claim());  // another session's lock: it runs too
  bool second_quit = false;
  QObject::connect(&second, &SingleInstance::quitRequested, [&] { second_quit = true; });
  EXPECT_TRUE(QFileInfo::exists(runtime_b.path() + "/" + socket_name));
  EXPECT_TRUE(QFileInfo::exists(runtime_a.path() + "/" + socket_name));

  runtime.emplace("XDG_RUNTIME_DIR", runtime_a.path().toUtf8().constData());
  EXPECT_TRUE(SingleInstance::SendQuit("orvane-test"));
  EXPECT_TRUE(WaitFor(first_quit));
  QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  EXPECT_FALSE(second_quit);
}

}  // namespace
}  // namespace orvane::app
