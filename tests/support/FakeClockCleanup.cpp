// Linked into every test binary: before and after each run, the faketime segments of
// processes that were killed are removed (see FakeClockSegments.h).
#include <gtest/gtest.h>

#include "tests/support/FakeClockSegments.h"

namespace {

class FakeClockCleanup : public testing::Environment {
 public:
  void SetUp() override { removeStaleFakeClockSegments(); }
  void TearDown() override { removeStaleFakeClockSegments(); }
};

[[maybe_unused]] testing::Environment* const registered =
    testing::AddGlobalTestEnvironment(new FakeClockCleanup);

}  // namespace
