#include "engine/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "platform/registry_values.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

CError Record(int32_t section, std::wstring file) {
  CError e;
  e.section = section;
  e.errorType = ErrorType::RegistryValue;
  e.filePath = std::move(file);
  e.reason = L"reason";
  e.typeText = L"type";
  e.item.rootName = L"HKEY_LOCAL_MACHINE";
  e.item.rootKey = HKEY_LOCAL_MACHINE;
  e.item.subKey = L"Software\\X";
  e.item.valueName = L"v";
  return e;
}

class EngineTest : public ::testing::Test {
 protected:
  CSarvelEngine& Engine() {
    if (!engine_) {
      platform_ = prefix_.Open();
      EngineOptions options;
      options.target = &messages_;
      options.pacer = &pacer_;
      options.now = [] { return LocalDateTime{2026, 3, 5, 9, 30, 0}; };
      options.on_problems_changed = [this] { ++refreshed_; };
      engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
    }
    return *engine_;
  }

  testing::TempPrefix prefix_;
  std::unique_ptr<wine::WinePlatform> platform_;
  MessageQueue messages_;
  RecordingPacer pacer_;
  std::unique_ptr<CSarvelEngine> engine_;
  int refreshed_ = 0;
};

TEST_F(EngineTest, SingletonVersionsAndTheLastScanDate) {
  EXPECT_EQ(CSarvelEngine::Instance(), nullptr);
  CSarvelEngine& engine = Engine();
  EXPECT_EQ(CSarvelEngine::Instance(), &engine);
  EXPECT_EQ(engine.GetLastScanDate(), L"Not scanned yet");
  EXPECT_FALSE(engine.GetProductVersion().empty());
  EXPECT_FALSE(engine.GetReleaseDate().empty());
  EXPECT_EQ(engine.scheduled_task().parameters, L"-scan");
  EXPECT_EQ(engine.scheduled_task().name, L"Orvane");

  engine.StartScan({});
  engine.WaitForScan();
  EXPECT_EQ(engine.GetLastScanDate(), L"05-MAR-2026");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"LastScanDate"),
            L"05-MAR-2026");
  EXPECT_EQ(CSarvelEngine::FormatScanDate({2026, 12, 31}), L"31-DEC-2026");
  engine_.reset();
  EXPECT_EQ(CSarvelEngine::Instance(), nullptr);
}

TEST_F(EngineTest, ANewScanReplacesTheOldOnesResults) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"A", L"C:\\gone\\a.exe");
  CSarvelEngine& engine = Engine();
  std::array<bool, kSectionCount> run{};
  run[4] = true;
  engine.StartScan(run);
  engine.StartScan(run);  // stops and discards the first
  engine.WaitForScan();
  EXPECT_FALSE(engine.IsScanRunning());
  EXPECT_EQ(engine.errors().GetCount(), 1);
  EXPECT_EQ(engine.TotalFound(), L"1");
  EXPECT_EQ(engine.SectionFound(4), L"1");
  EXPECT_EQ(engine.SectionFound(99), L"0");
}

// Every pause lasts a little, so a scan of all sections takes about a
// second and a stop right after the start always finds it running.
class ShortPacer : public Pacer {
 public:
  void Pause(uint32_t) override { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }
  uint32_t Delay(uint32_t) override { return 20; }
};

TEST_F(EngineTest, StopScanEndsARunningScan) {
  platform_ = prefix_.Open();
  ShortPacer pacer;
  EngineOptions options;
  options.target = &messages_;
  options.pacer = &pacer;
  CSarvelEngine engine(*platform_, options);
  std::array<bool, kSectionCount> all{};
  all.fill(true);
  engine.StartScan(all);
  engine.StopScan();
  EXPECT_FALSE(engine.IsScanRunning());
  bool completed = false;
  for (const Message& m : messages_.Drain()) completed |= m.code == kMsgScanCompleted;
  EXPECT_FALSE(completed);
}

TEST_F(EngineTest, UnresolvedErrorsRoundTrip) {
  CSarvelEngine& engine = Engine();
  engine.LoadUnresolvedErrors();  // no file yet
  EXPECT_TRUE(engine.errors().IsEmpty());
  EXPECT_EQ(engine.TotalFound(), L"0");

  engine.errors().Add(Record(2, L"a"));
  engine.errors().Add(Record(2, L"b"));
  engine.errors().Add(Record(7, L"c"));
  engine.errors().Add(Record(40, L"out of range"));
  ASSERT_TRUE(engine.SaveUnresolvedErrors());
  EXPECT_TRUE(engine.errors().IsEmpty());
  EXPECT_EQ(engine.TotalIgnored(), L"3");  // the out-of-range record counts nowhere
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount"), L"4");
  EXPECT_EQ(refreshed_, 1);
  EXPECT_EQ(engine.UnresolvedErrorsPath(), L"C:\\users\\tester\\AppData\\Roaming\\Orvane\\unresolvederrors.dat");

  engine.LoadUnresolvedErrors();
  ASSERT_EQ(engine.errors().GetCount(), 3);
  EXPECT_EQ(engine.errors()[2].filePath, L"c");
  EXPECT_EQ(engine.SectionFound(2), L"2");
  EXPECT_EQ(engine.SectionFound(7), L"1");
  EXPECT_EQ(engine.TotalIgnored(), L"0");

  // An empty list writes an empty file and stores 0.
  engine.errors().RemoveAll();
  ASSERT_TRUE(engine.SaveUnresolvedErrors());
  std::string bytes = "unread";
  ASSERT_TRUE(platform_->ReadFile(engine.UnresolvedErrorsPath(), &bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount"), L"0");
}

TEST_F(EngineTest, AFailedSaveKeepsTheRecords) {
  CSarvelEngine& engine = Engine();
  // A folder where the file should be makes the write fail.
  platform_->CreateDirectory(L"C:\\users\\tester\\AppData\\Roaming\\Orvane");
  platform_->CreateDirectory(engine.UnresolvedErrorsPath());
  engine.errors().Add(Record(3, L"kept"));
  EXPECT_FALSE(engine.SaveUnresolvedErrors());
  EXPECT_EQ(engine.errors().GetCount(), 1);
  EXPECT_EQ(engine.TotalIgnored(), L"0");
  EXPECT_EQ(refreshed_, 0);
}

TEST_F(EngineTest, BrowsersAndBackupListing) {
  prefix_.Key(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet\\FIREFOX.EXE")
      .File(L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Registry.dat", "")
      .File(L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Junk.dat", "")
      .File(L"C:\\Program Files\\Orvane\\backup\\notes.txt", "");
  CSarvelEngine& engine = Engine();
  EXPECT_TRUE(engine.IsBrowserInstalled(L"FIREFOX.EXE"));
  EXPECT_FALSE(engine.IsBrowserInstalled(L"chrome.exe.missing"));

  engine.ListBackups();
  std::set<std::wstring> found;
  for (const Message& m : messages_.Drain()) {
    ASSERT_EQ(m.code, kMsgBackupFound);
    found.insert(m.text);
  }
  EXPECT_EQ(found, (std::set<std::wstring>{L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Registry.dat",
                                          L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Junk.dat"}));
}

}  // namespace
}  // namespace orvane
