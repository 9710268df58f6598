// Whether Wine is using a prefix. While a wineserver runs for it, it holds
// the registry in memory and overwrites the files, so nothing we write
// survives; any Wine process of the prefix keeps (or starts) one.
#pragma once

#include <mutex>
#include <string>

#include "platform/platform.h"

namespace orvane::wine {

// The pid of the wineserver holding the lock in the prefix's server folder,
// or 0 when none does; -1 when one does but its pid is not known.
// prefix_dir is the host path of the prefix folder. The folders looked in are
// found from the host alone (Wine's /tmp/.wine-<uid>, and the wine-XXXXXX
// folders of Debian's build in /tmp and $TMPDIR), each owned by the prefix's
// owner; nothing the prefix holds names them.
int RunningWineserver(const std::string& prefix_dir);

// The write guard's view of Wine: the server lock above and every Wine
// process that /proc shows using the prefix (FindWineUsers). Thread-safe.
class WineWatch {
 public:
  explicit WineWatch(std::string prefix_dir) : prefix_dir_(std::move(prefix_dir)) {}

  // Ok when no Wine program uses the prefix; otherwise why nothing may be
  // written, naming the process (pid and program). The server lock is asked
  // every time; the walk through /proc is repeated only when the host has
  // started a process since the last walk found nothing (a new Wine program,
  // or the server it starts, is always a new process) or when fresh.
  Status Check(bool fresh);

 private:
  std::string prefix_dir_;
  std::mutex mutex_;
  bool clear_ = false;  // the last walk found no Wine process
  long last_pid_ = -1;  // the newest process id the host had made then
};

}  // namespace orvane::wine
