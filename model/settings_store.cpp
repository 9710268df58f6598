#include "model/settings_store.h"

#include "platform/names.h"
#include "platform/registry_values.h"
#include "platform/text.h"

namespace orvane {
namespace {

constexpr wchar_t kStartWithWindows[] = L"StartWithWindows";

struct Default {
  const wchar_t* name;
  const wchar_t* value;    // for browsers: the dialog's form
  const wchar_t* browser;  // the browser's key under StartMenuInternet, or null
};

constexpr Default kStartWithWindowsDefault{kStartWithWindows, L"true", nullptr};
constexpr Default kOptionDefaults[] = {
    {L"StartScanAtProgramStartup", L"false", nullptr},
    {L"ShowInTaskbarOnClose", L"true", nullptr},
    {L"AllowAutoUpdates", L"false", nullptr},
};
constexpr Default kBrowserDefaults[] = {
    {L"Chrome", L"false", L"Google Chrome"},
    {L"IE", L"false", L"IEXPLORE.EXE"},
    {L"Firefox", L"false", L"FIREFOX.EXE"},
};

bool ValueExists(Platform& platform, HKEY root, const std::wstring& key_path, const std::wstring& name) {
  for (DWORD view : {DWORD{0}, DWORD{KEY_WOW64_64KEY}}) {
    HKEY key;
    if (platform.OpenKey(root, key_path, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
    DWORD type = 0;
    std::string data;
    LONG rc = platform.QueryValue(key, name, &type, &data, 0);
    platform.CloseKey(key);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) return true;
  }
  return false;
}

const SettingInfo* FindSetting(const std::wstring& name) {
  for (const SettingInfo& info : KnownSettings())
    if (EqualsNoCase(info.name, name)) return &info;
  return nullptr;
}

Status NoSuchSetting(const std::wstring& name) {
  std::wstring names;
  for (const SettingInfo& s : KnownSettings()) names += (names.empty() ? L"" : L", ") + std::wstring(s.name);
  return Status::Error(L"There is no setting \"" + name + L"\"; the settings are " + names + L".");
}

}  // namespace

const std::vector<SettingInfo>& KnownSettings() {
  static const std::vector<SettingInfo> settings = {
      {kStartWithWindows, true, true},
      {L"StartScanAtProgramStartup", true, true},
      {L"ShowInTaskbarOnClose", true, true},
      {L"AllowAutoUpdates", true, true},
      {L"Chrome", true, true},
      {L"IE", true, true},
      {L"Firefox", true, true},
      {L"IgnoredErrorsCount", false, false},
      {L"LastScanDate", false, false},
      // Where updates come from ("" for the build's server).
      {L"UpdateServer", false, true},
      // The PEM public key its releases are signed with ("" for the build's).
      {L"UpdateKey", false, true},
      // Where reports to the support staff go ("" for the build's service).
      {L"SupportService", false, true},
  };
  return settings;
}

bool IsBrowserInstalled(Platform& platform, const std::wstring& name) {
  return KeyExists(platform, HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet\\" + name);
}

std::wstring SettingsStore::ReadSetting(const std::wstring& name) {
  return ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, kKey, name);
}

Status SettingsStore::Write(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  if (Status writable = platform_.CheckWritable(); !writable) return writable;
  if (!WriteRegistryString(platform_, HKEY_LOCAL_MACHINE, key, name, text))
    return Status::Error(L"Could not write the value \"" + name + L"\" under HKEY_LOCAL_MACHINE\\" + key + L".");
  return Status::Ok();
}

Status SettingsStore::Delete(HKEY root, const std::wstring& key, const std::wstring& name) {
  if (!ValueExists(platform_, root, key, name)) return Status::Ok();
  if (Status writable = platform_.CheckWritable(); !writable) return writable;
  if (!DeleteRegistryValue(platform_, root, key, name) && ValueExists(platform_, root, key, name))
    return Status::Error(L"Could not delete the value \"" + name + L"\" under " + RootKeyName(root) + L"\\" + key +
                         L".");
  return Status::Ok();
}

Status SettingsStore::WriteSetting(const std::wstring& name, const std::wstring& text) {
  if (Status s = Write(kKey, name, text); !s) return s;
  return platform_.Flush();
}

std::wstring SettingsStore::ReadRunValue(const std::wstring& key) {
  return ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, key, kRunValueName);
}

Status SettingsStore::WriteRegistryValue(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  if (Status s = Write(key, name, text); !s) return s;
  return platform_.Flush();
}

Status SettingsStore::DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  if (Status s = Delete(root, key, name); !s) return s;
  return platform_.Flush();
}

