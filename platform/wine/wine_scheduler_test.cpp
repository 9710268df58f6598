#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/testing/temp_prefix.h"
#include "platform/text.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_services.h"

namespace orvane::wine {
namespace {

namespace fs = std::filesystem;
using testing::ReadHostFile;
using testing::TempPrefix;

const std::wstring kModule = L"C:\\Program Files\\Orvane\\Orvane.exe";

TEST(OnCalendarTest, EveryDayMaskAndTimeReadsBackAsWritten) {
  for (int mask = 1; mask <= 0x7F; ++mask) {
    int kind = 0, hour = 0, minute = 0, back = 0;
    std::string text = OnCalendarFor(2, 23, 59, mask);
    ASSERT_TRUE(ParseOnCalendar(text, &kind, &hour, &minute, &back)) << text;
    EXPECT_EQ(back, mask) << text;
    EXPECT_EQ(kind, 2);
  }
  EXPECT_EQ(OnCalendarFor(2, 21, 30, 0x22), "Mon,Fri *-*-* 21:30:00");
  EXPECT_EQ(OnCalendarFor(2, 8, 0, 0x41), "Sat,Sun *-*-* 08:00:00");
  EXPECT_EQ(OnCalendarFor(1, 0, 5, 0x22), "*-*-* 00:05:00");

  int kind = 0, hour = 0, minute = 0, mask = 0;
  ASSERT_TRUE(ParseOnCalendar("Mon..Wed,saturday *-*-* 7:15", &kind, &hour, &minute, &mask));
  EXPECT_EQ(mask, 0x02 | 0x04 | 0x08 | 0x40);
  EXPECT_EQ(hour * 100 + minute, 715);
  for (const char* odd : {"", "daily", "*-*-* 24:00:00", "*-*-* 10:60", "*-*-* 10:00:30", "Mon 2026-*-* 10:00",
                          "Fun *-*-* 10:00", "Sun..Mon *-*-* 10:00"})
    EXPECT_FALSE(ParseOnCalendar(odd, &kind, &hour, &minute, &mask)) << odd;
}

TEST(SystemdQuotingTest, ArgumentsComeBackAsTheyWere) {
  for (std::string arg : {"plain", "with space", "q\"uote", "back\\slash", "$HOME", "100%", "it's", ";", ""}) {
    std::string quoted;
    ASSERT_TRUE(QuoteSystemdArgument(arg, &quoted));
    EXPECT_EQ(SplitSystemdCommand("\"/bin/x\" " + quoted), (std::vector<std::string>{"/bin/x", arg})) << quoted;
  }
  std::string q;
  ASSERT_TRUE(QuoteSystemdArgument("a\"b\\c$d%e", &q));
  EXPECT_EQ(q, R"("a\"b\\c$$d%%e")");
  ASSERT_TRUE(QuoteSystemdExecutable("/opt/my apps/100%/orvane", &q));
  EXPECT_EQ(q, "\"/opt/my apps/100%%/orvane\"");
  // systemd refuses these in an executable's name, and any relative one.
  EXPECT_FALSE(QuoteSystemdExecutable("/opt/\"q\"/orvane", &q));
  EXPECT_FALSE(QuoteSystemdExecutable("/opt/a\\b/orvane", &q));
  EXPECT_FALSE(QuoteSystemdExecutable("orvane", &q));
  EXPECT_FALSE(QuoteSystemdArgument("new\nline", &q));
}

// The scheduler over a prefix, with a user manager that answers as the test
// says and records what it was asked.
class SchedulerTest : public ::testing::Test {
 protected:
  std::unique_ptr<WinePlatform> Open(bool manager_runs) {
    WineOptions options = prefix_.Options();
    options.systemctl = [this, manager_runs](const std::vector<std::string>& args, std::string* output) {
      std::string call;
      for (const std::string& a : args) call += (call.empty() ? "" : " ") + a;
      calls_.push_back(call);
      if (!manager_runs) {
        *output = "Failed to connect to bus: No medium found";
        return 1;
      }
      if (call == fail_) {
        *output = "Job failed.\nSee the journal.";
        return 1;
      }
      return 0;
    };
    prefix_.Write();
    return std::make_unique<WinePlatform>(options);
  }
  ScheduledTask Task(int kind, int hour = 0, int minute = 0, int mask = 0) {
    ScheduledTask t;
    t.name = L"Orvane";
    t.application = kModule;
    t.parameters = L"-scan";
    t.account = L"tester";
    t.flags = 0x2000;
    t.trigger_kind = kind;
    t.hour = hour;
    t.minute = minute;
    t.day_mask = mask;
    return t;
  }
  std::string Units() { return prefix_.HostDir() + "/config/systemd/user/"; }
  // This prefix's timer, named as systemd-escape --path names the prefix.
  std::string Timer() { return "orvane-scan@" + Escaped(fs::canonical(prefix_.dir()).string()) + ".timer"; }
  static std::string Escaped(const std::string& path) {
    std::string escaped;
    EXPECT_TRUE(EscapeSystemdPath(path, &escaped)) << path;
    return escaped;
  }
  // Another prefix of the same user: the same configuration folder.
  std::unique_ptr<WinePlatform> OpenOther(testing::TempPrefix& other) {
    WineOptions options = other.Options();
    options.config_dir = prefix_.HostDir() + "/config";
    options.program = prefix_.HostDir() + "/bin/orvane";
    options.systemctl = [this](const std::vector<std::string>& args, std::string* output) {
      std::string call;
      for (const std::string& a : args) call += (call.empty() ? "" : " ") + a;
      calls_.push_back(call);
      *output = "Failed to connect to bus: No medium found";
      return 1;
    };
    other.Write();
    return std::make_unique<WinePlatform>(options);
  }

