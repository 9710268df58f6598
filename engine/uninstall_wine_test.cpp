// The uninstall manager against real Wine: our listing beside Wine's own
// "uninstaller --list" for the same prefix, and a real Windows uninstall
// command run in the prefix, after which the listing is taken again.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "engine/uninstall_list.h"
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
  ASSERT_EQ(start.result, UninstallStart::Result::kStarted);
  ASSERT_TRUE(start.process->Wait(std::chrono::seconds(120)));
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_TRUE(start.process->Outcome());
}

}  // namespace
}  // namespace orvane
