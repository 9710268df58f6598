// The Windows processes of a Wine prefix: the host processes that Wine runs
// for that prefix, found through /proc. A process belongs to the prefix when
// it runs under the Wine loader, its WINEPREFIX (or, without one, its
// $HOME/.wine) is the prefix folder, and Wine has put the Windows image path
// in place of its argv[0]. The wineserver and loaders still starting up
// (argv[0] not yet a Windows path) are not Windows processes and are left out.
// Only processes whose environment we may read (our own user's) are seen.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"

namespace orvane::wine {

// The prefix's processes in the order of their ids. proc_root is "/proc"
// except in tests. False when proc_root cannot be listed.
bool ListPrefixProcesses(const std::string &proc_root, const std::string &prefix_dir,
                         std::vector<MachineProcess> *processes);

// A Wine program of the host that uses a prefix: while one runs, its
// wineserver holds the prefix's registry and overwrites whatever we save.
struct WineUser {
  int pid = 0;
  std::string program;  // the host executable, or the process's name when that cannot be read
  std::string image;    // the Windows image path of a Windows process; "" for a server
  std::string how;      // what ties it to the prefix, in words
  bool server = false;  // a wineserver
};

// Every Wine process (a loader, a Windows process or a wineserver, told by
// its executable's name) that uses prefix_dir: its environment names the
// prefix (WINEPREFIX, or without one $HOME/.wine), or its working folder or
// a file it holds open lies in it. Paths are judged in the process's own
// view of the file system, so a sandbox with its own /tmp or mounts is seen
// too. Processes whose details may not be read (another user's) count only
// when they are wineservers of the prefix's owner and that owner is not us:
// Wine serves a prefix only to its owner. Servers first, then by id; false
// when proc_root cannot be listed.
bool FindWineUsers(const std::string &proc_root, const std::string &prefix_dir, std::vector<WineUser> *users);

// Kills (SIGKILL, as TerminateProcess gives no chance to clean up) the
// process id when, at the moment of the kill, it is one of the prefix's
// processes. The process is held through a pidfd while it is checked, so a
// recycled id can never lead the signal to another program. False otherwise.
bool TerminatePrefixProcess(const std::string &prefix_dir, DWORD id);

class WineMachine;  // wine_machine.h

// The processes role over a Wine prefix: command lines run in it through
// the starting program and the Wine loader, and the host processes Wine
// runs for it.
class WineProcesses : public virtual Processes {
 public:
  // registry, files and environment are the machine's (they must outlive
  // this): a program is found through the files and the environment, and
  // the registry is read again once a run has ended.
  WineProcesses(WineMachine& machine, Registry& registry, Files& files, Environment& environment)
      : machine_(machine), registry_(registry), files_(files), environment_(environment) {}

  // The line's program is found as CreateProcessW finds it, from C:\, and
  // refused unless the file, after every link, lies in the prefix and is a
  // Windows program (an image or a batch file; Wine would run a host
  // program natively). Then StartInMachine with that program.
  std::unique_ptr<RunningProcess> StartProcess(const std::wstring& command_line, std::wstring* why) override;
  // Runs command_line with CreateProcessW(application, ...) in the prefix
  // through the starting program and the Wine loader (WineCommand), with
  // C:\ as its current folder. application is not judged: the caller found
  // it, or it is a program of ours ("" lets CreateProcessW find it). The run
  // has ended once the prefix's wineserver has ended too, which saves the
  // registry; the hives are then read again. Null with *why (may be null)
  // when Wine or the starting program is missing or the loader did not
  // start.
  std::unique_ptr<RunningProcess> StartInMachine(const std::wstring& application, const std::wstring& command_line,
                                                 std::wstring* why);
  // Only the processes Wine runs for this prefix, with their Windows image
  // paths, are listed and can be terminated.
  bool ListProcesses(std::vector<MachineProcess>* processes) override;
  bool TerminateProcess(DWORD id) override;

 private:
  WineMachine& machine_;
  Registry& registry_;
  Files& files_;
  Environment& environment_;
};

}  // namespace orvane::wine
