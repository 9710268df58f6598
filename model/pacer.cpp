#include "model/pacer.h"

#include <chrono>

namespace orvane {

void Pacer::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
  }
  wake_.notify_all();
}

void Pacer::Resume() {
  std::lock_guard lock(mutex_);
  interrupted_ = false;
}

bool Pacer::interrupted() const {
  std::lock_guard lock(mutex_);
  return interrupted_;
}

void Pacer::WaitUnlessInterrupted(uint32_t milliseconds) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return interrupted_; });
}

void RecordingPacer::Pause(uint32_t milliseconds) {
  std::lock_guard lock(pauses_mutex_);
  pauses_.push_back(milliseconds);
}

std::vector<uint32_t> RecordingPacer::pauses() const {
  std::lock_guard lock(pauses_mutex_);
  return pauses_;
}

}  // namespace orvane
