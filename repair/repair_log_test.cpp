#include "repair/repair_log.h"

#include <gtest/gtest.h>

#include "platform/testing/temp_prefix.h"
#include "platform/names.h"
#include "platform/text.h"

namespace orvane {
namespace {

CRegistryItem Item(std::wstring root, DWORD type, std::wstring sub, std::wstring name) {
  CRegistryItem item;
  item.rootName = root;
  item.rootKey = RootKeyFromName(root);
  item.valueType = type;
  item.subKey = std::move(sub);
  item.valueName = std::move(name);
  item.valueData = L"not kept";
  item.tag = 9;
  return item;
}

TEST(RepairLogTest, SavesTheExactRecordsAndLoadsThemBack) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  CRegistryItemListEx list;
  list.Add(Item(L"HKEY_LOCAL_MACHINE", REG_EXPAND_SZ, L"S", L"V"));
  list.Add(Item(L"HKEY_CURRENT_USER", REG_BINARY, L"Software\\X", L""));
  ASSERT_TRUE(SaveRepairLog(*p, list));
  EXPECT_EQ(RepairLogPath(*p), L"C:\\users\\tester\\AppData\\Roaming\\Orvane\\log.dat");
  std::string bytes;
  ASSERT_TRUE(p->ReadFile(RepairLogPath(*p), &bytes));
  EXPECT_EQ(Utf16leToWide(bytes),
            L"HKEY_LOCAL_MACHINE::REG_EXPAND_SZ::S::ValueName=V::;;\r\n"
            L"HKEY_CURRENT_USER::REG_SZ::Software\\X::ValueName=::;;\r\n");

  CRegistryItemListEx loaded;
  loaded.Add(Item(L"HKEY_USERS", REG_SZ, L"stale", L"x"));
  ASSERT_TRUE(LoadRepairLog(*p, &loaded));
  ASSERT_EQ(loaded.GetCount(), 2);
  EXPECT_EQ(loaded[0].rootKey, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(loaded[0].valueType, REG_EXPAND_SZ);
  EXPECT_EQ(loaded[0].valueData, L"");
  EXPECT_EQ(loaded[1].valueType, REG_SZ);
  EXPECT_EQ(loaded[1].valueName, L"");
}

TEST(RepairLogTest, MissingOrDamagedLogs) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  CRegistryItemListEx list;
  list.Add(Item(L"HKEY_USERS", REG_SZ, L"x", L"y"));
  ASSERT_TRUE(LoadRepairLog(*p, &list));  // no file: an empty list, and the folder now exists
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_NE(p->GetFileAttributes(DataFolder(*p)), INVALID_FILE_ATTRIBUTES);

  // Short pieces are skipped; a last record without its end is dropped.
  std::wstring text = L"too::short;;\r\nHKEY_USERS::REG_SZ::K::ValueName=N::;;\r\nHKEY_USERS::REG_SZ::L::Val";
  ASSERT_TRUE(p->WriteFileAtomic(RepairLogPath(*p), WideToUtf16le(text)));
  ASSERT_TRUE(LoadRepairLog(*p, &list));
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list[0].subKey, L"K");

  // An odd byte at the end: what could be read is kept, and the caller learns
  // the file was not read completely.
  ASSERT_TRUE(p->WriteFileAtomic(RepairLogPath(*p), WideToUtf16le(L"HKEY_USERS::REG_SZ::K::ValueName=N::;;\r\n") + "x"));
  EXPECT_FALSE(LoadRepairLog(*p, &list));
  EXPECT_EQ(list.GetCount(), 1);

  // A deleted log (a registry restore) means the next scan starts afresh.
  ASSERT_TRUE(p->DeleteFile(RepairLogPath(*p)));
  ASSERT_TRUE(LoadRepairLog(*p, &list));
  EXPECT_TRUE(list.IsEmpty());
}

TEST(RepairLogTest, IsRepairedComparesRootSubkeyAndNameExactly) {
  CRegistryItemListEx list;
  list.Add(Item(L"HKEY_LOCAL_MACHINE", REG_SZ, L"Software\\App", L"Path"));
  EXPECT_TRUE(IsRepaired(list, Item(L"HKEY_LOCAL_MACHINE", REG_DWORD, L"Software\\App", L"Path")));
  EXPECT_TRUE(IsRepaired(list, Item(L"wrong-name-same-root", REG_SZ, L"Software\\App", L"Path")));
  EXPECT_FALSE(IsRepaired(list, Item(L"HKEY_LOCAL_MACHINE", REG_SZ, L"Software\\app", L"Path")));
  EXPECT_FALSE(IsRepaired(list, Item(L"HKEY_CURRENT_USER", REG_SZ, L"Software\\App", L"Path")));
  EXPECT_FALSE(IsRepaired(list, Item(L"HKEY_LOCAL_MACHINE", REG_SZ, L"Software\\App", L"path")));
}

}  // namespace
}  // namespace orvane
