// The two views over prefixes built from code: which key each flag opens.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRun32[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Read(Platform& p, HKEY root, const std::wstring& key, DWORD view, const std::wstring& name) {
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ | view, &k) != ERROR_SUCCESS) return L"<no key>";
  DWORD type = 0;
  std::string data;
  LONG rc = p.QueryValue(k, name, &type, &data);
  p.CloseKey(k);
  return rc == ERROR_SUCCESS ? RegistryDataAsText(data) : L"<no value>";
}

std::vector<std::wstring> Subkeys(Platform& p, HKEY root, const std::wstring& key, DWORD view) {
  std::vector<std::wstring> names;
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ | view, &k) != ERROR_SUCCESS) return names;
  std::wstring name;
  for (DWORD i = 0; p.EnumKey(k, i, &name) == ERROR_SUCCESS; ++i) names.push_back(name);
  p.CloseKey(k);
  return names;
}

void SetArch(const std::string& dir, const std::string& arch) {
  std::ifstream in(dir + "/system.reg");
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  size_t at = s.find("#arch=win64");
  ASSERT_NE(at, std::string::npos);
  s.replace(at, 11, "#arch=" + arch);
  std::ofstream(dir + "/system.reg", std::ios::trunc) << s;
}

// A 64-bit prefix whose Run key holds another program in each view.
testing::TempPrefix& TwoRunKeys(testing::TempPrefix& prefix) {
  return prefix.String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"C:\\Program Files\\Tool\\tool.exe")
      .String(HKEY_LOCAL_MACHINE, kRun32, L"Tool", L"C:\\Program Files (x86)\\Tool\\tool.exe")
      .String(HKEY_CURRENT_USER, L"Software\\Own", L"v", L"user")
      .String(HKEY_LOCAL_MACHINE, L"System\\Own", L"v", L"system")
      .String(HKEY_CLASSES_ROOT, L"CLSID\\{A}\\InprocServer32", L"", L"a64.dll")
      .String(HKEY_CLASSES_ROOT, L"Wow6432Node\\CLSID\\{B}\\InprocServer32", L"", L"b32.dll");
}

TEST(RegistryViews, AKeyInBothViewsReadsEachViewsOwnData) {
  testing::TempPrefix prefix;
  auto p = TwoRunKeys(prefix).Open();
  EXPECT_EQ(Read(*p, HKEY_LOCAL_MACHINE, kRun, 0, L"Tool"), L"C:\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(Read(*p, HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_64KEY, L"Tool"), L"C:\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(Read(*p, HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, L"Tool"), L"C:\\Program Files (x86)\\Tool\\tool.exe");
  // Naming Wow6432Node in the path opens it in either view, as Windows does.
  EXPECT_EQ(Read(*p, HKEY_LOCAL_MACHINE, kRun32, KEY_WOW64_32KEY, L"Tool"), L"C:\\Program Files (x86)\\Tool\\tool.exe");
  // HKLM\Software\Classes reaches the same key through the link Wine makes
  // at Software\Wow6432Node\Classes (the contract test against Wine holds it).
  EXPECT_EQ(Subkeys(*p, HKEY_CLASSES_ROOT, L"CLSID", KEY_WOW64_32KEY), std::vector<std::wstring>{L"{B}"});
  EXPECT_EQ(Subkeys(*p, HKEY_CLASSES_ROOT, L"CLSID", 0), std::vector<std::wstring>{L"{A}"});
  EXPECT_TRUE(p->SeparateIn32BitView(HKEY_LOCAL_MACHINE, kRun));
  EXPECT_TRUE(p->SeparateIn32BitView(HKEY_CLASSES_ROOT, L"CLSID"));
}

TEST(RegistryViews, KeysThatAreNotRedirectedAreOneKeyInBothViews) {
  testing::TempPrefix prefix;
  auto p = TwoRunKeys(prefix).Open();
  EXPECT_EQ(Read(*p, HKEY_CURRENT_USER, L"Software\\Own", KEY_WOW64_32KEY, L"v"), L"user");
  EXPECT_EQ(Read(*p, HKEY_LOCAL_MACHINE, L"System\\Own", KEY_WOW64_32KEY, L"v"), L"system");
  EXPECT_FALSE(p->SeparateIn32BitView(HKEY_CURRENT_USER, L"Software\\Own"));
  EXPECT_FALSE(p->SeparateIn32BitView(HKEY_LOCAL_MACHINE, L"System\\Own"));
  // A 64-bit key with no 32-bit twin: the 32-bit view has nothing there.
  EXPECT_EQ(Read(*p, HKEY_CLASSES_ROOT, L"CLSID\\{A}\\InprocServer32", KEY_WOW64_32KEY, L""), L"<no key>");
  EXPECT_FALSE(p->SeparateIn32BitView(HKEY_CLASSES_ROOT, L"CLSID\\{A}"));
}

TEST(RegistryViews, ACreateInThe32BitViewLandsUnderWow6432Node) {
  testing::TempPrefix prefix;
  auto p = TwoRunKeys(prefix).Open();
  HKEY key;
  ASSERT_EQ(p->CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Maker\\App", &key, KEY_WOW64_32KEY), ERROR_SUCCESS);
  p->CloseKey(key);
  ASSERT_EQ(p->CreateKey(HKEY_CURRENT_USER, L"Software\\Maker", &key, KEY_WOW64_32KEY), ERROR_SUCCESS);
  p->CloseKey(key);
  EXPECT_EQ(p->OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Maker\\App", KEY_READ, &key), ERROR_SUCCESS);
  p->CloseKey(key);
  EXPECT_EQ(p->OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Maker", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"Software\\Maker", KEY_READ, &key), ERROR_SUCCESS);
  p->CloseKey(key);
}

TEST(RegistryViews, AThirtyTwoBitPrefixHasOneView) {
  testing::TempPrefix prefix;
  TwoRunKeys(prefix).Write();
  SetArch(prefix.dir(), "win32");
  WinePlatform p(prefix.Options());
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, L"Tool"), L"C:\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_64KEY, L"Tool"), L"C:\\Program Files\\Tool\\tool.exe");
  EXPECT_FALSE(p.SeparateIn32BitView(HKEY_LOCAL_MACHINE, kRun));
  HKEY key;
  ASSERT_EQ(p.CreateKey(HKEY_LOCAL_MACHINE, L"Software\\Maker", &key, KEY_WOW64_32KEY), ERROR_SUCCESS);
  p.CloseKey(key);
  EXPECT_EQ(p.OpenKey(HKEY_LOCAL_MACHINE, L"Software\\Maker", KEY_READ, &key), ERROR_SUCCESS);
  p.CloseKey(key);
}

}  // namespace
}  // namespace orvane::wine
