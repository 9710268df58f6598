#include "model/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "engine/registry_scan_thread.h"
#include "platform/registry_values.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TempPrefix;

const std::wstring kRun = SettingsStore::kRunKey;
const std::wstring kKey = SettingsStore::kKey;
const std::wstring kModule = L"C:\\Program Files\\Orvane\\Orvane.exe";
const std::wstring kClients = L"Software\\Clients\\StartMenuInternet\\";

// The registry changes of a run, without the keys created on the way.
std::vector<std::wstring> ValueChanges(const testing::RecordingPlatform& p) {
  std::vector<std::wstring> kept;
  for (const std::wstring& c : p.changes())
    if (c.rfind(L"CreateKey", 0) != 0) kept.push_back(c);
  return kept;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string Autostart() { return prefix_.HostDir() + "/config/autostart/orvane.desktop"; }
  // What a later run of the program sees: the saved hives.
  std::wstring Saved(const std::wstring& key, const std::wstring& name) {
    wine::WinePlatform again(prefix_.Options());
    return ReadRegistryString(again, HKEY_LOCAL_MACHINE, key, name);
  }

  TempPrefix prefix_;
};

TEST_F(SettingsStoreTest, FirstStartOfTheMainWindowWritesEveryDefaultAndTheRunValue) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"FIREFOX.EXE");
  auto wine = prefix_.Open();
  testing::RecordingPlatform recorded(*wine);
  SettingsStore store(recorded);
  ASSERT_TRUE(store.WriteDefaultSettings(DefaultsForm::kMainWindow));

  EXPECT_EQ(ValueChanges(recorded),
            (std::vector<std::wstring>{L"SetSessionStart on", L"SetValue StartWithWindows", L"SetValue Orvane",
                                       L"SetValue StartScanAtProgramStartup", L"SetValue ShowInTaskbarOnClose",
                                       L"SetValue AllowAutoUpdates", L"SetValue Chrome", L"SetValue IE",
                                       L"SetValue Firefox"}));
  EXPECT_EQ(Saved(kKey, L"StartWithWindows"), L"true");
  EXPECT_EQ(Saved(kKey, L"StartScanAtProgramStartup"), L"false");
  EXPECT_EQ(Saved(kKey, L"ShowInTaskbarOnClose"), L"true");
  EXPECT_EQ(Saved(kKey, L"AllowAutoUpdates"), L"false");
  EXPECT_EQ(Saved(kKey, L"Firefox"), L"true");  // installed
  EXPECT_EQ(Saved(kKey, L"IE"), L"false");
  EXPECT_EQ(Saved(kKey, L"Chrome"), L"false");
  EXPECT_EQ(Saved(kRun, L"Orvane"), kModule);
  EXPECT_TRUE(fs::exists(Autostart()));

  // A second start finds everything and writes nothing.
  recorded.ClearChanges();
  ASSERT_TRUE(store.WriteDefaultSettings(DefaultsForm::kMainWindow));
  EXPECT_TRUE(recorded.changes().empty());
}

TEST_F(SettingsStoreTest, TheDialogFillsGapsInItsOwnFormAndKeepsWhatIsThere) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"Google Chrome")
      .Key(HKEY_LOCAL_MACHINE, kClients + L"IEXPLORE.EXE")
      .String(HKEY_LOCAL_MACHINE, kKey, L"AllowAutoUpdates", L"true");
  auto wine = prefix_.Open();
  testing::RecordingPlatform recorded(*wine);
  SettingsStore store(recorded);
  ASSERT_TRUE(store.WriteDefaultSettings(DefaultsForm::kSettingsDialog));

  EXPECT_EQ(
      ValueChanges(recorded),
      (std::vector<std::wstring>{L"SetValue Chrome", L"SetValue IE", L"SetValue Firefox", L"SetValue StartWithWindows",
                                 L"SetValue StartScanAtProgramStartup", L"SetValue ShowInTaskbarOnClose"}));
  EXPECT_EQ(Saved(kKey, L"Chrome"), L"false");  // installed, yet "false" in this form
  EXPECT_EQ(Saved(kKey, L"IE"), L"false");
  EXPECT_EQ(Saved(kKey, L"StartWithWindows"), L"true");
  EXPECT_EQ(Saved(kKey, L"AllowAutoUpdates"), L"true");
  // Without the Run value the dialog shows start-up off.
  EXPECT_EQ(store.ReadRunValue(kRun), L"");
  EXPECT_FALSE(fs::exists(Autostart()));
}

