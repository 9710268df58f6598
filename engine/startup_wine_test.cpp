// The startup manager against real Wine: entries added with Wine's reg.exe,
// removed through the engine, checked with reg.exe, and brought back by the
// restore of the backup set the removal wrote. Skips without wine64.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

namespace orvane {
namespace {

using testing::WinePeer;

const std::string kUserRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kMachineRun = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class StartupWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!WinePeer::Available()) GTEST_SKIP() << "wine64 is not installed";
    ASSERT_TRUE(peer_.ready()) << "wineboot did not make " << peer_.dir();
  }
  std::string Query(const std::string& key) {
    std::string out;
    peer_.Run("reg query " + WinePeer::Quote(key), &out);
    return out;
  }
  int IndexOf(CSarvelEngine& engine, const std::wstring& name) {
    CRegistryItemListEx entries = engine.ListStartupEntries();
    for (int i = 0; i < entries.GetCount(); ++i)
      if (entries[i].valueName == name) return i;
    return -1;
  }

  WinePeer peer_;
  MessageQueue messages_;
  RecordingPacer pacer_;
};

TEST_F(StartupWineTest, RemovedEntriesComeBackThroughTheRestore) {
  ASSERT_EQ(
      peer_.Run("reg add " + WinePeer::Quote(kUserRun) + " /v " + WinePeer::Quote("Orvane Tray") +
                " /d " + WinePeer::Quote("\"C:\\Program Files\\Tray\\tray.exe\" --min") + " /f"),
      0);
  ASSERT_EQ(peer_.Run("reg add " + WinePeer::Quote(kMachineRun) +
                      " /v Level /t REG_DWORD /d 4294967295 /f"),
            0);
  const std::string user_before = Query(kUserRun);
  const std::string machine_before = Query(kMachineRun);
  ASSERT_NE(user_before.find("Orvane Tray"), std::string::npos) << user_before;
  peer_.Wait();

  std::vector<std::wstring> sets;
  testing::TempStateFolder state;
  {
    wine::WinePlatform platform(wine::WineOptions(peer_.dir()));
    CSarvelEngine engine(platform, EngineOptions{&messages_, &pacer_, {}, {}, {}, {}, &state});
    CRegistryItemListEx entries = engine.ListStartupEntries();
    int level = IndexOf(engine, L"Level");
    ASSERT_GE(level, 0);
    EXPECT_EQ(entries[level].valueData, L"4294967295");
    EXPECT_EQ(entries[IndexOf(engine, L"Orvane Tray")].valueData,
              L"\"C:\\Program Files\\Tray\\tray.exe\" --min");

    for (const wchar_t* name : {L"Orvane Tray", L"Level"}) {
      StartupRemoval removal = engine.RemoveStartupEntry(IndexOf(engine, name));
      ASSERT_TRUE(removal.status) << WideToUtf8(removal.status.message);
      EXPECT_EQ(removal.entry.valueName, name);
      sets.push_back(removal.backup_set);
    }
  }
  EXPECT_EQ(Query(kUserRun).find("Orvane Tray"), std::string::npos) << "Wine still sees the entry";
  EXPECT_EQ(Query(kMachineRun).find("Level"), std::string::npos);
  peer_.Wait();

  {
    wine::WinePlatform platform(wine::WineOptions(peer_.dir()));
    ASSERT_EQ(ListBackupFiles(platform, state).size(), 2u);
    for (const std::wstring& set : sets) {
      RestoreReport report = RestoreBackupSet(platform, state, set);
      EXPECT_TRUE(report.ok()) << WideToUtf8(set);
      EXPECT_EQ(report.restored, 1);
    }
    ASSERT_TRUE(platform.Flush());
  }
  // reg.exe shows the same types and data as before the removal.
  EXPECT_EQ(Query(kUserRun), user_before);
  EXPECT_EQ(Query(kMachineRun), machine_before);
  peer_.Wait();
}

}  // namespace
}  // namespace orvane
