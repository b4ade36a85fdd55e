#include "daemon/EventDetection.h"

#include <gtest/gtest.h>

#include "daemon/DaemonState.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Phone.h"

namespace {

bool runningAt(const char* time) {
  setFakeNow(time);
  return runningEvent();
}

TEST(RunningEvent, BothEndsOfAnEventOrOccurrenceAreInsideIt) {
  Phone phone;
  VersionMajor = 7;
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
  phone.addEvent({.start = localTime("2026-11-30 11:00:00"), .end = localTime("2026-11-30 12:00:00"),
                  .occurrences = {localTime("2026-12-07 11:00:00")}});
  EXPECT_FALSE(runningAt("2026-12-07 08:59:59"));
  EXPECT_TRUE(runningAt("2026-12-07 09:00:00"));
  EXPECT_TRUE(runningAt("2026-12-07 10:00:00"));
  EXPECT_FALSE(runningAt("2026-12-07 10:00:01"));
  EXPECT_FALSE(runningAt("2026-12-07 10:59:59"));
  EXPECT_TRUE(runningAt("2026-12-07 11:00:00"));
  EXPECT_TRUE(runningAt("2026-12-07 12:00:00"));
  EXPECT_FALSE(runningAt("2026-12-07 12:00:01"));
}

TEST(RunningEvent, TheVersionPicksTheTable) {
  Phone phone("4.2.1");
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
  setFakeNow("2026-12-07 09:30:00");
  VersionMajor = 4;
  EXPECT_TRUE(runningEvent());
  VersionMajor = 5;
  EXPECT_FALSE(runningEvent()) << "no CalendarItem table on this phone";
}

TEST(RunningEvent, AMissingOrEmptyDatabaseIsNoEventAndIsNotCreated) {
  Phone phone;
  VersionMajor = 7;
  phone.remove(kCalendarDatabasePath);
  EXPECT_FALSE(runningEvent());
  EXPECT_FALSE(phone.exists(kCalendarDatabasePath));
  phone.write(kCalendarDatabasePath, "");
  EXPECT_FALSE(runningEvent());
}

}  // namespace
