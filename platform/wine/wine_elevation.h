// A Wine prefix belongs to the user who runs the program: its files are the
// user's own, so no raised rights are ever needed.
#pragma once

#include "platform/elevation.h"

namespace orvane::wine {

class WineElevation : public Elevation {
 public:
  bool NeedsElevation() override { return false; }
  void RelaunchElevated(const std::wstring&) override {}
};

}  // namespace orvane::wine
