#include "cli/settings_command.h"

#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/text.h"

namespace orvane::cli {
namespace {

// Sunday first, as the day bits count: bit 1 << index.
constexpr const char* kDays[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr const char* kFullDays[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

int Fail(const Output& output, const std::wstring& message) {
  output.err << "orvane-cli: " << WideToUtf8(message) << "\n";
  return 2;
}

const char* KindName(int kind) {
  return kind == kScheduleDaily ? "daily" : kind == kScheduleWeekly ? "weekly" : "none";
}

std::string TimeText(int hour, int minute) {
  char text[8];
  snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

// Monday first, as a week reads.
std::vector<std::string> DayNames(int day_mask) {
  std::vector<std::string> names;
  for (int k = 1; k <= 7; ++k)
    if (day_mask & (1 << (k % 7))) names.push_back(kDays[k % 7]);
  return names;
}

// A name read from the user's files, with control characters out before a
// terminal sees it.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return text;
}

std::string KindText(SettingKind kind) { return kind == SettingKind::kUser ? "user" : "machine"; }

nlohmann::json ScheduleJson(const ScanSchedule& s) {
  nlohmann::json shown{{"task_exists", s.task_exists}, {"kind", KindName(s.kind)}};
  if (s.kind == kScheduleDaily || s.kind == kScheduleWeekly) {
    shown["time"] = TimeText(s.hour, s.minute);
    shown["hour"] = s.hour;
    shown["minute"] = s.minute;
  }
  if (s.kind == kScheduleWeekly) {
    shown["days"] = DayNames(s.day_mask);
    shown["day_mask"] = s.day_mask;
  }
  return shown;
}

// "daily at 06:00", "weekly at 21:30 on mon, fri" or "none".
std::string ScheduleText(const ScanSchedule& s) {
  if (s.kind == kScheduleDaily) return "daily at " + TimeText(s.hour, s.minute);
  if (s.kind != kScheduleWeekly) return "none";
  std::string days;
  for (const std::string& d : DayNames(s.day_mask)) days += (days.empty() ? "" : ", ") + d;
  return "weekly at " + TimeText(s.hour, s.minute) + " on " + days;
}

void PrintSchedule(const ScanSchedule& s, const std::wstring& notice, const Output& output) {
  if (output.json) {
    nlohmann::json shown = ScheduleJson(s);
    if (!notice.empty()) shown["notice"] = WideToUtf8(notice);
    output.out << shown.dump(2) << "\n";
    return;
  }
  // A task without this machine's trigger schedules nothing here.
  if (s.kind != kScheduleDaily && s.kind != kScheduleWeekly)
    output.out << "No scheduled scan.\n";
  else
    output.out << "Scheduled scan: " << ScheduleText(s) << ".\n";
  if (!notice.empty()) output.out << WideToUtf8(notice) << "\n";
}

}  // namespace

int RunSettings(SettingsStore& store, const std::vector<std::string>& words, const Output& output) {
  if (words.size() > 2) return Fail(output, L"settings takes at most a name and a value");
  const std::string user_file = store.UserSettingsFile();
  if (words.empty()) {
    if (output.json) {
      nlohmann::json all = nlohmann::json::object();
      for (const SettingInfo& info : KnownSettings())
        all[WideToUtf8(info.name)] = {{"value", WideToUtf8(store.ReadSetting(info.name))},
                                      {"kind", KindText(info.kind)},
                                      {"writable", info.writable}};
      output.out << nlohmann::json{{"user_settings_file", user_file}, {"settings", all}}.dump(2) << "\n";
      return 0;
    }
    for (SettingKind kind : {SettingKind::kUser, SettingKind::kMachine}) {
      output.out << (kind == SettingKind::kUser
                         ? "The user's settings (for every machine, in " + user_file + "):\n"
                         : "\nThis machine's settings (in its registry, HKEY_LOCAL_MACHINE\\Software\\Orvane):\n");
      for (const SettingInfo& info : KnownSettings())
        if (info.kind == kind)
          output.out << WideToUtf8(info.name) << " = " << WideToUtf8(store.ReadSetting(info.name)) << "\n";
    }
    return 0;
  }
  const std::wstring asked = Utf8ToWide(words[0]);
  if (words.size() == 2) {
    if (Status s = store.ChangeSetting(asked, Utf8ToWide(words[1])); !s) return Fail(output, s.message);
  }
  std::wstring name, value;
  SettingKind kind = SettingKind::kMachine;
  if (Status s = store.ReadKnownSetting(asked, &name, &value, &kind); !s) return Fail(output, s.message);
  if (output.json) {
    output.out
        << nlohmann::json{{"name", WideToUtf8(name)}, {"value", WideToUtf8(value)}, {"kind", KindText(kind)}}.dump(2)
        << "\n";
  } else if (words.size() == 2) {
    output.out << WideToUtf8(name) << " = " << WideToUtf8(value)
               << (kind == SettingKind::kUser ? " (the user's setting, for every machine, in " + user_file + ")\n"
                                              : std::string(" (this machine's setting, in its registry)\n"));
  } else {
    output.out << WideToUtf8(value) << "\n";
  }
  return 0;
}

Status ParseScheduleTime(const std::string& text, int* hour, int* minute) {
  size_t colon = text.find(':');
  std::string h = text.substr(0, colon);
  std::string m = colon == std::string::npos ? "" : text.substr(colon + 1);
  auto digits = [](const std::string& t) { return t.find_first_not_of("0123456789") == std::string::npos; };
  if (h.empty() || h.size() > 2 || m.size() != 2 || !digits(h) || !digits(m) || std::stoi(h) > 23 || std::stoi(m) > 59)
    return Status::Error(L"a time is HH:MM from 00:00 to 23:59, not \"" + Utf8ToWide(text) + L"\"");
  *hour = std::stoi(h);
  *minute = std::stoi(m);
  return Status::Ok();
}

Status ParseScheduleDays(const std::string& text, int* day_mask) {
  int mask = 0;
  std::stringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    std::string day = Lower(item);
    int bit = 0;
    for (int i = 0; i < 7; ++i)
      if (day == kDays[i] || day == kFullDays[i]) bit = 1 << i;
    if (bit == 0)
      return Status::Error(L"days are names such as mon,fri (mon tue wed thu fri sat sun), not \"" + Utf8ToWide(item) +
                           L"\"");
    mask |= bit;
  }
  if (mask == 0) return Status::Error(L"a weekly scan needs at least one day, such as mon,fri");
  *day_mask = mask;
  return Status::Ok();
}

Status ParseScheduleRequest(const std::vector<std::string>& words, ScheduleRequest* request, bool all) {
  *request = ScheduleRequest{};
  request->all = all;
  if (all && !words.empty()) return Status::Error(L"schedule --all only shows; set one machine's without --all");
  if (words.empty()) return Status::Ok();
  request->show = false;
  const std::string kind = Lower(words[0]);
  const size_t needed = kind == "none" ? 1 : kind == "daily" ? 2 : kind == "weekly" ? 3 : 0;
  if (needed == 0 || words.size() != needed)
    return Status::Error(L"schedule takes: none | daily HH:MM | weekly HH:MM DAYS (such as weekly 21:30 mon,fri)");
  request->kind = kind == "none" ? kScheduleNone : kind == "daily" ? kScheduleDaily : kScheduleWeekly;
  if (needed >= 2) {
    if (Status s = ParseScheduleTime(words[1], &request->hour, &request->minute); !s) return s;
  }
  if (needed == 3) return ParseScheduleDays(words[2], &request->day_mask);
  return Status::Ok();
}

int RunSchedule(SettingsStore& store, const ScheduleRequest& request, const Output& output) {
  if (request.all) {
    std::vector<MachineScanSchedule> all;
    if (!store.ListScanSchedules(&all)) return Fail(output, L"The scheduled scans could not be listed.");
    if (output.json) {
      nlohmann::json list = nlohmann::json::array();
      for (const MachineScanSchedule& m : all) {
        nlohmann::json one = ScheduleJson(m.schedule);
        one["machine"] = WideToUtf8(m.machine);
        one["this_machine"] = m.this_machine;
        list.push_back(std::move(one));
      }
      output.out << list.dump(2) << "\n";
      return 0;
    }
    bool any = false;
    for (const MachineScanSchedule& m : all) {
      if (m.schedule.kind == kScheduleNone && !m.this_machine) continue;
      any = true;
      output.out << Printable(WideToUtf8(m.machine)) << ": " << ScheduleText(m.schedule)
                 << (m.this_machine ? " (this machine)" : "") << "\n";
    }
    if (!any) output.out << "No scheduled scans.\n";
    return 0;
  }
  std::wstring notice;
  if (!request.show) {
    Status s = store.SaveScanSchedule(request.kind, request.hour, request.minute, request.day_mask, &notice);
    if (!s) return Fail(output, s.message);
  }
  PrintSchedule(store.LoadScanSchedule(), notice, output);
  return 0;
}

}  // namespace orvane::cli
