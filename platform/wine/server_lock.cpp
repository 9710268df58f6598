#include "platform/wine/server_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

namespace orvane::wine {

namespace {

// The pid holding the write lock on byte 0 of lock_path, 0 when none does.
int LockHolder(const std::string& lock_path) {
  int fd = open(lock_path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return 0;
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  int pid = 0;
  if (fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) pid = fl.l_pid ? fl.l_pid : -1;
  close(fd);
  return pid;
}

}  // namespace

int RunningWineserver(const std::string& prefix_dir) {
  struct stat st;
  if (stat(prefix_dir.c_str(), &st) != 0) return 0;
  char server[64];
  std::snprintf(server, sizeof server, "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  // Upstream Wine keeps its server folder under /tmp/.wine-<uid>; Debian's
  // build makes a random folder in /tmp and names it in <prefix>/wineserver.
  std::vector<std::string> roots = {"/tmp/.wine-" + std::to_string(getuid())};
  std::ifstream named(prefix_dir + "/wineserver");
  std::string name;
  if (named && std::getline(named, name) && !name.empty() &&
      name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") == std::string::npos &&
      name != "." && name != "..")
    roots.push_back("/tmp/" + name);
  for (const auto& root : roots)
    if (int pid = LockHolder(root + "/" + server + "/lock")) return pid;
  return 0;
}

}  // namespace orvane::wine
