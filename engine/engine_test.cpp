#include "engine/engine.h"
#include "engine/testing_engine.h"
#include "repair/repair_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/registry_values.h"
#include "platform/testing/temp_state.h"
#include "platform/testing/shortcut_writer.h"
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
  // pacer: null records pauses without waiting.
  CSarvelEngine& Engine(Pacer* pacer = nullptr) {
    if (!engine_) {
      platform_ = prefix_.Open();
      EngineOptions options;
      options.target = &messages_;
      options.pacer = pacer ? pacer : &pacer_;
      options.now = [] { return LocalDateTime{2026, 3, 5, 9, 30, 0}; };
      options.on_problems_changed = [this] { ++refreshed_; };
      options.state = &state_;
      engine_ = std::make_unique<CSarvelEngine>(*platform_, options);
    }
    return *engine_;
  }

  testing::TempPrefix prefix_;
  testing::TempStateFolder state_;
  std::unique_ptr<wine::WinePlatform> platform_;
  MessageQueue messages_;
  RecordingPacer pacer_;
  std::unique_ptr<CSarvelEngine> engine_;
  int refreshed_ = 0;
};

TEST_F(EngineTest, VersionsAndTheLastScanDate) {
  CSarvelEngine& engine = Engine();
  EXPECT_EQ(engine.GetLastScanDate(), L"Not scanned yet");
  EXPECT_FALSE(engine.GetProductVersion().empty());
  EXPECT_FALSE(engine.GetReleaseDate().empty());

  engine.StartScan({});
  engine.WaitForScan();
  EXPECT_EQ(engine.GetLastScanDate(), L"05-MAR-2026");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"LastScanDate"),
            L"05-MAR-2026");
  EXPECT_EQ(CSarvelEngine::FormatScanDate({2026, 12, 31}), L"31-DEC-2026");
}

TEST_F(EngineTest, ANewScanReplacesTheOldOnesResults) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"A", L"C:\\gone\\a.exe");
  CSarvelEngine& engine = Engine();
  std::array<bool, kSectionCount> run{};
  run[4] = true;
  engine.StartScan({run});
  engine.StartScan({run});  // stops and discards the first
  engine.WaitForScan();
  EXPECT_FALSE(engine.IsScanRunning());
  EXPECT_EQ(engine.errors().GetCount(), 1);
  EXPECT_EQ(engine.Totals(), (SectionCounter{1, 0, 0}));
  EXPECT_EQ(engine.Section(4).found, 1);
  EXPECT_EQ(engine.Section(99), SectionCounter{});
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
  engine.StartScan({all});
  engine.StopScan();
  EXPECT_FALSE(engine.IsScanRunning());
  bool completed = false;
  for (const Message& m : messages_.Drain()) completed |= m.code == kMsgScanCompleted;
  EXPECT_FALSE(completed);
}

// The real pacer holds each section for two seconds; a stop in that pause
// hands control back as soon as the worker has seen it.
TEST_F(EngineTest, StopDuringASectionPauseReturnsAtOnce) {
  platform_ = prefix_.Open();
  SleepPacer pacer;
  EngineOptions options;
  options.target = &messages_;
  options.pacer = &pacer;
  CSarvelEngine engine(*platform_, options);
  std::array<bool, kSectionCount> sections{};
  sections[4] = sections[5] = true;
  engine.StartScan({sections});
  // The empty prefix scans in an instant; the section's pause follows.
  bool begun = false;
  for (int i = 0; i < 100 && !begun; ++i)
    if (std::optional<Message> m = messages_.Take(std::chrono::milliseconds(20))) begun = m->code == kMsgSectionBegins;
  ASSERT_TRUE(begun);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(engine.IsScanRunning());
  const auto before = std::chrono::steady_clock::now();
  engine.StopScan();
  const auto took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before).count();
  std::printf("StopScan during a section pause returned in %lld ms\n", static_cast<long long>(took));
  EXPECT_LT(took, 1000);
  EXPECT_FALSE(engine.IsScanRunning());
  EXPECT_FALSE(engine.LastScanSummary().completed);
  // The next scan is paced again.
  engine.StartScan({sections});
  EXPECT_EQ(pacer.Delay(2000), 2000u);
  engine.StopScan();
}