  TempPrefix prefix_;
  std::vector<std::string> calls_;
  std::string fail_;
};

TEST(SystemdEscapeTest, PathsAreNamedAsSystemdNamesThem) {
  struct Case {
    const char* path;
    const char* escaped;
  } cases[] = {
      {"/home/u/.wine", "home-u-.wine"},
      {"/", "-"},
      {"//home//u/./x/", "home-u-x"},
      {"/.hidden/a.b", "\\x2ehidden-a.b"},
      {"/a b/c-d/e\\f", "a\\x20b-c\\x2dd-e\\x5cf"},
      {"/p%q:r_s", "p\\x25q:r_s"},
      {"/\xc3\xa9t\xc3\xa9", "\\xc3\\xa9t\\xc3\\xa9"},
  };
  for (const Case& c : cases) {
    std::string escaped, back;
    ASSERT_TRUE(EscapeSystemdPath(c.path, &escaped)) << c.path;
    EXPECT_EQ(escaped, c.escaped) << c.path;
    ASSERT_TRUE(UnescapeSystemdPath(escaped, &back)) << escaped;
  }
  std::string back;
  ASSERT_TRUE(UnescapeSystemdPath("a\\x20b-c\\x2dd-e\\x5cf", &back));
  EXPECT_EQ(back, "/a b/c-d/e\\f");
  std::string escaped;
  for (const char* refused : {"relative/path", "", "/a/../b", "/.."})
    EXPECT_FALSE(EscapeSystemdPath(refused, &escaped));
  for (const char* odd : {"", "a--b", "a-", "a\\x2", "a\\xzz", "a\\y20"})
    EXPECT_FALSE(UnescapeSystemdPath(odd, &back)) << odd;
}

TEST_F(SchedulerTest, AWeeklyTaskIsTheTemplateAndThisPrefixsEnabledTimer) {
  auto p = Open(true);
  std::wstring notice = L"old";
  ASSERT_TRUE(p->SaveScheduledTask(Task(2, 21, 30, 0x22), &notice));
  EXPECT_EQ(notice, L"");
  EXPECT_EQ(calls_, (std::vector<std::string>{"daemon-reload", "enable --now " + Timer(), "restart " + Timer()}));

  std::string service = ReadHostFile(Units() + "orvane-scan@.service");
  EXPECT_NE(service.find("\nExecStart=\"" + prefix_.HostDir() + "/bin/orvane\" \"-scan\" \"--prefix\" %f\n"),
            std::string::npos)
      << service;
  std::string timer = ReadHostFile(Units() + Timer());
  EXPECT_NE(timer.find("\nOnCalendar=Mon,Fri *-*-* 21:30:00\n"), std::string::npos) << timer;
  EXPECT_NE(timer.find("\nWantedBy=timers.target\n"), std::string::npos) << timer;
  EXPECT_EQ(fs::read_symlink(Units() + "timers.target.wants/" + Timer()), Units() + Timer());

  ScheduledTask back;
  ASSERT_TRUE(p->LoadScheduledTask(L"orvane", &back));
  EXPECT_EQ(back.application, Utf8ToWide(prefix_.HostDir() + "/bin/orvane"));
  EXPECT_EQ(back.parameters, L"-scan");
  EXPECT_EQ(back.account, L"tester");
  EXPECT_EQ(back.flags, 0x2000u);
  EXPECT_EQ(back.trigger_kind, 2);
  EXPECT_EQ(back.day_mask, 0x22);
}

TEST_F(SchedulerTest, NoTriggerStopsAndRemovesThisPrefixsTimerAndKeepsTheTask) {
  auto p = Open(true);
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 6, 0), nullptr));
  calls_.clear();
  ASSERT_TRUE(p->SaveScheduledTask(Task(0), nullptr));
  EXPECT_EQ(calls_, (std::vector<std::string>{"disable --now " + Timer(), "daemon-reload"}));
  EXPECT_FALSE(fs::exists(Units() + Timer()));
  EXPECT_FALSE(fs::is_symlink(Units() + "timers.target.wants/" + Timer()));
  ScheduledTask back;
  ASSERT_TRUE(p->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 0);
  EXPECT_EQ(back.parameters, L"-scan");
}

