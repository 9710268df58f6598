#include "engine/startup_list.h"

#include <gtest/gtest.h>

#include "model/program_paths.h"
#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"
#include "repair/backup_set.h"
#include "repair/restore.h"

namespace orvane {
namespace {

const LocalDateTime kNow{2026, 12, 9, 18, 42, 7};

std::vector<std::wstring> Names(const CRegistryItemListEx& list) {
  std::vector<std::wstring> names;
  for (const CRegistryItem& item : list) names.push_back(item.valueName);
  return names;
}

std::string Utf16(const std::wstring& text) {
  std::string bytes = WideToUtf16le(text);
  bytes.append(2, '\0');
  return bytes;
}

TEST(StartupListTest, UserKeyFirstDwordsAsNumbersAndLongEntriesWhole) {
  testing::TempPrefix prefix;
  const std::wstring long_name(300, L'm');
  const std::wstring long_data = L"C:\\long\\" + std::wstring(3000, L'd') + L".exe";
  // A hive enumerates its values by name, whatever order they were added in.
  prefix.String(HKEY_CURRENT_USER, kRunKey, L"Alpha", L"C:\\alpha.exe")
      .Dword(HKEY_CURRENT_USER, kRunKey, L"Bravo", 0xFFFFFFFEu)
      .Value(HKEY_CURRENT_USER, kRunKey, L"Charlie", REG_SZ, Utf16(std::wstring(511, L'c')))
      .Value(HKEY_CURRENT_USER, kRunKey, L"Delta", REG_SZ, Utf16(long_data))
      .String(HKEY_CURRENT_USER, kRunKey, long_name, L"C:\\name.exe")
      .String(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", L"%ProgramFiles%\\agent.exe /quiet",
              REG_EXPAND_SZ)
      .String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", L"Once",
              L"C:\\once.exe");
  auto platform = prefix.Open();
  testing::TempStateFolder state;

