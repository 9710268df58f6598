#include "platform/wine/server_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/text.h"
#include "platform/wine/wine_processes.h"

namespace orvane::wine {

namespace {

// A folder of Wine's own: a real folder (no link) owned by owner, since
// anyone may make folders in /tmp, a look-alike included.
bool OwnedFolder(const std::string& path, uid_t owner) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == owner;
}

// The pid holding the write lock on byte 0 of lock_path, 0 when none does.
// Only a regular file owned by owner is asked: the lock file is never created,
// written, or followed through a link.
int LockHolder(const std::string& lock_path, uid_t owner) {
  int fd = open(lock_path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return 0;
  int pid = 0;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == owner) {
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    if (fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) pid = fl.l_pid ? fl.l_pid : -1;
  }
  close(fd);
  return pid;
}

// Debian's build makes its server's parent folder with mkdtemp("wine-XXXXXX")
// in $TMPDIR (else /tmp).
bool DebianServerRoot(const char* name) { return std::strncmp(name, "wine-", 5) == 0 && std::strlen(name) == 11; }

std::vector<std::string> ServerRoots(uid_t owner) {
  std::vector<std::string> roots = {"/tmp/.wine-" + std::to_string(owner)};
  std::vector<std::string> temporaries = {"/tmp"};
  if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir && tmpdir[0] == '/' && std::string(tmpdir) != "/tmp")
    temporaries.push_back(tmpdir);
  for (const std::string& folder : temporaries) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    while (dirent* entry = readdir(dir))
      if (DebianServerRoot(entry->d_name)) roots.push_back(folder + "/" + entry->d_name);
    closedir(dir);
  }
  return roots;
}

// The newest process id the host has handed out (the last field of
// /proc/loadavg); -1 when unknown.
long NewestPid() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c, running;
  long last = -1;
  if (in >> a >> b >> c >> running >> last) return last;
  return -1;
}

std::wstring Refusal(const std::string& prefix_dir, const std::wstring& who) {
  return who + L" is running for the prefix " + Utf8ToWide(prefix_dir) +
         L"; it would overwrite any change, so nothing is written. Close the Wine programs (or run "
         L"\"wineserver -k\") and try again.";
}

}  // namespace

int RunningWineserver(const std::string& prefix_dir) {
  struct stat st;
  if (stat(prefix_dir.c_str(), &st) != 0) return 0;
  char server[64];
  std::snprintf(server, sizeof server, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  // Wine serves a prefix only to the user who owns it.
  const uid_t owner = st.st_uid;
  for (const std::string& root : ServerRoots(owner)) {
    if (!OwnedFolder(root, owner) || !OwnedFolder(root + "/" + server, owner)) continue;
    if (int pid = LockHolder(root + "/" + server + "/lock", owner)) return pid;
  }
  return 0;
}

Status WineWatch::Check(bool fresh) {
  if (int pid = RunningWineserver(prefix_dir_); pid != 0)
    return Status::Error(
        Refusal(prefix_dir_, L"a wineserver" + (pid > 0 ? L" (pid " + std::to_wstring(pid) + L")" : L"")));
  std::lock_guard lock(mutex_);
  const long newest = NewestPid();
  if (!fresh && clear_ && newest >= 0 && newest == last_pid_) return Status::Ok();
  std::vector<WineUser> users;
  clear_ = false;
  if (!FindWineUsers("/proc", prefix_dir_, &users)) return Status::Ok();  // no /proc: the lock above is all we have
  if (users.empty()) {
    clear_ = true;
    last_pid_ = newest;
    return Status::Ok();
  }
  const WineUser& first = users.front();
  std::wstring who = first.server ? L"a wineserver" : L"a Wine program";
  who += L" (pid " + std::to_wstring(first.pid) + L", " + Utf8ToWide(first.program);
  if (!first.image.empty()) who += L", " + Utf8ToWide(first.image);
  who += L": " + Utf8ToWide(first.how) + L")";
  return Status::Error(Refusal(prefix_dir_, who));
}

}  // namespace orvane::wine
