// Whether Wine is using a prefix. While a wineserver runs for it, it holds
// the registry in memory and overwrites the files, so nothing we write
// survives; any Wine process of the prefix keeps (or starts) one.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

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
//
// What it promises. A wineserver for the prefix is seen by every check the
// moment it holds its lock, in Wine's usual folder or in any server folder
// of the prefix's that the last full look found. The full look lists the
// server folders again (Debian's build makes a new one for each server) and
// walks /proc for every Wine program using the prefix (one whose server we
// cannot see, in a sandbox or still starting); it costs about a millisecond,
// so ordinary writes repeat it at most every kLookInterval, and only when the
// host has started a process since (any Wine program, and the server it
// starts, is a new process). A check with fresh always looks: every hive
// save asks so, so nothing Wine could overwrite is ever saved while it runs.
// A file written in the first kLookInterval of a Wine program that has no
// server in sight yet is the one thing this lets through.
class WineWatch {
 public:
  explicit WineWatch(std::string prefix_dir) : prefix_dir_(std::move(prefix_dir)) {}

  // Ok when no Wine program uses the prefix; otherwise why nothing may be
  // written, naming the process (pid and program).
  Status Check(bool fresh);

  static constexpr std::chrono::milliseconds kLookInterval{250};

 private:
  // Lists the server folders again and walks /proc; sets what a check
  // uses until the next look.
  void Look();

  std::string prefix_dir_;
  std::mutex mutex_;
  bool looked_ = false;
  std::chrono::steady_clock::time_point looked_at_;
  long last_pid_ = -1;  // the newest process id the host had made then
  Status found_;        // what the walk found: Ok, or the Wine program
  // The server folders each check asks, and the owner they must have.
  std::vector<std::string> server_folders_;
  uid_t owner_ = 0;
};

}  // namespace orvane::wine
