#include "daemon/MutarodAppDelegate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Foundation/TempDeviceRoot.h"

namespace {

std::vector<SimulatedAssertion> ownAssertions() {
  std::vector<SimulatedAssertion> own;
  for (const SimulatedAssertion& assertion : simulatedPowerAssertions()) {
    if (assertion.pid == getpid()) own.push_back(assertion);
  }
  return own;
}

TEST(MutarodAppDelegateTest, PowerThreadHoldsOneNoIdleSleepAssertion) {
  TempDeviceRoot root;
  MutarodAppDelegate delegate;
  delegate.powerCheckThread(nullptr);  // returns at once: no renewal timer is scheduled
  std::vector<SimulatedAssertion> held = ownAssertions();
  ASSERT_EQ(1u, held.size());
  EXPECT_EQ("NoIdleSleepAssertion", held[0].type);
  EXPECT_EQ(255, held[0].level);
  EXPECT_FALSE(delegate._ioPMTimer);

  EXPECT_TRUE(delegate.setPowerAlive(true));
  EXPECT_EQ(1u, ownAssertions().size()) << "a held assertion is not taken twice";

  IOPMAssertionID before = delegate._ioPMAssertion;
  delegate.handlePMTimer(nullptr);
  EXPECT_NE(before, delegate._ioPMAssertion) << "renewal takes a new assertion";
  EXPECT_EQ(1u, ownAssertions().size());

  EXPECT_TRUE(delegate.setPowerAlive(false));
  EXPECT_TRUE(ownAssertions().empty());
}

}  // namespace
