#include "app/restarter.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/single_instance.h"
#include "platform/testing/scoped_env.h"

namespace orvane::app {
namespace {

bool WaitUntil(const std::function<bool()>& done, int limit_ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limit_ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// The installed layout in a scratch folder: the built restarter and, as the
// program beside it, a script that writes its arguments (one a line) to
// started.txt. The program's lock and socket live in the same folder, as
// they do in a user's runtime folder.
class RestarterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    bin_ = dir_.filePath("bin");
    ASSERT_TRUE(QDir().mkpath(bin_));
    restarter_ = bin_ + "/orvane-restarter";
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_RESTARTER_PATH), restarter_));
    QFile script(bin_ + "/orvane");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\n"
        "here=$(dirname \"$0\")\n"
        "for a in \"$@\"; do echo \"$a\"; done > \"$here/started.part\"\n"
        "mv \"$here/started.part\" \"$here/started.txt\"\n");
    script.close();
    ASSERT_TRUE(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    runtime_ = std::make_unique<testing::ScopedEnv>("XDG_RUNTIME_DIR", dir_.path().toUtf8().constData());
    // A running program's socket is found in the temporary folder.
    tmp_ = std::make_unique<testing::ScopedEnv>("TMPDIR", dir_.path().toUtf8().constData());
  }

  void StartRestarter(const QStringList& arguments) {
    restarter_process_.setProgram(restarter_);
    restarter_process_.setArguments(arguments);
    restarter_process_.start();
    ASSERT_TRUE(restarter_process_.waitForStarted(5000));
  }
  bool RestarterEnded(int limit_ms = 10000) {
    return WaitUntil([this] { return restarter_process_.state() == QProcess::NotRunning; }, limit_ms);
  }
  bool ProgramStarted() const { return QFile::exists(bin_ + "/started.txt"); }
  QByteArray ProgramArguments() const {
    QFile file(bin_ + "/started.txt");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
  }

  QTemporaryDir dir_;
  QString bin_;
  QString restarter_;
  std::unique_ptr<testing::ScopedEnv> runtime_;
  std::unique_ptr<testing::ScopedEnv> tmp_;
  QProcess restarter_process_;
};

TEST_F(RestarterTest, AsksTheRunningProgramToQuitAndStartsTheNewOneOnceItHasEnded) {
  auto running = std::make_unique<SingleInstance>(kProgramInstanceName);
  ASSERT_TRUE(running->Claim());
  bool quit = false;
  bool activated = false;
  QObject::connect(running.get(), &SingleInstance::quitRequested, [&] { quit = true; });
  QObject::connect(running.get(), &SingleInstance::activateRequested, [&] { activated = true; });

  const QString prefix = dir_.filePath("my prefix");
  StartRestarter({"--prefix", prefix});
  ASSERT_TRUE(WaitUntil([&] { return quit; }));
  EXPECT_FALSE(activated);
  // Asked is not ended: while the program still holds its lock (a program
  // finishing its work), nothing is started.
  WaitUntil([] { return false; }, 700);
  EXPECT_FALSE(ProgramStarted());
  EXPECT_EQ(restarter_process_.state(), QProcess::Running);

  running.reset();
  ASSERT_TRUE(RestarterEnded());
  EXPECT_EQ(restarter_process_.exitCode(), 0) << restarter_process_.readAllStandardError().toStdString();
  ASSERT_TRUE(WaitUntil([&] { return ProgramStarted(); }));
  EXPECT_EQ(ProgramArguments(), "--prefix\n" + prefix.toUtf8() + "\n");

  // The started program can become the running one: the restarter kept
  // no hold on the lock.
  SingleInstance next(kProgramInstanceName);
  EXPECT_TRUE(next.Claim());
}

TEST_F(RestarterTest, AProgramThatNeverEndsIsLeftAloneAndNothingIsStarted) {
  testing::ScopedEnv limit("ORVANE_RESTARTER_LIMIT_MS", "1500");
  SingleInstance running(kProgramInstanceName);
  ASSERT_TRUE(running.Claim());
  bool quit = false;
  QObject::connect(&running, &SingleInstance::quitRequested, [&] { quit = true; });

  StartRestarter({"--prefix", dir_.filePath("p")});
  ASSERT_TRUE(RestarterEnded());
  EXPECT_TRUE(quit);
  EXPECT_EQ(restarter_process_.exitCode(), 1);
  const QString said = QString::fromLocal8Bit(restarter_process_.readAllStandardError());
  EXPECT_TRUE(said.contains("has not ended after 2 s")) << said.toStdString();
  EXPECT_TRUE(said.contains("not started")) << said.toStdString();
  WaitUntil([] { return false; }, 300);
  EXPECT_FALSE(ProgramStarted());
}

TEST_F(RestarterTest, WithNoProgramRunningItStartsAtOnceAndSaysWhenItCannot) {
  StartRestarter({});
  ASSERT_TRUE(RestarterEnded(3000));
  EXPECT_EQ(restarter_process_.exitCode(), 0);
  ASSERT_TRUE(WaitUntil([&] { return ProgramStarted(); }));
  EXPECT_EQ(ProgramArguments(), "");

  // A relative prefix is meant from where the restarter was started, not
  // from the program's folder it starts in.
  QFile::remove(bin_ + "/started.txt");
  restarter_process_.setWorkingDirectory(dir_.path());
  StartRestarter({"--prefix=rel"});
  ASSERT_TRUE(RestarterEnded(3000));
  ASSERT_TRUE(WaitUntil([&] { return ProgramStarted(); }));
  EXPECT_EQ(ProgramArguments(), "--prefix\n" + dir_.filePath("rel").toUtf8() + "\n");

  QFile::remove(bin_ + "/orvane");
  StartRestarter({});
  ASSERT_TRUE(RestarterEnded(3000));
  EXPECT_EQ(restarter_process_.exitCode(), 1);
  EXPECT_TRUE(restarter_process_.readAllStandardError().contains("cannot start"));
}

TEST(RestarterLineTest, TakesThePrefixInBothFormsAndRefusesAnythingElse) {
  EXPECT_EQ(ParseRestarterLine({}).prefix, "");
  EXPECT_EQ(ParseRestarterLine({"--prefix", "/p q"}).prefix, "/p q");
  EXPECT_EQ(ParseRestarterLine({"--prefix=/p"}).prefix, "/p");
  EXPECT_TRUE(ParseRestarterLine({"--help"}).help);
  for (const QStringList& bad : {QStringList{"--prefix"}, QStringList{"--prefix="}, QStringList{"--prefix", ""},
                                 QStringList{"-scan"}, QStringList{"/p"}})
    EXPECT_FALSE(ParseRestarterLine(bad).error.isEmpty()) << bad.join(' ').toStdString();
}

}  // namespace
}  // namespace orvane::app

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
