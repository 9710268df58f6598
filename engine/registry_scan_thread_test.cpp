#include "engine/registry_scan_thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"

namespace orvane {
namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kFonts = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::array<bool, kSectionCount> Sections(std::initializer_list<int> ids) {
  std::array<bool, kSectionCount> enabled{};
  for (int id : ids) enabled[id] = true;
  return enabled;
}

// A scan worker run on the test's thread over a prefix built in code.
class ScanThreadTest : public ::testing::Test {
 protected:
  std::unique_ptr<CRegistryScanThread> Make(std::initializer_list<int> ids, MessageTarget* target = nullptr) {
    if (!platform_) platform_ = prefix_.Open();
    auto thread = std::make_unique<CRegistryScanThread>(
        Sections(ids),
        ScanEnvironment{*platform_, errors_, counters_, target ? *target : messages_, pacer_, nullptr});
    thread->context.running = 1;
    return thread;
  }
  // The messages without the progress lines.
  std::vector<Message> Milestones() {
    std::vector<Message> kept;
    for (Message& m : messages_.Drain())
      if (m.code != kMsgProgressText) kept.push_back(std::move(m));
    return kept;
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  CErrorListEx errors_;
  SectionCounters counters_;
  MessageQueue messages_;
  RecordingPacer pacer_;
};

TEST_F(ScanThreadTest, NoSectionPostsOnlyCompletionAndTheEnd) {
  auto scan = Make({});
  EXPECT_EQ(scan->Run(), 1);
  EXPECT_EQ(messages_.Drain(), (std::vector<Message>{{kMsgScanCompleted, 0, 0, {}}, {kMsgScanEnded, 0, 0, {}}}));
  EXPECT_TRUE(pacer_.pauses().empty());
  EXPECT_FALSE(scan->context.IsRunning());
}

TEST_F(ScanThreadTest, SectionsFourAndTenInOrder) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"D:\\Gone\\tool.exe")
      .String(HKEY_CURRENT_USER, kRun, L"Tray", L"C:\\gone\\tray.exe")
      .String(HKEY_LOCAL_MACHINE, kFonts, L"Old (TrueType)", L"C:\\windows\\Fonts\\old.ttf");
  auto scan = Make({4, 10});
  scan->Run();
  EXPECT_EQ(Milestones(), (std::vector<Message>{
                              {kMsgSectionBegins, 4, 0, {}},
                              {kMsgErrorAdded, 4, 0, {}},
                              {kMsgSectionBegins, 4, 0, {}},
                              {kMsgErrorAdded, 4, 0, {}},
                              {kMsgSectionEnds, 4, 0, {}},
                              {kMsgSectionBegins, 10, 1, {}},
                              {kMsgErrorAdded, 10, 1, {}},
                              {kMsgSectionEnds, 10, 1, {}},
                              {kMsgScanCompleted, 0, 0, {}},
      {kMsgScanEnded, 0, 0, {}},
                          }));
  ASSERT_EQ(errors_.GetCount(), 3);
  EXPECT_EQ(errors_[1].item.rootName, L"HKEY_CURRENT_USER");
  EXPECT_EQ(counters_[4].found, 2);
  EXPECT_EQ(counters_[10].found, 1);
  // Two section ends, each 2 s and a random 0.1 to 2 s.
  EXPECT_EQ(pacer_.pauses().size(), 4u);
}

// Stops the scan when a given section begins, as the engine would.
class StopAtSection : public MessageTarget {
 public:
  explicit StopAtSection(int64_t section) : section_(section) {}
  void Post(Message m) override {
    if (m.code == kMsgSectionBegins && m.wparam == section_ && m.text.empty() && !stopped_) {
      stopped_ = true;
      thread->RequestStop();
      ++after_stop_;
    } else if (stopped_) {
      ++after_stop_;
    }
    posted.push_back(std::move(m));
  }
  CRegistryScanThread* thread = nullptr;
  std::vector<Message> posted;
  int after_stop_ = 0;

