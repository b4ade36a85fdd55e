#include "NSRunLoop.h"

#include <time.h>

#include <algorithm>
#include <cmath>

double monotonicSeconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

namespace {

// Sleeps through nanosleep, which faketime shortens by its speed-up factor.
void sleepSeconds(double seconds) {
  if (seconds <= 0) return;
  struct timespec wait;
  wait.tv_sec = static_cast<time_t>(seconds);
  wait.tv_nsec = static_cast<long>((seconds - static_cast<double>(wait.tv_sec)) * 1e9);
  nanosleep(&wait, nullptr);
}

}  // namespace

NSTimer::NSTimer(double interval, bool repeats, std::function<void()> action)
    : interval_(interval), repeats_(repeats), action_(std::move(action)) {}

NSRunLoop& NSRunLoop::currentRunLoop() {
  thread_local NSRunLoop runLoop;
  return runLoop;
}

std::shared_ptr<NSTimer> NSRunLoop::scheduledTimerWithTimeInterval(double interval, bool repeats,
                                                                   std::function<void()> action) {
  auto timer = std::make_shared<NSTimer>(interval, repeats, std::move(action));
  timer->fireAt_ = monotonicSeconds() + interval;
  timers_.push_back(timer);
  return timer;
}

bool NSRunLoop::hasTimers() {
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [](const std::shared_ptr<NSTimer>& t) { return !t->isValid(); }),
                timers_.end());
  return !timers_.empty();
}

void NSRunLoop::fireDueTimers() {
  double now = monotonicSeconds();
  // Copy: an action may schedule or invalidate timers.
  auto due = timers_;
  for (auto& timer : due) {
    if (!timer->isValid() || timer->fireAt_ > now) continue;
    if (timer->repeats_) {
      timer->fireAt_ = now + std::max(timer->interval_, 0.001);
    } else {
      timer->invalidate();
    }
    timer->action_();
  }
  hasTimers();
}

void NSRunLoop::runForInterval(double seconds) {
  double deadline = monotonicSeconds() + seconds;
  for (;;) {
    fireDueTimers();
    double now = monotonicSeconds();
    if (now >= deadline) return;
    double wake = deadline;
    for (auto& timer : timers_) wake = std::min(wake, timer->fireAt_);
    sleepSeconds(wake - now);
  }
}

void NSRunLoop::runUntilDate(double seconds) {
  double deadline = monotonicSeconds() + seconds;
  for (;;) {
    fireDueTimers();
    if (!hasTimers()) return;
    double now = monotonicSeconds();
    if (now >= deadline) return;
    double wake = deadline;
    for (auto& timer : timers_) wake = std::min(wake, timer->fireAt_);
    sleepSeconds(wake - now);
  }
}
