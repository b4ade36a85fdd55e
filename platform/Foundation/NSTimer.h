#pragma once
#include <functional>

class NSRunLoop;

// A timer scheduled on one thread's run loop; it fires only while that run loop runs.
class NSTimer {
 public:
  NSTimer(double interval, bool repeats, std::function<void()> action);
  void invalidate() { valid_ = false; }
  bool isValid() const { return valid_; }

 private:
  friend class NSRunLoop;
  double interval_;
  bool repeats_;
  std::function<void()> action_;
  double fireAt_ = 0;  // seconds on the monotonic clock
  bool valid_ = true;
};
