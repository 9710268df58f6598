#include "platform/wine/wine_processes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;

// A /proc look-alike: one folder per process with the three entries the
// listing reads.
class FakeProc {
 public:
  FakeProc() {
    std::string tmpl = (fs::temp_directory_path() / "orvane-proc-XXXXXX").string();
    root_ = mkdtemp(tmpl.data());
    fs::create_directories(root_ + "/machine");
    fs::create_directories(root_ + "/home/.wine");
  }
  ~FakeProc() { fs::remove_all(root_); }

  void Add(int pid, const std::string &exe, const std::string &environ_block, const std::string &cmdline) {
    std::string dir = root_ + "/proc/" + std::to_string(pid);
    fs::create_directories(dir);
    fs::create_symlink(exe, dir + "/exe");
    if (!environ_block.empty()) std::ofstream(dir + "/environ", std::ios::binary) << environ_block;
    std::ofstream(dir + "/cmdline", std::ios::binary) << cmdline;
  }
  std::string proc() const { return root_ + "/proc"; }
  std::string machine() const { return root_ + "/machine"; }
  std::string home() const { return root_ + "/home"; }

 private:
  std::string root_;
};

using namespace std::string_literals;

TEST(WinePrefixProcesses, OnlyWindowsProcessesOfThisPrefixAreListedInIdOrder) {
  FakeProc proc;
  const std::string loader = "/usr/lib/wine/wine64";
  const std::string ours = "WINEPREFIX="s + proc.machine() + "/\0HOME=/nowhere\0"s;
  proc.Add(310, loader, ours, "C:\\windows\\system32\\services.exe\0\0\0"s);
  proc.Add(42, "/usr/lib/wine/wine64-preloader", ours, "C:\\Program Files\\App\\app.exe\0-x\0"s);
  // The same machine's server, and a loader that has not yet named its image.
  proc.Add(311, "/usr/lib/wine/wineserver64", ours, "/usr/lib/wine/wineserver64\0-p0\0"s);
  proc.Add(312, loader, ours, "start.exe\0/exec\0ping\0"s);
  // Another prefix's process, and a host program that only looks the part.
  proc.Add(400, loader, "WINEPREFIX="s + proc.home() + "/.wine\0"s, "C:\\windows\\notepad.exe\0"s);
  proc.Add(401, "/usr/bin/python3", ours, "C:\\windows\\notepad.exe\0"s);
  // Environment not readable (another user's process).
  proc.Add(402, loader, "", "C:\\windows\\notepad.exe\0"s);
  proc.Add(403, loader, ours, "");
  fs::create_directories(proc.proc() + "/self");

  std::vector<MachineProcess> list;
  ASSERT_TRUE(ListPrefixProcesses(proc.proc(), proc.machine() + "//", &list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].id, 42u);
  EXPECT_EQ(list[0].image_path, L"C:\\Program Files\\App\\app.exe");
  EXPECT_EQ(list[1].id, 310u);
  EXPECT_EQ(list[1].image_path, L"C:\\windows\\system32\\services.exe");
}

TEST(WinePrefixProcesses, WithoutWineprefixWinesDefaultUnderHomeCounts) {
  FakeProc proc;
  proc.Add(7, "/usr/bin/wine", "HOME="s + proc.home() + "\0"s, "C:\\windows\\explorer.exe\0"s);
  std::vector<MachineProcess> list;
  ASSERT_TRUE(ListPrefixProcesses(proc.proc(), proc.home() + "/.wine", &list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].image_path, L"C:\\windows\\explorer.exe");
  ASSERT_TRUE(ListPrefixProcesses(proc.proc(), proc.machine(), &list));
  EXPECT_TRUE(list.empty());
}

TEST(WinePrefixProcesses, NothingOutsideThePrefixCanBeTerminated) {
  EXPECT_FALSE(TerminatePrefixProcess("/nonexistent-prefix", static_cast<DWORD>(getpid())));
  EXPECT_FALSE(TerminatePrefixProcess("/nonexistent-prefix", 1));
  EXPECT_FALSE(TerminatePrefixProcess("/nonexistent-prefix", 0));
  std::vector<MachineProcess> list;
  EXPECT_FALSE(ListPrefixProcesses("/nonexistent-proc", "/x", &list));
}

}  // namespace
}  // namespace orvane::wine
