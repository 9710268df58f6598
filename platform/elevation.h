// Whether the program must run with raised rights, and the relaunch that
// gets them. Asked once at start, before any machine is opened.
#pragma once

#include <string>

namespace orvane {

class Elevation {
 public:
  virtual ~Elevation() = default;
  // True when this process lacks the rights the program needs and the
  // system can grant them to a new process.
  virtual bool NeedsElevation() = 0;
  // Starts the program anew with raised rights and the given parameters.
  // Whether it started is not reported (the user may decline).
  virtual void RelaunchElevated(const std::wstring& parameters) = 0;
};

}  // namespace orvane
