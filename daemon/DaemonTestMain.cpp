// Entry point of the in-process daemon tests: they run under libfaketime so that each test can
// set the clock that the daemon's code and the database engine read.
#include <gtest/gtest.h>

#include "daemon/DaemonTestSupport.h"

int main(int argc, char** argv) {
  reexecUnderFakeClock(argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
