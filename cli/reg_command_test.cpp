#include "cli/reg_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"

namespace orvane::cli {
namespace {

struct Result {
  int code;
  std::string out, err;
};

Result Reg(Platform& p, std::vector<std::string> args) {
  std::ostringstream out, err;
  int code = RunReg(p, args, out, err);
  return {code, out.str(), err.str()};
}

TEST(RegCommandTest, AddQueryDeleteRoundTrip) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/v", "s", "/d", "C:\\a \"b\""}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKEY_CURRENT_USER\\Software\\T", "/v", "d", "/t", "REG_DWORD", "/d", "0x10"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "hkcu\\Software\\T", "/v", "m", "/t", "REG_MULTI_SZ", "/d", "a\\0b"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/v", "b", "/t", "REG_BINARY", "/d", "00ff"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/ve", "/d", "def"}).code, 0);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T\\Sub"}).code, 0);

  Result q = Reg(*p, {"query", "HKCU\\Software\\T"});
  EXPECT_EQ(q.code, 0);
  EXPECT_EQ(q.out,
            "HKEY_CURRENT_USER\\Software\\T\n"
            "    (Default)    REG_SZ    def\n"
            "    b    REG_BINARY    00FF\n"
            "    d    REG_DWORD    0x10\n"
            "    m    REG_MULTI_SZ    a\\0b\n"
            "    s    REG_SZ    C:\\a \"b\"\n"
            "\n"
            "HKEY_CURRENT_USER\\Software\\T\\Sub\n"
            "\n");
  EXPECT_EQ(Reg(*p, {"query", "HKCU\\Software\\T", "/v", "d"}).out,
            "HKEY_CURRENT_USER\\Software\\T\n    d    REG_DWORD    0x10\n\n");

  // Existing values need /f; deletes always do.
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\Software\\T", "/v", "s", "/d", "new"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKCU\\Software\\T", "/v", "s"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKCU\\Software\\T", "/v", "s", "/f"}).code, 0);
  EXPECT_EQ(Reg(*p, {"query", "HKCU\\Software\\T", "/v", "s"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKCU\\Software\\T", "/f"}).code, 0);
  EXPECT_EQ(Reg(*p, {"query", "HKCU\\Software\\T"}).code, 1);

  // The changes reached the hive files.
  wine::WinePlatform again({prefix.dir(), prefix.user()});
  HKEY k;
  EXPECT_EQ(again.OpenKey(HKEY_CURRENT_USER, L"Software\\T", KEY_READ, &k), ERROR_FILE_NOT_FOUND);
}

TEST(RegCommandTest, RejectsBadInputWithoutChangingAnything) {
  testing::TempPrefix prefix;
  auto p = prefix.Open();
  EXPECT_EQ(Reg(*p, {"add", "HKXX\\Software"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v", "d", "/t", "REG_DWORD", "/d", "4294967296"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v", "b", "/t", "REG_BINARY", "/d", "0g"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v", "x", "/t", "REG_WHATEVER"}).code, 1);
  EXPECT_EQ(Reg(*p, {"add", "HKCU\\S", "/v"}).code, 1);
  EXPECT_EQ(Reg(*p, {"delete", "HKLM", "/f"}).code, 1);
  HKEY k;
  EXPECT_EQ(p->OpenKey(HKEY_CURRENT_USER, L"S", KEY_READ, &k), ERROR_FILE_NOT_FOUND);
}

// An orvane-cli run in the background, its output kept in a file.
struct Running {
  pid_t pid = -1;
  std::string log;
};

Running Spawn(const std::vector<std::string>& args, const std::string& log) {
  std::vector<char*> argv;
  std::string program = ORVANE_CLI;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&files, 1, 2);
  Running r;
  r.log = log;
  if (posix_spawn(&r.pid, program.c_str(), &files, nullptr, argv.data(), environ) != 0) r.pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return r;
}

// True when process pid holds file open (it has read the hives and is
// waiting for the prefix lock).
bool HoldsOpen(pid_t pid, const std::string& file) {
  std::error_code ec;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
    if (std::filesystem::read_symlink(fd.path(), ec) == file) return true;
  return false;
}

TEST(RegCommandTest, TwoAddsAtOnceBothSucceed) {
  testing::TempPrefix prefix;
  prefix.String(HKEY_CURRENT_USER, L"Software\\Both", L"old", L"0");
  prefix.Write();
  const std::string lock_file = std::filesystem::canonical(prefix.dir()).string() + "/orvane.lock";
  // Another writer holds the lock until both have read the hive and wait.
  int held = open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  Running runs[2];
  const char* names[2] = {"one", "two"};
  for (int i = 0; i < 2; ++i) {
    runs[i] = Spawn(
        {"--prefix", prefix.dir(), "reg", "add", "HKCU\\Software\\Both", "/v", names[i], "/d", names[i], "/f"},
        prefix.dir() + "/../" + std::filesystem::path(prefix.dir()).filename().string() + "-" + names[i] + ".log");
    ASSERT_GT(runs[i].pid, 0);
  }
  bool both_wait = false;
  for (int i = 0; i < 500 && !both_wait; ++i) {
    both_wait = HoldsOpen(runs[0].pid, lock_file) && HoldsOpen(runs[1].pid, lock_file);
    if (!both_wait) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  close(held);
  EXPECT_TRUE(both_wait) << "the two runs did not both wait for the lock";
  for (const Running& r : runs) {
    int status = 0;
    ASSERT_EQ(waitpid(r.pid, &status, 0), r.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing::ReadHostFile(r.log);
    std::filesystem::remove(r.log);
  }
  wine::WinePlatform after(wine::WineOptions(prefix.dir(), prefix.user()));
  EXPECT_EQ(ReadRegistryString(after, HKEY_CURRENT_USER, L"Software\\Both", L"one"), L"one");
  EXPECT_EQ(ReadRegistryString(after, HKEY_CURRENT_USER, L"Software\\Both", L"two"), L"two");
  EXPECT_EQ(ReadRegistryString(after, HKEY_CURRENT_USER, L"Software\\Both", L"old"), L"0");
}

}  // namespace
}  // namespace orvane::cli
