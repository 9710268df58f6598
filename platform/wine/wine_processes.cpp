#include "platform/wine/wine_processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/text.h"

namespace orvane::wine {
namespace {

// What /proc tells about a process (its environment, its command line);
// bounded, since a process may make either as large as it likes.
std::string ReadWhole(const std::string &path) {
  constexpr size_t kLimit = 4u << 20;
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string out;
  char buf[16384];
  while (out.size() < kLimit && in.read(buf, sizeof buf).gcount() > 0)
    out.append(buf, static_cast<size_t>(in.gcount()));
  return out;
}

// The target of the link at path; "" with *error set when it cannot be read.
std::string ReadLink(const std::string &path, int *error = nullptr) {
  char buf[PATH_MAX];
  ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) {
    if (error) *error = n < 0 ? errno : ENOENT;
    return {};
  }
  if (error) *error = 0;
  return std::string(buf, static_cast<size_t>(n));
}

// A link of /proc to a file removed or replaced since it was opened (an
// executable after a Wine upgrade, a hive Wine saved over) ends so.
std::string WithoutDeletedMark(std::string path) {
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  return path;
}

std::string BaseName(const std::string &path) {
  std::string plain = WithoutDeletedMark(path);
  return plain.substr(plain.rfind('/') + 1);
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
bool IsWineProgram(const std::string &base) { return base.rfind("wine", 0) == 0; }
bool IsWineserver(const std::string &base) { return IsWineProgram(base) && base.find("server") != std::string::npos; }

bool RunsUnderWineLoader(const std::string &proc_dir) {
  std::string base = BaseName(ReadLink(proc_dir + "/exe"));
  return IsWineProgram(base) && !IsWineserver(base);
}

// The prefix a Wine process's environment names, as the process writes it:
// WINEPREFIX, else Wine's own default $HOME/.wine; "" when neither is set.
std::string EnvironmentPrefix(const std::string &environ_block) {
  bool found = false;
  std::string prefix = EnvironValue(environ_block, "WINEPREFIX", &found);
  if (found && !prefix.empty()) return prefix;
  std::string home = EnvironValue(environ_block, "HOME", &found);
  return found && !home.empty() ? home + "/.wine" : std::string();
}

// The Windows image path in a process's command line, "" when it has none.
std::string ImageOf(const std::string &proc_dir) {
  std::string cmdline = ReadWhole(proc_dir + "/cmdline");
  std::string image = cmdline.substr(0, cmdline.find('\0'));
  return IsWindowsImagePath(image) ? image : std::string();
}

// The Windows image path when the process in proc_dir is one of the
// prefix's; "" otherwise.
std::string PrefixImage(const std::string &proc_dir, const std::string &canonical_prefix) {
  if (!RunsUnderWineLoader(proc_dir)) return {};
  std::string prefix = EnvironmentPrefix(ReadWhole(proc_dir + "/environ"));
  if (prefix.empty() || Canonical(prefix) != canonical_prefix) return {};
  return ImageOf(proc_dir);
}

// The prefix folder, and how paths a process speaks of are matched with it.
// A process that sees the file system as we do (same mount namespace and
// root) is judged by its paths as text; one in a sandbox by what its paths
// lead to from its own root (/proc/<pid>/root), by device and inode.
struct PrefixId {
  std::string canonical;
  dev_t device = 0;
  ino_t inode = 0;
  uid_t owner = 0;
};

bool SameView(const std::string &proc_dir) {
  static const std::string own_mounts = ReadLink("/proc/self/ns/mnt");
  std::string mounts = ReadLink(proc_dir + "/ns/mnt");
  std::string root = ReadLink(proc_dir + "/root");
  return (mounts.empty() || mounts == own_mounts) && (root.empty() || root == "/");
}

bool IsPrefix(const std::string &host_path, const PrefixId &id) {
  struct stat st;
  return stat(host_path.c_str(), &st) == 0 && st.st_dev == id.device && st.st_ino == id.inode;
}

// True when path (absolute, as the process sees it) is the prefix or lies in it.
bool InPrefix(const std::string &proc_dir, bool same_view, std::string path, const PrefixId &id) {
  if (path.empty() || path[0] != '/') return false;  // pipes, sockets, anonymous files
  path = WithoutDeletedMark(path);
  if (same_view)
    return path == id.canonical ||
           (path.size() > id.canonical.size() && path.compare(0, id.canonical.size(), id.canonical) == 0 &&
            path[id.canonical.size()] == '/');
  const std::string root = proc_dir + "/root";
  for (;;) {
    if (IsPrefix(root + path, id)) return true;
    size_t slash = path.rfind('/');
    if (slash == 0 || slash == std::string::npos) return false;
    path.resize(slash);
  }
}

// What ties the Wine process in proc_dir to the prefix, in words; "" when nothing does.
std::string TieToPrefix(const std::string &proc_dir, const PrefixId &id) {
  const bool same_view = SameView(proc_dir);
  std::string named = EnvironmentPrefix(ReadWhole(proc_dir + "/environ"));
  if (!named.empty() && (same_view ? Canonical(named) == id.canonical : IsPrefix(proc_dir + "/root" + named, id)))
    return "its environment names the prefix";
  std::string cwd = ReadLink(proc_dir + "/cwd");
  if (InPrefix(proc_dir, same_view, cwd, id)) return "it works in " + cwd;
  DIR *fds = opendir((proc_dir + "/fd").c_str());
  if (!fds) return {};
  std::string held;
  while (dirent *entry = readdir(fds)) {
    if (entry->d_name[0] == '.') continue;
    std::string target = ReadLink(proc_dir + "/fd/" + entry->d_name);
    if (InPrefix(proc_dir, same_view, target, id)) {
      held = "it holds " + target + " open";
      break;
    }
  }
  closedir(fds);
  return held;
}

// A process whose details we may not read: a wineserver of the prefix's
// owner, when the owner is another user, since only the owner's can serve it.
bool OwnersHiddenServer(const std::string &proc_dir, const PrefixId &id, WineUser *user) {
  if (id.owner == geteuid()) return false;
  struct stat st;
  if (stat(proc_dir.c_str(), &st) != 0 || st.st_uid != id.owner) return false;
  std::string name = ReadWhole(proc_dir + "/comm");
  while (!name.empty() && name.back() == '\n') name.pop_back();
  if (!IsWineserver(name)) return false;
  user->program = name;
  user->server = true;
  user->how = "it is a wineserver of the prefix's owner (uid " + std::to_string(id.owner) +
              "), whose files Orvane may not read";
  return true;
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

bool FindWineUsers(const std::string &proc_root, const std::string &prefix_dir, std::vector<WineUser> *users) {
  PrefixId id;
  id.canonical = Canonical(prefix_dir);
  struct stat st;
  if (stat(id.canonical.c_str(), &st) == 0) {
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.owner = st.st_uid;
  } else {
    id.owner = geteuid();
  }
  DIR *dir = opendir(proc_root.c_str());
  if (!dir) return false;
  const DWORD self = static_cast<DWORD>(getpid());
  std::vector<WineUser> found;
  while (dirent *entry = readdir(dir)) {
    DWORD pid = 0;
    if (!ParsePid(entry->d_name, &pid) || pid == self) continue;
    const std::string proc_dir = proc_root + "/" + entry->d_name;
    WineUser user;
    user.pid = static_cast<int>(pid);
    int error = 0;
    std::string exe = ReadLink(proc_dir + "/exe", &error);
    if (error == EACCES || error == EPERM) {
      if (OwnersHiddenServer(proc_dir, id, &user)) found.push_back(user);
      continue;
    }
    const std::string base = BaseName(exe);
    if (!IsWineProgram(base)) continue;
    user.how = TieToPrefix(proc_dir, id);
    if (user.how.empty()) continue;
    user.program = exe;
    user.server = IsWineserver(base);
    if (!user.server) user.image = ImageOf(proc_dir);
    found.push_back(std::move(user));
  }
  closedir(dir);
  std::sort(found.begin(), found.end(),
            [](const WineUser &a, const WineUser &b) { return a.server != b.server ? a.server : a.pid < b.pid; });
  *users = std::move(found);
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

}  // namespace orvane::wine
