// The two views against Wine's own reg.exe in a fresh 64-bit prefix: what it
// writes with /reg:32 or /reg:64 we read in that view, what we write in a
// view it reads there, and the keys it shares are one key to us too.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "platform/registry_values.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

constexpr char kGuid[] = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
const std::wstring kCurrent = L"Software\\Microsoft\\Windows\\CurrentVersion\\";

class RegistryViewsWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (testing::WinePeer::Available()) peer_ = new testing::WinePeer();
  }
  static void TearDownTestSuite() {
    delete peer_;
    peer_ = nullptr;
  }
  void SetUp() override {
    if (!peer_) GTEST_SKIP() << "wine64 is not installed";
    ASSERT_TRUE(peer_->ready());
  }
  static int Reg(const std::string& args, std::string* output = nullptr) { return peer_->Run("reg " + args, output); }
  static std::string Q(const std::string& s) { return testing::WinePeer::Quote(s); }

  static testing::WinePeer* peer_;
};
testing::WinePeer* RegistryViewsWine::peer_ = nullptr;

std::wstring Read(Platform& p, HKEY root, const std::wstring& key, DWORD view, const std::wstring& name) {
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ | view, &k) != ERROR_SUCCESS) return L"<no key>";
  DWORD type = 0;
  std::string data;
  LONG rc = p.QueryValue(k, name, &type, &data);
  p.CloseKey(k);
  return rc == ERROR_SUCCESS ? RegistryDataAsText(data) : L"<no value>";
}

bool Opens(Platform& p, HKEY root, const std::wstring& key, DWORD view) {
  HKEY k;
  if (p.OpenKey(root, key, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  p.CloseKey(k);
  return true;
}

// The subkey names reg.exe lists under a key, in its order.
std::vector<std::wstring> ListedSubkeys(const std::string& output, const std::string& key) {
  std::vector<std::wstring> names;
  std::istringstream in(output);
  std::string line;
  const std::string prefix = key + "\\";
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(prefix, 0) == 0) names.push_back(Utf8ToWide(line.substr(prefix.size())));
  }
  return names;
}

TEST_F(RegistryViewsWine, WhatRegWritesInAViewWeReadInThatView) {
  ASSERT_EQ(Reg("add " + Q("HKLM\\Software\\OrvaneViews") + " /v where /d thirty-two /f /reg:32"), 0);
  ASSERT_EQ(Reg("add " + Q("HKLM\\Software\\OrvaneViews") + " /v where /d sixty-four /f /reg:64"), 0);
  ASSERT_EQ(Reg("add " +
                Q("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstal"
                  "l\\OrvaneViews") +
                " /v DisplayName /d Views32 /f /reg:32"),
            0);
  ASSERT_EQ(Reg("add " +
                Q("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
                  "Paths\\views32.exe") +
                " /ve /d " + Q("C:\\v\\views32.exe") + " /f /reg:32"),
            0);
  ASSERT_EQ(
      Reg("add " + Q("HKCR\\CLSID\\" + std::string(kGuid) + "\\InprocServer32") + " /ve /d views32.dll /f /reg:32"), 0);
  ASSERT_EQ(Reg("add " + Q("HKLM\\Software\\Classes\\TypeLib\\" + std::string(kGuid)) + " /ve /d lib /f /reg:32"), 0);
  ASSERT_EQ(Reg("add " + Q("HKCU\\Software\\OrvaneViews") + " /v who /d user /f /reg:32"), 0);
  ASSERT_EQ(Reg("add " + Q("HKLM\\System\\OrvaneViews") + " /v who /d system /f /reg:32"), 0);
  peer_->Wait();

  WinePlatform p({peer_->dir(), ""});
  // One key in both views with other data in each.
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, L"Software\\OrvaneViews", KEY_WOW64_32KEY, L"where"), L"thirty-two");
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, L"Software\\OrvaneViews", 0, L"where"), L"sixty-four");
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\OrvaneViews", 0, L"where"), L"thirty-two");
  // Redirected: only the 32-bit view has it.
  const std::wstring uninstall = kCurrent + L"Uninstall\\OrvaneViews";
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, uninstall, KEY_WOW64_32KEY, L"DisplayName"), L"Views32");
  EXPECT_FALSE(Opens(p, HKEY_LOCAL_MACHINE, uninstall, 0));
  EXPECT_TRUE(p.SeparateIn32BitView(HKEY_LOCAL_MACHINE, kCurrent + L"Uninstall"));
  const std::wstring clsid = L"CLSID\\" + Utf8ToWide(kGuid) + L"\\InprocServer32";
  EXPECT_EQ(Read(p, HKEY_CLASSES_ROOT, clsid, KEY_WOW64_32KEY, L""), L"views32.dll");
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + clsid, KEY_WOW64_32KEY, L""), L"views32.dll");
  EXPECT_FALSE(Opens(p, HKEY_CLASSES_ROOT, clsid, 0));
  EXPECT_TRUE(p.SeparateIn32BitView(HKEY_CLASSES_ROOT, L"CLSID"));
  // Shared (Wine's links under Wow6432Node) and never redirected: one key.
  const std::wstring app = kCurrent + L"App Paths\\views32.exe";
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, app, 0, L""), L"C:\\v\\views32.exe");
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, app, KEY_WOW64_32KEY, L""), L"C:\\v\\views32.exe");
  EXPECT_FALSE(p.SeparateIn32BitView(HKEY_LOCAL_MACHINE, kCurrent + L"App Paths"));
  EXPECT_TRUE(Opens(p, HKEY_CLASSES_ROOT, L"TypeLib\\" + Utf8ToWide(kGuid), 0));
  EXPECT_FALSE(p.SeparateIn32BitView(HKEY_CLASSES_ROOT, L"TypeLib"));
  EXPECT_FALSE(p.SeparateIn32BitView(HKEY_CLASSES_ROOT, L"AppID"));
  EXPECT_EQ(Read(p, HKEY_CURRENT_USER, L"Software\\OrvaneViews", 0, L"who"), L"user");
  EXPECT_FALSE(p.SeparateIn32BitView(HKEY_CURRENT_USER, L"Software\\OrvaneViews"));
  EXPECT_EQ(Read(p, HKEY_LOCAL_MACHINE, L"System\\OrvaneViews", 0, L"who"), L"system");
  EXPECT_FALSE(p.SeparateIn32BitView(HKEY_LOCAL_MACHINE, L"System\\OrvaneViews"));
}