TEST_F(EngineTest, UnresolvedErrorsRoundTrip) {
  CSarvelEngine& engine = Engine();
  engine.LoadUnresolvedErrors();  // no file yet
  EXPECT_TRUE(engine.errors().IsEmpty());
  EXPECT_EQ(engine.Totals(), SectionCounter{});
  EXPECT_EQ(engine.UnresolvedErrorsPath(), L"C:\\users\\tester\\AppData\\Roaming\\Orvane\\unresolvederrors.dat");

  // A file may name any section; only those of 0..21 are loaded.
  ASSERT_TRUE(testing::LoadAsFound(engine, {Record(2, L"a"), Record(2, L"b"), Record(7, L"c"), Record(40, L"out of range")}));
  ASSERT_EQ(engine.errors().GetCount(), 3);
  EXPECT_EQ(engine.errors()[2].filePath, L"c");
  EXPECT_EQ(engine.Section(2).found, 2);
  EXPECT_EQ(engine.Section(7).found, 1);
  EXPECT_EQ(engine.Section(40), SectionCounter{});  // the out-of-range record counts nowhere
  EXPECT_EQ(engine.Totals().ignored, 0);

  ASSERT_TRUE(engine.SaveUnresolvedErrors());
  EXPECT_TRUE(engine.errors().IsEmpty());
  EXPECT_EQ(engine.Totals().ignored, 3);
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount"), L"3");
  EXPECT_EQ(refreshed_, 1);

  engine.LoadUnresolvedErrors();
  ASSERT_EQ(engine.errors().GetCount(), 3);
  EXPECT_EQ(engine.errors()[2].filePath, L"c");
  EXPECT_EQ(engine.Section(2).found, 2);
  EXPECT_EQ(engine.Totals().ignored, 0);

  // An empty list writes an empty file and stores 0.
  ASSERT_TRUE(engine.SaveUnresolvedErrors());
  ASSERT_TRUE(engine.errors().IsEmpty());
  ASSERT_TRUE(engine.SaveUnresolvedErrors());
  std::string bytes = "unread";
  ASSERT_TRUE(platform_->ReadFile(engine.UnresolvedErrorsPath(), &bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_EQ(ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount"), L"0");
}

TEST_F(EngineTest, AFailedSaveKeepsTheRecords) {
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(testing::LoadAsFound(engine, {Record(3, L"kept")}));
  // A folder where the file should be makes the write fail.
  ASSERT_TRUE(platform_->DeleteFile(engine.UnresolvedErrorsPath()));
  platform_->CreateDirectory(engine.UnresolvedErrorsPath());
  EXPECT_FALSE(engine.SaveUnresolvedErrors());
  EXPECT_EQ(engine.errors().GetCount(), 1);
  EXPECT_EQ(engine.Totals().ignored, 0);
  EXPECT_EQ(refreshed_, 0);
}

TEST_F(EngineTest, BrowsersAndBackupListing) {
  prefix_.Key(HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet\\FIREFOX.EXE")
      .File(L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Registry.dat", "")
      .File(L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Junk.dat", "")
      .File(L"C:\\Program Files\\Orvane\\backup\\notes.txt", "");
  BackupSet newer;
  ASSERT_TRUE(CreateBackupSet(state_, L"Shortcut", LocalDateTime{2026, 12, 9, 8, 0, 0}, &newer));
  CSarvelEngine& engine = Engine();
  EXPECT_TRUE(engine.IsBrowserInstalled(L"FIREFOX.EXE"));
  EXPECT_FALSE(engine.IsBrowserInstalled(L"chrome.exe.missing"));

  // Older versions' sets in the machine and the new ones beside it, oldest
  // first.
  std::vector<std::wstring> found;
  std::vector<BackupSetInfo> sets = engine.ListBackups();
  for (const BackupSetInfo& set : sets) found.push_back(set.data_file);
  EXPECT_EQ(found, (std::vector<std::wstring>{L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Junk.dat",
                                             L"C:\\Program Files\\Orvane\\backup\\20261208_1000_Registry.dat",
                                             newer.data_file}));
  EXPECT_TRUE(sets[0].in_machine);
  EXPECT_EQ(sets[2].kind, L"ShortCut Cleaner");
  EXPECT_TRUE(messages_.Drain().empty());
}

std::vector<std::wstring> FilesOf(const CErrorListEx& list) {
  std::vector<std::wstring> out;
  for (const CError& e : list) out.push_back(e.filePath);
  return out;
}

class ResultsRepairTest : public EngineTest {
 protected:
  // Six records in three sections, as the results window shows them.
  void LoadSix() {
    std::vector<CError> six;
    for (auto [section, file] : {std::pair{2, L"a"}, {2, L"b"}, {7, L"c"}, {7, L"d"}, {9, L"e"}, {9, L"f"}})
      six.push_back(Record(section, file));
    ASSERT_TRUE(testing::LoadAsFound(Engine(), six));
  }
  // The user leaves out b and e.
  SetAsideErrors SetAsideBAndE() { return Engine().SetAsideUnselected({true, false, true, true, false, true}); }
  std::vector<std::wstring> FileRecords() {
    CErrorListEx read;
    ReadErrorFile(*platform_, Engine().UnresolvedErrorsPath(), &read);
    return FilesOf(read);
  }
  std::wstring StoredCount() {
    return ReadRegistryString(*platform_, HKEY_LOCAL_MACHINE, L"Software\\Orvane", L"IgnoredErrorsCount");
  }
};

TEST_F(ResultsRepairTest, WhatTheRepairDidNotReachJoinsTheSetAsideRecordsInListOrder) {
  testing::GatePacer pacer(2);
  CSarvelEngine& engine = Engine(&pacer);
  pacer.engine = &engine;
  LoadSix();
  SetAsideErrors aside = SetAsideBAndE();
  EXPECT_TRUE(aside.written);
  EXPECT_EQ(FilesOf(aside.records), (std::vector<std::wstring>{L"b", L"e"}));
  EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"b", L"e"}));
  EXPECT_EQ(StoredCount(), L"2");
  EXPECT_EQ(FilesOf(engine.errors()), (std::vector<std::wstring>{L"a", L"c", L"d", L"f"}));
  EXPECT_EQ(engine.Section(2).ignored, 1);
  EXPECT_EQ(engine.Section(9).ignored, 1);
  EXPECT_EQ(refreshed_, 1);

  // A repair aborted during its second record: c is repaired, d and f
  // never reached.
  ASSERT_TRUE(engine.StartRepairOfList());
  pacer.StopWhenHeld();
  UnresolvedKept kept = engine.KeepUnrepairedErrors(aside);
  EXPECT_TRUE(kept.written);
  EXPECT_EQ(kept.count, 4);
  EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"b", L"d", L"e", L"f"}));
  EXPECT_EQ(StoredCount(), L"4");
  EXPECT_TRUE(engine.errors().IsEmpty());
  EXPECT_EQ(engine.Section(2), (SectionCounter{2, 1, 1}));
  EXPECT_EQ(engine.Section(7), (SectionCounter{2, 1, 1}));
  EXPECT_EQ(engine.Section(9), (SectionCounter{2, 0, 2}));
  EXPECT_EQ(refreshed_, 2);
}

