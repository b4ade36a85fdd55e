#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "tests/support/Phone.h"
#include "tests/support/Process.h"

void reexecUnderFakeClock(char** argv, const char* localTime) {
  setenv("TZ", kTestTimeZone, 1);
  const char* preload = getenv("LD_PRELOAD");
  if (preload != nullptr && strstr(preload, "faketime") != nullptr) return;
  setenv("LD_PRELOAD", kFakeTimeLibrary, 1);
  setenv("FAKETIME_NO_CACHE", "1", 1);
  setenv("FAKETIME", localTime, 1);
  // A sanitized binary must accept the clock library loaded ahead of its runtime.
  setenv("ASAN_OPTIONS", (std::string(getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "") + ":verify_asan_link_order=0").c_str(), 1);
  execv("/proc/self/exe", argv);
  perror("exec under faketime");
  _exit(127);
}

void setFakeNow(const std::string& localTime) { setenv("FAKETIME", localTime.c_str(), 1); }

bool rerunOnFastClock(int speed) {
  if (getenv("FAKETIME") != nullptr) return false;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  Outcome run = runProgram({"/proc/self/exe", std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()},
                           {.clock = "+0 x" + std::to_string(speed), .timeout = 120});
  EXPECT_TRUE(run.exited(0)) << run.out << run.err;
  return true;
}
