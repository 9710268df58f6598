#include "platform/wine/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace orvane::wine {

std::string RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && xdg[0] == '/') return xdg;
  std::error_code ec;
  std::string tmp = std::filesystem::temp_directory_path(ec).string();
  return tmp.empty() ? "/tmp" : tmp;
}

std::string PerUserName(const std::string& name) { return name + "-" + std::to_string(getuid()); }

InstanceLock::InstanceLock(std::string name, std::string dir)
    : path_((dir.empty() ? RuntimeFolder() : dir) + "/" + PerUserName(name) + ".lock") {}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

bool InstanceLock::TryAcquire() {
  if (fd_ >= 0) return true;
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace orvane::wine
