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
  constexpr SettingKind kUser = SettingKind::kUser, kMachine = SettingKind::kMachine;
  static const std::vector<SettingInfo> settings = {
      {kStartWithWindows, true, true, kUser},
      // A choice of how the program behaves, the same whichever machine it
      // opens; a machine's registry has no say in what the host program does.
      {L"StartScanAtProgramStartup", true, true, kUser},
      {L"ShowInTaskbarOnClose", true, true, kUser},
      {L"AllowAutoUpdates", true, true, kUser},
      {L"Chrome", true, true, kMachine},
      {L"IE", true, true, kMachine},
      {L"Firefox", true, true, kMachine},
      {L"IgnoredErrorsCount", false, false, kMachine},
      {L"LastScanDate", false, false, kMachine},
      // Where updates come from ("" for the build's server).
      {L"UpdateServer", false, true, kUser},
      // The public key (a PEM file) that updates are checked against ("" for the build's).
      {L"UpdateKey", false, true, kUser},
      // Where reports to the support staff go ("" for the build's service).
      {L"SupportService", false, true, kUser},
  };
  return settings;
}

SettingKind KindOfSetting(const std::wstring& name) {
  const SettingInfo* info = FindSetting(name);
  return info ? info->kind : SettingKind::kMachine;
}

bool IsBrowserInstalled(Platform& platform, const std::wstring& name) {
  return KeyExists(platform, HKEY_LOCAL_MACHINE, L"Software\\Clients\\StartMenuInternet\\" + name);
}

SettingsStore::SettingsStore(Platform& platform)
    : platform_(platform),
      owned_user_(std::make_unique<UserSettings>(UserSettingsPath(platform.UserConfigFolder()))),
      user_(owned_user_.get()) {}

std::wstring SettingsStore::ReadSetting(const std::wstring& name) {
  if (KindOfSetting(name) == SettingKind::kUser) return user_->Read(name);
  return ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, kKey, name);
}

Status SettingsStore::WriteMachine(const std::wstring& name, const std::wstring& text) {
  if (Status writable = platform_.CheckWritable(); !writable) return writable;
  if (!WriteRegistryString(platform_, HKEY_LOCAL_MACHINE, kKey, name, text))
    return Status::Error(L"Could not write the value \"" + name + L"\" under HKEY_LOCAL_MACHINE\\" +
                         std::wstring(kKey) + L".");
  return Status::Ok();
}

Status SettingsStore::WriteSetting(const std::wstring& name, const std::wstring& text) {
  if (KindOfSetting(name) == SettingKind::kUser) {
    if (Status adopted = AdoptOlderSettings(); !adopted) return adopted;
    return user_->Write(name, text);
  }
  if (Status s = WriteMachine(name, text); !s) return s;
  return platform_.Flush();
}

std::wstring SettingsStore::ExecutablePath() { return platform_.ModuleFileName(); }

Status SettingsStore::AdoptOlderSettings() {
  if (user_->Exists() || user_->path().empty()) return Status::Ok();
  std::vector<std::pair<std::wstring, std::wstring>> found;
  for (const Default& d : kOptionDefaults) {
    std::wstring value = ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, kKey, d.name);
    if (value == L"true" || value == L"false") found.emplace_back(d.name, value);
  }
  // Older versions turned start at login on without asking, so only "off"
  // was ever the user's own answer.
  if (ReadRegistryString(platform_, HKEY_LOCAL_MACHINE, kKey, kStartWithWindows) == L"false")
    found.emplace_back(kStartWithWindows, L"false");
  return user_->WriteAll(found);
}

Status SettingsStore::SetStartWithWindows(bool on) {
  if (Status adopted = AdoptOlderSettings(); !adopted) return adopted;
  const std::wstring before = user_->Read(kStartWithWindows);
  // The setting first: a file that cannot be written leaves the entry alone.
  if (Status s = user_->Write(kStartWithWindows, on ? L"true" : L"false"); !s) return s;
  if (Status session = platform_.SetSessionStart(on); !session) {
    user_->Write(kStartWithWindows, before);
    return session;
  }
  return Status::Ok();
}

bool SettingsStore::StartsWithSession() { return platform_.SessionStartIsOn(); }

bool SettingsStore::StartAtLoginAnswered() {
  AdoptOlderSettings();
  return !user_->Read(kStartWithWindows).empty();
}

Status SettingsStore::WriteDefaultSettings(DefaultsForm form) {
  const bool main_window = form == DefaultsForm::kMainWindow;
  std::vector<std::pair<std::wstring, std::wstring>> user_defaults;
  for (const Default& d : kOptionDefaults)
    if (ReadSetting(d.name).empty()) user_defaults.emplace_back(d.name, d.value);
  std::vector<std::pair<std::wstring, std::wstring>> machine_defaults;
  for (const Default& d : kBrowserDefaults) {
    if (!ReadSetting(d.name).empty()) continue;
    std::wstring value = d.value;
    if (main_window) value = IsBrowserInstalled(platform_, d.browser) ? L"true" : L"false";
    machine_defaults.emplace_back(d.name, value);
  }

  // The user's first, so a machine that may not be changed now does not
  // keep the program's own options from being set.
  Status first_failure;
  if (!user_defaults.empty()) {
    if (Status adopted = AdoptOlderSettings(); !adopted) first_failure = adopted;
    // What the older version kept is not overwritten by a default.
    std::vector<std::pair<std::wstring, std::wstring>> still_missing;
    for (const auto& d : user_defaults)
      if (user_->Read(d.first).empty()) still_missing.push_back(d);
    if (first_failure && !still_missing.empty()) first_failure = user_->WriteAll(still_missing);
  }
  if (machine_defaults.empty()) return first_failure;
  if (Status writable = platform_.CheckWritable(); !writable) return first_failure ? writable : first_failure;
  for (const auto& [name, value] : machine_defaults) {
    Status s = WriteMachine(name, value);
    // The others are independent of a failed one: go on, report the first.
    if (!s && first_failure) first_failure = s;
  }
  if (Status saved = platform_.Flush(); !saved && first_failure) first_failure = saved;
  return first_failure;
}

Status SettingsStore::ReadKnownSetting(const std::wstring& name, std::wstring* canonical, std::wstring* value,
                                       SettingKind* kind) {
  const SettingInfo* info = FindSetting(name);
  if (!info) return NoSuchSetting(name);
  *canonical = info->name;
  *value = ReadSetting(info->name);
  if (kind) *kind = info->kind;
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

namespace {

ScanSchedule ScheduleOf(const ScheduledTask& task) {
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

}  // namespace

ScanSchedule SettingsStore::LoadScanSchedule() {
  ScheduledTask task;
  if (!platform_.LoadScheduledTask(kTaskName, &task)) return {};
  return ScheduleOf(task);
}

bool SettingsStore::ListScanSchedules(std::vector<MachineScanSchedule>* schedules) {
  std::vector<MachineTask> tasks;
  if (!platform_.ListScheduledTasks(kTaskName, &tasks)) return false;
  schedules->clear();
  for (const MachineTask& t : tasks) schedules->push_back({t.machine, t.this_machine, ScheduleOf(t.task)});
  return true;
}

}  // namespace orvane
