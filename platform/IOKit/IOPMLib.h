#pragma once
// IOKit power assertions. An assertion held by a process is gone when the process ends,
// however it ends.
#include <cstdint>
#include <string>
#include <vector>

using IOPMAssertionID = uint32_t;
using IOPMAssertionLevel = uint32_t;
using IOReturn = int;
constexpr IOReturn kIOReturnSuccess = 0;
constexpr IOReturn kIOReturnError = 0x2bc;
constexpr IOPMAssertionLevel kIOPMAssertionLevelOn = 255;
constexpr const char* kIOPMAssertionTypeNoIdleSleep = "NoIdleSleepAssertion";

IOReturn IOPMAssertionCreate(const char* type, IOPMAssertionLevel level, IOPMAssertionID* id);
IOReturn IOPMAssertionRelease(IOPMAssertionID id);

struct SimulatedAssertion {
  int pid;
  std::string type;
  int level;
};
// Assertions held now by live processes.
std::vector<SimulatedAssertion> simulatedPowerAssertions();
