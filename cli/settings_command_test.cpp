#include "cli/settings_command.h"
#include "cli/testing_run_cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_platform.h"

namespace orvane::cli {
namespace {

TEST(ScheduleWordsTest, TimesDaysAndKinds) {
  int hour = -1, minute = -1;
  ASSERT_TRUE(ParseScheduleTime("21:30", &hour, &minute));
  EXPECT_EQ(hour * 100 + minute, 2130);
  ASSERT_TRUE(ParseScheduleTime("7:05", &hour, &minute));
  EXPECT_EQ(hour * 100 + minute, 705);
  ASSERT_TRUE(ParseScheduleTime("00:00", &hour, &minute));
  for (const char* bad : {"24:00", "12:60", "1230", "12:5", "12:", ":30", "-1:00", "ab:cd", "123:00", "12:30:00"})
    EXPECT_FALSE(ParseScheduleTime(bad, &hour, &minute)) << bad;

  int mask = 0;
  ASSERT_TRUE(ParseScheduleDays("mon,fri", &mask));
  EXPECT_EQ(mask, 0x22);
  ASSERT_TRUE(ParseScheduleDays("Sunday,SAT,sat", &mask));
  EXPECT_EQ(mask, 0x41);
  for (const char* bad : {"", "mon,funday", "mon,,fri", "mo", "mon fri", "1"})
    EXPECT_FALSE(ParseScheduleDays(bad, &mask)) << bad;

  ScheduleRequest r;
  ASSERT_TRUE(ParseScheduleRequest({}, &r));
  EXPECT_TRUE(r.show);
  ASSERT_TRUE(ParseScheduleRequest({"weekly", "21:30", "mon,fri"}, &r));
  EXPECT_FALSE(r.show);
  EXPECT_EQ(r.kind, kScheduleWeekly);
  EXPECT_EQ(r.day_mask, 0x22);
  ASSERT_TRUE(ParseScheduleRequest({"Daily", "6:00"}, &r));
  EXPECT_EQ(r.kind, kScheduleDaily);
  EXPECT_EQ(r.day_mask, 0);
  ASSERT_TRUE(ParseScheduleRequest({"none"}, &r));
  EXPECT_EQ(r.kind, kScheduleNone);
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{{"weekly", "21:30"},
                                                                            {"daily"},
                                                                            {"daily", "24:00"},
                                                                            {"monthly", "1:00"},
                                                                            {"none", "now"},
                                                                            {"weekly", "21:30", "mon", "fri"},
                                                                            {"weekly", "21:30", "someday"}})
    EXPECT_FALSE(ParseScheduleRequest(bad, &r)) << bad[0];
}

class SettingsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.Key(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet\\FIREFOX.EXE");
    platform_ = prefix_.Open();
  }
  int Settings(std::vector<std::string> words, bool json = false) {
    out_.str("");
    err_.str("");
    SettingsStore store(*platform_);
    return RunSettings(store, words, Output{out_, err_, json, false});
  }
  int Schedule(std::vector<std::string> words, bool json = false) {
    out_.str("");
    err_.str("");
    ScheduleRequest request;
    EXPECT_TRUE(ParseScheduleRequest(words, &request));
    SettingsStore store(*platform_);
    return RunSchedule(store, request, Output{out_, err_, json, false});
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  std::ostringstream out_, err_;
};

TEST_F(SettingsCommandTest, ShowsWritesAndRefusesSettings) {
  ASSERT_EQ(Settings({"ie", "TRUE"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "IE = true\n");
  ASSERT_EQ(Settings({"IE"}), 0);
  EXPECT_EQ(out_.str(), "true\n");
  ASSERT_EQ(Settings({}), 0);
  EXPECT_NE(out_.str().find("StartWithWindows = \nStartScanAtProgramStartup = \n"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("\nIE = true\n"), std::string::npos);
  ASSERT_EQ(Settings({}, true), 0);
  nlohmann::json all = nlohmann::json::parse(out_.str());
  EXPECT_EQ(all["IE"], "true");
  EXPECT_EQ(all.size(), KnownSettings().size());

  EXPECT_EQ(Settings({"IE", "maybe"}), 2);
  EXPECT_NE(err_.str().find("\"true\" or \"false\""), std::string::npos) << err_.str();
  EXPECT_EQ(Settings({"Volume"}), 2);
  EXPECT_NE(err_.str().find("no setting \"Volume\""), std::string::npos) << err_.str();

  // A machine another Orvane process is changing refuses, and says who.
  wine::WineOptions options = prefix_.Options();
  options.lock_wait = std::chrono::milliseconds(50);
  wine::WinePlatform second(options);
  SettingsStore store(second);
  std::ostringstream out, err;
  EXPECT_EQ(RunSettings(store, {"IE", "false"}, Output{out, err, false, false}), 2);
  EXPECT_NE(err.str().find("pid " + std::to_string(getpid())), std::string::npos) << err.str();
}

TEST_F(SettingsCommandTest, SetsAndShowsTheScheduledScan) {
  ASSERT_EQ(Schedule({}), 0);
  EXPECT_EQ(out_.str(), "No scheduled scan.\n");
  ASSERT_EQ(Schedule({"weekly", "21:30", "fri,mon"}), 0) << err_.str();
  std::string shown = out_.str();
  EXPECT_EQ(shown.rfind("Scheduled scan: weekly at 21:30 on mon, fri.\n", 0), 0u) << shown;
  EXPECT_NE(shown.find("next login"), std::string::npos) << shown;  // no user manager in tests

  ASSERT_EQ(Schedule({}, true), 0);
  nlohmann::json stored = nlohmann::json::parse(out_.str());
  EXPECT_EQ(stored["task_exists"], true);
  EXPECT_EQ(stored["kind"], "weekly");
  EXPECT_EQ(stored["time"], "21:30");
  EXPECT_EQ(stored["day_mask"], 0x22);
  EXPECT_EQ(stored["days"], (std::vector<std::string>{"mon", "fri"}));

  ASSERT_EQ(Schedule({"none"}), 0);
  EXPECT_EQ(out_.str(), "Scheduled scan: none (the task is kept without a trigger).\n");
}


TEST(SettingsCliTest, TheProgramWritesAndReadsASettingAndRefusesABadSchedule) {
  testing::TempPrefix prefix;
  prefix.Write();
  std::string out;
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " settings AllowAutoUpdates true", &out), 0) << out;
  EXPECT_EQ(out, "AllowAutoUpdates = true\n");
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " settings --json", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["AllowAutoUpdates"], "true");
  EXPECT_EQ(RunCli("--prefix " + prefix.dir() + " schedule weekly 24:00 mon", &out), 2);
  EXPECT_NE(out.find("HH:MM"), std::string::npos) << out;
  EXPECT_EQ(RunCli("--prefix " + prefix.dir() + " schedule weekly 21:30 someday", &out), 2);
  EXPECT_NE(out.find("someday"), std::string::npos) << out;
}

}  // namespace
}  // namespace orvane::cli