TEST_F(SettingsStoreTest, TurningStartUpOffDeletesTheRunValueAndTheAutostartEntry) {
  auto wine = prefix_.Open();
  SettingsStore store(*wine);
  ASSERT_TRUE(store.SetStartWithWindows(true));
  EXPECT_EQ(store.ReadRunValue(kRun), kModule);
  ASSERT_TRUE(store.SetStartWithWindows(false));
  EXPECT_EQ(Saved(kRun, L"Orvane"), L"");
  EXPECT_EQ(Saved(kKey, L"StartWithWindows"), L"false");
  EXPECT_FALSE(fs::exists(Autostart()));
  // Set back to "true" by hand: the Run value, which the dialog reads, stays gone.
  ASSERT_TRUE(store.WriteSetting(L"StartWithWindows", L"true"));
  EXPECT_EQ(store.ReadRunValue(kRun), L"");
  // Off again with nothing left to delete is no failure.
  EXPECT_TRUE(store.SetStartWithWindows(false));
  EXPECT_TRUE(store.DeleteValue(HKEY_CURRENT_USER, kRun, L"Nothing"));
}

TEST_F(SettingsStoreTest, TheProgramsOwnRunValueIsNoFindingOfTheStartupSection) {
  auto wine = prefix_.Open();
  auto scan_startup = [&] {
    CErrorListEx errors;
    SectionCounters counters;
    MessageQueue messages;
    NoPacer pacer;
    std::array<bool, kSectionCount> sections{};
    sections[4] = true;
    CRegistryScanThread scan(sections, ScanEnvironment{*wine, errors, counters, messages, pacer, nullptr});
    scan.context.running = 1;
    scan.Run();
    return errors.GetCount();
  };
  // The value alone names a file that is not in the machine, and is found.
  ASSERT_TRUE(WriteRegistryString(*wine, HKEY_LOCAL_MACHINE, kRun, L"Orvane", kModule));
  ASSERT_EQ(scan_startup(), 1);

  SettingsStore store(*wine);
  ASSERT_TRUE(store.SetStartWithWindows(true));
  EXPECT_EQ(scan_startup(), 0);
  EXPECT_TRUE(fs::is_regular_file(prefix_.HostPath(kModule)));
}

TEST_F(SettingsStoreTest, RefusedWritesSayWhyAndChangeNothing) {
  prefix_.String(HKEY_LOCAL_MACHINE, kKey, L"IE", L"true");
  auto first = prefix_.Open();
  ASSERT_TRUE(SettingsStore(*first).WriteSetting(L"Chrome", L"true"));  // holds the prefix from now on

  wine::WineOptions options = prefix_.Options();
  options.lock_wait = std::chrono::milliseconds(50);
  wine::WinePlatform second(options);
  SettingsStore store(second);
  Status refused = store.WriteSetting(L"IE", L"false");
  ASSERT_FALSE(refused);
  EXPECT_NE(WideToUtf8(refused.message).find("pid " + std::to_string(getpid())), std::string::npos)
      << WideToUtf8(refused.message);
  EXPECT_FALSE(store.SetStartWithWindows(true));
  EXPECT_FALSE(store.WriteDefaultSettings(DefaultsForm::kMainWindow));  // most are missing
  EXPECT_FALSE(store.WriteRegistryValue(kRun, L"Orvane", L"x"));
  EXPECT_FALSE(fs::exists(Autostart()));         // the session entry is left as it was too
  EXPECT_EQ(store.ReadSetting(L"IE"), L"true");  // reads go on
  EXPECT_EQ(Saved(kKey, L"IE"), L"true");
}

// Saving the registry is part of every write, and its failure is told.
class FailingSave : public testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  Status Flush() override { return Status::Error(L"No space left on the disk."); }
};

TEST_F(SettingsStoreTest, AFailedSaveIsReported) {
  auto wine = prefix_.Open();
  FailingSave failing(*wine);
  SettingsStore store(failing);
  EXPECT_EQ(store.WriteSetting(L"IE", L"true").message, L"No space left on the disk.");
  EXPECT_FALSE(store.SetStartWithWindows(false));
  EXPECT_FALSE(store.WriteDefaultSettings(DefaultsForm::kSettingsDialog));
}

