// The pauses that set the pace of scans and repairs. They are behaviour (a
// section lasts at least two seconds, a repaired record one), but they go
// through a Pacer so that tests can check them without waiting and the
// command line can skip them (it does unless `--pace spec` asks for them).
//
// A stop request must not wait out a pause: Interrupt() ends the pause in
// hand and makes every later one return at once, until Resume() (the start
// of the next run).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace orvane {

class Pacer {
 public:
  virtual ~Pacer() = default;
  // Waits milliseconds (or records that it would); returns early, and at
  // once, while interrupted. Any thread may call.
  virtual void Pause(uint32_t milliseconds) = 0;
  // For a caller that must not block (a window on the interface thread):
  // notes the pause as Pause would and returns how long the caller should
  // wait in its own way (0: go on at once, as always while interrupted).
  virtual uint32_t Delay(uint32_t milliseconds) = 0;
  // Wakes every pause now under way and skips those that follow. Any
  // thread; never waits.
  void Interrupt();
  // Pauses last their time again. Call before a run starts.
  void Resume();
  bool interrupted() const;

 protected:
  // Waits until milliseconds have passed or Interrupt() was called.
  void WaitUnlessInterrupted(uint32_t milliseconds);

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool interrupted_ = false;
};

// Waits for real.
class SleepPacer : public Pacer {
 public:
  void Pause(uint32_t milliseconds) override { WaitUnlessInterrupted(milliseconds); }
  uint32_t Delay(uint32_t milliseconds) override { return interrupted() ? 0 : milliseconds; }
};

// Returns at once.
class NoPacer : public Pacer {
 public:
  void Pause(uint32_t) override {}
  uint32_t Delay(uint32_t) override { return 0; }
};

// Returns at once and keeps every requested pause, in order.
class RecordingPacer : public Pacer {
 public:
  void Pause(uint32_t milliseconds) override;
  uint32_t Delay(uint32_t milliseconds) override {
    Pause(milliseconds);
    return 0;
  }
  std::vector<uint32_t> pauses() const;

 private:
  mutable std::mutex pauses_mutex_;
  std::vector<uint32_t> pauses_;
};

}  // namespace orvane
