#include "model/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/registry_values.h"
#include "platform/testing/recording_platform.h"
#include "platform/testing/temp_prefix.h"
#include "platform/text.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using testing::TempPrefix;

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
  std::string UserFile() { return prefix_.HostDir() + "/config/orvane/orvane.conf"; }
  // What a later run of the program sees: the saved hives.
  std::wstring Saved(const std::wstring& key, const std::wstring& name) {
    wine::WinePlatform again(prefix_.Options());
    return ReadRegistryString(again, HKEY_LOCAL_MACHINE, key, name);
  }
  // The prefix's hive files, to show that nothing in the machine changed.
  std::string Hives() {
    return testing::ReadHostFile(prefix_.dir() + "/system.reg") + testing::ReadHostFile(prefix_.dir() + "/user.reg");
  }

  TempPrefix prefix_;
};

TEST_F(SettingsStoreTest, FirstStartOfTheMainWindowWritesTheDefaultsEachWhereItBelongs) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"FIREFOX.EXE");
  auto wine = prefix_.Open();
  testing::RecordingPlatform recorded(*wine);
  UserSettings user(UserFile());
  SettingsStore store(recorded, user);
  ASSERT_TRUE(store.WriteDefaultSettings(DefaultsForm::kMainWindow));

  // The machine gets only its own values, and start at login stays off.
  EXPECT_EQ(ValueChanges(recorded),
            (std::vector<std::wstring>{L"SetValue Chrome", L"SetValue IE", L"SetValue Firefox"}));
  EXPECT_EQ(Saved(kKey, L"Firefox"), L"true");  // installed
  EXPECT_EQ(Saved(kKey, L"IE"), L"false");
  EXPECT_EQ(Saved(kKey, L"Chrome"), L"false");
  EXPECT_EQ(Saved(kKey, L"ShowInTaskbarOnClose"), L"");
  EXPECT_EQ(user.Read(L"StartScanAtProgramStartup"), L"false");
  EXPECT_EQ(user.Read(L"ShowInTaskbarOnClose"), L"true");
  EXPECT_EQ(user.Read(L"AllowAutoUpdates"), L"false");
  EXPECT_EQ(user.Read(L"StartWithWindows"), L"");
  EXPECT_FALSE(store.StartAtLoginAnswered());
  EXPECT_FALSE(fs::exists(Autostart()));

  // A second start finds everything and writes nothing.
  recorded.ClearChanges();
  const std::string file = testing::ReadHostFile(UserFile());
  ASSERT_TRUE(store.WriteDefaultSettings(DefaultsForm::kMainWindow));
  EXPECT_TRUE(recorded.changes().empty());
  EXPECT_EQ(testing::ReadHostFile(UserFile()), file);
}

TEST_F(SettingsStoreTest, TheDialogFillsGapsInItsOwnFormAndKeepsWhatIsThere) {
  prefix_.Key(HKEY_LOCAL_MACHINE, kClients + L"Google Chrome").Key(HKEY_LOCAL_MACHINE, kClients + L"IEXPLORE.EXE");
  auto wine = prefix_.Open();
  testing::RecordingPlatform recorded(*wine);
  UserSettings user(UserFile());
  ASSERT_TRUE(user.Write(L"AllowAutoUpdates", L"true"));
  SettingsStore store(recorded, user);
  ASSERT_TRUE(store.WriteDefaultSettings(DefaultsForm::kSettingsDialog));

  EXPECT_EQ(ValueChanges(recorded),
            (std::vector<std::wstring>{L"SetValue Chrome", L"SetValue IE", L"SetValue Firefox"}));
  EXPECT_EQ(Saved(kKey, L"Chrome"), L"false");  // installed, yet "false" in this form
  EXPECT_EQ(Saved(kKey, L"IE"), L"false");
  EXPECT_EQ(user.Read(L"AllowAutoUpdates"), L"true");
  EXPECT_EQ(user.Read(L"ShowInTaskbarOnClose"), L"true");
  EXPECT_EQ(user.Read(L"StartWithWindows"), L"");
  EXPECT_FALSE(store.StartsWithSession());
  EXPECT_FALSE(fs::exists(Autostart()));
}

