// A program the platform started on the machine (Platform::StartProcess),
// followed until it has ended and the machine shows what it changed.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace orvane {

// How a started program ended.
struct ProcessExit {
  // False when Windows could not start the program after all; why says why.
  bool started = true;
  // Its exit code, when the platform learned it.
  std::optional<DWORD> code;
  std::wstring why;
};

class RunningProcess {
 public:
  // Forgets the process; it is neither ended nor waited for.
  virtual ~RunningProcess() = default;

  // Waits at most `wait` (zero: only looks). True once the process has ended
  // and the platform's reads show what it changed: a platform that keeps the
  // machine's state (the Wine prefix's registry) has read it again by then.
  // Call from one thread at a time.
  virtual bool Wait(std::chrono::milliseconds wait) = 0;
  // After Wait returned true: Ok, or why the machine's state could not be
  // read again (the listing then shows the state from before the run).
  virtual Status Outcome() const = 0;
  // After Wait returned true: whether the program was started, and how it
  // ended.
  virtual ProcessExit Exit() const { return {}; }
  // While Wait returns false: what is being waited for, in words a user
  // reads ("" when there is nothing to say beyond the program running).
  virtual std::wstring WaitingFor() const { return L""; }
};

}  // namespace orvane
