// orvane-cli support as a user runs it, against the real SOAP service.
#include "cli/support_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/testing_run_cli.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "support/testing/support_service_peer.h"

namespace orvane::cli {
namespace {

class SupportCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"X",
                   L"C:\\x.exe");
    prefix_.Write();
  }
  int Cli(const std::string& args, std::string* out) {
    return RunCli("--prefix " + prefix_.dir() + " " + args, out);
  }

  testing::TempPrefix prefix_;
};

TEST_F(SupportCommandTest, ReportPrintsTheDisplayTextAndSendChecksTheFieldsFirst) {
  std::string out;
  ASSERT_EQ(Cli("support report", &out), 0) << out;
  EXPECT_EQ(out,
            "\nRunning Processes\n\nHKEY_LOCAL_MACHINE\nValueName= [X], "
            "C:\\x.exe\n\nHKEY_CURRENT_USER\n\nBHO Items\n");
  ASSERT_EQ(Cli("support report --json", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["upload"],
            "\r\n<b>Running Processes</b>\r\n\r\n<b>Startup registry items (LOCAL MACHINE)</b>\r\n"
            "<b>[X]</b>, C:\\x.exe\r\n\r\n<b>Startup registry items (CURRENT USER)</b>\r\n\r\n<b>BHO "
            "Items</b>\r\n");

  EXPECT_EQ(
      Cli("support send --email ann@host --name Ann --description slow --server http://127.0.0.1:9", &out),
      2);
  EXPECT_EQ(out, "orvane-cli: Your email address is not correct; please verify and try again.\n");
  EXPECT_EQ(Cli("support send --email ann@host.org --description slow", &out), 2);
  EXPECT_EQ(out, "orvane-cli: Please enter your Name to proceed.\n");
}

TEST_F(SupportCommandTest, SendThenStatusThroughTheService) {
  testing::SupportServicePeer service;
  ASSERT_TRUE(service.ready());
  std::string out;
  ASSERT_EQ(
      Cli("support send --email ann@example.org --name Ann --description 'It crashes' --json --server " +
              service.url(),
          &out),
      0)
      << out;
  nlohmann::json sent = nlohmann::json::parse(out);
  EXPECT_EQ(sent["accepted"], true);
  EXPECT_EQ(sent["log_id"], 42);
  EXPECT_EQ(sent["messages"], nlohmann::json::array({"Your report was sent successfully."}));
  wine::WinePlatform machine(prefix_.Options());
  EXPECT_EQ(ReadRegistryDword(machine, L"Software\\Orvane", L"LogID"), 42u);

  ASSERT_EQ(Cli("support status --server " + service.url(), &out), 0) << out;
  EXPECT_EQ(out,
            "A solution is ready.\nInstructions:\nClose every browser first.\nThen press the button.\n"
            "Solution commands:\n2%C:\\a.txt;;1%x.exe;\n");
  ASSERT_EQ(service.requests().size(), 2u);
  EXPECT_NE(service.requests()[0].body.find("<ProductVersion>EN "), std::string::npos);

  EXPECT_EQ(Cli("support status --json --server http://127.0.0.1:1", &out), 2);
  nlohmann::json failed = nlohmann::json::parse(out);
  EXPECT_EQ(failed["ready"], false);
  EXPECT_EQ(failed["messages"],
            nlohmann::json::array({"Please connect to Internet so you can send your log data."}));
}

// A service that answers with terminal escapes: the program prints its texts
// without them, and its JSON keeps them exact.
TEST_F(SupportCommandTest, TheServicesTextsReachTheTerminalWithoutEscapes) {
  testing::SupportServicePeer service;
  ASSERT_TRUE(service.ready());
  std::string out;
  EXPECT_EQ(Cli("support send --email escape@example.org --name Ann --description slow --server " + service.url(),
                &out),
            2);
  EXPECT_NE(out.find("reported a fault: Store full"), std::string::npos) << out;
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;

  {
    wine::WinePlatform machine(prefix_.Options());
    ASSERT_TRUE(WriteRegistryString(machine, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"Email", L"escape@example.org"));
    ASSERT_TRUE(WriteRegistryDword(machine, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"LogID", 42));
    ASSERT_TRUE(machine.Flush());
  }
  ASSERT_EQ(Cli("support status --server " + service.url(), &out), 0) << out;
  EXPECT_EQ(out, "A solution is ready.\nInstructions:\nStep one\nStep two\nSolution commands:\n1%x.exe;\n");
  ASSERT_EQ(Cli("support status --json --server " + service.url(), &out), 0) << out;
  nlohmann::json status = nlohmann::json::parse(out);
  EXPECT_EQ(status["solution_commands"], "1%x.exe;\x1b[2J\x1b]0;owned\x07\x1b]52;c;ZXZpbA==\x07\xc2\x9b" "31m");
}

}  // namespace
}  // namespace orvane::cli