 private:
  int64_t section_;
  bool stopped_ = false;
};

// A 64-bit prefix with a 32-bit program's leftovers beside a 64-bit one's.
TEST_F(ScanThreadTest, RedirectedKeysAreScannedInBothViewsAndSharedOnesOnce) {
  const std::wstring wow = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"C:\\Gone64\\tool.exe")
      .String(HKEY_LOCAL_MACHINE, wow + L"Run", L"Tool", L"C:\\Gone32\\tool.exe")
      // Present for a 32-bit program: %ProgramFiles% is the (x86) folder.
      .String(HKEY_LOCAL_MACHINE, wow + L"Run", L"Here", L"%ProgramFiles%\\Here\\here.exe", REG_EXPAND_SZ)
      .File(L"C:\\Program Files (x86)\\Here\\here.exe")
      .String(HKEY_LOCAL_MACHINE, wow + L"Uninstall\\App32", L"DisplayIcon", L"C:\\Gone32\\app.exe")
      .String(HKEY_LOCAL_MACHINE, kUninstall + L"\\App64", L"DisplayIcon", L"C:\\Gone64\\app.exe")
      .String(HKEY_CLASSES_ROOT, L"Wow6432Node\\CLSID\\{C32}\\InprocServer32", L"", L"gone32.dll")
      .String(HKEY_CLASSES_ROOT, L"Wow6432Node\\CLSID\\{K32}\\InprocServer32", L"", L"kept32.dll")
      .File(L"C:\\windows\\syswow64\\kept32.dll")
      .String(HKEY_CLASSES_ROOT, L"CLSID\\{C64}\\LocalServer32", L"", L"\"C:\\Gone64\\server.exe\" /automation")
      .String(HKEY_CLASSES_ROOT, L"CLSID\\{K64}\\InprocServer32", L"", L"kept64.dll")
      .File(L"C:\\windows\\kept64.dll");
  auto scan = Make({section::kActiveX, section::kStartup, section::kUninstall});
  scan->Run();
  std::set<std::wstring> found;
  for (int i = 0; i < errors_.GetCount(); ++i) {
    const CRegistryItem& item = errors_[i].item;
    found.insert((item.view == KEY_WOW64_32KEY ? L"32 " : L"64 ") + item.subKey + L"\\" + item.valueName);
  }
  EXPECT_EQ(found, (std::set<std::wstring>{
                       L"64 CLSID\\{C64}\\LocalServer32\\",
                       L"32 CLSID\\{C32}\\InprocServer32\\",
                       L"64 " + kRun + L"\\Tool",
                       L"32 " + kRun + L"\\Tool",
                       L"64 " + kUninstall + L"\\App64\\DisplayIcon",
                       L"32 " + kUninstall + L"\\App32\\DisplayIcon",
                   }));
  EXPECT_EQ(errors_.GetCount(), 6);
}

TEST_F(ScanThreadTest, AKeyBothViewsShareIsScannedOnce) {
  // Without a Wow6432Node twin the 32-bit view of Fonts is the same key.
  prefix_.String(HKEY_LOCAL_MACHINE, kFonts, L"Old (TrueType)", L"C:\\windows\\Fonts\\old.ttf")
      .String(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Other", L"x", L"");
  auto scan = Make({section::kFonts});
  scan->Run();
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].item.view, 0u);
}

TEST_F(ScanThreadTest, StopDuringSectionNineKeepsEarlierRecords) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"D:\\Gone\\tool.exe");
  for (int i = 0; i < 5; ++i)
    prefix_.String(HKEY_LOCAL_MACHINE, kUninstall + L"\\App" + std::to_wstring(i), L"DisplayIcon",
                   L"C:\\gone\\app.exe");
  StopAtSection target(9);
  auto scan = Make({4, 9, 10}, &target);
  target.thread = scan.get();
  scan->Run();
  // After the begin message only the worker's end: no error, section end
  // or completion.
  EXPECT_EQ(target.after_stop_, 2);
  EXPECT_EQ(target.posted[target.posted.size() - 2], (Message{kMsgSectionBegins, 9, 1, {}}));
  EXPECT_EQ(target.posted.back(), (Message{kMsgScanEnded, 0, 0, {}}));
  EXPECT_FALSE(scan->completed());
  ASSERT_EQ(errors_.GetCount(), 1);
  EXPECT_EQ(errors_[0].section, 4);
  EXPECT_FALSE(scan->context.IsRunning());
  EXPECT_TRUE(scan->context.finder.stop.load());
}

