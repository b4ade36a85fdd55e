#include "platform/AppSupport/CPWake.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/Phone.h"

namespace {

constexpr time_t kNine = 1796634000;  // 2026-12-07 09:00:00 UTC

TEST(CPWake, ConcurrentSchedulersLoseNoWake) {
  Phone phone;
  constexpr int kEach = 50;
  for (int process = 0; process < 2; ++process) {
    if (fork() == 0) {
      for (int i = 0; i < kEach; ++i) CPScheduleWakeAtDateWithIdentifier(kNine + i, std::to_string(process).c_str());
      _exit(0);
    }
  }
  while (wait(nullptr) > 0) continue;
  std::vector<int> next(2, 0);
  for (const ScheduledWake& wake : simulatedWakes()) EXPECT_EQ(wake.time, kNine + next[std::stoi(wake.scheduledby)]++);
  EXPECT_EQ(next, (std::vector<int>{kEach, kEach}));
}

}  // namespace
