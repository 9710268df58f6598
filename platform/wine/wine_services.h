// The text forms of the host services that stand in for Windows' start-up
// list and task scheduler on a Wine prefix: a desktop entry's Exec key and a
// systemd unit's command line and calendar. Pure functions, any thread.
#pragma once

#include <string>
#include <vector>

namespace orvane::wine {

// One argument of a desktop entry's Exec key (freedesktop Desktop Entry
// rules): in double quotes with `"`, '`', '$' and '\' escaped by a
// backslash, then every backslash doubled for the string value, and '%'
// written "%%". False (nothing written) for text with control characters,
// which a one-line key cannot hold.
bool QuoteDesktopExecArgument(const std::string& arg, std::string* quoted);

// The executable of a systemd command line: an absolute path in double
// quotes, '%' written "%%". False for a relative path and for the
// characters systemd refuses in an executable's name (quotes, backslashes,
// control characters).
bool QuoteSystemdExecutable(const std::string& path, std::string* quoted);
// Any other argument: in double quotes with '"' and '\' escaped by a
// backslash, '$' written "$$" and '%' "%%". False for control characters.
bool QuoteSystemdArgument(const std::string& arg, std::string* quoted);
// The words of a command line written as above (double or single quotes,
// backslash escapes, "$$" and "%%"), as the program receives them.
std::vector<std::string> SplitSystemdCommand(const std::string& line);

// The OnCalendar expression of a trigger: kind 1 "*-*-* HH:MM:00", kind 2
// the days of day_mask first ("Mon,Fri *-*-* HH:MM:00", Monday to Sunday).
std::string OnCalendarFor(int kind, int hour, int minute, int day_mask);
// The inverse, also for day lists with ranges ("Mon..Fri") and full day
// names. False for any other expression.
bool ParseOnCalendar(const std::string& text, int* kind, int* hour, int* minute, int* day_mask);

}  // namespace orvane::wine