  CRegistryItemListEx list = ListStartupEntries(*platform);
  ASSERT_EQ(Names(list),
            (std::vector<std::wstring>{L"Alpha", L"Bravo", L"Charlie", L"Delta", long_name, L"Agent"}));
  EXPECT_EQ(list[1].valueData, L"4294967294");
  EXPECT_EQ(list[1].valueType, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(list[2].valueData, std::wstring(511, L'c'));
  EXPECT_EQ(list[3].valueData, long_data);

  // What the list shows can be removed through it.
  StartupRemoval removal = RemoveStartupEntry(*platform, state, 4, kNow);
  ASSERT_TRUE(removal.status) << WideToUtf8(removal.status.message);
  EXPECT_EQ(removal.entry.valueName, long_name);
  removal = RemoveStartupEntry(*platform, state, 3, kNow);
  ASSERT_TRUE(removal.status) << WideToUtf8(removal.status.message);
  EXPECT_EQ(removal.entry.valueData, long_data);
  list = ListStartupEntries(*platform);
  ASSERT_EQ(Names(list), (std::vector<std::wstring>{L"Alpha", L"Bravo", L"Charlie", L"Agent"}));

  const CRegistryItem& agent = list[3];
  EXPECT_EQ(agent.rootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(agent.rootName, L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(agent.valueData, L"%ProgramFiles%\\agent.exe /quiet");
  EXPECT_EQ(StartupLocation(agent),
            L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_EQ(list[0].rootKey, HKEY_CURRENT_USER);
  EXPECT_EQ(list[0].rootName, L"HKEY_CURRENT_USER");
}

class StartupRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_.String(HKEY_CURRENT_USER, kRunKey, L"Sync", L"C:\\sync.exe")
        .String(HKEY_CURRENT_USER, kRunKey, L"Tray", L"C:\\tray.exe")
        .String(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", L"C:\\agent.exe")
        .Dword(HKEY_LOCAL_MACHINE, kRunKey, L"Level", 7);
    platform_ = prefix_.Open();
  }
  // The names as a fresh platform reads them from the files on disk.
  std::vector<std::wstring> NamesOnDisk() {
    wine::WinePlatform fresh(prefix_.Options());
    return Names(ListStartupEntries(fresh));
  }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
};

TEST_F(StartupRemovalTest, TheFreshListingDecidesWhichEntryGoes) {
  ASSERT_EQ(Names(ListStartupEntries(*platform_)),
            (std::vector<std::wstring>{L"Sync", L"Tray", L"Agent", L"Level"}));
  // The list someone looked at said row 2 was "Agent"; since then "Sync" went.
  ASSERT_TRUE(DeleteRegistryValue(*platform_, HKEY_CURRENT_USER, kRunKey, L"Sync"));

  StartupRemoval removal = RemoveStartupEntry(*platform_, state_, 2, kNow);
  ASSERT_TRUE(removal.status) << WideToUtf8(removal.status.message);
  EXPECT_EQ(removal.entry.valueName, L"Level");
  EXPECT_EQ(NamesOnDisk(), (std::vector<std::wstring>{L"Tray", L"Agent"}));

  for (int index : {-1, 2}) {
    StartupRemoval none = RemoveStartupEntry(*platform_, state_, index, kNow);
    EXPECT_FALSE(none.status) << index;
    EXPECT_TRUE(none.backup_set.empty());
    EXPECT_TRUE(none.entry.rootName.empty());
  }
  EXPECT_EQ(NamesOnDisk(), (std::vector<std::wstring>{L"Tray", L"Agent"}));
  EXPECT_EQ(ListBackupFiles(*platform_, state_).size(), 1u);
}

TEST_F(StartupRemovalTest, TheBackupSetBringsTheValueBackExactly) {
  StartupRemoval removal = RemoveStartupEntry(*platform_, state_, 3, kNow);
  ASSERT_TRUE(removal.status) << WideToUtf8(removal.status.message);
  EXPECT_EQ(removal.entry.valueName, L"Level");
  ASSERT_EQ(ListBackupFiles(*platform_, state_), std::vector<std::wstring>{removal.backup_set});
  EXPECT_NE(removal.backup_set.find(L"20261209_1842_Registry"), std::wstring::npos);
  EXPECT_EQ(BackupDisplayName(removal.backup_set), L"Registry Cleaner");
  EXPECT_EQ(NamesOnDisk(), (std::vector<std::wstring>{L"Sync", L"Tray", L"Agent"}));

  RestoreReport report = RestoreBackupSet(*platform_, state_, removal.backup_set);
  ASSERT_TRUE(report.ok());
  EXPECT_EQ(report.restored, 1);
  EXPECT_TRUE(report.set_deleted);
  HKEY key;
  ASSERT_EQ(platform_->OpenKey(HKEY_LOCAL_MACHINE, kRunKey, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0;
  std::string data;
  EXPECT_EQ(platform_->QueryValue(key, L"Level", &type, &data, 0xFFFFFFFFu), ERROR_SUCCESS);
  platform_->CloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data, std::string("\x07\0\0\0", 4));
}

TEST(StartupListTest, BothViewsRunKeysAreListedAndA32BitEntryIsRemovedInItsView) {
  testing::TempPrefix prefix;
  testing::TempStateFolder state;
  const std::wstring run32 = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  prefix.String(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", L"C:\\agent64.exe")
      .String(HKEY_LOCAL_MACHINE, run32, L"Agent", L"C:\\agent32.exe")
      .String(HKEY_LOCAL_MACHINE, run32, L"Old", L"C:\\old32.exe");
  auto platform = prefix.Open();
  CRegistryItemListEx list = ListStartupEntries(*platform);
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list[0].valueData, L"C:\\agent64.exe");
  EXPECT_EQ(list[1].valueData, L"C:\\agent32.exe");
  EXPECT_EQ(list[1].view, DWORD{KEY_WOW64_32KEY});
  EXPECT_EQ(StartupLocation(list[1]), L"HKEY_LOCAL_MACHINE\\" + std::wstring(kRunKey) + L" (32-bit)");
  EXPECT_EQ(StartupLocation(list[0]), L"HKEY_LOCAL_MACHINE\\" + std::wstring(kRunKey));

  StartupRemoval removal = RemoveStartupEntry(*platform, state, 1, kNow);
  ASSERT_TRUE(removal.status) << WideToUtf8(removal.status.message);
  wine::WinePlatform fresh(prefix.Options());
  EXPECT_EQ(Names(ListStartupEntries(fresh)), (std::vector<std::wstring>{L"Agent", L"Old"}));
  EXPECT_EQ(ListStartupEntries(fresh)[0].valueData, L"C:\\agent64.exe");
  ASSERT_TRUE(RestoreBackupSet(*platform, state, removal.backup_set).ok());
  EXPECT_EQ(ListStartupEntries(*platform)[1].valueData, L"C:\\agent32.exe");
}

TEST(StartupListTest, AMachineWithOneViewListsItsRunKeyOnce) {
  testing::TempPrefix prefix;
  prefix.String(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", L"C:\\agent.exe");
  auto platform = prefix.Open();
  EXPECT_EQ(Names(ListStartupEntries(*platform)), std::vector<std::wstring>{L"Agent"});
}

TEST_F(StartupRemovalTest, NothingGoesWithoutItsBackup) {
  // A file where the backup folder belongs: no set can be made.
  ASSERT_TRUE(state_.CreateNewFile(kStateBackupFolder));
  StartupRemoval removal = RemoveStartupEntry(*platform_, state_, 0, kNow);
  EXPECT_FALSE(removal.status);
  EXPECT_NE(removal.status.message.find(L"backup"), std::wstring::npos);
  EXPECT_TRUE(removal.backup_set.empty());
  EXPECT_EQ(NamesOnDisk(), (std::vector<std::wstring>{L"Sync", L"Tray", L"Agent", L"Level"}));
  EXPECT_EQ(Names(ListStartupEntries(*platform_)).size(), 4u);
}

}  // namespace
}  // namespace orvane
