// The autostart role: whether the desktop session starts the program. One
// entry per user, whichever machine is open.
#pragma once

#include "platform/status.h"

namespace orvane {

class Autostart {
 public:
  virtual ~Autostart() = default;

  // A platform without a desktop session keeps these defaults, which fail
  // and say so.

  // Makes the desktop session start the program on the user's default
  // machine (on), or no longer (off; Ok when it was not set up). The machine
  // this platform works on is never named in it, so opening another machine
  // leaves it as it is. Nothing is written in any machine. Nothing changes
  // when it fails.
  virtual Status SetSessionStart(bool on) {
    (void)on;
    return Status::Error(L"This platform cannot start the program with the session.", StatusCode::kUnsupported);
  }
  // True when the session starts the program as SetSessionStart(true) set it
  // up and the desktop has not turned that off since.
  virtual bool SessionStartIsOn() { return false; }
};

}  // namespace orvane
