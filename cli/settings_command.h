// "orvane-cli settings [NAME [VALUE]]" and "orvane-cli schedule [--all |
// none | daily HH:MM | weekly HH:MM DAYS]": the user's settings and the
// machine's, and the machine's scheduled scan, shown and changed from a
// terminal. The store does the work; these only read the words and print the
// results, saying which settings are the user's and which the machine's.
#pragma once

#include <string>
#include <vector>

#include "cli/scan_command.h"
#include "model/settings_store.h"

namespace orvane::cli {

// No word: every setting as "Name = value", the user's and the machine's
// under their own headings; NAME: its value alone; NAME VALUE: writes it and
// shows it with its kind. With --json each setting carries its kind
// ("user" or "machine"). 0 on success, 2 for an unknown name, a bad value or
// a write that was refused (with the reason on the error stream).
int RunSettings(SettingsStore& store, const std::vector<std::string>& words, const Output& output);

struct ScheduleRequest {
  bool show = true;  // no words: show what is stored
  bool all = false;  // --all: every machine's, shown
  int kind = kScheduleNone;
  int hour = 0;
  int minute = 0;
  int day_mask = 0;
};

// "H:MM" or "HH:MM", 00:00 to 23:59.
Status ParseScheduleTime(const std::string& text, int* hour, int* minute);
// Day names separated by commas, "mon,fri" or "monday,Friday", to day bits.
Status ParseScheduleDays(const std::string& text, int* day_mask);
// The words after "schedule": none, "none", "daily HH:MM" or "weekly HH:MM
// DAYS"; all for --all, which takes no words. Ok, or what is wrong.
Status ParseScheduleRequest(const std::vector<std::string>& words, ScheduleRequest* request, bool all = false);

// Shows the machine's stored schedule, or stores the requested one and
// shows it with the scheduler's notice; with all, every machine's schedule,
// this machine's marked. 0 on success, 2 when it could not be stored or
// listed.
int RunSchedule(SettingsStore& store, const ScheduleRequest& request, const Output& output);

}  // namespace orvane::cli
