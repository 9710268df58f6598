#include <gtest/gtest.h>

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

  TempPrefix prefix_;
  std::vector<std::string> calls_;
  std::string fail_;
};

TEST_F(SchedulerTest, AWeeklyTaskIsAServiceAndAnEnabledTimer) {
  auto p = Open(true);
  std::wstring notice = L"old";
  ASSERT_TRUE(p->SaveScheduledTask(Task(2, 21, 30, 0x22), &notice));
  EXPECT_EQ(notice, L"");
  EXPECT_EQ(calls_,
            (std::vector<std::string>{"daemon-reload", "enable --now orvane-scan.timer", "restart orvane-scan.timer"}));

  std::string service = ReadHostFile(Units() + "orvane-scan.service");
  EXPECT_NE(service.find("\nExecStart=\"" + prefix_.HostDir() + "/bin/orvane\" \"-scan\" \"--prefix\" \"" +
                         fs::canonical(prefix_.dir()).string() + "\"\n"),
            std::string::npos)
      << service;
  std::string timer = ReadHostFile(Units() + "orvane-scan.timer");
  EXPECT_NE(timer.find("\nOnCalendar=Mon,Fri *-*-* 21:30:00\n"), std::string::npos) << timer;
  EXPECT_NE(timer.find("\nWantedBy=timers.target\n"), std::string::npos) << timer;
  EXPECT_EQ(fs::read_symlink(Units() + "timers.target.wants/orvane-scan.timer"), Units() + "orvane-scan.timer");

  ScheduledTask back;
  ASSERT_TRUE(p->LoadScheduledTask(L"orvane", &back));
  EXPECT_EQ(back.application, Utf8ToWide(prefix_.HostDir() + "/bin/orvane"));
  EXPECT_EQ(back.parameters, L"-scan");
  EXPECT_EQ(back.account, L"tester");
  EXPECT_EQ(back.flags, 0x2000u);
  EXPECT_EQ(back.trigger_kind, 2);
  EXPECT_EQ(back.day_mask, 0x22);
}

TEST_F(SchedulerTest, NoTriggerStopsAndRemovesTheTimerAndKeepsTheTask) {
  auto p = Open(true);
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 6, 0), nullptr));
  calls_.clear();
  ASSERT_TRUE(p->SaveScheduledTask(Task(0), nullptr));
  EXPECT_EQ(calls_, (std::vector<std::string>{"disable --now orvane-scan.timer", "daemon-reload"}));
  EXPECT_FALSE(fs::exists(Units() + "orvane-scan.timer"));
  EXPECT_FALSE(fs::is_symlink(Units() + "timers.target.wants/orvane-scan.timer"));
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
  EXPECT_TRUE(fs::is_symlink(Units() + "timers.target.wants/orvane-scan.timer"));
}

TEST_F(SchedulerTest, ATimerSystemdWouldNotStartIsTold) {
  auto p = Open(true);
  fail_ = "enable --now orvane-scan.timer";
  std::wstring notice;
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 12, 0), &notice));
  EXPECT_NE(notice.find(L"Job failed."), std::wstring::npos);
  EXPECT_EQ(notice.find(L"journal"), std::wstring::npos);  // one line
}

TEST_F(SchedulerTest, AnotherPrefixsTaskIsNotThisMachinesAndGivesWay) {
  auto p = Open(false);
  fs::create_directories(Units());
  std::ofstream(Units() + "orvane-scan.service")
      << "[Service]\nExecStart=\"/usr/bin/orvane\" \"-scan\" \"--prefix\" \"/home/u/other prefix\"\n";
  std::ofstream(Units() + "orvane-scan.timer") << "[Timer]\nOnCalendar=*-*-* 10:00:00\n";
  ScheduledTask back;
  EXPECT_FALSE(p->LoadScheduledTask(L"Orvane", &back));

  std::wstring notice;
  ASSERT_TRUE(p->SaveScheduledTask(Task(1, 9, 0), &notice));
  EXPECT_NE(notice.find(L"/home/u/other prefix"), std::wstring::npos);
  ASSERT_TRUE(p->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.application, Utf8ToWide(prefix_.HostDir() + "/bin/orvane"));
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
  std::ofstream(Units() + "orvane-scan.timer") << "[Timer]\nOnCalendar=Mon..Wed *-*-* 7:15\n";
  ScheduledTask back;
  ASSERT_TRUE(p->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 2);
  EXPECT_EQ(back.day_mask, 0x0E);
  std::ofstream(Units() + "orvane-scan.timer") << "[Timer]\nOnCalendar=hourly\n";
  ASSERT_TRUE(p->LoadScheduledTask(L"Orvane", &back));
  EXPECT_EQ(back.trigger_kind, 0);
}

}  // namespace
}  // namespace orvane::wine
