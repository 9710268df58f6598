// The task scheduler on a Wine prefix: the scheduled scan as a systemd user
// service (the task: what runs, for whom, with which flags) and a timer (its
// one trigger). The files are the truth: LoadScheduledTask reads the
// command line back from the service and the schedule from the timer's
// OnCalendar, so a timer edited by hand reads as what it will really do.
#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/wine_platform.h"
#include "platform/wine/wine_services.h"

extern char** environ;

namespace orvane::wine {
namespace {

constexpr wchar_t kTaskName[] = L"Orvane";
constexpr char kUnit[] = "orvane-scan";
constexpr int kWeekdays = 0x7F;

// Sunday first, as the day bits count: bit 1 << index.
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kFullDayNames[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

std::wstring Wide(const std::string& text) { return Utf8ToWide(text); }

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string TwoDigits(int n) {
  return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

// A day name as systemd takes it (three letters or the whole name); -1 else.
int DayIndex(const std::string& name) {
  std::string lower = Lower(name);
  for (int i = 0; i < 7; ++i)
    if (lower == Lower(kDayNames[i]) || lower == kFullDayNames[i]) return i;
  return -1;
}

bool ParseNumber(const std::string& text, int max, int* value) {
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::stoi(text);
  return *value <= max;
}

std::optional<std::string> ReadText(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(fd);
  if (n < 0) return std::nullopt;
  return text;
}

// The first value of key in [section] of a unit file; nullopt when absent.
std::optional<std::string> UnitValue(const std::string& text, const std::string& section, const std::string& key) {
  std::istringstream lines(text);
  std::string line, current;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#' || line[start] == ';') continue;
    line = line.substr(start);
    if (line[0] == '[') {
      current = line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1);
      continue;
    }
    if (current != section) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = line.substr(0, eq);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    if (name != key) continue;
    std::string value = line.substr(eq + 1);
    size_t first = value.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : value.substr(first);
  }
  return std::nullopt;
}

// The prefix a service's command line names after "--prefix"; "" for none.
std::string PrefixOf(const std::vector<std::string>& words) {
  for (size_t i = 1; i + 1 < words.size(); ++i)
    if (words[i] == "--prefix") return words[i + 1];
  return "";
}

bool SameFolder(const std::string& a, const std::string& b) {
  if (a == b) return true;
  char ra[PATH_MAX], rb[PATH_MAX];
  return realpath(a.c_str(), ra) && realpath(b.c_str(), rb) && std::strcmp(ra, rb) == 0;
}

// Puts a link at path that points at target, atomically (a link beside,
// renamed over).
int ReplaceWithLink(const std::string& path, const std::string& target) {
  std::string tmp = TemporaryPathFor(path);
  unlink(tmp.c_str());
  if (symlink(target.c_str(), tmp.c_str()) != 0) return errno;
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    int error = errno;
    unlink(tmp.c_str());
    return error;
  }
  return 0;
}

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  return line.empty() ? "no output" : line;
}

}  // namespace

bool QuoteSystemdExecutable(const std::string& path, std::string* quoted) {
  if (path.empty() || path[0] != '/') return false;
  std::string out = "\"";
  for (char c : path) {
    if (IsControl(static_cast<unsigned char>(c)) || c == '"' || c == '\'' || c == '\\') return false;
    if (c == '%') out += '%';
    out += c;
  }
  *quoted = out + '"';
  return true;
}

bool QuoteSystemdArgument(const std::string& arg, std::string* quoted) {
  std::string out = "\"";
  for (char c : arg) {
    if (IsControl(static_cast<unsigned char>(c))) return false;
    if (c == '"' || c == '\\') out += '\\';
    if (c == '$' || c == '%') out += c;
    out += c;
  }
  *quoted = out + '"';
  return true;
}

