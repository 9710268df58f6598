#include "engine/uninstall_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/testing/fake_wineserver.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane {
namespace {

const std::wstring kHklm = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kProducts =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";

const UninstallRow* Find(const std::vector<UninstallRow>& rows, const std::wstring& program) {
  for (const UninstallRow& r : rows)
    if (r.program == program) return &r;
  return nullptr;
}

std::vector<std::wstring> Programs(const std::vector<UninstallRow>& rows) {
  std::vector<std::wstring> out;
  for (const UninstallRow& r : rows) out.push_back(r.program);
  return out;
}

TEST(UninstallList, RowsKeepProgramsAndLeaveOutComponentsUpdatesAndProductCodes) {
  testing::TempPrefix prefix;
  prefix.String(HKEY_LOCAL_MACHINE, kHklm + L"Alpha", L"DisplayName", L"alpha tool")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Alpha", L"Publisher", L"Maker Ltd")
      .Dword(HKEY_LOCAL_MACHINE, kHklm + L"Alpha", L"EstimatedSize", 2048)
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Alpha", L"UninstallString", L"C:\\Alpha\\unins000.exe")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Alpha\\Nested", L"DisplayName", L"not a program")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Runtime", L"DisplayName", L"Runtime")
      .Dword(HKEY_LOCAL_MACHINE, kHklm + L"Runtime", L"SystemComponent", 1)
      .Dword(HKEY_LOCAL_MACHINE, kHklm + L"Shown", L"SystemComponent", 0)
      .Dword(HKEY_LOCAL_MACHINE, kHklm + L"{11111111-2222-3333-4444-555555555555}", L"WindowsInstaller", 1)
      .String(HKEY_LOCAL_MACHINE, kHklm + L"{AAAA}", L"DisplayName", L"Packaged")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"{AAAA}.KB100", L"DisplayName", L"Update KB100")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"{AAAA}_Patch", L"DisplayName", L"Patch")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Braced", L"DisplayName", L"{named like a code}")
      // Only upper-case names, as some installers write them.
      .String(HKEY_CURRENT_USER, kHklm + L"beta", L"DISPLAYNAME", L"Beta for me")
      .String(HKEY_CURRENT_USER, kHklm + L"beta", L"UNINSTALLSTRING", L"\"C:\\Beta\\remove.exe\" /S")
      .String(HKEY_CURRENT_USER, kHklm + L"beta", L"ESTIMATEDSIZE", L"1536")
      .String(HKEY_LOCAL_MACHINE, kProducts + L"Zed", L"DisplayName", L"Zed");
  auto platform = prefix.Open();

  std::vector<UninstallRow> rows = BuildUninstallRows(ListUninstallValues(*platform));
  // Case-insensitive order, whatever base a key came from.
  EXPECT_EQ(Programs(rows),
            (std::vector<std::wstring>{L"alpha tool", L"Beta for me", L"Packaged", L"Shown", L"Zed"}));

  const UninstallRow* alpha = Find(rows, L"alpha tool");
  ASSERT_TRUE(alpha);
  EXPECT_EQ(*alpha, (UninstallRow{L"alpha tool", L"Maker Ltd", L"2.00 MB", L"Alpha",
                                  L"C:\\Alpha\\unins000.exe", L"HKEY_LOCAL_MACHINE\\" + kHklm + L"Alpha"}));
  const UninstallRow* beta = Find(rows, L"Beta for me");
  ASSERT_TRUE(beta);
  EXPECT_EQ(beta->uninstall, L"\"C:\\Beta\\remove.exe\" /S");
  EXPECT_EQ(beta->size, L"1.50 MB");
  EXPECT_EQ(beta->location, L"HKEY_CURRENT_USER\\" + kHklm + L"beta");
  // No display name: the key's name stands in, and there is no size.
  const UninstallRow* shown = Find(rows, L"Shown");
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->size, L"");
}

