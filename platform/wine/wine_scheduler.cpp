// The task scheduler on a Wine prefix: the scheduled scan as a systemd user
// service template (the task: what runs, for whom, with which flags) and one
// timer per prefix (that machine's trigger), named after the prefix's path
// as systemd-escape --path writes it, so saving one machine's schedule
// never touches another's. The files are the truth: LoadScheduledTask reads
// the command line back from the template and the schedule from the
// machine's timer, so a timer edited by hand reads as what it will really do.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>

#include "platform/text.h"
#include "platform/wine/host_files.h"
#include "platform/wine/wine_scheduler.h"
#include "platform/wine/wine_services.h"

extern char** environ;

namespace orvane::wine {
namespace {

constexpr wchar_t kTaskName[] = L"Orvane";
// The template and its instances; the single service and timer of the
// older form, one per user.
constexpr char kTemplate[] = "orvane-scan@.service";
constexpr char kInstancePrefix[] = "orvane-scan@";
constexpr char kOldService[] = "orvane-scan.service";
constexpr char kOldTimer[] = "orvane-scan.timer";
// systemd's longest unit name; the instance's service is the longest of its
// units.
constexpr size_t kMaxUnitName = 255;
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

std::optional<std::string> ReadSmallTextFile(const std::string& path) {
  constexpr size_t kMax = 1 << 20;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  std::string text;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) <= kMax;
  char buf[4096];
  ssize_t n = 0;
  while (ok && ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))) {
    if (n > 0) text.append(buf, static_cast<size_t>(n));
    ok = text.size() <= kMax;
  }
  close(fd);
  if (!ok || n < 0) return std::nullopt;
  return text;
}

std::optional<std::string> KeyFileValue(const std::string& text, const std::string& section, const std::string& key) {
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

bool EscapeSystemdPath(const std::string& path, std::string* escaped) {
  if (path.empty() || path[0] != '/') return false;
  // The components, as path_simplify leaves them.
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    size_t next = path.find('/', i);
    if (next == std::string::npos) next = path.size();
    std::string part = path.substr(i, next - i);
    i = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") return false;
    parts.push_back(std::move(part));
  }
  if (parts.empty()) {
    *escaped = "-";
    return true;
  }
  std::string out;
  auto hex = [&out](unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  };
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) out += '-';
    for (size_t j = 0; j < parts[k].size(); ++j) {
      const unsigned char c = static_cast<unsigned char>(parts[k][j]);
      const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
                         c == '_' || c == '.';
      // Only the name's very first character may not be a '.'.
      if (!plain || (c == '.' && k == 0 && j == 0))
        hex(c);
      else
        out += static_cast<char>(c);
    }
  }
  *escaped = std::move(out);
  return true;
}