TEST_F(SchedulerTest, WithoutAUserManagerTheFilesAreWrittenAndTheNoticeSaysWhen) {
  auto p = Open(false);
  std::wstring notice;
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 12, 0), &notice));
  EXPECT_NE(notice.find(L"next login"), std::wstring::npos);
  EXPECT_NE(notice.find(L"systemctl --user daemon-reload"), std::wstring::npos);
  EXPECT_EQ(notice.find(L'\n'), std::wstring::npos);
  EXPECT_TRUE(fs::is_symlink(Units() + "timers.target.wants/" + Timer()));
}

TEST_F(SchedulerTest, ATimerSystemdWouldNotStartIsTold) {
  auto p = Open(true);
  fail_ = "enable --now " + Timer();
  std::wstring notice;
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 12, 0), &notice));
  EXPECT_NE(notice.find(L"Job failed."), std::wstring::npos);
  EXPECT_EQ(notice.find(L"journal"), std::wstring::npos);  // one line
}

TEST_F(SchedulerTest, TwoPrefixesKeepTwoSchedules) {
  auto a = Open(false);
  testing::TempPrefix other;
  auto b = OpenOther(other);
  const std::string b_timer = "orvane-scan@" + Escaped(fs::canonical(other.dir()).string()) + ".timer";
  ASSERT_TRUE(a->SaveScheduledTask(Task(1, 6, 0), nullptr));
  ASSERT_TRUE(b->SaveScheduledTask(Task(2, 21, 30, 0x22), nullptr));
  const std::string b_text = ReadHostFile(Units() + b_timer);
  const std::string service = ReadHostFile(Units() + "orvane-scan@.service");

  // A changes, then drops its trigger: B's timer, its link and the task stay.
  ASSERT_TRUE(a->SaveScheduledTask(Task(2, 7, 45, 0x41), nullptr));
  ASSERT_TRUE(a->SaveScheduledTask(Task(0), nullptr));
  EXPECT_EQ(ReadHostFile(Units() + b_timer), b_text);
  EXPECT_TRUE(fs::is_symlink(Units() + "timers.target.wants/" + b_timer));
  EXPECT_EQ(ReadHostFile(Units() + "orvane-scan@.service"), service);
  for (const std::string& call : calls_) EXPECT_EQ(call.find(b_timer), std::string::npos) << call;

  ScheduledTask back;
  ASSERT_TRUE(b->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 2);
  EXPECT_EQ(back.hour * 100 + back.minute, 2130);
  ASSERT_TRUE(a->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 0);

  std::vector<MachineTask> all;
  ASSERT_TRUE(a->ListScheduledTasks(L"Orvane", &all));
  ASSERT_EQ(all.size(), 2u);  // A without a trigger, B with its own
  for (const MachineTask& t : all) {
    bool is_b = t.machine == Utf8ToWide(fs::canonical(other.dir()).string());
    EXPECT_EQ(t.this_machine, !is_b);
    EXPECT_EQ(t.task.trigger_kind, is_b ? 2 : 0);
    EXPECT_EQ(t.task.application, Utf8ToWide(prefix_.HostDir() + "/bin/orvane"));
  }
}

