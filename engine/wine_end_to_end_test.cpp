// The engine against real Wine: a prefix made by wineboot, changed with
// Wine's own reg.exe, scanned and repaired by us, checked with reg.exe again,
// and restored from the backup. Skips when wine64 is not installed.
#include <gtest/gtest.h>
#include <strings.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "engine/engine.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/wine_peer.h"
#include "platform/names.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::WinePeer;

std::array<bool, kSectionCount> Sections(std::initializer_list<int> ids) {
  std::array<bool, kSectionCount> enabled{};
  for (int id : ids) enabled[id] = true;
  return enabled;
}

// The host path of a Windows path on C:, matched case-insensitively as
// Windows would, without our platform layer; "" when it does not exist.
std::string HostPathOf(const std::string& prefix, std::wstring path) {
  std::string p = WideToUtf8(path);
  if (p.size() < 3 || (p[0] != 'C' && p[0] != 'c') || p[1] != ':') return "";
  fs::path current = prefix + "/drive_c";
  std::string rest = p.substr(3);
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    bool found = false;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(current, ec)) {
      if (strcasecmp(entry.path().filename().c_str(), part.c_str()) == 0) {
        current = entry.path();
        found = true;
        break;
      }
    }
    if (!found) return "";
  }
  return current.string();
}

class WineEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WinePeer::Available()) GTEST_SKIP() << "wine64 is not installed";
    ASSERT_TRUE(peer_.ready()) << "wineboot did not make " << peer_.dir();
  }
  int Reg(const std::string& args, std::string* out = nullptr) { return peer_.Run("reg " + args, out); }

  WinePeer peer_;
  MessageQueue messages_;
  RecordingPacer pacer_;
};

// Every registry section over a fresh prefix. Each finding is checked
// against Wine and the drive without our platform layer: a class's missing
// registration must be missing for reg.exe too, a missing file must be
// missing on the drive.
TEST_F(WineEndToEnd, FreshPrefixFindingsAreRealFaults) {
  wine::WinePlatform platform(wine::WineOptions(peer_.dir()));
  ASSERT_TRUE(platform.LoadProblems().empty());
  CSarvelEngine engine(platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}});
  engine.StartScan({Sections({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12})});
  engine.WaitForScan();
  for (const CError& e : engine.errors()) {
    std::cout << "section " << e.section << ": " << WideToUtf8(e.reason) << "\n";
    if (e.section == 0) {
      // "HKEY_CLASSES_ROOT\CLSID\{G}..." points to AppID\{A} or TypeLib\{L}.
      std::wstring target = e.item.valueName == L"AppID" ? L"AppID\\" + e.item.valueData
                                                         : L"TypeLib\\" + e.item.valueData;
      EXPECT_NE(Reg("query " + WinePeer::Quote("HKCR\\" + WideToUtf8(target))), 0) << WideToUtf8(e.reason);
      EXPECT_EQ(Reg("query " + WinePeer::Quote("HKCR\\" + WideToUtf8(e.item.subKey))), 0) << WideToUtf8(e.reason);
    } else if (e.errorType == ErrorType::RegistryValue) {
      std::wstring path = ExpandEnvironment(platform, e.filePath);
      EXPECT_EQ(HostPathOf(peer_.dir(), path), "") << WideToUtf8(e.reason);
    }
  }
  peer_.Wait();
}