TEST(UninstallList, ListingTakesTheBasesInOrderAndOnlyValuesOfProgramKeys) {
  testing::TempPrefix prefix;
  const std::wstring long_name(600, L'x');
  const std::wstring long_line = L"\"C:\\Program Files\\Long\\uninstall.exe\" /log=" + std::wstring(1500, L'l');
  const std::wstring long_key = L"LongLine";
  prefix.String(HKEY_CURRENT_USER, kHklm + L"User", L"DisplayName", L"user")
      .Dword(HKEY_LOCAL_MACHINE, kHklm + L"Machine", L"EstimatedSize", 4294967295u)
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Machine\\Sub", L"DisplayName", L"deeper")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Machine", L"DisplayName", long_name)
      .String(HKEY_LOCAL_MACHINE, kHklm + long_key, L"UninstallString", long_line)
      .String(HKEY_LOCAL_MACHINE, kProducts + L"Product", L"DisplayName", L"product");
  auto platform = prefix.Open();

  CRegistryItemListEx values = ListUninstallValues(*platform);
  ASSERT_EQ(values.GetCount(), 5);
  EXPECT_EQ(values[0].subKey, kProducts + L"Product");
  EXPECT_EQ(values[1].subKey, kHklm + long_key);
  EXPECT_EQ(values[2].subKey, kHklm + L"Machine");
  EXPECT_EQ(values[2].rootName, L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(values[2].valueData, long_name);
  // A DWORD as unsigned decimal.
  EXPECT_EQ(values[3].valueName, L"EstimatedSize");
  EXPECT_EQ(values[3].valueData, L"4294967295");
  EXPECT_EQ(values[4].rootKey, HKEY_CURRENT_USER);
  EXPECT_EQ(values[4].valueData, L"user");

  std::vector<UninstallRow> rows = BuildUninstallRows(values);
  EXPECT_TRUE(Find(rows, long_name));
  // A long uninstall string is the command, not the installer's for the key.
  const UninstallRow* long_row = Find(rows, long_key);
  ASSERT_TRUE(long_row);
  EXPECT_EQ(UninstallCommandLine(*long_row), long_line);
}

TEST(UninstallList, ThirtyTwoBitProgramsAreListedOnceEachBesideTheirNamesakes) {
  testing::TempPrefix prefix;
  const std::wstring wow = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  prefix.String(HKEY_LOCAL_MACHINE, kHklm + L"Tool", L"DisplayName", L"Tool 64")
      .String(HKEY_LOCAL_MACHINE, wow + L"Tool", L"DisplayName", L"Tool 32")
      .String(HKEY_LOCAL_MACHINE, wow + L"Old", L"DisplayName", L"Old 32");
  auto platform = prefix.Open();
  std::vector<UninstallRow> rows = BuildUninstallRows(ListUninstallValues(*platform));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].program, L"Old 32");
  EXPECT_EQ(rows[0].location, L"HKEY_LOCAL_MACHINE\\" + kHklm + L"Old (32-bit)");
  EXPECT_EQ(rows[1].program, L"Tool 32");
  EXPECT_EQ(rows[2].program, L"Tool 64");
  EXPECT_EQ(rows[2].location, L"HKEY_LOCAL_MACHINE\\" + kHklm + L"Tool");
  EXPECT_TRUE(StillListed(rows, rows[1]));
  EXPECT_FALSE(StillListed({rows[2]}, rows[1]));
}

TEST(UninstallList, SizeIsReckonedInSinglePrecision) {
  EXPECT_EQ(UninstallSizeText(L"2048"), L"2.00 MB");
  EXPECT_EQ(UninstallSizeText(L"0"), L"0.00 MB");
  EXPECT_EQ(UninstallSizeText(L"not a number"), L"0.00 MB");
  // In double precision this would show 97656.25.
  EXPECT_EQ(UninstallSizeText(L"100000005"), L"97656.26 MB");
}

TEST(UninstallList, CommandLineFallsBackToTheInstallerForAProductCode) {
  UninstallRow row;
  row.key_name = L"{11111111-2222-3333-4444-555555555555}";
  EXPECT_EQ(UninstallCommandLine(row), L"MsiExec.exe /x{11111111-2222-3333-4444-555555555555} /qf");
  row.uninstall = L"C:\\x\\unins.exe";
  EXPECT_EQ(UninstallCommandLine(row), L"C:\\x\\unins.exe");
  EXPECT_EQ(UninstallCommandLine(UninstallRow{}), L"");
}

// A host program that ends when told; ending can run what "the uninstaller"
// did to the machine, and write what the starting program would answer.
class FakeChild : public wine::HostProcess {
 public:
  bool Ended(int* status) override {
    if (!ended) return false;
    if (on_end) std::exchange(on_end, nullptr)();
    if (!answer.empty()) std::ofstream(answer_file, std::ios::binary) << std::exchange(answer, "");
    if (status) *status = 0;
    return true;
  }
  bool ended = true;
  std::function<void()> on_end;
  std::string answer_file;
  std::string answer;
};