TEST_F(SchedulerTest, TheOlderSingleTimerIsTakenOverByTheFirstSave) {
  auto a = Open(false);
  testing::TempPrefix other;
  auto b = OpenOther(other);
  const std::string b_dir = fs::canonical(other.dir()).string();
  fs::create_directories(Units() + "timers.target.wants");
  std::ofstream(Units() + "orvane-scan.service")
      << "[Service]\nExecStart=\"/opt/orvane/orvane\" \"-scan\" \"--prefix\" \"" << b_dir
      << "\"\nX-Orvane-Account=old\nX-Orvane-Flags=0x2000\n";
  std::ofstream(Units() + "orvane-scan.timer") << "[Timer]\nOnCalendar=Mon..Fri *-*-* 08:00\n";
  fs::create_symlink(Units() + "orvane-scan.timer", Units() + "timers.target.wants/orvane-scan.timer");

  // Until then the old units are B's, and not A's.
  ScheduledTask back;
  EXPECT_FALSE(a->LoadScheduledTask(L"Orvane", &back));
  ASSERT_TRUE(b->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.day_mask, 0x3E);
  std::vector<MachineTask> all;
  ASSERT_TRUE(a->ListScheduledTasks(L"Orvane", &all));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].machine, Utf8ToWide(b_dir));

  std::wstring notice;
  ASSERT_TRUE(a->SaveScheduledTask(Task(1, 9, 0), &notice));
  EXPECT_NE(notice.find(Utf8ToWide(b_dir)), std::wstring::npos) << WideToUtf8(notice);
  const std::string b_timer = "orvane-scan@" + Escaped(b_dir) + ".timer";
  EXPECT_NE(ReadHostFile(Units() + b_timer).find("\nOnCalendar=Mon..Fri *-*-* 08:00\n"), std::string::npos);
  EXPECT_TRUE(fs::is_symlink(Units() + "timers.target.wants/" + b_timer));
  for (const char* gone : {"orvane-scan.service", "orvane-scan.timer", "timers.target.wants/orvane-scan.timer"})
    EXPECT_FALSE(fs::exists(fs::symlink_status(Units() + gone))) << gone;
  EXPECT_NE(std::find(calls_.begin(), calls_.end(), "disable --now orvane-scan.timer"), calls_.end());

  // The task keeps the older one's program and account, for both.
  ASSERT_TRUE(b->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.application, L"/opt/orvane/orvane");
  EXPECT_EQ(back.account, L"old");
  EXPECT_EQ(back.day_mask, 0x3E);
  ASSERT_TRUE(a->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 1);
  EXPECT_EQ(back.hour, 9);
}

TEST_F(SchedulerTest, WhatTheSchedulerCannotHoldIsRefusedBeforeAnythingIsWritten) {
  auto p = Open(false);
  ScheduledTask other = Task(1, 9, 0);
  other.name = L"Backup";
  EXPECT_FALSE(p->SaveScheduledTask(other, nullptr));
  other = Task(1, 9, 0);
  other.application = L"C:\\windows\\notepad.exe";
  EXPECT_FALSE(p->SaveScheduledTask(other, nullptr));
  EXPECT_FALSE(p->SaveScheduledTask(Task(1, 9, 60), nullptr));
  EXPECT_FALSE(p->SaveScheduledTask(Task(2, 9, 0, 0x80), nullptr));
  EXPECT_FALSE(fs::exists(Units()));

  // A timer edited by hand reads as what it does; one we cannot read, as none.
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 9, 0), nullptr));
  std::ofstream(Units() + Timer()) << "[Timer]\nOnCalendar=Mon..Wed *-*-* 7:15\n";
  ScheduledTask back;
  ASSERT_TRUE(p->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 2);
  EXPECT_EQ(back.day_mask, 0x0E);
  std::ofstream(Units() + Timer()) << "[Timer]\nOnCalendar=hourly\n";
  ASSERT_TRUE(p->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 0);
}

TEST_F(SchedulerTest, APrefixSystemdCannotNameIsRefusedWithTheReason) {
  // A folder whose name is not UTF-8, and one too long for a unit's name.
  char tmpl[] = "/tmp/orvane-sched-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string root = tmpl;
  for (const std::string& name : {std::string("caf\xe9 prefix"), std::string(120, 'x') + "/" + std::string(120, 'y')}) {
    auto prefix = std::make_unique<testing::TempPrefix>("tester", root + "/" + name);
    WineOptions options = prefix->Options();
    options.config_dir = root + "/config";
    prefix->Write();
    WinePlatform p(options);
    std::wstring notice;
    Status s = p.SaveScheduledTask(Task(1, 9, 0), &notice);
    ASSERT_FALSE(s) << name;
    EXPECT_NE(s.message.find(L"Cannot schedule the scan of the Wine prefix"), std::wstring::npos)
        << WideToUtf8(s.message);
    EXPECT_FALSE(fs::exists(root + "/config/systemd")) << name;
    std::string host = prefix->HostDir();
    prefix.reset();
    fs::remove_all(host);
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace orvane::wine
