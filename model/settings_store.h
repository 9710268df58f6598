// The program's settings, each kept where it belongs:
// - the user's (what steers the program on the host: UpdateServer,
//   UpdateKey, SupportService, StartWithWindows, StartScanAtProgramStartup,
//   ShowInTaskbarOnClose, AllowAutoUpdates) in the user's settings file
//   (UserSettings), never in a machine, since any Windows program in a
//   machine can write its registry;
// - the machine's (the browser choices, IgnoredErrorsCount, LastScanDate,
//   LogID, Email and any other name) as REG_SZ values under
//   HKEY_LOCAL_MACHINE "Software\Orvane" of the machine;
// - start at login as the session's start-up entry (Platform::SetSessionStart),
//   the scheduled scan as the machine's own task trigger.
// ReadSetting and WriteSetting route each name to its place, so callers
// need not know which is which. Options are "true"/"false"; nothing is
// cached.
//
// Reads fail quietly: a missing or unreadable value reads as "". Writes say
// when they did not happen: the machine's values are refused while the
// machine may not be changed (Platform::CheckWritable) and end with the
// registry saved (Platform::Flush); the user's are refused when their file
// cannot be read or written. The user's writes never wait for the machine.
//
// Main (interface) thread only, like the windows that use it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/user_settings.h"
#include "platform/platform.h"

namespace orvane {

// The scheduled scan's kinds and the platform's day bits.
enum ScheduleKind { kScheduleNone = 0, kScheduleDaily = 1, kScheduleWeekly = 2 };
enum ScheduleDay {
  kSundayBit = 0x01,
  kMondayBit = 0x02,
  kTuesdayBit = 0x04,
  kWednesdayBit = 0x08,
  kThursdayBit = 0x10,
  kFridayBit = 0x20,
  kSaturdayBit = 0x40,
};

// Which caller fills in missing settings: the main window (browsers by
// installation) or the settings dialog (browsers "false").
enum class DefaultsForm { kMainWindow, kSettingsDialog };

struct ScanSchedule {
  bool task_exists = false;
  int kind = kScheduleNone;  // 0 when the task has no trigger
  int hour = 0;
  int minute = 0;
  int day_mask = 0;  // meaningful for weekly
};

// One machine's scheduled scan, for the list of every machine's.
struct MachineScanSchedule {
  std::wstring machine;  // how the platform names the machine (a prefix's path)
  bool this_machine = false;
  ScanSchedule schedule;
};

enum class SettingKind { kUser, kMachine };

// One setting as the command line offers it.
struct SettingInfo {
  const wchar_t* name;
  bool boolean;   // "true" or "false"
  bool writable;  // a user's choice (the others are kept by the program)
  SettingKind kind;
};
// The options in the order the main window checks them, then the values
// the program keeps and the addresses the program speaks to.
const std::vector<SettingInfo>& KnownSettings();
// Where name lives: kUser for the user's settings above, kMachine for
// every other name.
SettingKind KindOfSetting(const std::wstring& name);

// True when HKLM\Software\Clients\StartMenuInternet\<name> opens.
bool IsBrowserInstalled(Platform& platform, const std::wstring& name);

class SettingsStore {
 public:
  static constexpr wchar_t kKey[] = L"Software\\Orvane";
  // The scheduled task's name.
  static constexpr wchar_t kTaskName[] = L"Orvane";
  static constexpr DWORD kTaskFlagRunOnlyIfLoggedOn = 0x2000;

  // platform and user must outlive the store.
  SettingsStore(Platform& platform, UserSettings& user) : platform_(platform), user_(&user) {}
  // The user's settings in the file of platform's user folder
  // (Platform::UserConfigFolder), for callers that only pass a setting on.
  explicit SettingsStore(Platform& platform);

  // The value by name from where it lives, "" when missing.
  std::wstring ReadSetting(const std::wstring& name);
  Status WriteSetting(const std::wstring& name, const std::wstring& text);
  // The running program's module file name, whole (a path cut at 260
  // characters would name another file).
  std::wstring ExecutablePath();

  // Turns start at login on or off: the session's start-up entry is made or
  // removed and "StartWithWindows" stored with it; when either fails,
  // neither changes. The machine is not written.
  Status SetStartWithWindows(bool on);
  // True when the session really starts the program now (the entry is
  // there and not turned off by the desktop), whatever the setting says.
  bool StartsWithSession();
  // True once the user has said whether the program starts at login (the
  // first interactive start asks; until then it is off).
  bool StartAtLoginAnswered();

  // Writes the default of every option that reads "" (in the form's order):
  // the user's into the user's file, the browsers into the machine. Start
  // at login has no default: it stays off until the user turns it on. Ok
  // without writing, even on a machine that may not be changed, when
  // nothing is missing; the first failure otherwise.
  Status WriteDefaultSettings(DefaultsForm form);
  // Once only, when the user's file does not exist yet: the options an
  // older version kept in this machine (StartScanAtProgramStartup,
  // ShowInTaskbarOnClose, AllowAutoUpdates, and StartWithWindows when it is
  // "false", the only value that was the user's choice) are carried into a
  // new user's file. Never the update server, its key or the support
  // service. Every write of the user's kind does this first.
  Status AdoptOlderSettings();

  // The command line's way in: the value of a known setting by name (any
  // case), its name as stored and its kind; an unknown name fails, naming
  // the others.
  Status ReadKnownSetting(const std::wstring& name, std::wstring* canonical, std::wstring* value,
                          SettingKind* kind = nullptr);
  // Changes a writable setting by name, checking the value ("true" or
  // "false"); "StartWithWindows" goes through SetStartWithWindows.
  Status ChangeSetting(const std::wstring& name, const std::wstring& text);
  // Where the user's settings are kept (a host path), "" when nowhere.
  const std::string& UserSettingsFile() const { return user_->path(); }

  // Stores this machine's schedule in the task "Orvane" (created for this
  // program with "-scan", the user's account and kTaskFlagRunOnlyIfLoggedOn
  // when missing; an existing task keeps its own). Kind 1 daily and 2 weekly
  // set the trigger; any other kind leaves the machine without one. Other
  // machines' schedules are not touched. Ok when stored; *notice (may be
  // null) gets "" or a line to show (for example when it takes effect).
  Status SaveScanSchedule(int kind, int hour, int minute, int day_mask, std::wstring* notice = nullptr);
  // This machine's schedule.
  ScanSchedule LoadScanSchedule();
  // Every machine's that has one, this machine's marked. False when they
  // cannot be listed.
  bool ListScanSchedules(std::vector<MachineScanSchedule>* schedules);

 private:
  Status WriteMachine(const std::wstring& name, const std::wstring& text);

  Platform& platform_;
  std::unique_ptr<UserSettings> owned_user_;
  UserSettings* user_;
};

}  // namespace orvane
