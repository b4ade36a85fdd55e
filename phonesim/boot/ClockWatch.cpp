#include "phonesim/boot/ClockWatch.h"

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr size_t kRateSamples = 15;
constexpr size_t kFewestSamples = 3;
// Shorter steps carry too little of either clock to tell a rate.
constexpr double kShortestStep = 0.002;

double medianOf(const std::deque<double>& values) {
  std::vector<double> sorted(values.begin(), values.end());
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  return sorted[sorted.size() / 2];
}

double seconds(const timespec& time) { return time.tv_sec + time.tv_nsec / 1e9; }

}  // namespace

bool clockJumped(ClockWatch* watch, double wall, double monotonic) {
  if (!watch->started) {
    *watch = {wall, monotonic, true, {}, 0};
    return false;
  }
  const double wallStep = wall - watch->lastWall;
  const double monotonicStep = monotonic - watch->lastMonotonic;
  watch->lastWall = wall;
  watch->lastMonotonic = monotonic;
  // A wall clock that went back was set back, whatever the rate; one that went forward only
  // tells against a rate already learnt, from a step long enough to carry one.
  if (wallStep < -kClockJumpSeconds) {
    watch->steady += monotonicStep * (watch->rates.empty() ? 1 : medianOf(watch->rates));
    return true;
  }
  if (monotonicStep < kShortestStep) {
    watch->steady += std::max(wallStep, 0.0);
    return false;
  }
  if (watch->rates.size() >= kFewestSamples) {
    const double expected = monotonicStep * medianOf(watch->rates);
    if (std::fabs(wallStep - expected) > kClockJumpSeconds) {
      watch->steady += expected;
      return true;
    }
  }
  watch->steady += std::max(wallStep, 0.0);
  watch->rates.push_back(wallStep / monotonicStep);
  if (watch->rates.size() > kRateSamples) watch->rates.pop_front();
  return false;
}

double wallSeconds() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return seconds(now);
}

// The system call itself: a clock library preloaded into the phone (faketime) moves every
// clock it answers for, the monotonic one too, when the phone's clock is set.
double machineMonotonicSeconds() {
  timespec now;
  syscall(SYS_clock_gettime, CLOCK_MONOTONIC, &now);
  return seconds(now);
}
