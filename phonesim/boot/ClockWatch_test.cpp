// A clock that was set, told from one that merely runs fast or from a machine that stalls.
#include "phonesim/boot/ClockWatch.h"

#include <gtest/gtest.h>

TEST(ClockWatch, AJumpIsSeenOnceAndAStallOrAFastClockIsNone) {
  struct {
    const char* name;
    double rate;  // phone seconds per machine second
    int jumpAt;   // the step where the wall clock is moved by `jump` seconds
    double jump, stall;
    int jumpsSeen;
  } table[] = {{"machine stalls 3 s", 30, 8, 0, 3.0, 0},
               {"set forward an hour", 30, 10, 3600, 0, 1},
               {"set back before the rate is known", 30, 1, -3600, 0, 1}};
  for (const auto& steps : table) {
    ClockWatch watch;
    double wall = 1e6, monotonic = 500, elapsed = 0;
    int jumps = clockJumped(&watch, wall, monotonic) ? 1 : 0;
    for (int step = 0; step < 20; ++step) {
      double pause = step == steps.jumpAt ? 0.017 + steps.stall : 0.017;
      monotonic += pause;
      elapsed += pause * steps.rate;
      wall += pause * steps.rate + (step == steps.jumpAt ? steps.jump : 0);
      jumps += clockJumped(&watch, wall, monotonic) ? 1 : 0;
    }
    EXPECT_EQ(jumps, steps.jumpsSeen) << steps.name;
    EXPECT_NEAR(watch.steady, elapsed, 0.6) << steps.name << ": the steady clock leaves the jump out";
  }
}
