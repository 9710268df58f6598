#include "cli/solution_command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/testing_run_cli.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"

namespace orvane::cli {
namespace {

std::string WriteScript(testing::TempPrefix& prefix, const std::string& text) {
  const std::string path = prefix.OutsideDir() + "/script.txt";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(SolutionCommandTest, PlanShowsActionsAndRefusalsAndChangesNothing) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\a.txt", "a");
  const std::string host = prefix.OutsideDir() + "/host.txt";
  std::ofstream(host) << "host";
  auto wine = prefix.Open();
  testing::RecordingPlatform recording(*wine);
  testing::MemoryStateFolder state;
  std::ostringstream out, err;
  SolutionRequest request;
  request.script_file = WriteScript(prefix, "2%C:\\a.txt;2%" + WideToUtf8(prefix.ZPath(host)) + ";\r\n");
  request.plan = request.json = true;
  int asked = 0;
  auto service = [&](std::wstring* script, std::wstring* why) {
    ++asked;
    *script = L"2%C:\\a.txt;";
    *why = L"";
    return true;
  };
  ASSERT_EQ(RunSolutionApply(recording, state, request, {out, err, true, false}, service), 0) << err.str();
  nlohmann::json plan = nlohmann::json::parse(out.str());
  EXPECT_EQ(plan["actions"], nlohmann::json::array({"2;C:\\a.txt"}));
  ASSERT_EQ(plan["refused"].size(), 1u);
  EXPECT_NE(plan["refused"][0].get<std::string>().find("was refused: it lies outside this computer."),
            std::string::npos);
  EXPECT_FALSE(plan.contains("report"));
  EXPECT_TRUE(recording.changes().empty());

  request.script_file = prefix.OutsideDir() + "/missing.txt";
  EXPECT_EQ(RunSolutionApply(recording, state, request, {out, err, true, false}, service), 2);
  EXPECT_EQ(asked, 0);

  // Without a file the service is asked; when it has nothing, nothing runs.
  request.script_file.clear();
  std::ostringstream planned;
  ASSERT_EQ(RunSolutionApply(recording, state, request, {planned, err, true, false}, service), 0);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(nlohmann::json::parse(planned.str())["actions"], nlohmann::json::array({"2;C:\\a.txt"}));
  std::ostringstream none, why;
  auto not_ready = [](std::wstring*, std::wstring* reason) {
    *reason = L"No solution is ready yet.";
    return false;
  };
  EXPECT_EQ(RunSolutionApply(recording, state, request, {none, why, true, false}, not_ready), 2);
  EXPECT_NE(why.str().find("No solution is ready yet."), std::string::npos);
  EXPECT_TRUE(recording.changes().empty());
}

TEST(SolutionCommandTest, TheProgramAppliesAScriptThatBackupsRestoreUndoes) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\bad\\a.txt", "a");
  prefix.Write();
  const std::string script = WriteScript(prefix, "3%C:\\bad\n");
  std::string output;
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " support apply --script " + script, &output), 0) << output;
  EXPECT_NE(output.find("Folder deleted: C:\\bad\\a.txt\nFolder deleted: C:\\bad\n"), std::string::npos) << output;
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\bad\\a.txt")), "");
  ASSERT_EQ(RunCli("--prefix " + prefix.dir() + " backups restore 1", &output), 0) << output;
  EXPECT_EQ(testing::ReadHostFile(prefix.HostPath(L"C:\\bad\\a.txt")), "a");
}

}  // namespace
}  // namespace orvane::cli