TEST_F(SettingsStoreTest, ChangingASettingByNameChecksNameAndValue) {
  auto wine = prefix_.Open();
  SettingsStore store(*wine);
  EXPECT_TRUE(store.ChangeSetting(L"allowautoupdates", L"TRUE"));
  EXPECT_EQ(store.ReadSetting(L"AllowAutoUpdates"), L"true");
  EXPECT_TRUE(store.ChangeSetting(L"StartWithWindows", L"true"));  // with its Run value
  EXPECT_EQ(store.ReadRunValue(kRun), kModule);

  EXPECT_FALSE(store.ChangeSetting(L"IE", L"yes"));
  EXPECT_FALSE(store.ChangeSetting(L"LastScanDate", L"01-JAN-2026"));
  Status unknown = store.ChangeSetting(L"Colour", L"blue");
  ASSERT_FALSE(unknown);
  EXPECT_NE(unknown.message.find(L"StartScanAtProgramStartup"), std::wstring::npos);
  std::wstring name, value;
  ASSERT_TRUE(store.ReadKnownSetting(L"ie", &name, &value));
  EXPECT_EQ(name, L"IE");
  EXPECT_EQ(value, L"");
}

TEST_F(SettingsStoreTest, ScheduledScanRoundTrips) {
  auto wine = prefix_.Open();
  SettingsStore store(*wine);
  EXPECT_FALSE(store.LoadScanSchedule().task_exists);

  std::wstring notice;
  ASSERT_TRUE(store.SaveScanSchedule(kScheduleWeekly, 21, 30, kMondayBit | kFridayBit, &notice));
  EXPECT_NE(notice.find(L"next login"), std::wstring::npos);  // no user manager here
  ScanSchedule weekly = store.LoadScanSchedule();
  EXPECT_TRUE(weekly.task_exists);
  EXPECT_EQ(weekly.kind, kScheduleWeekly);
  EXPECT_EQ(weekly.hour, 21);
  EXPECT_EQ(weekly.minute, 30);
  EXPECT_EQ(weekly.day_mask, 0x22);

  ASSERT_TRUE(store.SaveScanSchedule(kScheduleDaily, 6, 5, 0x22));
  ScanSchedule daily = store.LoadScanSchedule();
  EXPECT_EQ(daily.kind, kScheduleDaily);
  EXPECT_EQ(daily.hour * 100 + daily.minute, 605);
  EXPECT_EQ(daily.day_mask, 0);

  // None leaves the task without its trigger.
  ASSERT_TRUE(store.SaveScanSchedule(kScheduleNone, 0, 0, 0, &notice));
  EXPECT_EQ(notice, L"");
  ScanSchedule none = store.LoadScanSchedule();
  EXPECT_TRUE(none.task_exists);
  EXPECT_EQ(none.kind, kScheduleNone);

  // What cannot be a schedule is refused, and the task stays as it was.
  EXPECT_FALSE(store.SaveScanSchedule(kScheduleDaily, 24, 0, 0));
  EXPECT_FALSE(store.SaveScanSchedule(kScheduleWeekly, 8, 0, 0));
  EXPECT_EQ(store.LoadScanSchedule().kind, kScheduleNone);
}

TEST_F(SettingsStoreTest, AnExistingTaskKeepsItsApplication) {
  auto wine = prefix_.Open();
  std::string units = prefix_.HostDir() + "/config/systemd/user";
  fs::create_directories(units);
  std::string service = "[Service]\nExecStart=\"/opt/other/orvane\" \"-scan\" \"--prefix\" \"" + prefix_.dir() + "\"\n";
  std::ofstream(units + "/orvane-scan.service") << service;

  SettingsStore store(*wine);
  ASSERT_TRUE(store.SaveScanSchedule(kScheduleDaily, 7, 0, 0));
  EXPECT_EQ(testing::ReadHostFile(units + "/orvane-scan.service"), service);
  ScheduledTask task;
  ASSERT_TRUE(wine->LoadScheduledTask(L"Orvane", &task));
  EXPECT_EQ(task.application, L"/opt/other/orvane");
  EXPECT_EQ(task.parameters, L"-scan");
  EXPECT_EQ(store.LoadScanSchedule().kind, kScheduleDaily);
}

}  // namespace
}  // namespace orvane
