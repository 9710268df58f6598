#include "model/pacer.h"

#include <chrono>
#include <thread>

namespace orvane {

void SleepPacer::Pause(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void RecordingPacer::Pause(uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  pauses_.push_back(milliseconds);
}

std::vector<uint32_t> RecordingPacer::pauses() const {
  std::lock_guard lock(mutex_);
  return pauses_;
}

}  // namespace orvane
