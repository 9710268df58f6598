// The uninstall manager against real Wine: our listing beside Wine's own
// "uninstaller --list" for the same prefix, and a real Windows uninstall
// command run in the prefix, after which the listing is taken again.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/uninstall_list.h"
#include "platform/process.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

constexpr char kPlanted[] = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\PlainApp]
"DisplayName"="Plain App"
"Publisher"="Plain Makers"
"EstimatedSize"=dword:00000800
"UninstallString"="C:\\Program Files\\Plain\\unins000.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\UserApp]
"DisplayName"="user app"
"UninstallString"="C:\\users\\Public\\UserApp\\remove.exe /S"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hidden]
"DisplayName"="Hidden Runtime"
"SystemComponent"=dword:00000001
"UninstallString"="C:\\hidden.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{0A1B2C3D-0000-1111-2222-333344445555}]
"DisplayName"="Installer Package"
"WindowsInstaller"=dword:00000001

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{0A1B2C3D-0000-1111-2222-333344445555}.KB7]
"DisplayName"="Update KB7"
"UninstallString"="C:\\update.exe"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Removable]
"DisplayName"="Removable Tool"
"UninstallString"="C:\\windows\\system32\\reg.exe delete \"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Removable\" /f"
)";

class UninstallWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing::WinePeer::Available()) return;
    peer_ = new testing::WinePeer();
    if (!peer_->ready()) return;
    std::ofstream(peer_->dir() + "/drive_c/planted.reg") << kPlanted;
    peer_->Run("regedit /S 'C:\\planted.reg'");
    // A 32-bit program, as its installer writes it in a 64-bit prefix.
    peer_->Run("reg add 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Views32App' /v DisplayName "
               "/d 'Views 32 App' /f /reg:32");
    peer_->Run("reg add 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Views32App' /v UninstallString "
               "/d 'C:\\Views32\\uninst.exe' /f /reg:32");
    peer_->Wait();
  }
  static void TearDownTestSuite() {
    delete peer_;
    peer_ = nullptr;
  }
  void SetUp() override {
    if (!peer_) GTEST_SKIP() << "wine64 is not installed";
    ASSERT_TRUE(peer_->ready()) << "wineboot did not create " << peer_->dir();
  }
  std::unique_ptr<wine::WinePlatform> Open() {
    wine::WineOptions options(peer_->dir());
    options.lock_wait = std::chrono::milliseconds(0);
    return std::make_unique<wine::WinePlatform>(options);
  }
  // Wine's own list: "key|||name" per program.
  static std::set<std::pair<std::string, std::string>> WineList() {
    std::string out;
    peer_->Run("uninstaller --list", &out);
    peer_->Wait();
    std::set<std::pair<std::string, std::string>> programs;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t bar = line.find("|||");
      if (bar != std::string::npos) programs.insert({line.substr(0, bar), line.substr(bar + 3)});
    }
    return programs;
  }
  static std::set<std::pair<std::string, std::string>> Ours(Platform& platform) {
    std::set<std::pair<std::string, std::string>> programs;
    for (const UninstallRow& row : BuildUninstallRows(ListUninstallValues(platform)))
      programs.insert({WideToUtf8(row.key_name), WideToUtf8(row.program)});
    return programs;
  }

  static testing::WinePeer* peer_;
};
testing::WinePeer* UninstallWine::peer_ = nullptr;

TEST_F(UninstallWine, ListingNamesTheProgramsWineNames) {
  std::set<std::pair<std::string, std::string>> wine = WineList();
  ASSERT_TRUE(wine.count({"PlainApp", "Plain App"})) << "regedit did not plant the keys";
  ASSERT_TRUE(wine.count({"Views32App", "Views 32 App"})) << "Wine does not list the 32-bit view";
  // Wine lists updates filed under their product; we pass over them.
  std::set<std::pair<std::string, std::string>> expected;
  for (const auto& p : wine)
    if (p.first.find("}.") == std::string::npos) expected.insert(p);
  auto platform = Open();
  EXPECT_EQ(Ours(*platform), expected);
  EXPECT_FALSE(expected.count({"Hidden", "Hidden Runtime"}));
}

TEST_F(UninstallWine, UninstallCommandRunsInThePrefixAndTheListShowsItsWork) {
  auto platform = Open();
  std::vector<UninstallRow> rows = BuildUninstallRows(ListUninstallValues(*platform));
  const UninstallRow* removable = nullptr;
  for (const UninstallRow& r : rows)
    if (r.key_name == L"Removable") removable = &r;
  ASSERT_TRUE(removable);

  UninstallStart start = StartUninstall(*platform, *removable);
  ASSERT_EQ(start.result, UninstallStart::Result::kStarted) << WideToUtf8(start.why);
  ASSERT_TRUE(start.process->Wait(std::chrono::seconds(120)));
  EXPECT_TRUE(start.process->Outcome()) << WideToUtf8(start.process->Outcome().message);

  std::vector<UninstallRow> after = BuildUninstallRows(ListUninstallValues(*platform));
  EXPECT_FALSE(StillListed(after, *removable));
  EXPECT_EQ(after.size(), rows.size() - 1);
  EXPECT_FALSE(WineList().count({"Removable", "Removable Tool"}));
}

