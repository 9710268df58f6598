// The autostart role over a Wine prefix: an XDG autostart entry,
// "orvane.desktop" in the configuration folder's autostart/, that runs the
// host program without naming a prefix, so at login it opens the user's
// default machine (wine_autostart.cpp).
#pragma once

#include "platform/autostart.h"
#include "platform/wine/wine_machine.h"

namespace orvane::wine {

class WineAutostart : public virtual Autostart {
 public:
  explicit WineAutostart(WineMachine& machine) : machine_(machine) {}

  // Refused, with the reason, for a program path the desktop could not start.
  Status SetSessionStart(bool on) override;
  // The entry is there, runs a program, and is not Hidden or disabled.
  bool SessionStartIsOn() override;

 private:
  WineMachine& machine_;
};

}  // namespace orvane::wine
