#include "daemon/NextWake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "daemon/DaemonState.h"
#include "daemon/DaemonTestSupport.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/TempDeviceRoot.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace {

class GetWakeUpDateTest : public testing::Test {
 protected:
  void SetUp() override {
    VersionMajor = 7;
    setMiddleOfEvent(false);
    setFakeNow("2026-12-07 09:00:00");
    watchCalendar(std::nullopt);
  }

  void watchCalendar(std::optional<int> calendar) {
    NSMutableDictionary settings;
    settings.setBool(kEventInProgress, false);
    if (calendar) settings.setInt(kCalendarID, *calendar);
    ASSERT_TRUE(settings.writeToFileAtomically(kSettingsPath));
  }

  std::optional<std::string> setting(const char* key) {
    return NSMutableDictionary::initWithContentsOfFile(kSettingsPath)->stringForKey(key);
  }

  TempDeviceRoot root_;
  CalendarDatabase calendar_{root_.at(kTestCalendarPath)};
};

TEST_F(GetWakeUpDateTest, NothingAheadGivesZeroAndWritesNothing) {
  calendar_.add({"2026-12-07 07:00:00", "2026-12-07 08:00:00"});
  calendar_.add({.start = "2026-12-07 10:00:00", .end = "2026-12-07 11:00:00", .availability = 1});
  EXPECT_EQ(0, getWakeUpDate());
  EXPECT_FALSE(setting(kUpdatedNextWait1Found));
  EXPECT_FALSE(setting(kUpdatedNextWait2Found));
}

TEST_F(GetWakeUpDateTest, SkipsEventsThatDoNotQualify) {
  calendar_.add({.start = "2026-12-07 09:30:00", .end = "2026-12-07 10:00:00", .availability = 1,
                 .notes = "!Silent"});
  calendar_.add({.start = "2026-12-07 09:40:00", .end = "2026-12-07 10:00:00", .notes = "!ring"});
  calendar_.add({.start = "2026-12-07 09:45:00", .end = "2026-12-07 10:00:00", .notes = "!Ring!silent"});
  calendar_.add({.start = "2026-12-07 09:50:00", .end = "2026-12-07 10:00:00", .allDay = true});
  calendar_.add({.start = "2026-12-07 11:00:00", .end = "2026-12-07 12:00:00", .availability = 1,
                 .notes = "free but !silent"});
  EXPECT_EQ(localTime("2026-12-07 11:00:00"), getWakeUpDate());
  EXPECT_EQ("2026-12-07 11:00:00", setting(kUpdatedNextWait1Found));
}

TEST_F(GetWakeUpDateTest, EventStartingNowIsTheNextStart) {
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 10:00:00"});
  EXPECT_EQ(localTime("2026-12-07 09:00:00"), getWakeUpDate());
}

TEST_F(GetWakeUpDateTest, InAnEventTheEarliestEndAtOrAfterNowCounts) {
  setFakeNow("2026-12-07 09:30:00");
  setMiddleOfEvent(true);
  calendar_.add({"2026-12-07 08:00:00", "2026-12-07 09:29:59"});
  calendar_.add({"2026-12-07 08:00:00", "2026-12-07 11:00:00"});
  calendar_.add({"2026-12-07 09:00:00", "2026-12-07 09:45:00"});
  EXPECT_EQ(localTime("2026-12-07 09:45:00"), getWakeUpDate());
  setFakeNow("2026-12-07 09:45:00");
  EXPECT_EQ(localTime("2026-12-07 09:45:00"), getWakeUpDate());
}

TEST_F(GetWakeUpDateTest, CalendarChoiceLimitsTheEvents) {
  calendar_.add({.start = "2026-12-07 10:00:00", .end = "2026-12-07 11:00:00", .calendar = 1});
  calendar_.add({.start = "2026-12-07 12:00:00", .end = "2026-12-07 13:00:00", .calendar = 2});
  EXPECT_EQ(localTime("2026-12-07 10:00:00"), getWakeUpDate());
  watchCalendar(2);
  EXPECT_EQ(localTime("2026-12-07 12:00:00"), getWakeUpDate());
  watchCalendar(3);
  EXPECT_EQ(0, getWakeUpDate());
}

TEST_F(GetWakeUpDateTest, OnlyARecurringOccurrenceAhead) {
  calendar_.add({.start = "2026-11-30 10:00:00", .end = "2026-11-30 11:00:00",
                 .occurrences = {"2026-11-30 10:00:00", "2026-12-07 10:00:00", "2026-12-14 10:00:00"}});
  EXPECT_EQ(localTime("2026-12-07 10:00:00"), getWakeUpDate());
  EXPECT_EQ("2026-12-07 10:00:00", setting(kUpdatedNextWait2Found));
  EXPECT_FALSE(setting(kUpdatedNextWait1Found));

  setMiddleOfEvent(true);
  EXPECT_EQ(localTime("2026-11-30 11:00:00") + 7 * 86400, getWakeUpDate());
}

TEST_F(GetWakeUpDateTest, EarlierOccurrenceBeatsAOneOffEvent) {
  calendar_.add({"2026-12-07 12:00:00", "2026-12-07 13:00:00"});
  calendar_.add({.start = "2026-11-30 10:00:00", .end = "2026-11-30 11:00:00",
                 .occurrences = {"2026-12-07 10:00:00"}});
  EXPECT_EQ(localTime("2026-12-07 10:00:00"), getWakeUpDate());
  EXPECT_EQ("2026-12-07 12:00:00", setting(kUpdatedNextWait1Found));
  EXPECT_EQ("2026-12-07 10:00:00", setting(kUpdatedNextWait2Found));
}