TEST_F(ScanThreadTest, MarkOnlyFollowsTheSection) {
  const std::wstring clsid = L"CLSID\\{11111111-0000-0000-0000-000000000001}";
  prefix_.String(HKEY_CLASSES_ROOT, clsid, L"AppID", L"{22222222-0000-0000-0000-000000000002}")
      .String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\x.exe", L"",
              L"C:\\gone\\x.exe")
      .String(HKEY_CURRENT_USER, L"AppEvents\\Schemes\\Apps\\.Default\\Ding\\.Current", L"", L"C:\\gone\\ding.wav")
      .String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"C:\\gone\\tool.exe")
      .String(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\MMC\\SnapIns\\{S}", L"About", L"C:\\gone\\snap.dll")
      .String(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Services\\SessionLauncher", L"ImagePath",
              L"C:\\gone\\launcher.exe")
      .String(HKEY_LOCAL_MACHINE, kUninstall + L"\\App", L"DisplayIcon", L"C:\\gone\\app.exe");
  auto scan = Make({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  scan->Run();
  std::set<int> sections;
  for (const CError& e : errors_) {
    sections.insert(e.section);
    bool mark_only = e.section == 0 || e.section == 1 || e.section == 5 || e.section == 8;
    EXPECT_EQ(e.markOnly, mark_only) << "section " << e.section;
  }
  EXPECT_EQ(sections, (std::set<int>{0, 1, 2, 4, 5, 8, 9}));
  // Section 1 ends twice; every other enabled section once.
  int ends = 0;
  for (const Message& m : Milestones()) ends += m.code == kMsgSectionEnds;
  EXPECT_EQ(ends, 14);
}

TEST_F(ScanThreadTest, BrowserSelectionPicksTheBrowserParts) {
  prefix_.String(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\TypedURLs", L"url1",
                 L"http://example.test/");
  // Only Firefox: nothing for Internet Explorer, so no section-begins message
  // for 20 comes from the typed-URL part.
  auto scan = Make({20, 21});
  scan->browser_flags = {L"0", L"1", L"0"};
  scan->Run();
  for (const Message& m : Milestones()) EXPECT_NE(m, (Message{kMsgSectionBegins, 20, 0, {}}));
  EXPECT_TRUE(errors_.IsEmpty());

  // A short list counts the missing browsers as not selected; with Internet
  // Explorer selected both sections report its typed URLs.
  auto ie = Make({20, 21});
  ie->browser_flags = {L"1"};
  ie->Run();
  ASSERT_EQ(errors_.GetCount(), 2);
  EXPECT_EQ(errors_[0].section, 20);
  EXPECT_EQ(errors_[1].section, 21);
  EXPECT_EQ(errors_[0].errorType, ErrorType::RegistryKey);
}

TEST_F(ScanThreadTest, ScanningWritesNothing) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Tool", L"C:\\gone\\tool.exe")
      .File(L"C:\\windows\\Temp\\a.tmp", "x")
      .File(L"C:\\windows\\setup.log", "x");
  platform_ = prefix_.Open();
  testing::RecordingPlatform recording(*platform_);
  CRegistryScanThread scan(Sections({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14}),
                           ScanEnvironment{recording, errors_, counters_, messages_, pacer_, nullptr});
  scan.context.running = 1;
  scan.Run();
  EXPECT_GE(errors_.GetCount(), 2);
  EXPECT_TRUE(recording.changes().empty());
}

}  // namespace
}  // namespace orvane