TEST_F(WineEndToEnd, ScanRepairRestore) {
  const std::string run = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::string user_run = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::string help = "HKLM\\Software\\Microsoft\\Windows\\Help";
  const std::string fonts = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  ASSERT_EQ(Reg("add " + WinePeer::Quote(run) + " /v Broken /d " + WinePeer::Quote("C:\\gone\\broken.exe") + " /f"), 0);
  ASSERT_EQ(Reg("add " + WinePeer::Quote(run) + " /v Good /d " + WinePeer::Quote("C:\\windows\\notepad.exe") + " /f"), 0);
  ASSERT_EQ(Reg("add " + WinePeer::Quote(user_run) + " /v Tray /d " + WinePeer::Quote("D:\\nowhere\\tray.exe") + " /f"), 0);
  ASSERT_EQ(Reg("add " + WinePeer::Quote(help) + " /v gone.chm /t REG_EXPAND_SZ /d " +
                WinePeer::Quote("%SystemRoot%\\help\\gone.chm") + " /f"),
            0);
  ASSERT_EQ(Reg("add " + WinePeer::Quote(fonts) + " /v " + WinePeer::Quote("Gone Sans (TrueType)") + " /d " +
                WinePeer::Quote("C:\\windows\\Fonts\\gonesans.ttf") + " /f"),
            0);
  std::string before_run, before_user, before_help, before_fonts;
  Reg("query " + WinePeer::Quote(run), &before_run);
  Reg("query " + WinePeer::Quote(user_run), &before_user);
  Reg("query " + WinePeer::Quote(help), &before_help);
  Reg("query " + WinePeer::Quote(fonts), &before_fonts);
  peer_.Wait();
  fs::create_directories(peer_.dir() + "/drive_c/windows/temp/unpacked");
  std::ofstream(peer_.dir() + "/drive_c/windows/temp/setup.tmp") << "junk";
  std::ofstream(peer_.dir() + "/drive_c/windows/temp/unpacked/part.bin") << "part";
  testing::TempStateFolder state;

  {
    wine::WinePlatform platform(wine::WineOptions(peer_.dir()));
    ASSERT_TRUE(platform.CheckWritable());
    CSarvelEngine engine(platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}, &state});
    engine.StartScan({Sections({3, 4, 10, 13})});
    engine.WaitForScan();
    std::set<std::wstring> found;
    for (const CError& e : engine.errors()) found.insert(e.item.valueName.empty() ? e.filePath : e.item.valueName);
    for (const wchar_t* name : {L"Broken", L"Tray", L"gone.chm", L"Gone Sans (TrueType)"})
      EXPECT_TRUE(found.count(name)) << WideToUtf8(name);
    EXPECT_FALSE(found.count(L"Good"));
    EXPECT_TRUE(found.count(L"C:\\windows\\Temp\\setup.tmp")) << "junk file not found";

    ASSERT_TRUE(engine.StartRepairOfList());
    engine.WaitForRepair();
    ASSERT_TRUE(engine.repair_thread()->status()) << WideToUtf8(engine.repair_thread()->status().message);
  }

  // Wine sees exactly the repaired values gone, and still starts.
  std::string after_run, after_user, after_help, after_fonts;
  ASSERT_EQ(Reg("query " + WinePeer::Quote(run), &after_run), 0) << "Wine no longer starts";
  EXPECT_EQ(after_run.find("Broken"), std::string::npos) << after_run;
  EXPECT_NE(after_run.find("Good"), std::string::npos) << after_run;
  Reg("query " + WinePeer::Quote(user_run), &after_user);
  EXPECT_EQ(after_user.find("Tray"), std::string::npos) << after_user;
  Reg("query " + WinePeer::Quote(help), &after_help);
  EXPECT_EQ(after_help.find("gone.chm"), std::string::npos) << after_help;
  Reg("query " + WinePeer::Quote(fonts), &after_fonts);
  EXPECT_EQ(after_fonts.find("Gone Sans"), std::string::npos) << after_fonts;
  peer_.Wait();
  EXPECT_FALSE(fs::exists(peer_.dir() + "/drive_c/windows/temp/setup.tmp"));

  // Restore every set, and the registry and the files are as they were.
  {
    wine::WinePlatform platform(wine::WineOptions(peer_.dir()));
    std::vector<std::wstring> sets = ListBackupFiles(platform, state);
    ASSERT_FALSE(sets.empty());
    for (const std::wstring& set : sets) {
      RestoreReport report = RestoreBackupSet(platform, state, set);
      EXPECT_TRUE(report.ok()) << WideToUtf8(set);
    }
    ASSERT_TRUE(platform.Flush());
  }
  std::string restored;
  Reg("query " + WinePeer::Quote(run), &restored);
  EXPECT_EQ(restored, before_run);
  Reg("query " + WinePeer::Quote(user_run), &restored);
  EXPECT_EQ(restored, before_user);
  Reg("query " + WinePeer::Quote(help), &restored);
  EXPECT_EQ(restored, before_help);  // REG_EXPAND_SZ comes back as REG_EXPAND_SZ
  Reg("query " + WinePeer::Quote(fonts), &restored);
  EXPECT_EQ(restored, before_fonts);
  peer_.Wait();
  EXPECT_EQ(testing::ReadHostFile(peer_.dir() + "/drive_c/windows/temp/setup.tmp"), "junk");
}

// The desktop program keeps one platform for its whole life while Wine
// programs come and go: each scan, repair and restore works on the registry
// as the last one of them left it.
TEST_F(WineEndToEnd, AfterWineCommandsScansRepairsAndRestoresSeeTheRegistryAsItIs) {
  const std::string run = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  wine::WinePlatform platform(wine::WineOptions(peer_.dir()));
  testing::TempStateFolder state;
  CSarvelEngine engine(platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}, &state});
  engine.StartScan({Sections({3, 4})});
  engine.WaitForScan();
  ASSERT_TRUE(platform.Flush());  // the last-scan date, as the program keeps it

  ASSERT_EQ(Reg("add " + WinePeer::Quote(run) + " /v Late /d " + WinePeer::Quote("C:\\gone\\late.exe") + " /f"), 0);
  peer_.Wait();
  engine.StartScan({Sections({3, 4})});
  engine.WaitForScan();
  bool found = false;
  for (const CError& e : engine.errors()) found |= e.item.valueName == L"Late";
  ASSERT_TRUE(found) << "the scan did not see what Wine saved";
  ASSERT_TRUE(engine.StartRepairOfList());
  engine.WaitForRepair();
  ASSERT_TRUE(engine.repair_thread()->status()) << WideToUtf8(engine.repair_thread()->status().message);

  ASSERT_EQ(Reg("add " + WinePeer::Quote(run) + " /v Other /d " + WinePeer::Quote("C:\\windows\\notepad.exe") + " /f"),
            0);
  peer_.Wait();
  std::vector<std::wstring> sets = ListBackupFiles(platform, state);
  ASSERT_FALSE(sets.empty());
  for (const std::wstring& set : sets) {
    RestoreReport report = RestoreBackupSet(platform, state, set);
    EXPECT_TRUE(report.ok()) << WideToUtf8(set) << ": "
                             << (report.failed.empty() ? std::string() : WideToUtf8(report.failed.front()));
  }
  ASSERT_TRUE(platform.Flush());
  std::string out;
  ASSERT_EQ(Reg("query " + WinePeer::Quote(run), &out), 0);
  EXPECT_NE(out.find("Late"), std::string::npos) << out;
  EXPECT_NE(out.find("Other"), std::string::npos) << out;
  peer_.Wait();
}

}  // namespace
}  // namespace orvane
