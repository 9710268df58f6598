// The pauses that set the pace of scans and repairs. They are behaviour (a
// section lasts at least two seconds, a repaired record one), but they go
// through a Pacer so that tests can check them without waiting and the
// command line can skip them (it does unless `--pace spec` asks for them).
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace orvane {

class Pacer {
 public:
  virtual ~Pacer() = default;
  // Waits milliseconds (or records that it would). Any thread may call.
  virtual void Pause(uint32_t milliseconds) = 0;
  // For a caller that must not block (a window on the interface thread):
  // notes the pause as Pause would and returns how long the caller should
  // wait in its own way (0: go on at once).
  virtual uint32_t Delay(uint32_t milliseconds) = 0;
};

// Sleeps for real.
class SleepPacer : public Pacer {
 public:
  void Pause(uint32_t milliseconds) override;
  uint32_t Delay(uint32_t milliseconds) override { return milliseconds; }
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
  mutable std::mutex mutex_;
  std::vector<uint32_t> pauses_;
};

}  // namespace orvane
