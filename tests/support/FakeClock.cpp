#include "tests/support/FakeClock.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/Process.h"

bool rerunOnFastClock(int speed) {
  if (getenv("FAKETIME") != nullptr) return false;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  Outcome run = runProgram({"/proc/self/exe", std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()},
                           {.clock = "+0 x" + std::to_string(speed), .timeout = 120});
  EXPECT_TRUE(run.exited(0)) << run.out << run.err;
  return true;
}
