#pragma once
// The clock of the test process itself, from libfaketime: for tests that call the system's
// code in-process and set "now" themselves, and for tests whose code sleeps.
#include <string>

constexpr const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

// Re-executes this test binary under libfaketime with the clock frozen at `localTime` (in
// the test time zone); returns only in the re-executed process. Call from main.
void reexecUnderFakeClock(char** argv, const char* localTime = "2026-12-07 09:00:00");
// Freezes this process's clock (already under libfaketime) at a local time.
void setFakeNow(const std::string& localTime);

// For a test whose code sleeps: outside faketime, runs the current test again in a child of
// this binary whose clock runs `speed` times faster, expects it to pass and returns true (the
// caller then returns); under faketime returns false and the caller goes on with the test.
bool rerunOnFastClock(int speed = 20);
