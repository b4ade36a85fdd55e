// Telling a clock that was set from one that merely runs fast, or from a machine that stalls.
#include "phonesim/ClockWatch.h"

#include <gtest/gtest.h>

namespace {

struct Steps {
  const char* name;
  double rate;                 // phone seconds per machine second
  std::vector<double> pauses;  // machine seconds between readings
  double jumpAt;               // reading index where the wall clock is moved, -1 for none
  double jump;                 // by this many phone seconds
  int jumpsSeen;
};

TEST(ClockWatch, AJumpIsSeenOnceAndAStallOrAFastClockIsNone) {
  const Steps table[] = {
      {"steady fast clock", 30, std::vector<double>(40, 0.017), -1, 0, 0},
      {"machine stalls 3 s", 30, {0.017, 0.017, 0.017, 0.017, 3.0, 0.017, 0.017}, -1, 0, 0},
      {"set back an hour", 30, std::vector<double>(20, 0.017), 10, -3600, 1},
      {"set forward an hour", 30, std::vector<double>(20, 0.017), 10, 3600, 1},
      {"set back a minute at the machine's own rate", 1, std::vector<double>(20, 0.5), 12, -60, 1},
      {"back before the rate is known", 30, std::vector<double>(5, 0.017), 1, -3600, 1},
  };
  for (const Steps& steps : table) {
    ClockWatch watch;
    double wall = 1'000'000, monotonic = 500;
    int jumps = clockJumped(&watch, wall, monotonic) ? 1 : 0;
    for (size_t i = 0; i < steps.pauses.size(); ++i) {
      monotonic += steps.pauses[i];
      wall += steps.pauses[i] * steps.rate + (static_cast<double>(i) == steps.jumpAt ? steps.jump : 0);
      jumps += clockJumped(&watch, wall, monotonic) ? 1 : 0;
    }
    EXPECT_EQ(jumps, steps.jumpsSeen) << steps.name;
    double elapsed = 0;
    for (double pause : steps.pauses) elapsed += pause * steps.rate;
    EXPECT_NEAR(watch.steady, elapsed, 0.5) << steps.name << ": the steady clock leaves the jump out";
  }
}

}  // namespace
