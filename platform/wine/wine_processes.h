// The Windows processes of a Wine prefix: the host processes that Wine runs
// for that prefix, found through /proc. A process belongs to the prefix when
// it runs under the Wine loader, its WINEPREFIX (or, without one, its
// $HOME/.wine) is the prefix folder, and Wine has put the Windows image path
// in place of its argv[0]. The wineserver and loaders still starting up
// (argv[0] not yet a Windows path) are not Windows processes and are left out.
// Only processes whose environment we may read (our own user's) are seen.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orvane::wine {

// The prefix's processes in the order of their ids. proc_root is "/proc"
// except in tests. False when proc_root cannot be listed.
bool ListPrefixProcesses(const std::string &proc_root, const std::string &prefix_dir,
                         std::vector<MachineProcess> *processes);

// Kills (SIGKILL, as TerminateProcess gives no chance to clean up) the
// process id when, at the moment of the kill, it is one of the prefix's
// processes. The process is held through a pidfd while it is checked, so a
// recycled id can never lead the signal to another program. False otherwise.
bool TerminatePrefixProcess(const std::string &prefix_dir, DWORD id);

}  // namespace orvane::wine