TEST_F(GetWakeUpDateTest, TieKeepsTheOneOffEventAndWritesNoRecurringStamp) {
  calendar_.add({"2026-12-07 10:00:00", "2026-12-07 11:00:00"});
  calendar_.add({.start = "2026-11-30 10:00:00", .end = "2026-11-30 11:00:00",
                 .occurrences = {"2026-12-07 10:00:00"}});
  EXPECT_EQ(localTime("2026-12-07 10:00:00"), getWakeUpDate());
  EXPECT_EQ("2026-12-07 10:00:00", setting(kUpdatedNextWait1Found));
  EXPECT_FALSE(setting(kUpdatedNextWait2Found));
}

TEST_F(GetWakeUpDateTest, VersionPicksTheTableName) {
  calendar_.add({"2026-12-07 10:00:00", "2026-12-07 11:00:00"});
  VersionMajor = 5;
  EXPECT_EQ(localTime("2026-12-07 10:00:00"), getWakeUpDate());
  VersionMajor = 4;
  EXPECT_EQ(0, getWakeUpDate());

  TempDeviceRoot oldPhone;
  NSMutableDictionary().writeToFileAtomically(kSettingsPath);
  CalendarDatabase oldCalendar(oldPhone.at(kTestCalendarPath), "event");
  oldCalendar.add({.start = "2026-11-30 10:00:00", .end = "2026-11-30 11:00:00",
                   .occurrences = {"2026-12-07 10:30:00"}});
  oldCalendar.add({"2026-12-07 11:00:00", "2026-12-07 12:00:00"});
  EXPECT_EQ(localTime("2026-12-07 10:30:00"), getWakeUpDate());
  VersionMajor = 7;
  EXPECT_EQ(0, getWakeUpDate());
}

// The wake schedule as the platform keeps it: (scheduledby or "" for none, time).
void writeWakeSchedule(const std::vector<std::pair<std::string, time_t>>& wakes, bool withArray = true) {
  std::filesystem::create_directories(devicePath("/private/var/preferences/SystemConfiguration"));
  NSMutableDictionary schedule;
  schedule.setString("other", "kept");
  if (withArray) {
    plist_t array = plist_new_array();
    for (const auto& [scheduledBy, time] : wakes) {
      NSMutableDictionary wake;
      if (!scheduledBy.empty()) wake.setString("scheduledby", scheduledBy);
      wake.setDate("time", time);
      plist_array_append_item(array, plist_copy(wake.node()));
    }
    plist_dict_set_item(schedule.node(), "wake", array);
  }
  ASSERT_TRUE(schedule.writeToFileAtomically(kAutoWakePath));
}

std::vector<std::pair<std::string, time_t>> wakesNow() {
  std::vector<std::pair<std::string, time_t>> wakes;
  for (const ScheduledWake& wake : simulatedWakes()) wakes.emplace_back(wake.scheduledby, wake.time);
  std::sort(wakes.begin(), wakes.end());
  return wakes;
}

class UpdateNextWakeTest : public testing::Test {
 protected:
  void SetUp() override { NSMutableDictionary().writeToFileAtomically(kSettingsPath); }
  TempDeviceRoot root_;
  const time_t nine_ = localTime("2026-12-07 09:00:00");
};

TEST_F(UpdateNextWakeTest, ReplacesEveryEarlierWakeOfThisSystemOnly) {
  writeWakeSchedule({{kWakeIdentifier, nine_ - 3600},
                     {"com.apple.alarm", nine_ + 60},
                     {kWakeIdentifier, nine_ + 7200},
                     {kWakeIdentifier, nine_ + 3600},
                     {"com.velbrant.Mutaro2", nine_ + 7200}});
  updateNextWake(nine_ + 1800);
  std::vector<std::pair<std::string, time_t>> expected = {{"com.apple.alarm", nine_ + 60},
                                                          {kWakeIdentifier, nine_ + 1800},
                                                          {"com.velbrant.Mutaro2", nine_ + 7200}};
  EXPECT_EQ(expected, wakesNow());
  EXPECT_EQ(dateDescription(nine_ + 1800),
            NSMutableDictionary::initWithContentsOfFile(kSettingsPath)->stringForKey(kUpdatedAutoWake));
}

TEST_F(UpdateNextWakeTest, ListWithoutWakesOrSchedulerNamesStillGetsTheNewWake) {
  writeWakeSchedule({}, false);
  updateNextWake(nine_);
  EXPECT_EQ((std::vector<std::pair<std::string, time_t>>{{kWakeIdentifier, nine_}}), wakesNow());

  writeWakeSchedule({{"", nine_ + 60}});
  updateNextWake(nine_);
  std::vector<std::pair<std::string, time_t>> wakes = wakesNow();
  EXPECT_EQ(2u, wakes.size());
  EXPECT_EQ(1, std::count(wakes.begin(), wakes.end(),
                          std::pair<std::string, time_t>{kWakeIdentifier, nine_}));
}

TEST_F(UpdateNextWakeTest, MissingListSchedulesNothing) {
  updateNextWake(nine_);
  EXPECT_TRUE(wakesNow().empty());
  EXPECT_FALSE(NSMutableDictionary::initWithContentsOfFile(kSettingsPath)->stringForKey(kUpdatedAutoWake));
}

}  // namespace