std::vector<std::string> SplitSystemdCommand(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    char quote = 0;
    while (i < line.size()) {
      char c = line[i];
      if (!quote && (c == ' ' || c == '\t')) break;
      ++i;
      if (quote && c == quote) {
        quote = 0;
      } else if (!quote && (c == '"' || c == '\'')) {
        quote = c;
      } else if (c == '\\' && i < line.size()) {
        char e = line[i++];
        switch (e) {
          case 'n':
            word += '\n';
            break;
          case 't':
            word += '\t';
            break;
          case 's':
            word += ' ';
            break;
          default:
            word += e;  // \\ \" \' and the rest as themselves
        }
      } else if ((c == '$' || c == '%') && i < line.size() && line[i] == c) {
        word += c;
        ++i;
      } else {
        word += c;
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string OnCalendarFor(int kind, int hour, int minute, int day_mask) {
  std::string days;
  if (kind == 2) {
    for (int k = 1; k <= 7; ++k) {  // Monday first, Sunday last
      int index = k % 7;
      if (!(day_mask & (1 << index))) continue;
      if (!days.empty()) days += ',';
      days += kDayNames[index];
    }
    days += ' ';
  }
  return days + "*-*-* " + TwoDigits(hour) + ":" + TwoDigits(minute) + ":00";
}

bool ParseOnCalendar(const std::string& text, int* kind, int* hour, int* minute, int* day_mask) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; in >> part;) parts.push_back(part);
  if (parts.size() < 2 || parts.size() > 3 || parts[parts.size() - 2] != "*-*-*") return false;
  int mask = 0;
  if (parts.size() == 3) {
    std::istringstream items(parts[0]);
    for (std::string item; std::getline(items, item, ',');) {
      size_t dots = item.find("..");
      int from = DayIndex(item.substr(0, dots));
      int to = dots == std::string::npos ? from : DayIndex(item.substr(dots + 2));
      if (from < 0 || to < 0) return false;
      // Ranges run Monday to Sunday, as systemd reads them.
      int a = (from + 6) % 7, b = (to + 6) % 7;
      if (a > b) return false;
      for (int k = a; k <= b; ++k) mask |= 1 << ((k + 1) % 7);
    }
    if (mask == 0) return false;
  }
  const std::string& time = parts.back();
  size_t c1 = time.find(':');
  if (c1 == std::string::npos) return false;
  size_t c2 = time.find(':', c1 + 1);
  int h = 0, m = 0, s = 0;
  if (!ParseNumber(time.substr(0, c1), 23, &h)) return false;
  if (!ParseNumber(time.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1), 59, &m))
    return false;
  if (c2 != std::string::npos && (!ParseNumber(time.substr(c2 + 1), 59, &s) || s != 0)) return false;
  *kind = parts.size() == 3 ? 2 : 1;
  *hour = h;
  *minute = m;
  *day_mask = mask;
  return true;
}

