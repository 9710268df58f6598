#include "platform/wine/host_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace orvane::wine {

int WriteHostFileAtomic(const std::string& path, const std::string& bytes, bool follow_link) {
  std::string target = path;
  char resolved[PATH_MAX];
  if (follow_link && realpath(path.c_str(), resolved)) target = resolved;
  std::string tmp = target + ".orvane-" + std::to_string(getpid()) + ".tmp";
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  size_t done = 0;
  int error = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (!error && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error && rename(tmp.c_str(), target.c_str()) != 0) error = errno;
  if (error) unlink(tmp.c_str());
  return error;
}

}  // namespace orvane::wine