TEST_F(ResultsRepairTest, AnEarlierRepairsOutcomesAreNotTakenForANewOne) {
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(testing::LoadAsFound(engine, std::vector<CError>(4, Record(4, L"old"))));
  ASSERT_TRUE(engine.StartRepairOfList());
  engine.WaitForRepair();
  ASSERT_EQ(engine.repair_thread()->outcomes()[0].state, RecordOutcome::State::kRepaired);
  // Same list size as the old repair's, but no repair follows the set-aside.
  LoadSix();
  SetAsideErrors aside = SetAsideBAndE();
  UnresolvedKept kept = engine.KeepUnrepairedErrors(aside);
  EXPECT_TRUE(kept.written);
  EXPECT_EQ(FileRecords(), (std::vector<std::wstring>{L"a", L"b", L"c", L"d", L"e", L"f"}));
  EXPECT_EQ(StoredCount(), L"6");
}

TEST_F(ResultsRepairTest, AFileThatCannotBeWrittenLosesNothing) {
  testing::GatePacer pacer(1);
  CSarvelEngine& engine = Engine(&pacer);
  pacer.engine = &engine;
  LoadSix();
  ASSERT_TRUE(platform_->DeleteFile(engine.UnresolvedErrorsPath()));
  platform_->CreateDirectory(engine.UnresolvedErrorsPath());
  SetAsideErrors aside = SetAsideBAndE();
  EXPECT_FALSE(aside.written);
  // The user's choice still holds: b and e are not repaired.
  EXPECT_EQ(FilesOf(engine.errors()), (std::vector<std::wstring>{L"a", L"c", L"d", L"f"}));
  EXPECT_EQ(StoredCount(), L"2");

  ASSERT_TRUE(engine.StartRepairOfList());
  pacer.StopWhenHeld();
  UnresolvedKept kept = engine.KeepUnrepairedErrors(aside);
  EXPECT_FALSE(kept.written);
  EXPECT_EQ(kept.count, 5);
  EXPECT_EQ(FilesOf(engine.errors()), (std::vector<std::wstring>{L"b", L"c", L"d", L"e", L"f"}));
  EXPECT_EQ(StoredCount(), L"2");
}

