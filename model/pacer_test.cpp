#include "model/pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A stop must not wait out the pause a worker is in, nor any pause the
// worker meets on its way out; the next run is paced again.
TEST(PacerTest, InterruptEndsThePauseUnderWayAndSkipsTheRestUntilResumed) {
  SleepPacer pacer;
  const Clock::time_point start = Clock::now();
  std::future<void> worker = std::async(std::launch::async, [&] { pacer.Pause(5000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  pacer.Interrupt();
  worker.get();
  EXPECT_LT(MillisecondsSince(start), 1000);

  const Clock::time_point after = Clock::now();
  pacer.Pause(5000);
  EXPECT_LT(MillisecondsSince(after), 1000);
  EXPECT_EQ(pacer.Delay(2000), 0u);

  pacer.Resume();
  EXPECT_EQ(pacer.Delay(2000), 2000u);
  const Clock::time_point paced = Clock::now();
  pacer.Pause(30);
  EXPECT_GE(MillisecondsSince(paced), 25);
}

TEST(PacerTest, AnInterruptBeforeThePauseIsNotLost) {
  SleepPacer pacer;
  pacer.Interrupt();
  const Clock::time_point start = Clock::now();
  std::async(std::launch::async, [&] { pacer.Pause(5000); }).get();
  EXPECT_LT(MillisecondsSince(start), 1000);
}

}  // namespace
}  // namespace orvane
