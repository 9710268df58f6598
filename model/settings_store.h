// The program's settings: named text values under HKEY_LOCAL_MACHINE
// "Software\Orvane" ("true"/"false" for the options), the Run value that
// starts the program with Windows, and the scheduled-scan task. The windows
// and the command line decide when to read and write; nothing is cached.
//
// Reads fail quietly: a missing or unreadable value reads as "". Writes say
// when they did not happen: a machine that may not be changed now (a
// wineserver runs, another Orvane process is changing it) refuses them with
// the reason from Platform::CheckWritable, and every write ends with the
// registry saved (Platform::Flush), whose failure is returned too.
//
// Main (interface) thread only, like the windows that use it.
#pragma once

#include <string>
#include <utility>
#include <vector>

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
// installation, start with Windows through SetStartWithWindows) or the
// settings dialog (browsers "false", "StartWithWindows" without Run value).
enum class DefaultsForm { kMainWindow, kSettingsDialog };

struct ScanSchedule {
  bool task_exists = false;
  int kind = kScheduleNone;  // 0 when the task has no trigger
  int hour = 0;
  int minute = 0;
  int day_mask = 0;  // meaningful for weekly
};

// One value of the program's key as the command line offers it.
struct SettingInfo {
  const wchar_t* name;
  bool boolean;   // "true" or "false"
  bool writable;  // a user's choice (the others are kept by the program)
};
// The options in the order the main window checks them, then the values
// the program keeps ("IgnoredErrorsCount", "LastScanDate").
const std::vector<SettingInfo>& KnownSettings();

// True when HKLM\Software\Clients\StartMenuInternet\<name> opens.
bool IsBrowserInstalled(Platform& platform, const std::wstring& name);

class SettingsStore {
 public:
  static constexpr wchar_t kKey[] = L"Software\\Orvane";
  static constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  // The Run value's name, and the scheduled task's.
  static constexpr wchar_t kRunValueName[] = L"Orvane";
  static constexpr wchar_t kTaskName[] = L"Orvane";
  static constexpr DWORD kTaskFlagRunOnlyIfLoggedOn = 0x2000;

  // platform must outlive the store.
  explicit SettingsStore(Platform& platform) : platform_(platform) {}

  // The value under the program's key, "" when missing.
  std::wstring ReadSetting(const std::wstring& name);
  Status WriteSetting(const std::wstring& name, const std::wstring& text);
  // The value "Orvane" of HKLM\key, "" when missing (called with kRunKey).
  std::wstring ReadRunValue(const std::wstring& key);
  // A REG_SZ value under HKLM\key (the key is created when missing).
  Status WriteRegistryValue(const std::wstring& key, const std::wstring& name, const std::wstring& text);
  // Ok when the value is gone afterwards, also when it was not there.
  Status DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name);
  // The running program's module file name, whole (a path cut at 260
  // characters would name another file).
  std::wstring ExecutablePath();

  // "StartWithWindows" = "true"/"false" and the Run value written or
  // deleted with it, after the platform has started (or stopped) starting
  // the program with the session; when that fails, nothing is written.
  Status SetStartWithWindows(bool on);
  // Writes the default of every option that reads "" (in the form's
  // order). Ok without writing, even on a machine that may not be changed,
  // when nothing is missing.
  Status WriteDefaultSettings(DefaultsForm form);

  // The command line's way in: the value of a known setting by name (any
  // case) and its name as stored; an unknown name fails, naming the others.
  Status ReadKnownSetting(const std::wstring& name, std::wstring* canonical, std::wstring* value);
  // Changes a writable setting by name, checking the value ("true" or
  // "false"); "StartWithWindows" goes through SetStartWithWindows so the
  // Run value stays in step.
  Status ChangeSetting(const std::wstring& name, const std::wstring& text);

  // Stores the schedule in the task "Orvane" (created for this program
  // with "-scan", the user's account and kTaskFlagRunOnlyIfLoggedOn when
  // missing; an existing task keeps its own). Kind 1 daily and 2 weekly set
  // the trigger; any other kind leaves the task without trigger. Ok when the
  // task was reached and stored; *notice (may be null) gets "" or a line to
  // show (for example when the schedule takes effect).
  Status SaveScanSchedule(int kind, int hour, int minute, int day_mask, std::wstring* notice = nullptr);
  ScanSchedule LoadScanSchedule();

 private:
  // Writes without saving, for the composite operations.
  Status Write(const std::wstring& key, const std::wstring& name, const std::wstring& text);
  Status Delete(HKEY root, const std::wstring& key, const std::wstring& name);
  Status SetStartWithWindowsUnsaved(bool on);

  Platform& platform_;
};

}  // namespace orvane