bool UnescapeSystemdPath(const std::string& escaped, std::string* path) {
  if (escaped.empty()) return false;
  if (escaped == "-") {
    *path = "/";
    return true;
  }
  std::string out = "/";
  for (size_t i = 0; i < escaped.size(); ++i) {
    char c = escaped[i];
    if (c == '-') {
      out += '/';
    } else if (c == '\\') {
      if (i + 3 >= escaped.size()) return false;
      if (escaped[i + 1] != 'x') return false;
      auto digit = [](char h) { return h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : -1; };
      int hi = digit(escaped[i + 2]), lo = digit(escaped[i + 3]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 3;
    } else {
      out += c;
    }
  }
  // "a--b" and a trailing "-" would be empty components: never written.
  if (out.find("//") != std::string::npos || out.back() == '/') return false;
  *path = std::move(out);
  return true;
}

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

int WineScheduler::RunSystemctl(const std::vector<std::string>& args, std::string* output) {
  output->clear();
  if (machine_.options().systemctl) return machine_.options().systemctl(args, output);
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

namespace {

bool IsUtf8(const std::string& text) { return WideToUtf8(Utf8ToWide(text)) == text; }

bool HasControl(const std::string& text) {
  for (char c : text)
    if (IsControl(static_cast<unsigned char>(c))) return true;
  return false;
}

// The folder of the user's units and the names in it.
struct Units {
  std::string dir;
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  std::string Wants(const std::string& name) const { return dir + "/timers.target.wants/" + name; }
};

std::string InstanceTimer(const std::string& instance) { return kInstancePrefix + instance + ".timer"; }

// The instance name of a prefix's units, or why systemd could not take it.
Status InstanceName(const std::string& prefix, std::string* instance) {
  const std::wstring cannot = L"Cannot schedule the scan of the Wine prefix " + Wide(prefix) + L": ";
  // The template hands the path to the program through "%f"; systemd takes
  // only UTF-8 there and a command line has no room for control characters.
  if (!IsUtf8(prefix) || HasControl(prefix))
    return Status::Error(cannot +
                         L"systemd cannot start a program for a path that is not UTF-8 or holds a control "
                         L"character. Rename the prefix's folder to schedule its scan.");
  if (!EscapeSystemdPath(prefix, instance))
    return Status::Error(cannot + L"systemd needs an absolute path without \"..\".");
  if (std::strlen(kInstancePrefix) + instance->size() + std::strlen(".service") > kMaxUnitName)
    return Status::Error(cannot + L"the path is too long for the name of a systemd unit.");
  return Status::Ok();
}

std::string TimerText(const std::string& calendar) {
  return "# The trigger of Orvane's scheduled scan of one Wine prefix (the instance\n"
         "# name is its path, as systemd-escape --path writes it), written by Orvane.\n"
         "[Unit]\n"
         "Description=Orvane scheduled scan of the Wine prefix %f\n"
         "\n"
         "[Timer]\n"
         "OnCalendar=" +
         calendar +
         "\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string TemplateText(const std::string& command, const std::string& account, DWORD flags) {
  char flag_text[16];
  snprintf(flag_text, sizeof flag_text, "0x%x", static_cast<unsigned>(flags));
  // The user manager runs units only while the user is logged in (unless
  // lingering is on), which is what the task's flags ask.
  return "# The scheduled scan of Orvane (task \"Orvane\"), written by Orvane: one\n"
         "# instance per Wine prefix, started by that prefix's timer.\n"
         "[Unit]\n"
         "Description=Orvane scheduled scan of the Wine prefix %f\n"
         "\n"
         "[Service]\n"
         "Type=exec\n"
         "ExecStart=" +
         command +
         " \"--prefix\" %f\n"
         "X-Orvane-Account=" +
         account +
         "\n"
         "X-Orvane-Flags=" +
         flag_text + "\n";
}

// The executable and the arguments before "--prefix", quoted for systemd.
bool QuoteCommand(const std::vector<std::string>& words, std::string* command) {
  if (words.empty() || !QuoteSystemdExecutable(words[0], command)) return false;
  for (size_t i = 1; i < words.size() && words[i] != "--prefix"; ++i) {
    std::string quoted;
    if (!QuoteSystemdArgument(words[i], &quoted)) return false;
    *command += " " + quoted;
  }
  return true;
}

// The task a service file describes, without trigger.
ScheduledTask TaskOf(const std::string& service) {
  std::vector<std::string> words = SplitSystemdCommand(KeyFileValue(service, "Service", "ExecStart").value_or(""));
  ScheduledTask task;
  task.name = kTaskName;
  std::string parameters;
  for (size_t i = 1; i < words.size() && words[i] != "--prefix"; ++i)
    parameters += (parameters.empty() ? "" : " ") + words[i];
  if (!words.empty()) task.application = Wide(words[0]);
  task.parameters = Wide(parameters);
  task.account = Wide(KeyFileValue(service, "Service", "X-Orvane-Account").value_or(""));
  task.flags = static_cast<DWORD>(
      std::strtoul(KeyFileValue(service, "Service", "X-Orvane-Flags").value_or("0").c_str(), nullptr, 0));
  return task;
}

// The trigger of a timer file into task; one that cannot be read, or whose
// calendar is not a daily or weekly time, is none.
void ReadTrigger(const std::string& timer_path, ScheduledTask* task) {
  task->trigger_kind = 0;
  std::optional<std::string> timer = ReadSmallTextFile(timer_path);
  if (!timer) return;
  int kind = 0, hour = 0, minute = 0, mask = 0;
  if (!ParseOnCalendar(KeyFileValue(*timer, "Timer", "OnCalendar").value_or(""), &kind, &hour, &minute, &mask)) return;
  task->trigger_kind = kind;
  task->hour = hour;
  task->minute = minute;
  task->day_mask = mask;
}

std::string RealOrAsIs(const std::string& path) {
  std::string real = RealPath(path);
  return real.empty() ? path : real;
}

int Unlink(const std::string& path) { return unlink(path.c_str()) != 0 && errno != ENOENT ? errno : 0; }

}  // namespace

Status WineScheduler::SaveScheduledTask(const ScheduledTask& task, std::wstring* notice) {
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

  const Units units{machine_.ConfigDir() + "/systemd/user"};
  const std::string prefix = machine_.PrefixForPrograms();
  std::string instance;
  if (Status s = InstanceName(prefix, &instance); !s) return s;
  const std::string timer_name = InstanceTimer(instance);

  // The older form: one service and timer for the user, for one prefix.
  std::optional<std::string> old_service = ReadSmallTextFile(units.Path(kOldService));
  const bool old_timer_exists = access(units.Path(kOldTimer).c_str(), F_OK) == 0;
  std::vector<std::string> old_words;
  if (old_service) old_words = SplitSystemdCommand(KeyFileValue(*old_service, "Service", "ExecStart").value_or(""));
  const std::string old_prefix = PrefixOf(old_words);

  // The task: an existing template keeps its command line and properties,
  // and so does the task of the older form, which the template replaces.
  std::string new_template;
  if (!ReadSmallTextFile(units.Path(kTemplate))) {
    std::string command;
    if (old_service && QuoteCommand(old_words, &command)) {
      new_template = TemplateText(command, KeyFileValue(*old_service, "Service", "X-Orvane-Account").value_or(""),
                                  TaskOf(*old_service).flags);
    } else {
      if (!EqualsNoCase(task.application, environment_.ModuleFileName()))
        return Status::Error(L"The scheduler of a Wine prefix can start only Orvane itself, not " + task.application +
                             L".");
      const std::string program = machine_.HostProgram();
      if (access(program.c_str(), X_OK) != 0)
        return Status::Error(L"Cannot schedule the scan: the program " + Wide(program) +
                             L" is not there to be started.");
      std::vector<std::string> words{program};
      std::istringstream parameters(WideToUtf8(task.parameters));
      for (std::string word; parameters >> word;) words.push_back(word);
      if (!IsUtf8(program) || !QuoteCommand(words, &command))
        return Status::Error(L"Cannot schedule the scan: systemd cannot start a program at " + Wide(program) +
                             L" (a path that is not UTF-8, or holds quotes, backslashes or control characters).");
      std::string account = WideToUtf8(task.account);
      for (char& c : account)
        if (IsControl(static_cast<unsigned char>(c))) c = '?';
      new_template = TemplateText(command, account, task.flags);
    }
  }

  // The older form's timer becomes its prefix's own, with its calendar as it
  // was (also one this program would not write); this prefix's is set below.
  std::wstring said;
  std::string taken_name, taken_text;
  bool drop_old = old_service.has_value() || old_timer_exists;
  if (old_timer_exists && !old_prefix.empty() && !SameFolder(old_prefix, prefix)) {
    std::optional<std::string> old_timer = ReadSmallTextFile(units.Path(kOldTimer));
    std::optional<std::string> calendar = old_timer ? KeyFileValue(*old_timer, "Timer", "OnCalendar") : std::nullopt;
    std::string theirs;
    Status named = InstanceName(RealOrAsIs(old_prefix), &theirs);
    if (!named || !calendar || calendar->empty() || HasControl(*calendar)) {
      // Kept running as it is rather than lost.
      drop_old = false;
      said = L"The scheduled scan of " + Wide(old_prefix) + L" that an older Orvane set up was left as it is" +
             (named ? L"." : L": " + named.message);
    } else if (access(units.Path(InstanceTimer(theirs)).c_str(), F_OK) != 0) {
      taken_name = InstanceTimer(theirs);
      taken_text = TimerText(*calendar);
      said = L"The scheduled scan of " + Wide(old_prefix) + L" that an older Orvane set up has a timer of its own now.";
    }
  }

  std::error_code ec;
  fs::create_directories(units.dir + "/timers.target.wants", ec);
  if (ec) return Status::Error(L"Could not create the folder " + Wide(units.dir) + L": " + Wide(ec.message()));
  auto write = [](const std::string& path, const std::string& text) -> Status {
    if (int error = WriteHostFileAtomic(path, text, /*follow_link=*/false))
      return Status::Error(L"Could not write " + Wide(path) + L": " + Wide(std::strerror(error)));
    return Status::Ok();
  };
  // Enabled as "systemctl --user enable" would, so a timer starts at the
  // next login even when no user manager runs now.
  auto enable = [&units](const std::string& name) -> Status {
    if (int error = ReplaceWithLink(units.Wants(name), units.Path(name)))
      return Status::Error(L"Could not enable " + Wide(units.Path(name)) + L": " + Wide(std::strerror(error)));
    return Status::Ok();
  };
  if (!new_template.empty()) {
    if (Status s = write(units.Path(kTemplate), new_template); !s) return s;
  }
  if (!taken_name.empty()) {
    if (Status s = write(units.Path(taken_name), taken_text); !s) return s;
    if (Status s = enable(taken_name); !s) return s;
  }

  std::string output;
  if (triggered) {
    if (Status s = write(units.Path(timer_name), TimerText(OnCalendarFor(kind, task.hour, task.minute, task.day_mask)));
        !s)
      return s;
    if (Status s = enable(timer_name); !s) return s;
  } else {
    // systemd refuses a timer without a trigger, so "no trigger" is no
    // timer; the template (the task) stays.
    if (access(units.Path(timer_name).c_str(), F_OK) == 0) RunSystemctl({"disable", "--now", timer_name}, &output);
    if (int error = Unlink(units.Wants(timer_name)))
      return Status::Error(L"Could not disable " + Wide(units.Path(timer_name)) + L": " + Wide(std::strerror(error)));
    if (int error = Unlink(units.Path(timer_name)))
      return Status::Error(L"Could not remove " + Wide(units.Path(timer_name)) + L": " + Wide(std::strerror(error)));
  }
  if (drop_old) {
    if (old_timer_exists) RunSystemctl({"disable", "--now", kOldTimer}, &output);
    for (const std::string& path : {units.Wants(kOldTimer), units.Path(kOldTimer), units.Path(kOldService)})
      if (int error = Unlink(path))
        return Status::Error(L"Could not remove " + Wide(path) + L": " + Wide(std::strerror(error)));
  }

  std::wstring line;
  if (RunSystemctl({"daemon-reload"}, &output) != 0) {
    if (triggered || !taken_name.empty())
      line =
          L"No systemd user manager runs now: the scheduled scan starts from your next login on (or after "
          L"\"systemctl --user daemon-reload\" and \"systemctl --user start " +
          Wide(triggered ? timer_name : taken_name) + L"\").";
  } else {
    // A running timer takes its new calendar when it is restarted.
    if (triggered && (RunSystemctl({"enable", "--now", timer_name}, &output) != 0 ||
                      RunSystemctl({"restart", timer_name}, &output) != 0))
      line = L"The scheduled scan is saved, but systemd did not start its timer (" + Wide(FirstLine(output)) +
             L"); it starts from your next login on.";
    if (!taken_name.empty()) RunSystemctl({"enable", "--now", taken_name}, &output);
  }
  if (notice) *notice = said.empty() ? line : (line.empty() ? said : said + L" " + line);
  return Status::Ok();
}

bool WineScheduler::LoadScheduledTask(const std::wstring& name, ScheduledTask* task) {
  if (!EqualsNoCase(name, kTaskName)) return false;
  const Units units{machine_.ConfigDir() + "/systemd/user"};
  const std::string prefix = machine_.PrefixForPrograms();
  std::string timer_path;
  std::optional<std::string> service = ReadSmallTextFile(units.Path(kTemplate));
  if (service) {
    std::string instance;
    if (InstanceName(prefix, &instance)) timer_path = units.Path(InstanceTimer(instance));
  } else {
    // Only the older form: it is this machine's task when it names this prefix.
    service = ReadSmallTextFile(units.Path(kOldService));
    if (!service) return false;
    std::string theirs = PrefixOf(SplitSystemdCommand(KeyFileValue(*service, "Service", "ExecStart").value_or("")));
    if (!theirs.empty() && !SameFolder(theirs, prefix)) return false;
    timer_path = units.Path(kOldTimer);
  }
  ScheduledTask found = TaskOf(*service);
  if (!timer_path.empty()) ReadTrigger(timer_path, &found);
  *task = std::move(found);
  return true;
}

bool WineScheduler::ListScheduledTasks(const std::wstring& name, std::vector<MachineTask>* tasks) {
  tasks->clear();
  if (!EqualsNoCase(name, kTaskName)) return true;
  const Units units{machine_.ConfigDir() + "/systemd/user"};
  const std::string prefix = machine_.PrefixForPrograms();
  if (std::optional<std::string> service = ReadSmallTextFile(units.Path(kTemplate))) {
    const ScheduledTask base = TaskOf(*service);
    bool own = false;
    if (DIR* d = opendir(units.dir.c_str())) {
      const std::string head = kInstancePrefix, tail = ".timer";
      while (struct dirent* e = readdir(d)) {
        const std::string file = e->d_name;
        if (file.size() <= head.size() + tail.size() || file.compare(0, head.size(), head) != 0 ||
            file.compare(file.size() - tail.size(), tail.size(), tail) != 0)
          continue;
        std::string machine;
        if (!UnescapeSystemdPath(file.substr(head.size(), file.size() - head.size() - tail.size()), &machine)) continue;
        MachineTask t;
        t.machine = Wide(machine);
        t.task = base;
        ReadTrigger(units.Path(file), &t.task);
        t.this_machine = SameFolder(machine, prefix);
        own |= t.this_machine;
        tasks->push_back(std::move(t));
      }
      closedir(d);
    }
    if (!own) {
      MachineTask t;
      t.machine = Wide(prefix);
      t.this_machine = true;
      t.task = base;
      tasks->push_back(std::move(t));
    }
  }
  // Timers of the older form not taken over yet (nothing was saved since).
  if (std::optional<std::string> old = ReadSmallTextFile(units.Path(kOldService))) {
    std::string theirs = PrefixOf(SplitSystemdCommand(KeyFileValue(*old, "Service", "ExecStart").value_or("")));
    bool listed = false;
    for (const MachineTask& t : *tasks) listed |= !theirs.empty() && SameFolder(WideToUtf8(t.machine), theirs);
    if (!theirs.empty() && !listed) {
      MachineTask t;
      t.machine = Wide(theirs);
      t.task = TaskOf(*old);
      ReadTrigger(units.Path(kOldTimer), &t.task);
      t.this_machine = SameFolder(theirs, prefix);
      tasks->push_back(std::move(t));
    }
  }
  std::sort(tasks->begin(), tasks->end(),
            [](const MachineTask& a, const MachineTask& b) { return a.machine < b.machine; });
  return true;
}

}  // namespace orvane::wine