class UninstallRun : public ::testing::Test {
 protected:
  UninstallRun() {
    prefix_.File(L"C:\\Program Files\\Tool\\uninst.exe", "MZ\x90")
        .File(L"C:\\windows\\system32\\msiexec.exe", "MZ\x90");
  }
  std::unique_ptr<wine::WinePlatform> Open() {
    prefix_.Write();
    wine::WineOptions options = prefix_.Options();
    options.wine_program = "/opt/wine/bin/wine64";
    options.start_helper = "/opt/orvane/orvane-start.exe";
    options.spawn = [this](const wine::HostCommand& command,
                           std::string* error) -> std::unique_ptr<wine::HostProcess> {
      handed_.push_back(command);
      if (refuse_) {
        *error = "wine64: No such file or directory";
        return nullptr;
      }
      auto child = std::make_unique<FakeChild>();
      child_ = child.get();
      child->ended = end_at_once_;
      child->on_end = on_end_;
      child->answer_file = Env(command, wine::kAnswerVariable);
      child->answer = answer_;
      return child;
    };
    return std::make_unique<wine::WinePlatform>(options);
  }
  static std::string Env(const wine::HostCommand& command, const std::string& name) {
    for (const auto& [n, v] : command.environment)
      if (n == name) return v;
    return "<unset>";
  }
  UninstallRow Row(const std::wstring& line) {
    UninstallRow row;
    row.key_name = L"Tool";
    row.uninstall = line;
    return row;
  }

  testing::TempPrefix prefix_;
  std::vector<wine::HostCommand> handed_;
  bool refuse_ = false;
  bool end_at_once_ = true;
  std::string answer_ = "exit\t0\n";
  std::function<void()> on_end_;
  FakeChild* child_ = nullptr;
};

TEST_F(UninstallRun, TheLineGoesWholeToCreateProcessAndNeverToAShell) {
  auto platform = Open();
  const std::wstring line = L"C:\\Program Files\\Tool\\uninst.exe ; rm -rf ~ && \"C:\\x y\\z.exe\" | echo $HOME";
  UninstallStart start = StartUninstall(*platform, Row(line));
  ASSERT_EQ(start.result, UninstallStart::Result::kStarted) << WideToUtf8(start.why);
  ASSERT_EQ(handed_.size(), 1u);
  const wine::HostCommand& c = handed_[0];
  EXPECT_EQ(c.argv, (std::vector<std::string>{"/opt/wine/bin/wine64", "/opt/orvane/orvane-start.exe"}));
  // The program's cut in quotes, as Wine's CreateProcess would hand it on.
  EXPECT_EQ(Env(c, wine::kCommandLineVariable), "\"C:\\Program Files\\Tool\\uninst.exe\"" + WideToUtf8(line.substr(32)));
  // The program as it was judged, so nothing else can start in its place.
  EXPECT_EQ(Env(c, wine::kApplicationVariable), "C:\\Program Files\\Tool\\uninst.exe");
  EXPECT_EQ(Env(c, "WINEPREFIX"), prefix_.dir());
  EXPECT_EQ(c.working_dir, prefix_.dir() + "/drive_c");
  ASSERT_TRUE(start.process->Wait(std::chrono::milliseconds(2000)));
  EXPECT_TRUE(start.process->Exit().started);
}

TEST_F(UninstallRun, TheExitCodeArrivesAndAFailedStartIsSaid) {
  answer_ = "exit\t3010\n";
  auto platform = Open();
  UninstallStart start = StartUninstall(*platform, Row(L"\"C:\\Program Files\\Tool\\uninst.exe\" /S"));
  ASSERT_TRUE(start.process);
  ASSERT_TRUE(start.process->Wait(std::chrono::milliseconds(2000)));
  ProcessExit exit = start.process->Exit();
  EXPECT_TRUE(exit.started);
  EXPECT_EQ(exit.code, std::optional<DWORD>(3010));

  answer_ = "failed\t193\n";
  start = StartUninstall(*platform, Row(L"\"C:\\Program Files\\Tool\\uninst.exe\" /S"));
  ASSERT_TRUE(start.process->Wait(std::chrono::milliseconds(2000)));
  exit = start.process->Exit();
  EXPECT_FALSE(exit.started);
  EXPECT_NE(exit.why.find(L"not a valid Windows program"), std::wstring::npos) << WideToUtf8(exit.why);

  // No answer: the starting program never ran.
  answer_ = "";
  start = StartUninstall(*platform, Row(L"\"C:\\Program Files\\Tool\\uninst.exe\" /S"));
  ASSERT_TRUE(start.process->Wait(std::chrono::milliseconds(2000)));
  EXPECT_FALSE(start.process->Exit().started);
  EXPECT_FALSE(start.process->Exit().code);
}

