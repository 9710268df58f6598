#include "platform/wine/wine_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/text.h"
#include "platform/wine/wine_platform.h"

namespace orvane::wine {
namespace {

std::string ReadWhole(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The value of name in a NUL-separated environment block; found tells
// whether it was there at all.
std::string EnvironValue(const std::string &block, const std::string &name, bool *found) {
  const std::string key = name + "=";
  size_t start = 0;
  while (start < block.size()) {
    size_t end = block.find('\0', start);
    if (end == std::string::npos) end = block.size();
    if (block.compare(start, key.size(), key) == 0) {
      *found = true;
      return block.substr(start + key.size(), end - start - key.size());
    }
    start = end + 1;
  }
  *found = false;
  return {};
}

// The folder with links resolved and trailing slashes cut, so two spellings
// of one prefix compare equal; the text as given when it does not exist.
std::string Canonical(const std::string &dir) {
  char buf[PATH_MAX];
  if (realpath(dir.c_str(), buf)) return buf;
  std::string out = dir;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

bool IsWindowsImagePath(const std::string &text) {
  return text.size() > 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
         text[2] == '\\';
}

// The Wine loader (wine, wine64, wine64-preloader, ...) runs every Windows
// process; any other executable is a host program, whatever its arguments.
bool RunsUnderWineLoader(const std::string &proc_dir) {
  char buf[PATH_MAX];
  ssize_t n = readlink((proc_dir + "/exe").c_str(), buf, sizeof buf - 1);
  if (n <= 0) return false;
  std::string exe(buf, static_cast<size_t>(n));
  std::string base = exe.substr(exe.rfind('/') + 1);
  return base.rfind("wine", 0) == 0 && base.find("server") == std::string::npos;
}

// The Windows image path when the process in proc_dir is one of the
// prefix's; "" otherwise.
std::string PrefixImage(const std::string &proc_dir, const std::string &canonical_prefix) {
  if (!RunsUnderWineLoader(proc_dir)) return {};
  std::string environ_block = ReadWhole(proc_dir + "/environ");
  if (environ_block.empty()) return {};
  bool found = false;
  std::string prefix = EnvironValue(environ_block, "WINEPREFIX", &found);
  if (!found || prefix.empty()) {
    // Wine's own default when no prefix is named.
    std::string home = EnvironValue(environ_block, "HOME", &found);
    if (!found || home.empty()) return {};
    prefix = home + "/.wine";
  }
  if (Canonical(prefix) != canonical_prefix) return {};
  std::string cmdline = ReadWhole(proc_dir + "/cmdline");
  std::string image = cmdline.substr(0, cmdline.find('\0'));
  return IsWindowsImagePath(image) ? image : std::string();
}

bool ParsePid(const char *name, DWORD *pid) {
  if (!*name) return false;
  unsigned long value = 0;
  for (const char *c = name; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + static_cast<unsigned long>(*c - '0');
    if (value > 0xFFFFFFFFul) return false;
  }
  *pid = static_cast<DWORD>(value);
  return value != 0;
}

}  // namespace

bool ListPrefixProcesses(const std::string &proc_root, const std::string &prefix_dir,
                         std::vector<MachineProcess> *processes) {
  DIR *dir = opendir(proc_root.c_str());
  if (!dir) return false;
  const std::string canonical_prefix = Canonical(prefix_dir);
  std::vector<MachineProcess> found;
  while (dirent *entry = readdir(dir)) {
    DWORD pid = 0;
    if (!ParsePid(entry->d_name, &pid)) continue;
    std::string image = PrefixImage(proc_root + "/" + entry->d_name, canonical_prefix);
    if (image.empty()) continue;
    found.push_back({pid, Utf8ToWide(image)});
  }
  closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const MachineProcess &a, const MachineProcess &b) { return a.id < b.id; });
  *processes = std::move(found);
  return true;
}

bool TerminatePrefixProcess(const std::string &prefix_dir, DWORD id) {
  if (id == 0 || id > static_cast<DWORD>(INT_MAX)) return false;
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(id), 0));
  if (pidfd < 0) return false;
  // Checked after the pidfd is held: if the id was recycled before the
  // open, the check sees the new program and refuses it.
  bool ours = !PrefixImage("/proc/" + std::to_string(id), Canonical(prefix_dir)).empty();
  bool killed = ours && syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0;
  close(pidfd);
  return killed;
}

bool WinePlatform::ListProcesses(std::vector<MachineProcess> *processes) {
  return ListPrefixProcesses("/proc", options_.prefix_dir, processes);
}

bool WinePlatform::TerminateProcess(DWORD id) { return TerminatePrefixProcess(options_.prefix_dir, id); }

}  // namespace orvane::wine