std::wstring SettingsStore::ExecutablePath() { return platform_.ModuleFileName(); }

Status SettingsStore::SetStartWithWindowsUnsaved(bool on) {
  // Refused before the session entry changes, so the two stay in step.
  if (Status writable = platform_.CheckWritable(); !writable) return writable;
  if (Status session = platform_.SetSessionStart(on); !session) return session;
  if (Status s = Write(kKey, kStartWithWindows, on ? L"true" : L"false"); !s) return s;
  return on ? Write(kRunKey, kRunValueName, ExecutablePath()) : Delete(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName);
}

Status SettingsStore::SetStartWithWindows(bool on) {
  if (Status s = SetStartWithWindowsUnsaved(on); !s) return s;
  return platform_.Flush();
}

Status SettingsStore::WriteDefaultSettings(DefaultsForm form) {
  const bool main_window = form == DefaultsForm::kMainWindow;
  std::vector<const Default*> order;
  if (!main_window)
    for (const Default& d : kBrowserDefaults) order.push_back(&d);
  order.push_back(&kStartWithWindowsDefault);
  for (const Default& d : kOptionDefaults) order.push_back(&d);
  if (main_window)
    for (const Default& d : kBrowserDefaults) order.push_back(&d);

  Status first_failure;
  bool wrote = false;
  for (const Default* d : order) {
    if (!ReadSetting(d->name).empty()) continue;
    // A machine that may not be changed refuses them all alike: say it once.
    if (Status writable = platform_.CheckWritable(); !writable) return writable;
    Status s;
    if (main_window && d == &kStartWithWindowsDefault) {
      s = SetStartWithWindowsUnsaved(true);
    } else {
      std::wstring value = d->value;
      if (main_window && d->browser) value = IsBrowserInstalled(platform_, d->browser) ? L"true" : L"false";
      s = Write(kKey, d->name, value);
    }
    // The others are independent of a failed one: go on, report the first.
    wrote = true;
    if (!s && first_failure) first_failure = s;
  }
  if (wrote) {
    if (Status saved = platform_.Flush(); !saved) return saved;
  }
  return first_failure;
}

Status SettingsStore::ReadKnownSetting(const std::wstring& name, std::wstring* canonical, std::wstring* value) {
  const SettingInfo* info = FindSetting(name);
  if (!info) return NoSuchSetting(name);
  *canonical = info->name;
  *value = ReadSetting(info->name);
  return Status::Ok();
}

Status SettingsStore::ChangeSetting(const std::wstring& name, const std::wstring& text) {
  const SettingInfo* info = FindSetting(name);
  if (!info) return NoSuchSetting(name);
  if (!info->writable) return Status::Error(std::wstring(info->name) + L" is kept by the program and cannot be set.");
  std::wstring value = text;
  if (info->boolean) {
    value = ToLower(text);
    if (value != L"true" && value != L"false")
      return Status::Error(std::wstring(info->name) + L" is \"true\" or \"false\", not \"" + text + L"\".");
  }
  if (EqualsNoCase(info->name, kStartWithWindows)) return SetStartWithWindows(value == L"true");
  return WriteSetting(info->name, value);
}

Status SettingsStore::SaveScanSchedule(int kind, int hour, int minute, int day_mask, std::wstring* notice) {
  ScheduledTask task;
  task.name = kTaskName;
  task.application = ExecutablePath();
  task.parameters = L"-scan";
  task.account = platform_.GetEnvironmentVariable(L"USERNAME");
  task.flags = kTaskFlagRunOnlyIfLoggedOn;
  task.trigger_kind = kind == kScheduleDaily || kind == kScheduleWeekly ? kind : kScheduleNone;
  task.hour = hour;
  task.minute = minute;
  task.day_mask = kind == kScheduleWeekly ? day_mask : 0;
  return platform_.SaveScheduledTask(task, notice);
}

ScanSchedule SettingsStore::LoadScanSchedule() {
  ScheduledTask task;
  if (!platform_.LoadScheduledTask(kTaskName, &task)) return {};
  ScanSchedule schedule;
  schedule.task_exists = true;
  if (task.trigger_kind == kScheduleDaily || task.trigger_kind == kScheduleWeekly) {
    schedule.kind = task.trigger_kind;
    schedule.hour = task.hour;
    schedule.minute = task.minute;
    schedule.day_mask = task.day_mask;
  }
  return schedule;
}

}  // namespace orvane
