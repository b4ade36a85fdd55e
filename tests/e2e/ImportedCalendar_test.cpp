// An imported calendar lived by a booted phone: the series' excluded first occurrence, a free
// event and the occurrence moved away pass quietly; the kept, the moved-to and the last
// occurrence silence the phone. Events last two minutes, on a fast clock.
#include <gtest/gtest.h>

#include "tests/support/Phone.h"

namespace {

// Every six minutes from 09:00: 09:00 excluded, 09:06 kept, 09:12 moved to 09:14, 09:18 kept.
constexpr const char* kMorning =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//Morning//EN\r\nX-WR-CALNAME:Morning\r\n"
    "BEGIN:VEVENT\r\nUID:pulse@test\r\nSUMMARY:Pulse\r\n"
    "DTSTART;TZID=Europe/Berlin:20261207T090000\r\nDTEND;TZID=Europe/Berlin:20261207T090200\r\n"
    "RRULE:FREQ=MINUTELY;INTERVAL=6;COUNT=4\r\nEXDATE;TZID=Europe/Berlin:20261207T090000\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:pulse@test\r\nSUMMARY:Pulse (moved)\r\nRECURRENCE-ID;TZID=Europe/Berlin:20261207T091200\r\n"
    "DTSTART:20261207T081400Z\r\nDTEND:20261207T081600Z\r\nEND:VEVENT\r\n"
    "BEGIN:VEVENT\r\nUID:coffee@test\r\nSUMMARY:Coffee\r\nTRANSP:TRANSPARENT\r\n"
    "DTSTART;TZID=Europe/Berlin:20261207T090200\r\nDTEND;TZID=Europe/Berlin:20261207T090400\r\nEND:VEVENT\r\n"
    "END:VCALENDAR\r\n";

TEST(ImportedCalendar, BootedPhoneSilencesExactlyTheQualifyingOccurrences) {
  Phone phone;
  phone.write("/tmp/morning.ics", kMorning);
  Outcome imported = phone.run({"phonesim", "import", phone.root(), phone.at("/tmp/morning.ics"), "--from",
                                "2026-12-07 00:00", "--to", "2026-12-08 00:00"});
  ASSERT_TRUE(imported.exited(0)) << imported.err;

  phone.boot(todayAt("08:59:30"), kBootSpeed);
  json s;
  EXPECT_FALSE(phone.waitFor(silenced, todayAt("09:05:55"), &s)) << "silenced for the excluded or the free event";
  for (const char* start : {"09:06:00", "09:14:00", "09:18:00"}) {
    const time_t from = todayAt(start);
    ASSERT_TRUE(phone.waitFor(silenced, from + 90, &s)) << start << " " << s.dump(1);
    EXPECT_FALSE(phone.waitFor(released, from + 115, &s)) << start << ": released before the end";
    ASSERT_TRUE(phone.waitFor(released, from + 200, &s)) << start << " " << s.dump(1);
    if (from == todayAt("09:06:00")) EXPECT_FALSE(phone.waitFor(silenced, todayAt("09:13:55"), &s)) << "silenced where the moved occurrence was";
  }
  EXPECT_EQ(phone.count("Event started"), 3);
}

}  // namespace
