// One writer per prefix among Orvane processes. Two repairs, a repair and a
// restore, or a repair and "orvane-cli reg add" would otherwise each save
// the hives they loaded and silently drop the other's changes.
//
// The lock is an exclusive flock on "orvane.lock" in the prefix folder,
// taken before the first change and held until the object goes (the end of
// the process for the command line). The holder writes its pid into the
// file so that a refused process can name it. Thread-safe.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace orvane::wine {

class PrefixLock {
 public:
  // wait: how long the first attempt waits for another holder to finish.
  PrefixLock(std::string prefix_dir, std::chrono::milliseconds wait);
  ~PrefixLock();
  PrefixLock(const PrefixLock&) = delete;
  PrefixLock& operator=(const PrefixLock&) = delete;

  // Ok when this object holds the lock, taking it now if needed. The first
  // call waits up to wait for another holder; later calls do not wait. A
  // refusal names the process that holds the lock.
  Status Acquire();
  bool held() const;

 private:
  std::string path_;
  std::chrono::milliseconds wait_;
  mutable std::mutex mutex_;
  int fd_ = -1;
  bool waited_ = false;
};

}  // namespace orvane::wine
