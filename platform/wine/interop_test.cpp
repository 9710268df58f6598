// Our store against real Wine: Wine writes, we read; we write, Wine reads.
// Needs wine64 (the install script brings it); skips when it is absent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "platform/testing/wine_peer.h"
#include "platform/text.h"
#include "platform/wine/hive.h"
#include "platform/wine/hive_reference.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_processes.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;

class WineInterop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing::WinePeer::Available()) return;
    peer_ = new testing::WinePeer();
    prefix_ = peer_->dir();
    pristine_ = prefix_ + ".pristine";
    fs::remove_all(pristine_);
    fs::create_directories(pristine_);
    for (const char* f : {"system.reg", "user.reg", "userdef.reg"}) fs::copy_file(prefix_ + "/" + f, pristine_ + "/" + f);
  }
  static void TearDownTestSuite() {
    if (!peer_) return;
    delete peer_;
    peer_ = nullptr;
    fs::remove_all(pristine_);
  }
  void SetUp() override {
    if (!peer_) GTEST_SKIP() << "wine64 is not installed";
    ASSERT_TRUE(peer_->ready()) << "wineboot did not create " << prefix_;
  }

  static int Run(const std::string& args, std::string* output = nullptr) { return peer_->Run(args, output); }
  static void Wait() { peer_->Wait(); }
  static std::string Quote(const std::string& s) { return testing::WinePeer::Quote(s); }

  static testing::WinePeer* peer_;
  static std::string prefix_, pristine_;
};
testing::WinePeer* WineInterop::peer_ = nullptr;
std::string WineInterop::prefix_, WineInterop::pristine_;

// Marks every key changed, so that the whole file is written anew.
void TouchEveryKey(Hive& h, KeyId k = kRootKey) {
  h.SetModified(k, h.Modified(k));
  for (size_t i = 0; i < h.SubkeyCount(k); ++i) TouchEveryKey(h, h.Subkey(k, i));
}

TEST_F(WineInterop, UntouchedHivesRoundTripByteForByte) {
  for (const char* f : {"system.reg", "user.reg", "userdef.reg"}) {
    std::string text = testing::ReadHostFile(pristine_ + "/" + f);
    Hive hive = Hive::Parse(text);
    EXPECT_TRUE(hive.complete()) << f;
    EXPECT_EQ(hive.Serialize(), text) << f;
    EXPECT_EQ(DifferenceFromReference(hive, ReferenceHive::Parse(text)), "") << f;
    // Every key written as we write a changed one: Wine's own text again.
    TouchEveryKey(hive);
    EXPECT_EQ(hive.Serialize(), text) << f;
  }
}

