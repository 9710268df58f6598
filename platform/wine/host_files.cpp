#include "platform/wine/host_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace orvane::wine {

std::string RealPath(const std::string& path) {
  char real[PATH_MAX];
  return realpath(path.c_str(), real) ? std::string(real) : std::string();
}

std::string TemporaryPathFor(const std::string& path) {
  return path + ".orvane-" + std::to_string(getpid()) + ".tmp";
}

void RemoveEndedWritersFiles(const std::string& dir, const std::function<long(std::string_view name)>& writer_of) {
  // Never through a link: the folder itself must be a real one.
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  DIR* d = fdopendir(fd);
  if (!d) {
    close(fd);
    return;
  }
  while (struct dirent* e = readdir(d)) {
    const long pid = writer_of(e->d_name);
    if (pid <= 0 || pid == getpid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
    unlinkat(dirfd(d), e->d_name, 0);
  }
  closedir(d);
}

void RemoveStaleTemporaries(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string stem = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".orvane-";
  // "<name>.orvane-<pid>.tmp"
  RemoveEndedWritersFiles(dir, [&stem](std::string_view name) -> long {
    if (name.size() <= stem.size() + 4 || name.substr(0, stem.size()) != stem ||
        name.substr(name.size() - 4) != ".tmp")
      return 0;
    std::string_view digits = name.substr(stem.size(), name.size() - stem.size() - 4);
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
      return 0;
    return std::stol(std::string(digits));
  });
}

int WriteHostFileAtomic(const std::string& path, const std::string& bytes, bool follow_link,
                        const std::string& given_tmp) {
  return WriteHostFileAtomicPieces(
      path, [&](const std::function<bool(std::string_view)>& sink) { return sink(bytes); }, follow_link, given_tmp);
}

int WriteHostFileAtomicPieces(const std::string& path,
                              const std::function<bool(const std::function<bool(std::string_view)>&)>& produce,
                              bool follow_link, const std::string& given_tmp) {
  std::string target = path;
  char resolved[PATH_MAX];
  if (follow_link && realpath(path.c_str(), resolved)) target = resolved;
  std::string tmp = given_tmp.empty() ? TemporaryPathFor(target) : given_tmp;
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int error = 0;
  auto sink = [&](std::string_view piece) {
    while (!error && !piece.empty()) {
      ssize_t n = write(fd, piece.data(), piece.size());
      if (n <= 0) {
        error = n < 0 ? errno : EIO;
        break;
      }
      piece.remove_prefix(static_cast<size_t>(n));
    }
    return error == 0;
  };
  if (!produce(sink) && !error) error = ECANCELED;
  if (!error && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && !error) error = errno;
  if (!error && rename(tmp.c_str(), target.c_str()) != 0) error = errno;
  if (error) unlink(tmp.c_str());
  return error;
}

}  // namespace orvane::wine
