#include <gtest/gtest.h>

#include "platform/names.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::wine {
namespace {

using testing::TempPrefix;

TEST(WineEnvironmentTest, VariablesComeFromTheRegistryAndTheProfile) {
  TempPrefix prefix("alice");
  prefix.String(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager\\Environment", L"ComSpec",
                L"%SystemRoot%\\system32\\cmd.exe", REG_EXPAND_SZ)
      .String(HKEY_CURRENT_USER, L"Environment", L"MYTOOLS", L"%APPDATA%\\tools", REG_EXPAND_SZ)
      .String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
              L"D:\\Apps");
  auto p = prefix.Open();
  EXPECT_EQ(p->GetEnvironmentVariable(L"userprofile"), L"C:\\users\\alice");
  EXPECT_EQ(p->GetEnvironmentVariable(L"USERNAME"), L"alice");
  EXPECT_EQ(p->GetEnvironmentVariable(L"TEMP"), L"C:\\users\\alice\\Temp");
  EXPECT_EQ(p->GetEnvironmentVariable(L"ComSpec"), L"C:\\windows\\system32\\cmd.exe");
  EXPECT_EQ(p->GetEnvironmentVariable(L"MYTOOLS"), L"C:\\users\\alice\\AppData\\Roaming\\tools");
  EXPECT_EQ(p->GetEnvironmentVariable(L"ProgramFiles"), L"D:\\Apps");
  EXPECT_EQ(p->GetEnvironmentVariable(L"ALLUSERSPROFILE"), L"C:\\ProgramData");
  EXPECT_EQ(p->TempPath(), L"C:\\users\\alice\\Temp\\");
  // A change to the registry shows in the next expansion.
  HKEY env;
  ASSERT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"Environment", KEY_WRITE, &env), ERROR_SUCCESS);
  ASSERT_EQ(p->SetValue(env, L"MYTOOLS", REG_SZ, testing::StringData(L"X:\\t")), ERROR_SUCCESS);
  p->CloseKey(env);
  EXPECT_EQ(ExpandEnvironment(*p, L"%mytools%\\a"), L"X:\\t\\a");
}

TEST(WineEnvironmentTest, SpecialFoldersPreferTheRegistry) {
  TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                L"Cache", L"%USERPROFILE%\\Local Settings\\Temporary Internet Files", REG_EXPAND_SZ);
  auto p = prefix.Open();
  EXPECT_EQ(p->SpecialFolder(CSIDL_INTERNET_CACHE), L"C:\\users\\tester\\Local Settings\\Temporary Internet Files");
  EXPECT_EQ(p->SpecialFolder(CSIDL_COOKIES), L"C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows\\INetCookies");
  EXPECT_EQ(p->SpecialFolder(CSIDL_LOCAL_APPDATA), L"C:\\users\\tester\\AppData\\Local");
  EXPECT_EQ(p->SpecialFolder(CSIDL_COMMON_APPDATA), L"C:\\ProgramData");
  EXPECT_EQ(p->SpecialFolder(CSIDL_BITBUCKET), L"");
}

TEST(WineEnvironmentTest, ProfileFilesReadAndWrite) {
  TempPrefix prefix;
  prefix.File(L"C:\\p\\profiles.ini",
              "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\nIsRelative=1\r\n"
              "Path=Profiles/abc.default\r\n");
  auto p = prefix.Open();
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\profiles.ini", L"profile0", L"PATH", L"-"), L"Profiles/abc.default");
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\profiles.ini", L"Profile1", L"Path", L"-"), L"-");
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\missing.ini", L"a", L"b", L"fallback"), L"fallback");
  ASSERT_TRUE(p->WriteProfileString(L"C:\\p\\profiles.ini", L"Profile0", L"Name", L"renamed"));
  ASSERT_TRUE(p->WriteProfileString(L"C:\\p\\profiles.ini", L"General", L"Added", L"yes"));
  ASSERT_TRUE(p->WriteProfileString(L"C:\\p\\profiles.ini", L"New", L"k", L"v"));
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\profiles.ini", L"Profile0", L"Name", L""), L"renamed");
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\profiles.ini", L"General", L"Added", L""), L"yes");
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\profiles.ini", L"General", L"StartWithLastProfile", L""), L"1");
  EXPECT_EQ(p->ReadProfileString(L"C:\\p\\profiles.ini", L"New", L"k", L""), L"v");
}

}  // namespace
}  // namespace orvane::wine
