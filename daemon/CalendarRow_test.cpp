// Which events silence the phone: the same rows must count for detection and for the next
// wake, in the events' own dates and in the occurrence cache alike.
#include "daemon/CalendarRow.h"

#include <gtest/gtest.h>

#include "daemon/DaemonState.h"
#include "daemon/EventDetection.h"
#include "daemon/NextWake.h"
#include "tests/support/Phone.h"

namespace {

struct Row {
  const char* name;
  int availability;
  std::optional<std::string> notes;
  int calendar;
  bool allDay;
  int watched;  // "CalendarID"
  bool qualifies;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class Qualification : public testing::TestWithParam<std::tuple<Row, bool>> {};

TEST_P(Qualification, DetectionAndNextWakeAgree) {
  const auto& [row, recurring] = GetParam();
  Phone phone;
  phone.set({{kCalendarID, row.watched}});
  VersionMajor = 7;
  Event event{localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00"), row.availability, row.notes,
              row.calendar, row.allDay};
  if (recurring) {
    // Only the cached occurrence is today; the event's own dates lie a week back.
    event.occurrences = {event.start};
    event.start -= 7 * 86400;
    event.end -= 7 * 86400;
  }
  phone.addEvent(event);

  EXPECT_EQ(runningEvent(localTime("2026-12-07 09:30:00")), row.qualifies);
  setMiddleOfEvent(true);
  EXPECT_EQ(getWakeUpDate(localTime("2026-12-07 09:30:00")), row.qualifies ? localTime("2026-12-07 10:00:00") : 0);
  setMiddleOfEvent(false);
  EXPECT_EQ(getWakeUpDate(localTime("2026-12-07 08:00:00")), row.qualifies ? localTime("2026-12-07 09:00:00") : 0);
  EXPECT_EQ(phone.setting(recurring ? kUpdatedNextWait2Found : kUpdatedNextWait1Found).is_null(), !row.qualifies);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Qualification,
    testing::Combine(
        testing::Values(Row{"Free", 1, std::nullopt, 1, false, 0, false}, Row{"FreeMarkedCapitalSilent", 1, "!Silent", 1, false, 0, false},
                        Row{"BusyMarkedRingInAnyCase", 0, "call me !rInG", 1, false, 0, false},
                        Row{"RingBeatsSilent", 1, "!silent !RING", 1, false, 0, false}, Row{"BusyWithEmptyNotes", 0, "", 1, false, 0, true},
                        Row{"AllDay", 0, std::nullopt, 1, true, 0, false}, Row{"OtherCalendar", 0, std::nullopt, 1, false, 2, false},
                        Row{"WatchedCalendarMarkedSilent", 1, "!silent", 2, false, 2, true},
                        Row{"WatchedCalendarFree", 1, std::nullopt, 2, false, 2, false}),
        testing::Bool()),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "Occurrence" : "Event"); });

}  // namespace
