#include "cli/settings_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/testing_run_cli.h"
#include "platform/testing/http_server.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
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

TEST_F(SettingsCommandTest, ShowsWritesAndRefusesSettingsSayingWhoseTheyAre) {
  ASSERT_EQ(Settings({"ie", "TRUE"}), 0) << err_.str();
  EXPECT_EQ(out_.str(), "IE = true (this machine's setting, in its registry)\n");
  ASSERT_EQ(Settings({"IE"}), 0);
  EXPECT_EQ(out_.str(), "true\n");
  ASSERT_EQ(Settings({"AllowAutoUpdates", "true"}), 0) << err_.str();
  const std::string file = prefix_.HostDir() + "/config/orvane/orvane.conf";
  EXPECT_EQ(out_.str(), "AllowAutoUpdates = true (the user's setting, for every machine, in " + file + ")\n");
  EXPECT_NE(testing::ReadHostFile(file).find("\nAllowAutoUpdates=true\n"), std::string::npos);

  ASSERT_EQ(Settings({}), 0);
  const std::string all_text = out_.str();
  EXPECT_EQ(all_text.rfind("The user's settings (for every machine, in " + file + "):\nStartWithWindows = \n", 0), 0u)
      << all_text;
  size_t machine = all_text.find("\nThis machine's settings");
  ASSERT_NE(machine, std::string::npos) << all_text;
  EXPECT_GT(all_text.find("\nIE = true\n"), machine);
  EXPECT_LT(all_text.find("\nAllowAutoUpdates = true\n"), machine);
  EXPECT_LT(all_text.find("\nUpdateServer = \n"), machine);
  ASSERT_EQ(Settings({}, true), 0);
  nlohmann::json all = nlohmann::json::parse(out_.str());
  EXPECT_EQ(all["user_settings_file"], file);
  EXPECT_EQ(all["settings"]["IE"]["value"], "true");
  EXPECT_EQ(all["settings"]["IE"]["kind"], "machine");
  EXPECT_EQ(all["settings"]["SupportService"]["kind"], "user");
  EXPECT_EQ(all["settings"].size(), KnownSettings().size());
  ASSERT_EQ(Settings({"UpdateKey"}, true), 0);
  EXPECT_EQ(nlohmann::json::parse(out_.str())["kind"], "user");

  EXPECT_EQ(Settings({"IE", "maybe"}), 2);
  EXPECT_NE(err_.str().find("\"true\" or \"false\""), std::string::npos) << err_.str();
  EXPECT_EQ(Settings({"Volume"}), 2);
  EXPECT_NE(err_.str().find("no setting \"Volume\""), std::string::npos) << err_.str();
  EXPECT_EQ(Settings({"UpdateServer", "two\nlines"}), 2);

  // A machine another Orvane process is changing refuses its own values, and
  // says who; the user's are not held up by it.
  wine::WineOptions options = prefix_.Options();
  options.lock_wait = std::chrono::milliseconds(50);
  wine::WinePlatform second(options);
  SettingsStore store(second);
  std::ostringstream out, err;
  EXPECT_EQ(RunSettings(store, {"IE", "false"}, Output{out, err, false, false}), 2);
  EXPECT_NE(err.str().find("pid " + std::to_string(getpid())), std::string::npos) << err.str();
  EXPECT_EQ(RunSettings(store, {"SupportService", "http://127.0.0.1:9"}, Output{out, err, false, false}), 0);
}