TEST_F(SettingsStoreTest, StartAtLoginIsTheUsersEntryAndWritesNothingInTheMachine) {
  auto wine = prefix_.Open();
  const std::string hives = Hives();
  testing::RecordingPlatform recorded(*wine);
  UserSettings user(UserFile());
  SettingsStore store(recorded, user);
  ASSERT_TRUE(store.SetStartWithWindows(true));
  EXPECT_TRUE(store.StartsWithSession());
  EXPECT_TRUE(store.StartAtLoginAnswered());
  EXPECT_EQ(user.Read(L"StartWithWindows"), L"true");
  EXPECT_EQ(recorded.changes(), std::vector<std::wstring>{L"SetSessionStart on"});
  // No Run value to judge and no stand-in program in the machine.
  EXPECT_EQ(Saved(L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Orvane"), L"");
  EXPECT_EQ(wine->GetFileAttributes(kModule), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Hives(), hives);

  // The desktop's own tools may turn the entry off: what starts is what shows.
  std::ofstream(Autostart(), std::ios::app) << "Hidden=true\n";
  EXPECT_FALSE(store.StartsWithSession());
  ASSERT_TRUE(store.SetStartWithWindows(false));
  EXPECT_FALSE(fs::exists(Autostart()));
  EXPECT_EQ(user.Read(L"StartWithWindows"), L"false");
  EXPECT_TRUE(store.SetStartWithWindows(false));  // nothing left to remove is no failure
  EXPECT_EQ(Hives(), hives);
}

TEST_F(SettingsStoreTest, TheUsersSettingsAreNeverReadFromAMachine) {
  // What an older version (or any Windows program in the prefix) left there.
  prefix_.String(HKEY_LOCAL_MACHINE, kKey, L"UpdateServer", L"http://attacker.invalid/")
      .String(HKEY_LOCAL_MACHINE, kKey, L"UpdateKey", L"C:\\key.pem")
      .String(HKEY_LOCAL_MACHINE, kKey, L"SupportService", L"http://attacker.invalid/support")
      .String(HKEY_LOCAL_MACHINE, kKey, L"StartWithWindows", L"true")
      .String(HKEY_LOCAL_MACHINE, kKey, L"ShowInTaskbarOnClose", L"false")
      .String(HKEY_LOCAL_MACHINE, kKey, L"AllowAutoUpdates", L"true")
      .String(HKEY_LOCAL_MACHINE, kKey, L"StartScanAtProgramStartup", L"maybe");
  auto wine = prefix_.Open();
  SettingsStore store(*wine);  // finds the user's file through the platform
  EXPECT_EQ(store.UserSettingsFile(), UserFile());
  for (const wchar_t* name : {L"UpdateServer", L"UpdateKey", L"SupportService", L"ShowInTaskbarOnClose"})
    EXPECT_EQ(store.ReadSetting(name), L"") << WideToUtf8(name);

  // The first write of the user's kind carries the options over, once; the
  // addresses never, and "StartWithWindows" only as the user's "false".
  ASSERT_TRUE(store.WriteSetting(L"StartScanAtProgramStartup", L"true"));
  EXPECT_EQ(store.ReadSetting(L"ShowInTaskbarOnClose"), L"false");
  EXPECT_EQ(store.ReadSetting(L"AllowAutoUpdates"), L"true");
  EXPECT_EQ(store.ReadSetting(L"StartScanAtProgramStartup"), L"true");
  EXPECT_FALSE(store.StartAtLoginAnswered());  // the first start still asks
  for (const wchar_t* name : {L"UpdateServer", L"UpdateKey", L"SupportService"})
    EXPECT_EQ(store.ReadSetting(name), L"") << WideToUtf8(name);
  const std::string file = testing::ReadHostFile(UserFile());
  EXPECT_EQ(file.find("attacker"), std::string::npos) << file;

  // Another machine later has no say either.
  TempPrefix other;
  other.String(HKEY_LOCAL_MACHINE, kKey, L"AllowAutoUpdates", L"false")
      .String(HKEY_LOCAL_MACHINE, kKey, L"StartWithWindows", L"false");
  wine::WineOptions options = other.Options();
  options.config_dir = prefix_.HostDir() + "/config";
  other.Write();
  wine::WinePlatform second(options);
  SettingsStore later(second);
  ASSERT_TRUE(later.WriteSetting(L"UpdateServer", L"https://mine.example"));
  EXPECT_EQ(later.ReadSetting(L"AllowAutoUpdates"), L"true");
  EXPECT_FALSE(later.StartAtLoginAnswered());
  // A user's write goes to the file alone: the machine keeps what it had.
  EXPECT_EQ(Saved(kKey, L"UpdateServer"), L"http://attacker.invalid/");
}

TEST_F(SettingsStoreTest, AnOlderUsersNoToStartAtLoginIsKept) {
  prefix_.String(HKEY_LOCAL_MACHINE, kKey, L"StartWithWindows", L"false");
  auto wine = prefix_.Open();
  SettingsStore store(*wine);
  EXPECT_TRUE(store.StartAtLoginAnswered());
  EXPECT_EQ(store.ReadSetting(L"StartWithWindows"), L"false");
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
  EXPECT_FALSE(store.WriteDefaultSettings(DefaultsForm::kMainWindow));  // the browsers are missing
  EXPECT_EQ(store.ReadSetting(L"IE"), L"true");                         // reads go on
  EXPECT_EQ(Saved(kKey, L"IE"), L"true");
  // The user's settings do not wait for the machine.
  EXPECT_EQ(store.ReadSetting(L"ShowInTaskbarOnClose"), L"true");
  EXPECT_TRUE(store.SetStartWithWindows(true));
  EXPECT_TRUE(fs::exists(Autostart()));
}

// Saving the registry is part of every machine's write, and its failure is told.
class FailingSave : public testing::RecordingPlatform {
 public:
  using RecordingPlatform::RecordingPlatform;
  Status Flush() override { return Status::Error(L"No space left on the disk."); }
};

TEST_F(SettingsStoreTest, AFailedSaveIsReported) {
  auto wine = prefix_.Open();
  FailingSave failing(*wine);
  UserSettings user(UserFile());
  SettingsStore store(failing, user);
  EXPECT_EQ(store.WriteSetting(L"IE", L"true").message, L"No space left on the disk.");
  EXPECT_FALSE(store.WriteDefaultSettings(DefaultsForm::kSettingsDialog));
  EXPECT_TRUE(store.WriteSetting(L"AllowAutoUpdates", L"true"));  // not the machine's

  // A user's file that cannot be read is refused too, and start at login
  // stays as it was.
  std::ofstream(UserFile()) << "not a setting\n";
  EXPECT_FALSE(store.SetStartWithWindows(true));
  EXPECT_FALSE(fs::exists(Autostart()));
}

TEST_F(SettingsStoreTest, ChangingASettingByNameChecksNameAndValue) {
  auto wine = prefix_.Open();
  SettingsStore store(*wine);
  EXPECT_TRUE(store.ChangeSetting(L"allowautoupdates", L"TRUE"));
  EXPECT_EQ(store.ReadSetting(L"AllowAutoUpdates"), L"true");
  EXPECT_TRUE(store.ChangeSetting(L"StartWithWindows", L"true"));  // with its entry
  EXPECT_TRUE(store.StartsWithSession());

  EXPECT_FALSE(store.ChangeSetting(L"IE", L"yes"));
  EXPECT_FALSE(store.ChangeSetting(L"LastScanDate", L"01-JAN-2026"));
  Status unknown = store.ChangeSetting(L"Colour", L"blue");
  ASSERT_FALSE(unknown);
  EXPECT_NE(unknown.message.find(L"StartScanAtProgramStartup"), std::wstring::npos);
  std::wstring name, value;
  SettingKind kind = SettingKind::kUser;
  ASSERT_TRUE(store.ReadKnownSetting(L"ie", &name, &value, &kind));
  EXPECT_EQ(name, L"IE");
  EXPECT_EQ(value, L"");
  EXPECT_EQ(kind, SettingKind::kMachine);
  ASSERT_TRUE(store.ReadKnownSetting(L"updatekey", &name, &value, &kind));
  EXPECT_EQ(kind, SettingKind::kUser);
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
  // A task of the older, single-timer form.
  std::ofstream(units + "/orvane-scan.service")
      << "[Service]\nExecStart=\"/opt/other/orvane\" \"-scan\" \"--prefix\" \"" + prefix_.dir() + "\"\n";

  SettingsStore store(*wine);
  ASSERT_TRUE(store.SaveScanSchedule(kScheduleDaily, 7, 0, 0));
  EXPECT_FALSE(fs::exists(units + "/orvane-scan.service"));  // taken over by the template
  ScheduledTask task;
  ASSERT_TRUE(wine->LoadScheduledTask(L"Orvane", &task));
  EXPECT_EQ(task.application, L"/opt/other/orvane");
  EXPECT_EQ(task.parameters, L"-scan");
  EXPECT_EQ(store.LoadScanSchedule().kind, kScheduleDaily);
}

}  // namespace
}  // namespace orvane
