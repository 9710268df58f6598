// How the animation thread and its stopper wait. The real clock waits on a
// condition variable with a timeout; tests put in one that records each
// requested wait and returns without the time passing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace orvane {

class WaitClock {
 public:
  virtual ~WaitClock() = default;
  // Called with `lock` held. Waits on `cv` until `done()` is true or
  // `timeout` has passed, and returns done(). Any thread may call.
  virtual bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                       std::chrono::milliseconds timeout, const std::function<bool()>& done) = 0;
};

class RealWaitClock : public WaitClock {
 public:
  bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
               std::chrono::milliseconds timeout, const std::function<bool()>& done) override {
    return cv.wait_for(lock, timeout, done);
  }
};

// The process-wide real clock (never destroyed).
WaitClock& DefaultWaitClock();

}  // namespace orvane
