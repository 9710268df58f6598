#include "cli/startup_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/testing_run_cli.h"
#include "engine/startup_list.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::cli {
namespace {

class StartupCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.String(HKEY_CURRENT_USER, kRunKey, L"Tray", L"C:\\tray.exe")
        .String(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", L"C:\\agent.exe /quiet")
        .Dword(HKEY_LOCAL_MACHINE, kRunKey, L"Level", 5);
    prefix_.Write();
  }
  int Cli(const std::string& args, std::string* out) {
    return RunCli("--prefix " + prefix_.dir() + " " + args, out);
  }

  testing::TempPrefix prefix_;
};

TEST_F(StartupCommandTest, ListNumbersFromOneAtTheStartOfTheLine) {
  std::string out;
  ASSERT_EQ(Cli("startup list", &out), 0) << out;
  EXPECT_EQ(out,
            "1  Tray  C:\\tray.exe  "
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"
            "2  Agent  C:\\agent.exe /quiet  "
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"
            "3  Level  5  HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n");

  ASSERT_EQ(Cli("startup list --json", &out), 0) << out;
  nlohmann::json list = nlohmann::json::parse(out);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[2]["number"], 3);
  EXPECT_EQ(list[2]["program"], "Level");
  EXPECT_EQ(list[2]["file_name"], "5");
}

TEST_F(StartupCommandTest, RemoveTakesTheListedNumberAndBackupsRestoreBringsItBack) {
  std::string out;
  ASSERT_EQ(Cli("startup remove 2", &out), 0) << out;
  EXPECT_NE(out.find("Removed from Windows startup: Agent"), std::string::npos) << out;
  ASSERT_EQ(Cli("startup list", &out), 0);
  EXPECT_EQ(out.find("Agent"), std::string::npos) << out;
  EXPECT_EQ(out.rfind("2  Level", 0), std::string::npos) << out;
  EXPECT_NE(out.find("\n2  Level  5"), std::string::npos) << out;

  ASSERT_EQ(Cli("backups list", &out), 0);
  EXPECT_EQ(out.rfind("1  Registry Cleaner", 0), 0u) << out;
  ASSERT_EQ(Cli("backups restore 1", &out), 0) << out;
  ASSERT_EQ(Cli("startup list", &out), 0);
  EXPECT_NE(out.find("2  Agent  C:\\agent.exe /quiet"), std::string::npos) << out;
}

TEST_F(StartupCommandTest, ANumberNotListedRemovesNothing) {
  std::string out;
  EXPECT_EQ(Cli("startup remove 4", &out), 2);
  EXPECT_NE(out.find("There is no startup entry number 4"), std::string::npos) << out;
  EXPECT_EQ(Cli("startup remove", &out), 2);
  EXPECT_NE(out.find("needs the entry's number"), std::string::npos) << out;
  EXPECT_NE(Cli("startup delete 1", &out), 0);
  ASSERT_EQ(Cli("startup list", &out), 0);
  EXPECT_NE(out.find("3  Level"), std::string::npos) << out;
  ASSERT_EQ(Cli("backups list", &out), 0);
  EXPECT_EQ(out, "No backups.\n");
}

}  // namespace
}  // namespace orvane::cli
