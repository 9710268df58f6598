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
  int fd = open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char text[128];
  ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return -1;
  text[n] = '\0';
  const char* last = std::strrchr(text, ' ');
  return last ? std::strtol(last + 1, nullptr, 10) : -1;
}

std::wstring Refusal(const std::string& prefix_dir, const std::wstring& who) {
  return who + L" is running for the prefix " + Utf8ToWide(prefix_dir) +
         L"; it would overwrite any change, so nothing is written. Close the Wine programs (or run "
         L"\"wineserver -k\") and try again.";
}

std::wstring ServerRefusal(const std::string& prefix_dir, int pid) {
  return Refusal(prefix_dir, L"a wineserver" + (pid > 0 ? L" (pid " + std::to_wstring(pid) + L")" : L""));
}

// The folders a wineserver for prefix_dir would hold its lock in: the one in
// Wine's usual place whether or not it exists (so that a server starting
// there is seen at once), and those of the other places that exist. Empty
// when the prefix cannot be looked at.
std::vector<std::string> ServerFolders(const std::string& prefix_dir, uid_t* owner) {
  struct stat st;
  if (stat(prefix_dir.c_str(), &st) != 0) return {};
  char server[64];
  std::snprintf(server, sizeof server, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  // Wine serves a prefix only to the user who owns it.
  *owner = st.st_uid;
  std::vector<std::string> roots = ServerRoots(st.st_uid);
  std::vector<std::string> folders = {roots.front() + server};
  for (size_t i = 1; i < roots.size(); ++i)
    if (OwnedFolder(roots[i] + server, st.st_uid)) folders.push_back(roots[i] + server);
  return folders;
}

// The pid holding the server lock in folder, 0 when none does.
int ServerIn(const std::string& folder, uid_t owner) {
  const std::string root = folder.substr(0, folder.rfind('/'));
  if (!OwnedFolder(root, owner) || !OwnedFolder(folder, owner)) return 0;
  return LockHolder(folder + "/lock", owner);
}

}  // namespace

int RunningWineserver(const std::string& prefix_dir) {
  uid_t owner = 0;
  for (const std::string& folder : ServerFolders(prefix_dir, &owner))
    if (int pid = ServerIn(folder, owner)) return pid;
  return 0;
}

void WineWatch::Look() {
  looked_ = true;
  looked_at_ = std::chrono::steady_clock::now();
  last_pid_ = NewestPid();
  server_folders_ = ServerFolders(prefix_dir_, &owner_);
  found_ = Status::Ok();
  std::vector<WineUser> users;
  if (!FindWineUsers("/proc", prefix_dir_, &users) || users.empty()) return;  // no /proc: the lock is all we have
  const WineUser& first = users.front();
  std::wstring who = first.server ? L"a wineserver" : L"a Wine program";
  who += L" (pid " + std::to_wstring(first.pid) + L", " + Utf8ToWide(first.program);
  if (!first.image.empty()) who += L", " + Utf8ToWide(first.image);
  who += L": " + Utf8ToWide(first.how) + L")";
  found_ = Status::Error(Refusal(prefix_dir_, who), StatusCode::kBusy);
}

Status WineWatch::Check(bool fresh) {
  std::lock_guard lock(mutex_);
  // A Wine program found stays a refusal until a look sees it gone; a clear
  // look stands while the host starts no process.
  const bool stale = !looked_ || std::chrono::steady_clock::now() - looked_at_ >= kLookInterval;
  if (fresh || (stale && (!found_ || last_pid_ < 0 || NewestPid() != last_pid_))) Look();
  for (const std::string& folder : server_folders_)
    if (int pid = ServerIn(folder, owner_)) return Status::Error(ServerRefusal(prefix_dir_, pid), StatusCode::kBusy);
  return found_;
}

}  // namespace orvane::wine
