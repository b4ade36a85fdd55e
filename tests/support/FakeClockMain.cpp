// Entry point of tests that call the system's code in-process on a clock they set themselves
// (setFakeNow): the binary runs again under libfaketime.
#include <gtest/gtest.h>

#include "tests/support/FakeClock.h"

int main(int argc, char** argv) {
  reexecUnderFakeClock(argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
