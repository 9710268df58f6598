#include "platform/wine/server_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace orvane::wine {

int RunningWineserver(const std::string& prefix_dir) {
  struct stat st;
  if (stat(prefix_dir.c_str(), &st) != 0) return 0;
  char path[256];
  std::snprintf(path, sizeof path, "/tmp/.wine-%u/server-%llx-%llx/lock", static_cast<unsigned>(getuid()),
                static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  int fd = open(path, O_RDWR | O_CLOEXEC);
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

}  // namespace orvane::wine