TEST_F(UninstallRun, ProgramsOutsideTheMachineOrNotWindowsOnesAreNeverStarted) {
  const std::string outside = prefix_.OutsideDir();
  std::ofstream(outside + "/tool.exe") << "MZ\x90";
  prefix_.Link(L"C:\\Linked", outside)
      .Link(L"C:\\Program Files\\Tool\\other.exe", outside + "/tool.exe")
      .File(L"C:\\Program Files\\Tool\\script.exe", "#!/bin/sh\ntouch /tmp/x\n");
  auto platform = Open();
  const std::wstring through_z = prefix_.ZPath(outside + "/tool.exe");
  struct {
    std::wstring line;
    const wchar_t* said;
  } cases[] = {
      {L"\"" + through_z + L"\" /S", L"outside the machine"},
      {through_z, L"outside the machine"},
      {L"C:\\Linked\\tool.exe /S", L"outside the machine"},
      {L"\"C:\\Program Files\\Tool\\other.exe\"", L"outside the machine"},
      {L"C:\\Program Files\\Tool\\script.exe", L"not a Windows program"},
      {L"foo.exe; touch /tmp/x", L"is not on the machine"},
      {L"C:\\Program Files\\Tool\\uninst.exe " + std::wstring(40000, L'x'), L"longer than Windows takes"},
  };
  for (const auto& c : cases) {
    UninstallStart start = StartUninstall(*platform, Row(c.line));
    EXPECT_EQ(start.result, UninstallStart::Result::kNotStarted) << WideToUtf8(c.line);
    EXPECT_NE(start.why.find(c.said), std::wstring::npos) << WideToUtf8(start.why);
  }
  EXPECT_TRUE(handed_.empty());
}

TEST_F(UninstallRun, ProductCodeRunsTheInstallerAndNothingRunsWithoutACommand) {
  auto platform = Open();
  UninstallRow code;
  code.key_name = L"{ABCD}";
  EXPECT_EQ(StartUninstall(*platform, code).result, UninstallStart::Result::kStarted);
  ASSERT_EQ(handed_.size(), 1u);
  EXPECT_EQ(Env(handed_[0], wine::kCommandLineVariable), "MsiExec.exe /x{ABCD} /qf");
  EXPECT_EQ(Env(handed_[0], wine::kApplicationVariable), "C:\\windows\\system32\\MsiExec.exe");

  UninstallStart none = StartUninstall(*platform, UninstallRow{});
  EXPECT_EQ(none.result, UninstallStart::Result::kNoCommand);
  EXPECT_EQ(handed_.size(), 1u);

  refuse_ = true;
  UninstallStart refused = StartUninstall(*platform, code);
  EXPECT_EQ(refused.result, UninstallStart::Result::kNotStarted);
  EXPECT_FALSE(refused.process);
  EXPECT_EQ(refused.why, L"wine64: No such file or directory");
}

TEST_F(UninstallRun, EndsOnlyAfterTheServerHasSavedAndThenListsWhatChanged) {
  prefix_.String(HKEY_LOCAL_MACHINE, kHklm + L"Gone", L"DisplayName", L"Gone")
      .String(HKEY_LOCAL_MACHINE, kHklm + L"Kept", L"DisplayName", L"Kept");
  end_at_once_ = false;
  auto platform = Open();
  std::vector<UninstallRow> before = BuildUninstallRows(ListUninstallValues(*platform));
  ASSERT_EQ(Programs(before), (std::vector<std::wstring>{L"Gone", L"Kept"}));
  // A key held open across the run must not point into the old registry.
  HKEY held;
  ASSERT_EQ(platform->OpenKey(HKEY_LOCAL_MACHINE, kHklm + L"Gone", KEY_READ, &held), ERROR_SUCCESS);

  UninstallStart start = StartUninstall(*platform, before[0]);
  ASSERT_TRUE(start.process);
  EXPECT_FALSE(start.process->Wait(std::chrono::milliseconds(0)));
  // What the uninstaller's server saves: the hive without its key.
  {
    wine::WinePlatform other(prefix_.Options());
    HKEY key;
    ASSERT_EQ(other.OpenKey(HKEY_LOCAL_MACHINE, kHklm, KEY_WRITE, &key), ERROR_SUCCESS);
    ASSERT_EQ(other.DeleteKey(key, L"Gone"), ERROR_SUCCESS);
    other.CloseKey(key);
    ASSERT_TRUE(other.Flush());
  }
  {
    testing::FakeWineserver server(prefix_.dir());
    child_->ended = true;
    EXPECT_FALSE(start.process->Wait(std::chrono::milliseconds(100)));
    EXPECT_NE(start.process->WaitingFor(), L"");
  }
  EXPECT_TRUE(start.process->Wait(std::chrono::milliseconds(2000)));
  EXPECT_TRUE(start.process->Outcome()) << start.process->Outcome().message;

  std::vector<UninstallRow> after = BuildUninstallRows(ListUninstallValues(*platform));
  EXPECT_EQ(Programs(after), (std::vector<std::wstring>{L"Kept"}));
  EXPECT_FALSE(StillListed(after, before[0]));
  EXPECT_TRUE(StillListed(after, before[1]));
  DWORD subkeys = 0, values = 0;
  EXPECT_EQ(platform->QueryInfoKey(held, &subkeys, &values), ERROR_INVALID_HANDLE);
  // Ours again to change.
  EXPECT_TRUE(platform->CheckWritable()) << platform->CheckWritable().message;
}

