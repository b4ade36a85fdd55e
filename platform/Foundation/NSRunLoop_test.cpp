#include "platform/Foundation/NSRunLoop.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(NSRunLoopTest, RunForIntervalWaitsInFullAndFiresTimers) {
  NSRunLoop& loop = NSRunLoop::currentRunLoop();
  int fired = 0;
  auto timer = loop.scheduledTimerWithTimeInterval(0.05, true, [&] { ++fired; });
  double start = monotonicSeconds();
  loop.runForInterval(0.3);
  double waited = monotonicSeconds() - start;
  timer->invalidate();
  EXPECT_GE(waited, 0.3);
  EXPECT_LT(waited, 1.0);
  EXPECT_GE(fired, 3);
  EXPECT_FALSE(loop.hasTimers());
}

TEST(NSRunLoopTest, RunForIntervalWaitsEvenWithoutTimers) {
  double start = monotonicSeconds();
  NSRunLoop::currentRunLoop().runForInterval(0.1);
  EXPECT_GE(monotonicSeconds() - start, 0.1);
}

TEST(NSRunLoopTest, RunUntilDateEndsAtOnceWithoutTimersAndWhenTheLastOneIsGone) {
  NSRunLoop& loop = NSRunLoop::currentRunLoop();
  double start = monotonicSeconds();
  loop.runUntilDate(300);
  EXPECT_LT(monotonicSeconds() - start, 0.05);

  bool fired = false;
  loop.scheduledTimerWithTimeInterval(0.05, false, [&] { fired = true; });
  start = monotonicSeconds();
  loop.runUntilDate(300);
  EXPECT_TRUE(fired);
  EXPECT_LT(monotonicSeconds() - start, 1.0);
}

TEST(NSRunLoopTest, EachThreadHasItsOwnRunLoop) {
  NSRunLoop* main = &NSRunLoop::currentRunLoop();
  NSRunLoop* other = nullptr;
  std::thread([&] { other = &NSRunLoop::currentRunLoop(); }).join();
  EXPECT_NE(main, other);
}

}  // namespace