// Another program (`wine reg add`) writes the hive between the repair and
// the restore; the restore reads it again and goes ahead, keeping theirs.
TEST_F(EngineTest, ARestoreAfterAnotherProgramWroteTheRegistryProceeds) {
  prefix_.String(HKEY_LOCAL_MACHINE, kRun, L"Gone", L"C:\\gone\\gone.exe");
  CSarvelEngine& engine = Engine();
  std::array<bool, kSectionCount> startup{};
  startup[section::kStartup] = true;
  engine.StartScan(startup);
  ASSERT_TRUE(engine.FinishScan().kept);
  ASSERT_TRUE(engine.StartRepairOfUnresolved({}));
  RepairSummary repair = engine.FinishRepair();
  ASSERT_EQ(repair.repaired, 1);
  ASSERT_EQ(repair.backup_sets.size(), 1u);
  ASSERT_TRUE(platform_->Flush());

  const std::string system_reg = prefix_.dir() + "/system.reg";
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a later modification time
  const std::string theirs = testing::ReadHostFile(system_reg) + "\n[Software\\\\Theirs] 1\n\"added\"=\"yes\"\n";
  std::ofstream(system_reg + ".new", std::ios::binary) << theirs;
  std::filesystem::rename(system_reg + ".new", system_reg);

  RestoreReport restored = engine.RestoreBackup(repair.backup_sets[0]);
  EXPECT_TRUE(restored.ok());
  EXPECT_EQ(restored.restored, 1);
  ASSERT_TRUE(platform_->Flush());
  wine::WinePlatform after(prefix_.Options());
  EXPECT_EQ(ReadRegistryString(after, HKEY_LOCAL_MACHINE, kRun, L"Gone"), L"C:\\gone\\gone.exe");
  EXPECT_EQ(ReadRegistryString(after, HKEY_LOCAL_MACHINE, L"Software\\Theirs", L"added"), L"yes");
}

TEST_F(EngineTest, TheReportOfTheListLeavesTheListAlone) {
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(testing::LoadAsFound(engine, {Record(2, L"in file"), Record(7, L"shown now")}));
  // The results window left the first out: the file holds it, the list the other.
  ASSERT_TRUE(engine.SetAsideUnselected({false, true}).written);
  ReportResult report = engine.WriteReportOfList();
  ASSERT_TRUE(report.ok) << std::string(report.error.begin(), report.error.end());
  EXPECT_EQ(FilesOf(engine.errors()), (std::vector<std::wstring>{L"shown now"}));
  std::string page;
  ASSERT_TRUE(platform_->ReadFile(report.file_name, &page));
  EXPECT_NE(page.find("Empty Registry Keys"), std::string::npos);
  EXPECT_EQ(page.find("Sound Files"), std::string::npos);
}

