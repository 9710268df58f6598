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
  // What FindWineUsers reads besides: the working folder, open files, and
  // the process's own view of the file system (a sandbox's mounts).
  void Cwd(int pid, const std::string &target) { fs::create_symlink(target, Dir(pid) + "/cwd"); }
  void OpenFile(int pid, int fd, const std::string &target) {
    fs::create_directories(Dir(pid) + "/fd");
    fs::create_symlink(target, Dir(pid) + "/fd/" + std::to_string(fd));
  }
  void Sandbox(int pid, const std::string &root) {
    fs::create_directories(Dir(pid) + "/ns");
    fs::create_symlink("mnt:[1]", Dir(pid) + "/ns/mnt");
    fs::create_symlink(root, Dir(pid) + "/root");
  }
  std::string Dir(int pid) const { return root_ + "/proc/" + std::to_string(pid); }
  std::string proc() const { return root_ + "/proc"; }
  std::string root() const { return root_; }
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

TEST(WinePrefixProcesses, EveryWineProcessThatUsesThePrefixIsFoundServersFirst) {
  FakeProc proc;
  const std::string machine = proc.machine();
  const std::string elsewhere = "WINEPREFIX="s + proc.home() + "/.wine\0"s;
  fs::create_directories(machine + "/drive_c/windows");
  // Named by its environment, as every process Wine starts for the prefix.
  proc.Add(20, "/usr/lib/wine/wine64", "WINEPREFIX="s + machine + "\0"s, "C:\\windows\\system32\\cmd.exe\0"s);
  // Another prefix's, but working in ours, or holding one of its files.
  proc.Add(30, "/usr/lib/wine/wine64", elsewhere, "C:\\windows\\notepad.exe\0"s);
  proc.Cwd(30, machine + "/drive_c/windows");
  proc.Add(31, "/usr/lib/wine/wineserver64", elsewhere, "/usr/lib/wine/wineserver64\0"s);
  proc.Cwd(31, "/tmp");
  proc.OpenFile(31, 3, "pipe:[123]");
  proc.OpenFile(31, 4, machine + "/drive_c/windows/x.dll (deleted)");
  // A server in a sandbox: its WINEPREFIX leads to our prefix from its root.
  fs::create_directories(proc.root() + "/sandbox/data");
  fs::create_directory_symlink(machine, proc.root() + "/sandbox/data/prefix");
  proc.Add(40, "/app/bin/wineserver", "WINEPREFIX=/data/prefix\0"s, "wineserver\0"s);
  proc.Sandbox(40, proc.root() + "/sandbox");
  // Not ours: a host program working in the prefix, a folder whose name
  // only starts like the prefix's, another prefix's process.
  proc.Add(50, "/bin/bash", "WINEPREFIX="s + machine + "\0"s, "bash\0"s);
  proc.Cwd(50, machine);
  fs::create_directories(machine + "-old");
  proc.Add(51, "/usr/lib/wine/wine64", elsewhere, "C:\\x.exe\0"s);
  proc.Cwd(51, machine + "-old");
  proc.Add(52, "/usr/lib/wine/wine64", elsewhere, "C:\\y.exe\0"s);

  std::vector<WineUser> users;
  ASSERT_TRUE(FindWineUsers(proc.proc(), machine, &users));
  ASSERT_EQ(users.size(), 4u);
  EXPECT_EQ(users[0].pid, 31);
  EXPECT_TRUE(users[0].server);
  EXPECT_EQ(users[0].program, "/usr/lib/wine/wineserver64");
  EXPECT_EQ(users[0].how, "it holds " + machine + "/drive_c/windows/x.dll (deleted) open");
  EXPECT_EQ(users[1].pid, 40);
  EXPECT_EQ(users[1].how, "its environment names the prefix");
  EXPECT_EQ(users[2].pid, 20);
  EXPECT_FALSE(users[2].server);
  EXPECT_EQ(users[2].image, "C:\\windows\\system32\\cmd.exe");
  EXPECT_EQ(users[3].pid, 30);
  EXPECT_EQ(users[3].how, "it works in " + machine + "/drive_c/windows");
  ASSERT_TRUE(FindWineUsers(proc.proc(), proc.home() + "/elsewhere", &users));
  EXPECT_TRUE(users.empty());
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
