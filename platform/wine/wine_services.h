// The text forms of the host services that stand in for Windows' start-up
// list and task scheduler on a Wine prefix: a desktop entry's Exec key, a
// systemd unit's command line, instance name and calendar, and the folder
// they live in. Pure functions (UserConfigDir reads the environment), any
// thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane::wine {

// The user's configuration folder: $XDG_CONFIG_HOME when it is absolute,
// else $HOME/.config (the passwd entry's home when HOME is unset).
std::string UserConfigDir();

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

// The text of a small regular file (at most 1 MiB); nullopt when it is
// missing, is not a regular file (never waited on) or cannot be read.
std::optional<std::string> ReadSmallTextFile(const std::string& path);
// The first value of key in [section] of a unit file or a desktop entry
// ("key=value" lines under "[section]" headers, '#' and ';' comments, blanks
// around '=' ignored); nullopt when absent.
std::optional<std::string> KeyFileValue(const std::string& text, const std::string& section, const std::string& key);

// The unit-name form of an absolute path, exactly as "systemd-escape --path"
// gives it: duplicate and trailing slashes and "." components dropped, the
// leading slash cut, each "/" written "-", and every byte other than ASCII
// letters, digits, ':', '_' and a '.' that does not lead written "\xNN"
// (lower-case hex); "/" itself is "-". False for a relative path and for one
// with ".." components, which systemd-escape refuses.
bool EscapeSystemdPath(const std::string& path, std::string* escaped);
// The inverse ("%f" of a unit): the absolute path. False for a name that
// EscapeSystemdPath could not have written.
bool UnescapeSystemdPath(const std::string& escaped, std::string* path);

// The OnCalendar expression of a trigger: kind 1 "*-*-* HH:MM:00", kind 2
// the days of day_mask first ("Mon,Fri *-*-* HH:MM:00", Monday to Sunday).
std::string OnCalendarFor(int kind, int hour, int minute, int day_mask);
// The inverse, also for day lists with ranges ("Mon..Fri") and full day
// names. False for any other expression.
bool ParseOnCalendar(const std::string& text, int* kind, int* hour, int* minute, int* day_mask);

}  // namespace orvane::wine