TEST_F(UninstallWine, HostShellWordsInTheLineStayWindowsText) {
  const std::string marker = peer_->dir() + ".marker";
  fs::remove(marker);
  auto platform = Open();
  UninstallRow row;
  row.uninstall = L"foo.exe; touch " + Utf8ToWide(marker) + L" && touch " + Utf8ToWide(marker);
  UninstallStart start = StartUninstall(*platform, row);
  // No program is called "foo.exe;", so Windows would start nothing either.
  EXPECT_EQ(start.result, UninstallStart::Result::kNotStarted);
  EXPECT_NE(start.why.find(L"not on the machine"), std::wstring::npos) << WideToUtf8(start.why);
  EXPECT_FALSE(fs::exists(marker));
}

#ifdef ORVANE_TEST_EXIT_PROGRAM_PATH
// A real Windows program as an uninstaller: started by CreateProcess inside
// the prefix from an unquoted line with blanks in its path, with its
// arguments as Windows splits them, and its exit code arrives.
TEST_F(UninstallWine, ARealProgramRunsAndItsExitCodeArrives) {
  const std::string folder = peer_->dir() + "/drive_c/Program Files/Exit Tool";
  fs::create_directories(folder);
  fs::copy_file(ORVANE_TEST_EXIT_PROGRAM_PATH, folder + "/uninst.exe", fs::copy_options::overwrite_existing);
  fs::remove(peer_->dir() + "/drive_c/ran.txt");
  auto platform = Open();
  UninstallRow row;
  row.uninstall = L"C:\\Program Files\\Exit Tool\\uninst.exe 3010 \"C:\\ran.txt\"";
  UninstallStart start = StartUninstall(*platform, row);
  ASSERT_EQ(start.result, UninstallStart::Result::kStarted) << WideToUtf8(start.why);
  ASSERT_TRUE(start.process->Wait(std::chrono::seconds(120)));
  EXPECT_TRUE(start.process->Outcome()) << WideToUtf8(start.process->Outcome().message);
  ProcessExit exit = start.process->Exit();
  ASSERT_TRUE(exit.started) << WideToUtf8(exit.why);
  EXPECT_EQ(exit.code, std::optional<DWORD>(3010));
  std::string ran = testing::ReadHostFile(peer_->dir() + "/drive_c/ran.txt");
  // As Wine's CreateProcess hands an unquoted program path with blanks on.
  EXPECT_EQ(ran, "C:\\Program Files\\Exit Tool\\uninst.exe\n3010\nC:\\ran.txt\n");
}

// Lines whose program lies outside the machine, through Z: or through a
// link that leads out, are refused before anything runs: the program there
// would make the marker file.
TEST_F(UninstallWine, ProgramsOutsideTheMachineNeverRun) {
  const std::string outside = peer_->dir() + "-outside";
  fs::create_directories(outside);
  fs::copy_file(ORVANE_TEST_EXIT_PROGRAM_PATH, outside + "/tool.exe", fs::copy_options::overwrite_existing);
  {
    std::ofstream script(outside + "/script.sh");
    script << "#!/bin/sh\ntouch '" << outside << "/marker'\n";
  }
  fs::permissions(outside + "/script.sh", fs::perms::owner_all);
  std::error_code ec;
  fs::remove(peer_->dir() + "/drive_c/leads-out", ec);
  fs::create_directory_symlink(outside, peer_->dir() + "/drive_c/leads-out");
  auto platform = Open();
  const std::wstring z_marker = L"Z:" + Utf8ToWide(outside) + L"/marker";
  const std::wstring lines[] = {
      L"Z:" + Utf8ToWide(outside) + L"/script.sh",
      L"\"Z:" + Utf8ToWide(outside) + L"/tool.exe\" 0 " + z_marker,
      L"C:\\leads-out\\tool.exe 0 " + z_marker,
      L"C:\\leads-out\\script.sh",
  };
  for (const std::wstring& line : lines) {
    UninstallRow row;
    row.uninstall = line;
    UninstallStart start = StartUninstall(*platform, row);
    EXPECT_EQ(start.result, UninstallStart::Result::kNotStarted) << WideToUtf8(line);
    EXPECT_NE(start.why.find(L"outside the machine"), std::wstring::npos) << WideToUtf8(start.why);
    if (start.process) start.process->Wait(std::chrono::seconds(120));
  }
  EXPECT_FALSE(fs::exists(outside + "/marker"));
  fs::remove(peer_->dir() + "/drive_c/leads-out");
  fs::remove_all(outside);
}
#endif

}  // namespace
}  // namespace orvane