TEST_F(RegistryViewsWine, WhatWeWriteInThe32BitViewRegReadsThere) {
  peer_->Wait();
  {
    WinePlatform p({peer_->dir(), ""});
    HKEY key;
    ASSERT_EQ(p.CreateKey(HKEY_LOCAL_MACHINE, kCurrent + L"Run", &key, KEY_WOW64_32KEY), ERROR_SUCCESS);
    std::string data = WideToUtf16le(L"C:\\v\\run32.exe");
    data.append(2, '\0');
    ASSERT_EQ(p.SetValue(key, L"OrvaneViews", REG_SZ, data), ERROR_SUCCESS);
    p.CloseKey(key);
    ASSERT_EQ(p.CreateKey(HKEY_CLASSES_ROOT, L"CLSID\\{0F1E2D3C-0000-0000-0000-A5B4C3D2E1F0}", &key, KEY_WOW64_32KEY),
              ERROR_SUCCESS);
    p.CloseKey(key);
    ASSERT_TRUE(p.Flush().ok);
  }
  std::string out;
  EXPECT_EQ(
      Reg("query " + Q("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run") + " /v OrvaneViews /reg:32", &out),
      0);
  EXPECT_NE(out.find("C:\\v\\run32.exe"), std::string::npos) << out;
  EXPECT_NE(Reg("query " + Q("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run") + " /v OrvaneViews /reg:64"),
            0);
  EXPECT_EQ(Reg("query " + Q("HKCR\\CLSID\\{0F1E2D3C-0000-0000-0000-A5B4C3D2E1F0}") + " /reg:32"), 0);
  EXPECT_NE(Reg("query " + Q("HKCR\\CLSID\\{0F1E2D3C-0000-0000-0000-A5B4C3D2E1F0}") + " /reg:64"), 0);
}

TEST_F(RegistryViewsWine, SubkeysOfSoftwareAreListedAsRegListsThem) {
  for (const char* view : {"/reg:32", "/reg:64"}) {
    std::string out;
    ASSERT_EQ(Reg("query " + Q("HKLM\\Software") + " " + view, &out), 0);
    std::vector<std::wstring> listed = ListedSubkeys(out, "HKEY_LOCAL_MACHINE\\Software");
    ASSERT_FALSE(listed.empty()) << out;
    peer_->Wait();
    WinePlatform p({peer_->dir(), ""});
    HKEY key;
    ASSERT_EQ(p.OpenKey(HKEY_LOCAL_MACHINE, L"Software", KEY_READ | (view[5] == '3' ? KEY_WOW64_32KEY : 0), &key),
              ERROR_SUCCESS);
    std::vector<std::wstring> ours;
    std::wstring name;
    for (DWORD i = 0; p.EnumKey(key, i, &name, Platform::kNoLimit) == ERROR_SUCCESS; ++i) ours.push_back(name);
    p.CloseKey(key);
    // reg.exe lists link keys too; we never list them, so compare what we list.
    for (const std::wstring& n : ours)
      EXPECT_NE(std::find_if(listed.begin(), listed.end(), [&](const std::wstring& l) { return EqualsNoCase(l, n); }),
                listed.end())
          << view << " " << WideToUtf8(n);
    EXPECT_GE(listed.size(), ours.size()) << view;
  }
}

}  // namespace
}  // namespace orvane::wine
