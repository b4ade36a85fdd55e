#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "NSTimer.h"

// A per-thread run loop that serves its own timers while it waits.
class NSRunLoop {
 public:
  // The calling thread's run loop, made on first use.
  static NSRunLoop& currentRunLoop();

  // Schedules a timer on this run loop; it first fires `interval` seconds from now.
  std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(double interval, bool repeats,
                                                          std::function<void()> action);

  // Waits `seconds` in full, firing due timers meanwhile.
  void runForInterval(double seconds);

  // Serves timers for at most `seconds`; returns at once when no valid timer is scheduled
  // (and as soon as the last one is invalidated).
  void runUntilDate(double seconds);

  bool hasTimers();

 private:
  void fireDueTimers();
  std::vector<std::shared_ptr<NSTimer>> timers_;
};

// Seconds on the monotonic clock (faked and sped up alike by faketime).
double monotonicSeconds();
