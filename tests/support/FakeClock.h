#pragma once
// The clock of the test process itself, for tests whose code sleeps: libfaketime runs it fast.
#include <string>

constexpr const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

// Outside faketime, runs the current test again in a child of this binary whose clock runs
// `speed` times faster, expects it to pass and returns true (the caller then returns); under
// faketime returns false and the caller goes on with the test.
bool rerunOnFastClock(int speed = 20);
