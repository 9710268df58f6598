// The autostart entry and the scheduled-scan units, read by the programs
// that will really read them: systemd-analyze, systemd-escape, GLib's gio and
// desktop-file-validate. A prefix and a program whose paths hold every
// character the quoting rules care about must come through as they are.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "platform/testing/temp_prefix.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_services.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;

bool Have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Runs a shell command line; its exit status and what it printed.
int RunShell(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// For the shell: in single quotes.
std::string ShellWord(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string UnitValue(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return "";
}

constexpr char kAwkwardName[] = "prefix with space \"quotes\" 'single' back\\slash $HOME %e `tick`";

// A host program in dir: a script that writes its arguments, one per line,
// into "args" beside itself.
std::string MakeProgram(const std::string& dir) {
  fs::create_directories(dir);
  std::ofstream(dir + "/orvane")
      << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.tmp\"\n"
      << "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"\n";
  fs::permissions(dir + "/orvane", fs::perms::owner_all, fs::perm_options::add);
  return dir + "/orvane";
}

// A prefix at a path with awkward characters, and the program in a folder
// with spaces and a percent sign.
class PeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvane-peer-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    prefix_ = std::make_unique<testing::TempPrefix>("tester", root_ + "/" + kAwkwardName);
    program_dir_ = root_ + "/my programs 100%";
    prefix_->Write();
    platform_ = Open(MakeProgram(program_dir_));
    config_ = prefix_->HostDir() + "/config";
  }
  std::unique_ptr<WinePlatform> Open(const std::string& program) {
    WineOptions options = prefix_->Options();
    options.program = program;
    return std::make_unique<WinePlatform>(options);
  }
  void TearDown() override {
    platform_.reset();
    std::string host = prefix_->HostDir();
    prefix_.reset();  // kept by TempPrefix: it was made at a given path
    std::error_code ec;
    fs::remove_all(host, ec);
    fs::remove_all(root_, ec);
  }
  // The timer and service of a prefix (its instance of the template).
  static std::vector<std::string> UnitsOf(const std::string& prefix_dir) {
    std::string instance;
    EXPECT_TRUE(EscapeSystemdPath(fs::canonical(prefix_dir).string(), &instance));
    return {"orvane-scan@" + instance + ".timer", "orvane-scan@" + instance + ".service"};
  }
  // systemd-analyze verify on the generated units, as user units.
  void Verify(const std::vector<std::string>& names) {
    std::string runtime = root_ + "/runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    std::string units = config_ + "/systemd/user/";
    std::string command = "XDG_RUNTIME_DIR=" + ShellWord(runtime) + " systemd-analyze verify --user";
    for (const std::string& name : names) command += " " + ShellWord(units + name);
    std::string output;
    int rc = RunShell(command, &output);
    EXPECT_EQ(rc, 0) << output;
    EXPECT_EQ(output, "");  // not even a warning
  }
  void Verify() { Verify(UnitsOf(prefix_->dir())); }
  ScheduledTask Task(int kind, int hour, int minute, int mask) {
    ScheduledTask t;
    t.name = L"Orvane";
    t.application = L"C:\\Program Files\\Orvane\\Orvane.exe";
    t.parameters = L"-scan";
    t.account = L"tester";
    t.flags = 0x2000;
    t.trigger_kind = kind;
    t.hour = hour;
    t.minute = minute;
    t.day_mask = mask;
    return t;
  }
  // The "Next elapse:" lines of the next count elapses of the timer's calendar.
  std::vector<std::string> NextElapses(int count) {
    std::string calendar =
        UnitValue(ReadHostFile(config_ + "/systemd/user/" + UnitsOf(prefix_->dir())[0]), "OnCalendar");
    std::string output;
    EXPECT_EQ(
        RunShell("systemd-analyze calendar --iterations=" + std::to_string(count) + " " + ShellWord(calendar), &output),
        0)
        << output;
    // "    Next elapse: Fri 2026-12-11 21:30:00 UTC", then "       Iter. #2: ...".
    std::vector<std::string> elapses;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      size_t start = line.find_first_not_of(' ');
      if (start == std::string::npos) continue;
      if (line.compare(start, 13, "Next elapse: ") == 0 || line.compare(start, 7, "Iter. #") == 0)
        elapses.push_back(line.substr(line.find(": ", start) + 2));
    }
    return elapses;
  }

  std::string root_, program_dir_, config_;
  std::unique_ptr<testing::TempPrefix> prefix_;
  std::unique_ptr<WinePlatform> platform_;
};

TEST_F(PeerTest, SystemdAcceptsTheUnitsAndRunsTheWeeklyScanOnMondaysAndFridaysAt2130) {
  if (!Have("systemd-analyze")) GTEST_SKIP() << "systemd-analyze is not installed (Debian package systemd)";
  ASSERT_TRUE(platform_->SaveScheduledTask(Task(2, 21, 30, 0x22), nullptr));
  Verify();
  std::vector<std::string> next = NextElapses(4);
  ASSERT_EQ(next.size(), 4u);
  for (const std::string& when : next) {  // "Fri 2026-12-11 21:30:00 UTC"
    EXPECT_TRUE(when.rfind("Mon ", 0) == 0 || when.rfind("Fri ", 0) == 0) << when;
    EXPECT_NE(when.find(" 21:30:00"), std::string::npos) << when;
  }
  EXPECT_NE(next[0].substr(0, 3), next[1].substr(0, 3));  // both days, alternating
}