// Wine links the profile's Desktop to the host user's desktop: what lies
// there, a broken shortcut included, is not the machine's, so a scan finds
// nothing there and a repair has nothing of it to remove.
TEST_F(EngineTest, ShortcutsOnTheHostDesktopTheProfileLinksToAreNotTheMachines) {
  char pattern[] = "/tmp/orvane-home-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string desktop = std::string(pattern) + "/Desktop";
  struct Cleanup {
    std::string dir;
    ~Cleanup() { std::filesystem::remove_all(dir); }
  } cleanup{pattern};
  std::filesystem::create_directories(desktop);
  std::ofstream(desktop + "/Gone.lnk") << testing::ShortcutBytes({"C:\\apps\\gone.exe", L"", L"", false});
  prefix_.Link(L"C:\\users\\tester\\Desktop", desktop);
  CSarvelEngine& engine = Engine();
  std::array<bool, kSectionCount> shortcuts{};
  shortcuts[section::kShortcuts] = true;
  engine.StartScan({shortcuts});
  engine.WaitForScan();
  EXPECT_EQ(engine.errors().GetCount(), 0);
  EXPECT_TRUE(std::filesystem::exists(desktop + "/Gone.lnk"));
}

// A backup is a move into the program's own folder, which would take a file
// out of the host's folder: a record naming a shortcut there (the file of
// unresolved errors can say anything) leaves it, and everything beside it.
TEST_F(EngineTest, AShortcutOnTheLinkedDesktopIsNeverMovedOutOfTheHostsFolder) {
  char pattern[] = "/tmp/orvane-home-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string desktop = std::string(pattern) + "/Desktop";
  struct Cleanup {
    std::string dir;
    ~Cleanup() { std::filesystem::remove_all(dir); }
  } cleanup{pattern};
  std::filesystem::create_directories(desktop);
  std::ofstream(desktop + "/Gone.lnk") << testing::ShortcutBytes({"C:\\apps\\gone.exe", L"", L"", false});
  std::ofstream(desktop + "/Gone.txt") << "the user's own notes";
  prefix_.Link(L"C:\\users\\tester\\Desktop", desktop);
  CSarvelEngine& engine = Engine();
  CError record;
  record.errorType = ErrorType::File;
  record.section = section::kShortcuts;
  record.filePath = L"C:\\users\\tester\\Desktop\\Gone.lnk";
  ASSERT_TRUE(testing::LoadAsFound(engine, {record}));

  ASSERT_TRUE(engine.StartRepairOfList());
  engine.WaitForRepair();
  EXPECT_TRUE(std::filesystem::exists(desktop + "/Gone.lnk"));
  EXPECT_TRUE(std::filesystem::exists(desktop + "/Gone.txt"));
  EXPECT_EQ(engine.repair_thread()->outcomes()[0].state, RecordOutcome::State::kNotRepaired);
}

TEST_F(EngineTest, AFindingIsIgnoredOnceAndTheListKeepsWhatItHad) {
  CSarvelEngine& engine = Engine();
  ASSERT_TRUE(state_.Replace(kIgnoreFileName, "not an entry\n"));
  IgnoreEntry entry;
  bool added = false;
  ASSERT_TRUE(engine.IgnoreFinding(Record(2, L"C:\\gone.exe"), &entry, &added));
  EXPECT_TRUE(added);
  EXPECT_EQ(IgnoreEntryText(entry), L"value HKEY_LOCAL_MACHINE\\Software\\X : v");
  ASSERT_TRUE(engine.IgnoreFinding(Record(2, L"C:\\gone.exe"), &entry, &added));
  EXPECT_FALSE(added);
  IgnoreFile file = ReadIgnoreFile(state_);
  EXPECT_EQ(file.list.entries().size(), 1u);
  EXPECT_EQ(file.kept_lines, std::vector<std::string>{"not an entry"});

  // A cookie is ignored by its host; a record naming nothing is refused.
  CError cookie;
  cookie.section = section::kCookies;
  cookie.errorType = ErrorType::File;
  cookie.filePath = L"profile host - .shop.example , name - id";
  ASSERT_TRUE(engine.IgnoreFinding(cookie, &entry, &added));
  EXPECT_EQ(IgnoreEntryText(entry), L"host shop.example");
  EXPECT_FALSE(engine.IgnoreFinding(CError{}, &entry, &added));
  EXPECT_FALSE(added);
  EXPECT_EQ(ReadIgnoreFile(state_).list.entries().size(), 2u);
}

}  // namespace
}  // namespace orvane