TEST_F(UninstallRun, UnsavedChangesOfOursAreNotDroppedByTheRereading) {
  prefix_.String(HKEY_LOCAL_MACHINE, kHklm + L"A", L"DisplayName", L"A");
  on_end_ = [this] {
    prefix_.String(HKEY_LOCAL_MACHINE, kHklm + L"B", L"DisplayName", L"B");
    prefix_.Write();
  };
  auto platform = Open();
  HKEY key;
  ASSERT_EQ(platform->CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Ours", &key), ERROR_SUCCESS);
  platform->CloseKey(key);
  UninstallStart start = StartUninstall(*platform, BuildUninstallRows(ListUninstallValues(*platform))[0]);
  ASSERT_TRUE(start.process->Wait(std::chrono::milliseconds(2000)));
  EXPECT_FALSE(start.process->Outcome());
  EXPECT_EQ(platform->OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Ours", KEY_READ, &key), ERROR_SUCCESS);
  platform->CloseKey(key);
}

// The real start, with a stand-in for the loader that records what it got
// and answers as the starting program would.
TEST(UninstallSpawn, HostProgramGetsTheLineAsDataAndNoShellRunsIt) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\tools\\foo.exe", "MZ");
  const std::string dir = prefix.HostDir();
  const std::string marker = dir + "/marker";
  const std::string loader = dir + "/fake-wine";
  {
    std::ofstream script(loader);
    script << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << dir << "/args'\n"
           << "printf '%s' \"$ORVANE_COMMAND_LINE\" > '" << dir << "/line'\n"
           << "pwd > '" << dir << "/cwd'\n"
           << "echo 'seen on the terminal'\n"
           << "printf 'exit\\t7\\n' > \"$ORVANE_ANSWER_FILE\"\n";
  }
  std::filesystem::permissions(loader, std::filesystem::perms::owner_all);
  std::ofstream(dir + "/orvane-start.exe") << "MZ";
  prefix.Write();
  wine::WineOptions options = prefix.Options();
  options.wine_program = loader;
  options.start_helper = dir + "/orvane-start.exe";
  wine::WinePlatform platform(options);

  UninstallRow row;
  const std::wstring wide_marker = Utf8ToWide(marker);
  row.uninstall = L"C:\\tools\\foo.exe ; touch " + wide_marker + L" `touch " + wide_marker + L"`";
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  UninstallStart start = StartUninstall(platform, row);
  bool ended = start.process && start.process->Wait(std::chrono::milliseconds(10000));
  std::string printed = ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(start.result, UninstallStart::Result::kStarted) << WideToUtf8(start.why);
  ASSERT_TRUE(ended);
  // What a program of the machine prints never reaches our terminal.
  EXPECT_EQ(printed.find("seen on the terminal"), std::string::npos) << printed;
  EXPECT_EQ(testing::ReadHostFile(dir + "/args"), dir + "/orvane-start.exe\n");
  EXPECT_EQ(testing::ReadHostFile(dir + "/line"), WideToUtf8(row.uninstall));
  EXPECT_EQ(testing::ReadHostFile(dir + "/cwd"), std::filesystem::canonical(prefix.dir() + "/drive_c").string() + "\n");
  EXPECT_FALSE(std::filesystem::exists(marker));
  EXPECT_EQ(start.process->Exit().code, std::optional<DWORD>(7));

  options.wine_program = dir + "/no-such-wine";
  wine::WinePlatform without(options);
  UninstallStart failed = StartUninstall(without, row);
  EXPECT_EQ(failed.result, UninstallStart::Result::kNotStarted);
  EXPECT_NE(failed.why.find(L"no-such-wine"), std::wstring::npos);
}

}  // namespace
}  // namespace orvane
