// For the tests and benchmarks of the engine and its users: findings put in
// the engine's list the way a later run finds them, and a pacer that holds a
// repair at a known record so that a test can stop it there.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "model/program_paths.h"

namespace orvane::testing {

// Writes records as the file of unresolved errors, as an earlier run that
// kept them would have, and loads it: the list holds them (sections 0..21)
// and each counts as found. False when the file could not be written.
inline bool LoadAsFound(CSarvelEngine& engine, const CErrorListEx& records) {
  Platform& platform = engine.platform();
  platform.CreateDirectory(DataFolder(platform));
  if (!WriteErrorFile(platform, engine.UnresolvedErrorsPath(), records)) return false;
  engine.LoadUnresolvedErrors();
  return true;
}

inline bool LoadAsFound(CSarvelEngine& engine, const std::vector<CError>& records) {
  CErrorListEx list;
  for (const CError& e : records) list.Add(e);
  return LoadAsFound(engine, list);
}

// Lets every pause pass but the one after the repaired record numbered
// hold_after (from 1; 0 holds none), which waits until the repair has been
// asked to stop: the worker ends after that record, as it does when Abort
// is pressed during it. `engine` must be set for anything to be held.
class GatePacer : public Pacer {
 public:
  explicit GatePacer(int hold_after) : hold_after_(hold_after) {}
  void Pause(uint32_t) override {
    CSarvelEngine* held = engine.load();
    if (++calls_ != hold_after_ || !held) return;
    holding_ = true;
    for (int i = 0; i < 20000; ++i) {
      const CRepairErrorsThread* worker = held->repair_thread();
      if (worker && worker->stop_requested()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  uint32_t Delay(uint32_t) override { return 0; }
  void Rearm(int hold_after) {
    hold_after_ = hold_after;
    calls_ = 0;
    holding_ = false;
  }
  // On the interface thread: waits (20 s at most) until the worker is held,
  // then stops the repair and waits for its end.
  void StopWhenHeld() {
    for (int i = 0; i < 20000 && !holding_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    engine.load()->StopRepair();
    engine.load()->WaitForRepair();
  }

  std::atomic<CSarvelEngine*> engine{nullptr};

 private:
  std::atomic<int> hold_after_;
  std::atomic<int> calls_{0};
  std::atomic<bool> holding_{false};
};

}  // namespace orvane::testing
