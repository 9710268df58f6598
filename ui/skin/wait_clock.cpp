#include "ui/skin/wait_clock.h"

namespace orvane {

WaitClock& DefaultWaitClock() {
  static auto* clock = new RealWaitClock();  // never destroyed: detached threads may still use it
  return *clock;
}

}  // namespace orvane