TEST_F(SettingsCommandTest, SetsAndShowsTheScheduledScanOfEachMachine) {
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

  // A second machine of the same user has its own, and --all shows both.
  testing::TempPrefix other;
  wine::WineOptions options = other.Options();
  options.config_dir = prefix_.HostDir() + "/config";
  other.Write();
  wine::WinePlatform b(options);
  SettingsStore b_store(b);
  ScheduleRequest request;
  ASSERT_TRUE(ParseScheduleRequest({"daily", "6:00"}, &request));
  std::ostringstream out, err;
  ASSERT_EQ(RunSchedule(b_store, request, Output{out, err, false, false}), 0) << err.str();
  ASSERT_TRUE(ParseScheduleRequest({}, &request, /*all=*/true));
  out.str("");
  ASSERT_EQ(RunSchedule(b_store, request, Output{out, err, false, false}), 0);
  const std::string a_dir = std::filesystem::canonical(prefix_.dir()).string();
  const std::string b_dir = std::filesystem::canonical(other.dir()).string();
  EXPECT_NE(out.str().find(a_dir + ": weekly at 21:30 on mon, fri\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find(b_dir + ": daily at 06:00 (this machine)\n"), std::string::npos) << out.str();
  out.str("");
  ASSERT_EQ(RunSchedule(b_store, request, Output{out, err, true, false}), 0);
  nlohmann::json listed = nlohmann::json::parse(out.str());
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_FALSE(ParseScheduleRequest({"none"}, &request, /*all=*/true));

  ASSERT_EQ(Schedule({"none"}), 0);
  EXPECT_EQ(out_.str(), "No scheduled scan.\n");
  EXPECT_EQ(b_store.LoadScanSchedule().kind, kScheduleDaily);  // B's is its own
}

// The program itself, with a user of its own (HOME and XDG_CONFIG_HOME).
class SettingsCliTest : public ::testing::Test {
 protected:
  int Cli(const std::string& args, std::string* out) {
    return RunCli("--prefix '" + prefix_.dir() + "' " + args, out,
                  "HOME='" + prefix_.HostDir() + "/home' XDG_CONFIG_HOME='" + prefix_.HostDir() + "/xdg' ");
  }
  testing::TempPrefix prefix_;
};

TEST_F(SettingsCliTest, TheProgramWritesAndReadsASettingAndRefusesABadSchedule) {
  prefix_.Write();
  std::string out;
  ASSERT_EQ(Cli("settings AllowAutoUpdates true", &out), 0) << out;
  EXPECT_NE(out.find("AllowAutoUpdates = true (the user's setting"), std::string::npos) << out;
  EXPECT_NE(testing::ReadHostFile(prefix_.HostDir() + "/xdg/orvane/orvane.conf").find("AllowAutoUpdates=true"),
            std::string::npos);
  ASSERT_EQ(Cli("settings --json", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["settings"]["AllowAutoUpdates"]["value"], "true");
  EXPECT_EQ(Cli("schedule weekly 24:00 mon", &out), 2);
  EXPECT_NE(out.find("HH:MM"), std::string::npos) << out;
  EXPECT_EQ(Cli("schedule weekly 21:30 someday", &out), 2);
  EXPECT_NE(out.find("someday"), std::string::npos) << out;
  EXPECT_EQ(Cli("schedule --all daily 06:00", &out), 2);
}

TEST_F(SettingsCliTest, AnUpdateServerPlantedInThePrefixIsNeverUsed) {
  const std::string www = prefix_.HostDir() + "/www";
  std::filesystem::create_directories(www);
  std::ofstream(www + "/Orvane_version.txt") << "99.0.0.0";
  testing::LocalHttpServer server(www);
  ASSERT_TRUE(server.ready());
  const std::wstring planted = Utf8ToWide(server.url());
  prefix_.String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"UpdateServer", planted)
      .String(HKEY_LOCAL_MACHINE, SettingsStore::kKey, L"SupportService", planted);
  prefix_.Write();
  std::string out;
  ASSERT_EQ(Cli("settings UpdateServer", &out), 0) << out;
  EXPECT_EQ(out, "\n");
  // The check goes to the build's server, never to the planted one.
  Cli("update check --json", &out);
  EXPECT_EQ(out.find(server.url()), std::string::npos) << out;
  ASSERT_EQ(Cli("settings --json", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["settings"]["SupportService"]["value"], "");

  // The same address as the user's own setting is asked.
  ASSERT_EQ(Cli("settings UpdateServer " + server.url(), &out), 0) << out;
  Cli("update check --json", &out);
  EXPECT_NE(out.find(server.url()), std::string::npos) << out;
}

}  // namespace
}  // namespace orvane::cli
