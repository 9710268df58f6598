#include "platform/wine/prefix_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/text.h"

namespace orvane::wine {
namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(50);

std::string HolderOf(int fd) {
  char buf[32] = {};
  ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
  std::string text(buf, n > 0 ? static_cast<size_t>(n) : 0);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.find_first_not_of("0123456789") == std::string::npos ? text : "";
}

}  // namespace

PrefixLock::PrefixLock(std::string prefix_dir, std::chrono::milliseconds wait)
    : path_(std::move(prefix_dir) + "/orvane.lock"), wait_(wait) {}

PrefixLock::~PrefixLock() {
  // Closing releases the lock; the file stays for the next holder.
  if (fd_ >= 0) close(fd_);
}

bool PrefixLock::held() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

Status PrefixLock::Acquire() {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) return Status::Ok();
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0)
    return Status::Error(L"cannot open the lock file " + Utf8ToWide(path_) + L": " +
                         Utf8ToWide(std::strerror(errno)) + L"; nothing is written");
  auto deadline = std::chrono::steady_clock::now() + (waited_ ? std::chrono::milliseconds(0) : wait_);
  waited_ = true;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      std::string holder = HolderOf(fd);
      close(fd);
      return Status::Error(L"another Orvane process" + (holder.empty() ? L"" : L" (pid " + Utf8ToWide(holder) + L")") +
                           L" is changing this machine; nothing is written. Wait until it has finished and "
                           L"try again.",
                           StatusCode::kBusy);
    }
    std::this_thread::sleep_for(kRetryInterval);
  }
  std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd, 0) == 0) (void)!pwrite(fd, pid.data(), pid.size(), 0);
  fd_ = fd;
  return Status::Ok();
}

}  // namespace orvane::wine