int WinePlatform::RunSystemctl(const std::vector<std::string>& args, std::string* output) {
  output->clear();
  if (options_.systemctl) return options_.systemctl(args, output);
  std::vector<std::string> words{"systemctl", "--user"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, "systemctl", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) {
    close(pipe_fds[0]);
    return -1;
  }
  char buf[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) output->append(buf, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Status WinePlatform::SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) {
  namespace fs = std::filesystem;
  if (notice) notice->clear();
  if (!EqualsNoCase(task.name, kTaskName))
    return Status::Error(L"The scheduler of a Wine prefix keeps only the task \"Orvane\", not \"" + task.name + L"\".");
  const int kind = task.trigger_kind;
  const bool triggered = kind == 1 || kind == 2;
  if (triggered) {
    if (task.hour < 0 || task.hour > 23 || task.minute < 0 || task.minute > 59)
      return Status::Error(L"A scheduled time needs an hour from 0 to 23 and a minute from 0 to 59.");
    if (kind == 2 && ((task.day_mask & kWeekdays) == 0 || (task.day_mask & ~kWeekdays) != 0))
      return Status::Error(L"A weekly schedule needs at least one day of the week.");
  }

  const std::string dir = ConfigDir() + "/systemd/user";
  const std::string service = dir + "/" + kUnit + ".service";
  const std::string timer = dir + "/" + kUnit + ".timer";
  const std::string wants = dir + "/timers.target.wants/" + kUnit + ".timer";
  const std::string prefix = PrefixForPrograms();

  // The task: an existing one of this prefix keeps its command line and
  // properties; one of another prefix (the units are per user) gives way.
  std::wstring said;
  std::optional<std::string> existing = ReadText(service);
  std::string new_service;
  if (existing) {
    std::string theirs = PrefixOf(SplitSystemdCommand(UnitValue(*existing, "Service", "ExecStart").value_or("")));
    if (!theirs.empty() && !SameFolder(theirs, prefix)) {
      said = L"This replaces the scheduled scan of the Wine prefix " + Wide(theirs) +
             L": there is one scheduled scan per user.";
      existing.reset();
    }
  }
  if (!existing) {
    if (!EqualsNoCase(task.application, ModuleFileName()))
      return Status::Error(L"The scheduler of a Wine prefix can start only Orvane itself, not " + task.application +
                           L".");
    const std::string program = HostProgram();
    if (access(program.c_str(), X_OK) != 0)
      return Status::Error(L"Cannot schedule the scan: the program " + Wide(program) + L" is not there to be started.");
    std::string command;
    if (!QuoteSystemdExecutable(program, &command))
      return Status::Error(L"Cannot schedule the scan: systemd cannot start a program at " + Wide(program) +
                           L" (quotes, backslashes and control characters are refused there).");
    std::vector<std::string> args;
    std::istringstream words(WideToUtf8(task.parameters));
    for (std::string word; words >> word;) args.push_back(word);
    args.push_back("--prefix");
    args.push_back(prefix);
    for (const std::string& arg : args) {
      std::string quoted;
      if (!QuoteSystemdArgument(arg, &quoted))
        return Status::Error(L"Cannot schedule the scan: " + Wide(arg) + L" holds a control character.");
      command += " " + quoted;
    }
    std::string account = WideToUtf8(task.account);
    for (char& c : account)
      if (IsControl(static_cast<unsigned char>(c))) c = '?';
    char flags[16];
    snprintf(flags, sizeof flags, "0x%x", static_cast<unsigned>(task.flags));
    // The user manager runs units only while the user is logged in (unless
    // lingering is on), which is what the task's flags ask.
    new_service =
        "# The scheduled scan of Orvane (task \"Orvane\"), written by Orvane.\n"
        "[Unit]\n"
        "Description=Orvane scheduled scan\n"
        "\n"
        "[Service]\n"
        "Type=exec\n"
        "ExecStart=" +
        command +
        "\n"
        "X-Orvane-Account=" +
        account +
        "\n"
        "X-Orvane-Flags=" +
        flags + "\n";
  }

  std::error_code ec;
  fs::create_directories(dir + "/timers.target.wants", ec);
  if (ec) return Status::Error(L"Could not create the folder " + Wide(dir) + L": " + Wide(ec.message()));
  if (!new_service.empty()) {
    if (int error = WriteHostFileAtomic(service, new_service, /*follow_link=*/false))
      return Status::Error(L"Could not write " + Wide(service) + L": " + Wide(std::strerror(error)));
  }

  std::string output;
  if (triggered) {
    const std::string text =
        "# The trigger of Orvane's scheduled scan, written by Orvane.\n"
        "[Unit]\n"
        "Description=Orvane scheduled scan\n"
        "\n"
        "[Timer]\n"
        "OnCalendar=" +
        OnCalendarFor(kind, task.hour, task.minute, task.day_mask) +
        "\n"
        "\n"
        "[Install]\n"
        "WantedBy=timers.target\n";
    if (int error = WriteHostFileAtomic(timer, text, /*follow_link=*/false))
      return Status::Error(L"Could not write " + Wide(timer) + L": " + Wide(std::strerror(error)));
    // Enabled as "systemctl --user enable" would, so the timer starts at the
    // next login even when no user manager runs now.
    if (int error = ReplaceWithLink(wants, timer))
      return Status::Error(L"Could not enable " + Wide(timer) + L": " + Wide(std::strerror(error)));
  } else {
    // systemd refuses a timer without a trigger, so "no trigger" is no
    // timer; the service (the task) stays.
    if (access(timer.c_str(), F_OK) == 0) RunSystemctl({"disable", "--now", std::string(kUnit) + ".timer"}, &output);
    if (unlink(wants.c_str()) != 0 && errno != ENOENT)
      return Status::Error(L"Could not disable " + Wide(timer) + L": " + Wide(std::strerror(errno)));
    if (unlink(timer.c_str()) != 0 && errno != ENOENT)
      return Status::Error(L"Could not remove " + Wide(timer) + L": " + Wide(std::strerror(errno)));
  }

  std::wstring line;
  if (RunSystemctl({"daemon-reload"}, &output) != 0) {
    if (triggered)
      line =
          L"No systemd user manager runs now: the scheduled scan starts from your next login on (or after "
          L"\"systemctl --user daemon-reload\" and \"systemctl --user start orvane-scan.timer\").";
  } else if (triggered) {
    const std::string unit = std::string(kUnit) + ".timer";
    // A running timer takes its new calendar when it is restarted.
    if (RunSystemctl({"enable", "--now", unit}, &output) != 0 || RunSystemctl({"restart", unit}, &output) != 0)
      line = L"The scheduled scan is saved, but systemd did not start its timer (" + Wide(FirstLine(output)) +
             L"); it starts from your next login on.";
  }
  if (notice) *notice = said.empty() ? line : (line.empty() ? said : said + L" " + line);
  return Status::Ok();
}

bool WinePlatform::LoadScheduledTask(const std::wstring& name, ScheduledTask* task) {
  if (!EqualsNoCase(name, kTaskName)) return false;
  const std::string dir = ConfigDir() + "/systemd/user";
  std::optional<std::string> service = ReadText(dir + "/" + kUnit + ".service");
  if (!service) return false;
  std::vector<std::string> words = SplitSystemdCommand(UnitValue(*service, "Service", "ExecStart").value_or(""));
  std::string theirs = PrefixOf(words);
  if (!theirs.empty() && !SameFolder(theirs, PrefixForPrograms())) return false;  // another prefix's task

  ScheduledTask found;
  found.name = kTaskName;
  std::string parameters;
  for (size_t i = 1; i < words.size() && words[i] != "--prefix"; ++i)
    parameters += (parameters.empty() ? "" : " ") + words[i];
  if (!words.empty()) found.application = Wide(words[0]);
  found.parameters = Wide(parameters);
  found.account = Wide(UnitValue(*service, "Service", "X-Orvane-Account").value_or(""));
  found.flags = static_cast<DWORD>(
      std::strtoul(UnitValue(*service, "Service", "X-Orvane-Flags").value_or("0").c_str(), nullptr, 0));
  if (std::optional<std::string> timer = ReadText(dir + "/" + kUnit + ".timer")) {
    int kind = 0, hour = 0, minute = 0, mask = 0;
    if (ParseOnCalendar(UnitValue(*timer, "Timer", "OnCalendar").value_or(""), &kind, &hour, &minute, &mask)) {
      found.trigger_kind = kind;
      found.hour = hour;
      found.minute = minute;
      found.day_mask = mask;
    }
  }
  *task = std::move(found);
  return true;
}

}  // namespace orvane::wine
