#include "repair/backup_catalog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/testing/temp_prefix.h"
#include "platform/testing/temp_state.h"
#include "platform/text.h"
#include "repair/backup_set.h"

namespace orvane {
namespace {

BackupSet MakeSet(StateFolder& state, const std::wstring& word, LocalDateTime when, const std::wstring& lines) {
  BackupSet set;
  EXPECT_TRUE(CreateBackupSet(state, word, when, &set));
  EXPECT_TRUE(AppendBackupLines(state, set, lines));
  return set;
}

TEST(BackupCatalogTest, DatesReadAsTheListShowsThem) {
  EXPECT_EQ(BackupDateText({2013, 11, 5, 17, 42, 0}), L"Tuesday, November 05, 2013 17:42");
  EXPECT_EQ(BackupDateText({2026, 12, 8, 9, 5, 0}), L"Tuesday, December 08, 2026 09:05");
  EXPECT_EQ(BackupDateText({2024, 2, 29, 0, 0, 0}), L"Thursday, February 29, 2024 00:00");
  EXPECT_EQ(BackupDateText({2000, 1, 1, 23, 59, 0}), L"Saturday, January 01, 2000 23:59");
  EXPECT_EQ(BackupShortDateText({2013, 11, 5, 17, 42, 0}), L"Tue, Nov 05, 2013 17:42");
  EXPECT_EQ(BackupSizeText(0), L"0 B");
  EXPECT_EQ(BackupSizeText(1023), L"1023 B");
  EXPECT_EQ(BackupSizeText(1024), L"1.0 KB");
  EXPECT_EQ(BackupSizeText(1536), L"1.5 KB");
  EXPECT_EQ(BackupSizeText(1048575), L"1023.9 KB");
  EXPECT_EQ(BackupSizeText(5ull << 30), L"5.0 GB");
}

TEST(BackupCatalogTest, EachSetShowsItsKindTimeItemsAndSize) {
  testing::TempPrefix prefix;
  prefix.File(L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk.dat",
              WideToUtf16le(L"0::C:\\a.tmp::C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk\\OrvaneBK1.bpc::r::;;\r\n"))
      .File(L"C:\\Program Files\\Orvane\\backup\\20131105_1742_Junk\\OrvaneBK1.bpc", std::string(3000, 'x'))
      .File(L"C:\\Program Files\\Orvane\\backup\\handmade.dat", "");
  auto p = prefix.Open();
  testing::TempStateFolder state;
  BackupSet set = MakeSet(state, L"Shortcut", {2026, 12, 8, 14, 30, 0},
                          L"0::C:\\a.lnk::OrvaneBK1.bpc::r::;;\r\n0::C:\\b.lnk::OrvaneBK2.bpc::r::;;\r\n");
  std::ofstream(state.HostFile(set.stem + "/OrvaneBK1.bpc")) << std::string(100000, 'y');

  std::vector<BackupSetInfo> sets = DescribeBackupSets(*p, state);
  ASSERT_EQ(sets.size(), 3u);
  const BackupSetInfo& old = sets[0];
  EXPECT_EQ(old.kind, L"Junk Cleaner");
  EXPECT_TRUE(old.in_machine);
  EXPECT_EQ(old.made, (LocalDateTime{2013, 11, 5, 17, 42, 0}));
  EXPECT_EQ(old.items, 1);
  EXPECT_GE(old.bytes, 3000u);
  const BackupSetInfo& handmade = sets[2];  // no stamp: its file's own time, and last
  EXPECT_EQ(handmade.kind, L"Registry Cleaner");
  ASSERT_TRUE(handmade.made.has_value());
  EXPECT_GE(handmade.made->year, 2024);
  EXPECT_EQ(handmade.items, 0);
  const BackupSetInfo& fresh = sets[1];
  EXPECT_EQ(fresh.kind, L"ShortCut Cleaner");
  EXPECT_FALSE(fresh.in_machine);
  EXPECT_EQ(fresh.made, (LocalDateTime{2026, 12, 8, 14, 30, 0}));
  EXPECT_EQ(fresh.items, 2);
  EXPECT_GE(fresh.bytes, 100000u);  // space on the disk, the copy included
  EXPECT_LT(fresh.bytes, 200000u);
}

TEST(BackupCatalogTest, PruneTakesOnlyWhatItsRulesAllow) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  const LocalDateTime now{2026, 12, 10, 12, 0, 0};
  auto fill = [&](testing::TempStateFolder& state) {
    std::vector<BackupSet> sets;
    for (int day : {1, 3, 8, 9, 10})  // 9, 7, 2, 1 and 0 days old
      sets.push_back(MakeSet(state, L"Registry", {2026, 12, day, 12, 0, 0},
                             L"2::HKEY_CURRENT_USER::REG_SZ::Software\\K::ValueName=::::;;\r\n"));
    return sets;
  };
  auto left = [&](testing::TempStateFolder& state) {
    std::vector<std::wstring> days;
    for (const std::wstring& file : ListBackupFiles(*p, state))
      days.push_back(file.substr(file.rfind(L'/') + 7, 2));
    return days;
  };
  {
    testing::TempStateFolder state;
    fill(state);
    PruneReport report = PruneBackupSets(*p, state, {std::nullopt, std::nullopt}, now);
    EXPECT_TRUE(report.deleted.empty());  // no rule, nothing goes
    EXPECT_EQ(report.kept, 5);
    report = PruneBackupSets(*p, state, {7, std::nullopt}, now);
    EXPECT_EQ(report.deleted.size(), 1u);  // exactly 7 days old stays
    EXPECT_EQ(left(state), (std::vector<std::wstring>{L"03", L"08", L"09", L"10"}));
  }
  {
    testing::TempStateFolder state;
    fill(state);
    PruneReport report = PruneBackupSets(*p, state, {std::nullopt, 2}, now);
    EXPECT_EQ(report.deleted.size(), 3u);
    EXPECT_EQ(report.kept, 2);
    EXPECT_EQ(left(state), (std::vector<std::wstring>{L"09", L"10"}));
    EXPECT_TRUE(PruneBackupSets(*p, state, {std::nullopt, 5}, now).deleted.empty());
  }
  {
    // Both rules: a set goes only when both let it go.
    testing::TempStateFolder state;
    fill(state);
    PruneReport report = PruneBackupSets(*p, state, {1, 4}, now);
    EXPECT_EQ(left(state), (std::vector<std::wstring>{L"03", L"08", L"09", L"10"}));
    EXPECT_EQ(report.deleted.size(), 1u);
    report = PruneBackupSets(*p, state, {0, 1}, now);
    EXPECT_EQ(left(state), std::vector<std::wstring>{L"10"});
  }
}

}  // namespace
}  // namespace orvane
