// The processes role: programs started in the machine, and the machine's
// running processes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace orvane {

class RunningProcess;  // process.h

// A program running on the machine (a Windows process; under Wine, a host
// process that Wine runs for this prefix).
struct MachineProcess {
  DWORD id = 0;             // the process id the platform knows it by
  std::wstring image_path;  // its executable, a Windows path ("" when unknown)
};

class Processes {
 public:
  virtual ~Processes() = default;

  // CreateProcessW with command_line as the whole Windows command line,
  // default environment, folder and window; never through a shell of the
  // host. The program is found as CreateProcessW finds it (command_line.h)
  // and must lie inside the machine, links followed, and be a Windows
  // program: one that lies outside (a drive or a link that leads out) is
  // never started. Null when it was not started, with the reason in *why
  // (may be null). A platform that cannot run programs keeps this default.
  virtual std::unique_ptr<RunningProcess> StartProcess(const std::wstring& command_line,
                                                       std::wstring* why);
  // The machine's running processes (a Toolhelp process snapshot). False
  // when they cannot be listed; a platform without processes keeps this.
  virtual bool ListProcesses(std::vector<MachineProcess>* processes) {
    (void)processes;
    return false;
  }
  // TerminateProcess of a process of this machine, by its id from
  // ListProcesses. False when id is not (or no longer) one of the machine's
  // processes: no other program of the host can be reached this way.
  virtual bool TerminateProcess(DWORD id) {
    (void)id;
    return false;
  }
};

}  // namespace orvane