TEST_F(PeerTest, SystemdAcceptsTheDailyUnitsAndRunsThemEveryDay) {
  if (!Have("systemd-analyze")) GTEST_SKIP() << "systemd-analyze is not installed (Debian package systemd)";
  ASSERT_TRUE(platform_->SaveScheduledTask(Task(1, 6, 5, 0), nullptr));
  Verify();
  std::vector<std::string> next = NextElapses(7);
  ASSERT_EQ(next.size(), 7u);
  std::set<std::string> days;
  for (const std::string& when : next) {
    EXPECT_NE(when.find(" 06:05:00"), std::string::npos) << when;
    days.insert(when.substr(0, 3));
  }
  EXPECT_EQ(days.size(), 7u);
}

TEST_F(PeerTest, TwoPrefixesHaveTwoTimersThatSystemdAccepts) {
  if (!Have("systemd-analyze")) GTEST_SKIP() << "systemd-analyze is not installed (Debian package systemd)";
  testing::TempPrefix second("tester", root_ + "/second prefix");
  WineOptions options = second.Options();
  options.config_dir = config_;
  options.program = program_dir_ + "/orvane";
  second.Write();
  WinePlatform b(options);
  ASSERT_TRUE(platform_->SaveScheduledTask(Task(2, 21, 30, 0x22), nullptr));
  ASSERT_TRUE(b.SaveScheduledTask(Task(1, 6, 5, 0), nullptr));
  std::vector<std::string> both = UnitsOf(prefix_->dir());
  for (const std::string& name : UnitsOf(second.dir())) both.push_back(name);
  Verify(both);
  EXPECT_NE(ReadHostFile(config_ + "/systemd/user/" + UnitsOf(second.dir())[0]).find("OnCalendar=*-*-* 06:05:00"),
            std::string::npos);
  std::string host = second.HostDir();
  fs::remove_all(host);
}

TEST_F(PeerTest, PathsAreEscapedAsSystemdEscapeDoes) {
  if (!Have("systemd-escape")) GTEST_SKIP() << "systemd-escape is not installed (Debian package systemd)";
  for (const std::string& path :
       {prefix_->dir(), std::string("/home/u/.wine"), std::string("/"), std::string("//a//b/./c/"),
        std::string("/.dot/x.y/-lead/trail-"), std::string("/\xc3\xa9t\xc3\xa9 \xe2\x82\xac/"),
        std::string("/tab\there/nl\nx"), std::string("/bytes\xff\xfe\x80"), std::string("/a:b_c+d=e,f@g~h"),
        std::string("/a/../b")}) {
    std::string output;
    int rc = RunShell("systemd-escape --path -- " + ShellWord(path), &output);
    std::string ours;
    bool escaped = EscapeSystemdPath(path, &ours);
    EXPECT_EQ(escaped, rc == 0) << path << ": " << output;
    if (rc != 0) continue;
    EXPECT_EQ(ours + "\n", output) << path;
    std::string back;
    ASSERT_TRUE(UnescapeSystemdPath(ours, &back)) << ours;
    ASSERT_EQ(RunShell("systemd-escape --unescape --path -- " + ShellWord(ours), &output), 0) << output;
    EXPECT_EQ(back + "\n", output) << ours;
  }
}

TEST_F(PeerTest, TheDesktopStartsTheProgramForTheDefaultMachine) {
  if (!Have("gio")) GTEST_SKIP() << "gio is not installed (Debian package libglib2.0-bin)";
  // GLib looks for the program before it reads "%%" as "%", so the entry
  // refuses a path with a percent sign; this one has quotes, a backslash,
  // '$', '`' and spaces.
  std::string dir = root_ + "/my \"programs\" $HOME `x` back\\slash";
  EXPECT_FALSE(platform_->SetSessionStart(true));  // in "my programs 100%"
  platform_.reset();
  platform_ = Open(MakeProgram(dir));
  ASSERT_TRUE(platform_->SetSessionStart(true));
  const std::string entry = config_ + "/autostart/orvane.desktop";
  std::string output;
  if (Have("desktop-file-validate")) {
    EXPECT_EQ(RunShell("desktop-file-validate " + ShellWord(entry), &output), 0) << output;
  }
  ASSERT_EQ(RunShell("gio launch " + ShellWord(entry), &output), 0) << output;
  std::string args_file = dir + "/args";
  for (int i = 0; i < 100 && !fs::exists(args_file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(fs::exists(args_file));
  EXPECT_EQ(ReadHostFile(args_file), "");  // no prefix: the program opens the default machine
}

}  // namespace
}  // namespace orvane::wine