TEST_F(WineInterop, WhatWineWritesWeRead) {
  const std::string key = "HKCU\\Software\\OrvaneInterop";
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v " + Quote("quo\"te\\name") + " /d " + Quote("C:\\path \"with\" quotes") + " /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v unicode /d " + Quote("caf\xC3\xA9 \xE2\x82\xAC") + " /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v empty /d \"\" /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /ve /d defaultdata /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v expand /t REG_EXPAND_SZ /d " + Quote("%SystemRoot%\\x.dll") + " /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v multi /t REG_MULTI_SZ /d " + Quote("one\\0two") + " /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v bin /t REG_BINARY /d 0102ff /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key) + " /v dw /t REG_DWORD /d 42 /f"), 0);
  ASSERT_EQ(Run("reg add " + Quote(key + "\\Sub Key") + " /f"), 0);
  Wait();

  WinePlatform p({prefix_, ""});
  ASSERT_TRUE(p.LoadProblems().empty());
  const std::wstring k = L"Software\\OrvaneInterop";
  EXPECT_EQ(ReadRegistryString(p, HKEY_CURRENT_USER, k, L"quo\"te\\name"), L"C:\\path \"with\" quotes");
  EXPECT_EQ(ReadRegistryString(p, HKEY_CURRENT_USER, k, L"unicode"), L"caf\x00e9 \x20ac");
  EXPECT_EQ(ReadRegistryString(p, HKEY_CURRENT_USER, k, L"empty"), L"");
  EXPECT_EQ(ReadRegistryString(p, HKEY_CURRENT_USER, k, L""), L"defaultdata");
  HKEY h;
  ASSERT_EQ(p.OpenKey(HKEY_CURRENT_USER, k, KEY_READ, &h), ERROR_SUCCESS);
  DWORD type;
  std::string data;
  ASSERT_EQ(static_cast<Platform&>(p).QueryValue(h, L"expand", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_EXPAND_SZ);
  ASSERT_EQ(static_cast<Platform&>(p).QueryValue(h, L"multi", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_MULTI_SZ);
  EXPECT_EQ(Utf16leToWide(data), std::wstring(L"one\0two\0\0", 9));
  ASSERT_EQ(static_cast<Platform&>(p).QueryValue(h, L"bin", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(data, "\x01\x02\xff");
  ASSERT_EQ(static_cast<Platform&>(p).QueryValue(h, L"empty", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, std::string(2, '\0'));
  DWORD subs = 0;
  ASSERT_EQ(p.QueryInfoKey(h, &subs, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(subs, 1u);
  p.CloseKey(h);
  HKEY cu;
  ASSERT_EQ(p.OpenKey(HKEY_CURRENT_USER, k, KEY_READ, &cu), ERROR_SUCCESS);
  ASSERT_EQ(static_cast<Platform&>(p).QueryValue(cu, L"dw", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(data, std::string("\x2a\0\0\0", 4));
  p.CloseKey(cu);
}

TEST_F(WineInterop, WhatWeWriteWineReads) {
  {
    WinePlatform p({prefix_, ""});
    ASSERT_TRUE(p.CheckWritable());
    const std::wstring k = L"Software\\OrvaneOurs";
    ASSERT_TRUE(WriteRegistryString(p, HKEY_LOCAL_MACHINE, k, L"name \"q\"", L"C:\\dir\\file.exe"));
    ASSERT_TRUE(WriteRegistryDword(p, HKEY_LOCAL_MACHINE, k, L"count", 7));
    ASSERT_TRUE(WriteRegistryString(p, HKEY_LOCAL_MACHINE, k, L"gone", L"x"));
    ASSERT_TRUE(WriteRegistryString(p, HKEY_LOCAL_MACHINE, k + L"\\Child", L"v", L"1"));
    ASSERT_TRUE(WriteRegistryString(p, HKEY_LOCAL_MACHINE, k + L"\\Doomed", L"v", L"1"));
    ASSERT_TRUE(DeleteRegistryValue(p, HKEY_LOCAL_MACHINE, k, L"gone"));
    HKEY h;
    ASSERT_EQ(p.OpenKey(HKEY_LOCAL_MACHINE, k, KEY_WRITE, &h), ERROR_SUCCESS);
    ASSERT_EQ(p.DeleteKey(h, L"Doomed"), ERROR_SUCCESS);
    p.CloseKey(h);
    ASSERT_TRUE(p.Flush());
  }
  std::string out;
  ASSERT_EQ(Run("reg query 'HKLM\\Software\\OrvaneOurs'", &out), 0) << "Wine failed to start on our hive";
  EXPECT_NE(out.find("name \"q\"    REG_SZ    C:\\dir\\file.exe"), std::string::npos) << out;
  EXPECT_NE(out.find("count    REG_DWORD    0x7"), std::string::npos) << out;
  EXPECT_EQ(out.find("gone"), std::string::npos) << out;
  EXPECT_NE(out.find("OrvaneOurs\\Child"), std::string::npos) << out;
  EXPECT_EQ(out.find("Doomed"), std::string::npos) << out;
  Wait();
  // Wine saved its own view back; our store still reads it completely.
  WinePlatform again({prefix_, ""});
  EXPECT_TRUE(again.LoadProblems().empty());
  EXPECT_EQ(ReadRegistryString(again, HKEY_LOCAL_MACHINE, L"Software\\OrvaneOurs\\Child", L"v"), L"1");
}

TEST_F(WineInterop, NoWritesWhileTheServerRuns) {
  // A persistent server stands in for a running Wine program.
  ASSERT_EQ(peer_->StartServer(), 0);
  for (int i = 0; i < 100; ++i) {
    WinePlatform probe({prefix_, ""});
    if (!probe.CheckWritable()) break;
    usleep(20000);
  }
  {
    WinePlatform p({prefix_, ""});
    Status s = p.CheckWritable();
    EXPECT_FALSE(s);
    EXPECT_FALSE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\Blocked", L"v", L"1"));
  }
  peer_->KillServer();
  Wait();
  EXPECT_EQ(testing::ReadHostFile(prefix_ + "/user.reg").find("Blocked"), std::string::npos);
}

TEST_F(WineInterop, AServerWithAnotherTmpdirBlocksWritesAndIsNamed) {
  // Debian's Wine makes its server folder in $TMPDIR: a server started with
  // another one (or in a sandbox with its own /tmp) has its socket and lock
  // where no fixed path finds them.
  std::string server;
  for (const char* c : {"/usr/lib/wine/wineserver64", "/usr/lib/wine/wineserver", "/usr/bin/wineserver"})
    if (access(c, X_OK) == 0 && server.empty()) server = c;
  ASSERT_FALSE(server.empty());
  std::string tmpl = (fs::temp_directory_path() / "orvane-other-tmp-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  const std::string env = "env WINEPREFIX=" + testing::WinePeer::Quote(prefix_) +
                          " TMPDIR=" + testing::WinePeer::Quote(tmpl) + " " + testing::WinePeer::Quote(server);
  struct Stop {
    std::string env, dir;
    ~Stop() {
      [[maybe_unused]] int rc = std::system((env + " -k 2>/dev/null; " + env + " -w").c_str());
      fs::remove_all(dir);
    }
  } stop{env, tmpl};
  ASSERT_EQ(std::system((env + " -p").c_str()), 0);
  int pid = 0;
  for (int i = 0; i < 200 && pid == 0; ++i) {
    std::vector<WineUser> users;
    if (FindWineUsers("/proc", prefix_, &users) && !users.empty() && users[0].server) pid = users[0].pid;
    if (pid == 0) usleep(50000);
  }
  ASSERT_NE(pid, 0) << "the server did not start";
  {
    WinePlatform p({prefix_, ""});
    Status s = p.CheckWritable();
    ASSERT_FALSE(s);
    EXPECT_NE(WideToUtf8(s.message).find("a wineserver (pid " + std::to_string(pid) + ", " + server),
              std::string::npos)
        << WideToUtf8(s.message);
    EXPECT_FALSE(WriteRegistryString(p, HKEY_CURRENT_USER, L"Software\\Blocked", L"v", L"1"));
  }
  ASSERT_EQ(std::system((env + " -k; " + env + " -w").c_str()), 0);
  WinePlatform after({prefix_, ""});
  EXPECT_TRUE(after.CheckWritable()) << WideToUtf8(after.CheckWritable().message);
  EXPECT_EQ(testing::ReadHostFile(prefix_ + "/user.reg").find("Blocked"), std::string::npos);
}

TEST_F(WineInterop, AValueWineAddsWhileWeHoldChangesIsNeverLost) {
  ASSERT_EQ(Run("reg add 'HKCU\\Software\\OrvaneRace' /v old /d 1 /f"), 0);
  Wait();
  WinePlatform p({prefix_, ""});
  // A repair in the middle of its work: a deletion not yet saved.
  ASSERT_TRUE(DeleteRegistryValue(p, HKEY_CURRENT_USER, L"Software\\OrvaneRace", L"old"));
  // Meanwhile someone runs reg.exe in the prefix; its server saves on exit.
  ASSERT_EQ(Run("reg add 'HKCU\\Software\\OrvaneRace' /v theirs /d 2 /f"), 0);
  Wait();
  Status saved = p.Flush();
  EXPECT_FALSE(saved);
  EXPECT_NE(WideToUtf8(saved.message).find("changed by another program"), std::string::npos);
  std::string out;
  ASSERT_EQ(Run("reg query 'HKCU\\Software\\OrvaneRace'", &out), 0);
  EXPECT_NE(out.find("theirs"), std::string::npos) << out;
  EXPECT_NE(out.find("old"), std::string::npos) << out;
  Wait();
}

}  // namespace
}  // namespace orvane::wine
