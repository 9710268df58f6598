// One running desktop program per user: an exclusive flock on a file in the
// user's runtime folder ($XDG_RUNTIME_DIR, else the temporary folder with the
// user id in the name). The lock goes with the process, so a program that
// crashed never blocks the next start. Any thread.
#pragma once

#include <string>

namespace orvane::wine {

class InstanceLock {
 public:
  // name: the program's ("orvane"); dir: where the lock file lives, "" for
  // the user's runtime folder.
  explicit InstanceLock(std::string name, std::string dir = "");
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this object now holds the lock (or held it already); false
  // when another holder has it. Never waits.
  bool TryAcquire();
  bool held() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

// The per-user name of a local channel of the program ("orvane-1000").
std::string PerUserName(const std::string& name);

// The user's runtime folder: $XDG_RUNTIME_DIR when it is absolute, else the
// temporary folder. The lock and every channel beside it live there, so two
// programs share a channel exactly when they share a lock.
std::string RuntimeFolder();

}  // namespace orvane::wine
