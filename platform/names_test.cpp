#include "platform/names.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(NamesTest, RootNamesAreCaseSensitiveAndDefaultToLocalMachine) {
  EXPECT_EQ(RootKeyFromName(L"HKEY_USERS"), HKEY_USERS);
  EXPECT_EQ(RootKeyFromName(L"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
  EXPECT_EQ(RootKeyFromName(L"hkey_users"), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RootKeyFromName(L""), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(RootKeyName(HKEY_CURRENT_USER), L"HKEY_CURRENT_USER");
}

TEST(NamesTest, OnlyThreeValueTypesHaveNames) {
  EXPECT_EQ(ValueTypeName(REG_EXPAND_SZ), L"REG_EXPAND_SZ");
  EXPECT_EQ(ValueTypeName(REG_BINARY), L"REG_SZ");
  EXPECT_EQ(ValueTypeFromName(L"REG_DWORD"), REG_DWORD);
  EXPECT_EQ(ValueTypeFromName(L"REG_BINARY"), REG_SZ);
}

TEST(NamesTest, SplitStringDropsTheTextAfterTheLastSeparator) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(SplitString(L"x\\y\\z", L"\\"), (V{L"x", L"y"}));
  EXPECT_EQ(SplitString(L"a::b::", L"::"), (V{L"a", L"b"}));
  EXPECT_EQ(SplitString(L"a::b", L"::"), (V{L"a"}));
  EXPECT_EQ(SplitString(L"::::", L"::"), (V{L"", L""}));
  EXPECT_TRUE(SplitString(L"abc", L"").empty());
}

TEST(NamesTest, FileNameOfPath) {
  EXPECT_EQ(FileNameOfPath(L"C:\\a\\Orvane.exe"), L"Orvane.exe");
  EXPECT_EQ(FileNameOfPath(L"plain"), L"plain");
  EXPECT_EQ(FileNameOfPath(L"C:\\dir\\"), L"");
}

}  // namespace
}  // namespace orvane
