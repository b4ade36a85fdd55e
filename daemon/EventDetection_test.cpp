#include "daemon/EventDetection.h"

#include <gtest/gtest.h>

#include "daemon/DaemonState.h"
#include "daemon/DaemonTestSupport.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/TempDeviceRoot.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace {

class RunningEventTest : public testing::Test {
 protected:
  void SetUp() override {
    VersionMajor = 7;
    setFakeNow("2026-12-07 09:30:00");
    watchCalendar(std::nullopt);
  }

  // Writes the settings file; no value leaves "CalendarID" out.
  void watchCalendar(std::optional<int> calendar) {
    NSMutableDictionary settings;
    settings.setBool(kEventInProgress, false);
    if (calendar) settings.setInt(kCalendarID, *calendar);
    ASSERT_TRUE(settings.writeToFileAtomically(kSettingsPath));
  }

  bool runningAt(const char* localText) {
    setFakeNow(localText);
    return runningEvent();
  }

  TempDeviceRoot root_;
  CalendarDatabase calendar_{root_.at(kTestCalendarPath)};
};

TEST_F(RunningEventTest, BothEndsOfAnEventAreInsideIt) {
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  EXPECT_FALSE(runningAt("2026-12-07 08:59:59"));
  EXPECT_TRUE(runningAt("2026-12-07 09:00:00"));
  EXPECT_TRUE(runningAt("2026-12-07 10:00:00"));
  EXPECT_FALSE(runningAt("2026-12-07 10:00:01"));
}

TEST_F(RunningEventTest, FreeEventCountsOnlyWithTheSilentMarkerInExactCase) {
  calendar_.add({.start = "2026-12-07 09:00:00", .end = "2026-12-07 10:00:00", .availability = 1});
  EXPECT_FALSE(runningEvent());
  calendar_.add({.start = "2026-12-07 09:10:00", .end = "2026-12-07 10:00:00", .availability = 1,
                 .notes = "quiet please !Silent"});
  EXPECT_FALSE(runningEvent());
  calendar_.add({.start = "2026-12-07 09:20:00", .end = "2026-12-07 10:00:00", .availability = 1,
                 .notes = "quiet please !silent"});
  EXPECT_TRUE(runningEvent());
}

TEST_F(RunningEventTest, RingMarkerInAnyCaseExcludesAnEvent) {
  for (const char* notes : {"!RING", "call me !ring", "!Ring me", "!silent !rInG"}) {
    calendar_.add({.start = "2026-12-07 09:00:00", .end = "2026-12-07 10:00:00", .notes = notes});
  }
  EXPECT_FALSE(runningEvent());
  calendar_.add({.start = "2026-12-07 09:00:00", .end = "2026-12-07 10:00:00", .notes = ""});
  EXPECT_TRUE(runningEvent());
}

TEST_F(RunningEventTest, AllDayEventNeverCounts) {
  calendar_.add({.start = "2026-12-07 00:00:00", .end = "2026-12-07 23:59:59", .allDay = true});
  EXPECT_FALSE(runningEvent());
}

TEST_F(RunningEventTest, WatchedCalendarFiltersTheEventsOwnDates) {
  watchCalendar(2);
  calendar_.add({.start = "2026-12-07 09:00:00", .end = "2026-12-07 10:00:00", .calendar = 1});
  EXPECT_FALSE(runningEvent());
  calendar_.add({.start = "2026-12-07 09:00:00", .end = "2026-12-07 10:00:00", .calendar = 2,
                 .availability = 1, .notes = "!silent"});
  EXPECT_TRUE(runningEvent());
}

TEST_F(RunningEventTest, OccurrenceOfARecurringEventIsFoundInTheCache) {
  // The weekly meeting's own dates lie a week back; only its cached occurrence is today.
  calendar_.add({.start = "2026-11-30 09:00:00", .end = "2026-11-30 10:00:00",
                 .occurrences = {"2026-11-30 09:00:00", "2026-12-07 09:00:00"}});
  EXPECT_TRUE(runningAt("2026-12-07 09:00:00"));
  EXPECT_TRUE(runningAt("2026-12-07 10:00:00"));
  EXPECT_FALSE(runningAt("2026-12-07 10:00:01"));
}

TEST_F(RunningEventTest, WatchedCalendarFiltersOccurrences) {
  watchCalendar(2);
  calendar_.add({.start = "2026-11-30 09:00:00", .end = "2026-11-30 10:00:00", .calendar = 1,
                 .occurrences = {"2026-12-07 09:00:00"}});
  EXPECT_FALSE(runningEvent());
  calendar_.add({.start = "2026-11-30 09:00:00", .end = "2026-11-30 10:00:00", .calendar = 2,
                 .availability = 1, .notes = "!silent", .occurrences = {"2026-12-07 09:00:00"}});
  EXPECT_TRUE(runningEvent());
}

TEST_F(RunningEventTest, VersionPicksTheTableName) {
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  VersionMajor = 4;
  EXPECT_FALSE(runningEvent());
  VersionMajor = 5;
  EXPECT_TRUE(runningEvent());

  TempDeviceRoot oldPhone;
  NSMutableDictionary().writeToFileAtomically(kSettingsPath);
  CalendarDatabase oldCalendar(oldPhone.at(kTestCalendarPath), "event");
  oldCalendar.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  VersionMajor = 4;
  EXPECT_TRUE(runningEvent());
  VersionMajor = 5;
  EXPECT_FALSE(runningEvent());
}

TEST(RunningEventFailureTest, DatabaseWithoutTablesOrMissingYieldsNoEvent) {
  TempDeviceRoot root;
  VersionMajor = 7;
  EXPECT_FALSE(runningEvent());
  EXPECT_FALSE(root.exists(kTestCalendarPath)) << "the database must not be created";

  root.write(kTestCalendarPath, "");
  EXPECT_FALSE(runningEvent());
}

}  // namespace
