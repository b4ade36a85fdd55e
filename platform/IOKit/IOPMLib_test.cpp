#include "platform/IOKit/IOPMLib.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/Foundation/TempDeviceRoot.h"
#include "platform/SimState/SimState.h"

namespace {

class IOPMLibTest : public testing::Test {
 protected:
  TempDeviceRoot root_;
};

// Starts a child that takes one assertion and then waits to be killed.
pid_t startHoldingChild() {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    alarm(30);  // never outlives a test run that went wrong
    IOPMAssertionID id;
    char status = IOPMAssertionCreate(kIOPMAssertionTypeNoIdleSleep, 255, &id) == kIOReturnSuccess;
    (void)!write(ready[1], &status, 1);
    for (;;) pause();
  }
  close(ready[1]);
  char status = 0;
  if (read(ready[0], &status, 1) != 1 || !status) child = -1;
  close(ready[0]);
  return child;
}

TEST_F(IOPMLibTest, CreateAndRelease) {
  EXPECT_TRUE(simulatedPowerAssertions().empty());
  IOPMAssertionID first = 0, second = 0;
  ASSERT_EQ(IOPMAssertionCreate(kIOPMAssertionTypeNoIdleSleep, kIOPMAssertionLevelOn, &first),
            kIOReturnSuccess);
  ASSERT_EQ(IOPMAssertionCreate("Other", 1, &second), kIOReturnSuccess);
  EXPECT_NE(first, second);

  std::vector<SimulatedAssertion> held = simulatedPowerAssertions();
  ASSERT_EQ(held.size(), 2u);
  EXPECT_EQ(held[0].pid, getpid());
  EXPECT_EQ(held[0].type, "NoIdleSleepAssertion");
  EXPECT_EQ(held[0].level, 255);
  EXPECT_EQ(held[1].type, "Other");

  EXPECT_EQ(IOPMAssertionRelease(first), kIOReturnSuccess);
  EXPECT_EQ(IOPMAssertionRelease(first), kIOReturnError);
  EXPECT_EQ(IOPMAssertionRelease(second + 1000), kIOReturnError);
  held = simulatedPowerAssertions();
  ASSERT_EQ(held.size(), 1u);
  EXPECT_EQ(held[0].type, "Other");
  EXPECT_EQ(IOPMAssertionRelease(second), kIOReturnSuccess);
  EXPECT_TRUE(simulatedPowerAssertions().empty());
}

TEST_F(IOPMLibTest, AssertionOfKilledProcessIsGone) {
  pid_t child = startHoldingChild();
  ASSERT_GT(child, 0);
  std::vector<SimulatedAssertion> held = simulatedPowerAssertions();
  EXPECT_EQ(held.size(), 1u);
  if (!held.empty()) {
    EXPECT_EQ(held[0].pid, child);
    EXPECT_EQ(held[0].type, "NoIdleSleepAssertion");
  }

  ASSERT_EQ(kill(child, SIGKILL), 0);
  // Not reaped yet: the ended child is a zombie that still has its /proc entry.
  siginfo_t info;
  ASSERT_EQ(waitid(P_PID, child, &info, WEXITED | WNOWAIT), 0);
  EXPECT_TRUE(simulatedPowerAssertions().empty());
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_TRUE(simulatedPowerAssertions().empty());
}

TEST_F(IOPMLibTest, ReusedPidDoesNotReviveAnAssertion) {
  // A record left by an earlier process that had this pid: same pid, other start time.
  std::string pid = std::to_string(getpid());
  root_.write(simStatePath("power/" + pid + "-4000000000"),
              pid + "\n1\n255\nNoIdleSleepAssertion\n");
  EXPECT_TRUE(simulatedPowerAssertions().empty());
}

}  // namespace
