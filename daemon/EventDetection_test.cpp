#include "daemon/EventDetection.h"

#include <gtest/gtest.h>

#include "daemon/DaemonState.h"
#include "daemon/NextWake.h"
#include "tests/support/Phone.h"

namespace {

bool runningAt(const char* time) { return runningEvent(localTime(std::string("2026-12-07 ") + time)); }

// Each system version has its own pair of statements and reads its own event table (a phone
// holds only that one): 5.0 is the first of the newer kind.
TEST(RunningEvent, BothEndsOfAnEventOrOccurrenceAreInsideIt) {
  for (const char* version : {"7.0.4", "5.0", "4.2.1"}) {
    SCOPED_TRACE(version);
    Phone phone(version);
    VersionMajor = std::atoi(version);
    phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
    phone.addEvent({.start = localTime("2026-11-30 11:00:00"), .end = localTime("2026-11-30 12:00:00"),
                    .occurrences = {localTime("2026-12-07 11:00:00")}});
    for (const auto& [time, running] : std::vector<std::pair<const char*, bool>>{
             {"08:59:59", false}, {"09:00:00", true}, {"10:00:00", true}, {"10:00:01", false},
             {"10:59:59", false}, {"11:00:00", true}, {"12:00:00", true}, {"12:00:01", false}}) {
      EXPECT_EQ(runningAt(time), running) << time;
    }
  }
}

// In the hour the autumn clock change repeats, an occurrence of the first pass through it is
// over by the second, though its local-time texts say otherwise.
TEST(ClockChange, AnOccurrenceOfTheFirstPassThroughTheRepeatedHourIsOverInTheSecond) {
  Phone phone;
  setenv("TZ", "America/New_York", 1);
  tzset();
  const time_t first = 1793511000;  // 2026-11-01 01:30 EDT, 05:30 UTC
  const time_t week = 7 * 86400;
  phone.addEvent({.start = first - week, .end = first - week + 600, .occurrences = {first, first + week + 3600}});
  VersionMajor = 7;
  EXPECT_TRUE(runningEvent(first + 300));
  EXPECT_FALSE(runningEvent(first + 3600 + 300)) << "01:35 EST";
  setMiddleOfEvent(false);
  EXPECT_EQ(getWakeUpDate(first + 3600 - 1200), first + week + 3600) << "at 01:10 EST the 01:30 EDT start is past";
}

}  // namespace
