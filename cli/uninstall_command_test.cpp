#include "cli/uninstall_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/testing_run_cli.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_platform.h"

namespace orvane::cli {
namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// An uninstaller that has done its work and ended with exit code 0, as the
// starting program reports it.
class Ends : public wine::HostProcess {
 public:
  Ends(std::function<void()> work, std::string answer_file)
      : work_(std::move(work)), answer_file_(std::move(answer_file)) {}
  bool Ended(int*) override {
    if (work_) std::exchange(work_, nullptr)();
    std::ofstream(answer_file_) << "exit\t0\n";
    return true;
  }

 private:
  std::function<void()> work_;
  std::string answer_file_;
};

std::string Env(const wine::HostCommand& command, const std::string& name) {
  for (const auto& [n, v] : command.environment)
    if (n == name) return v;
  return "";
}

class UninstallCommandTest : public ::testing::Test {
 protected:
  UninstallCommandTest() {
    prefix_.String(HKEY_LOCAL_MACHINE, kUninstall + L"Zeta", L"DisplayName", L"Zeta")
        .String(HKEY_LOCAL_MACHINE, kUninstall + L"Zeta", L"UninstallString", L"C:\\Zeta\\remove.exe")
        .String(HKEY_CURRENT_USER, kUninstall + L"{C0DE}", L"DisplayName", L"alpha")
        .String(HKEY_CURRENT_USER, kUninstall + L"{C0DE}", L"Publisher", L"Alpha Inc")
        .Dword(HKEY_CURRENT_USER, kUninstall + L"{C0DE}", L"EstimatedSize", 512)
        .File(L"C:\\Zeta\\remove.exe", "MZ")
        .File(L"C:\\windows\\system32\\msiexec.exe", "MZ");
    prefix_.Write();
    wine::WineOptions options = prefix_.Options();
    options.wine_program = "wine64";
    options.start_helper = "orvane-start.exe";
    options.spawn = [this](const wine::HostCommand& command,
                           std::string*) -> std::unique_ptr<wine::HostProcess> {
      command_ = command;
      return std::make_unique<Ends>(uninstaller_, Env(command, wine::kAnswerVariable));
    };
    platform_ = std::make_unique<wine::WinePlatform>(options);
    engine_ = std::make_unique<CSarvelEngine>(*platform_, EngineOptions{});
  }
  int Run(const std::string& action, int number, bool json = false) {
    out_.str("");
    err_.str("");
    return RunUninstall(*engine_, action, number, Output{out_, err_, json, false});
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  std::unique_ptr<CSarvelEngine> engine_;
  std::ostringstream out_, err_;
  wine::HostCommand command_;
  std::function<void()> uninstaller_;
};

TEST_F(UninstallCommandTest, ListNumbersRowsFromOneInTheWindowsOrder) {
  EXPECT_EQ(Run("list", 0), 0);
  EXPECT_EQ(out_.str(), "1  alpha  Alpha Inc  0.50 MB\n2  Zeta\n");

  EXPECT_EQ(Run("list", 0, true), 0);
  nlohmann::json list = nlohmann::json::parse(out_.str());
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["number"], 1);
  EXPECT_EQ(list[0]["key"], "{C0DE}");
  EXPECT_EQ(list[0]["command_line"], "MsiExec.exe /x{C0DE} /qf");
  EXPECT_EQ(list[1]["uninstall_string"], "C:\\Zeta\\remove.exe");
  EXPECT_EQ(list[1]["location"],
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeta");
}

TEST_F(UninstallCommandTest, RunSaysWhetherTheProgramIsGone) {
  EXPECT_EQ(Run("run", 3), 2);
  EXPECT_NE(err_.str().find("no program number 3"), std::string::npos);

  // An uninstaller that leaves its program behind.
  EXPECT_EQ(Run("run", 1), 1);
  EXPECT_NE(out_.str().find("alpha is still installed"), std::string::npos) << out_.str();

  uninstaller_ = [this] {
    wine::WinePlatform other(prefix_.Options());
    HKEY key;
    ASSERT_EQ(other.OpenKey(HKEY_LOCAL_MACHINE, kUninstall, KEY_WRITE, &key), ERROR_SUCCESS);
    ASSERT_EQ(other.DeleteKey(key, L"Zeta"), ERROR_SUCCESS);
    other.CloseKey(key);
    ASSERT_TRUE(other.Flush());
  };
  EXPECT_EQ(Run("run", 2), 0);
  EXPECT_NE(out_.str().find("(exit code 0); Zeta has been removed"), std::string::npos) << out_.str();
  EXPECT_EQ(Env(command_, wine::kCommandLineVariable), "C:\\Zeta\\remove.exe");
  EXPECT_EQ(Run("list", 0), 0);
  EXPECT_EQ(out_.str(), "1  alpha  Alpha Inc  0.50 MB\n");
}

// The program itself, with a stand-in loader named the way a user would.
TEST_F(UninstallCommandTest, ProgramRunsTheLoaderItFinds) {
  const std::string dir = prefix_.HostDir();
  const std::string loader = dir + "/wine";
  std::ofstream(loader) << "#!/bin/sh\nprintf '%s|' \"$@\" \"$ORVANE_COMMAND_LINE\" > '" << dir << "/got'\n"
                        << "printf 'exit\\t2\\n' > \"$ORVANE_ANSWER_FILE\"\n";
  std::filesystem::permissions(loader, std::filesystem::perms::owner_all);
  std::ofstream(dir + "/orvane-start.exe") << "MZ";
  std::string output;
  EXPECT_EQ(RunCli("--prefix " + prefix_.dir() + " uninstall run", &output), 2);
  const std::string env = "ORVANE_WINE=" + loader + " ORVANE_START_HELPER=" + dir + "/orvane-start.exe ";
  EXPECT_EQ(RunCli("--prefix " + prefix_.dir() + " uninstall run 2", &output, env), 1) << output;
  EXPECT_NE(output.find("(exit code 2), but Zeta is still installed"), std::string::npos) << output;
  EXPECT_EQ(testing::ReadHostFile(dir + "/got"), dir + "/orvane-start.exe|C:\\Zeta\\remove.exe|");
}

// A line whose program lies outside the machine is refused, and says why.
TEST_F(UninstallCommandTest, AProgramOutsideTheMachineIsRefused) {
  std::ofstream(prefix_.OutsideDir() + "/remove.exe") << "MZ";
  ASSERT_TRUE(WriteRegistryString(*platform_, HKEY_LOCAL_MACHINE, kUninstall + L"Zeta", L"UninstallString",
                                  L"\"" + prefix_.ZPath(prefix_.OutsideDir() + "/remove.exe") + L"\" /S"));
  EXPECT_EQ(Run("run", 2), 2);
  EXPECT_NE(err_.str().find("could not be started: The program Z:"), std::string::npos) << err_.str();
  EXPECT_NE(err_.str().find("lies outside the machine"), std::string::npos) << err_.str();
  EXPECT_TRUE(command_.argv.empty());
}

}  // namespace
}  // namespace orvane::cli
