#include "daemon/NextWake.h"

#include <gtest/gtest.h>

#include "daemon/DaemonState.h"
#include "platform/AppSupport/CPWake.h"
#include "tests/support/Phone.h"

namespace {

class GetWakeUpDate : public testing::Test {
 protected:
  void SetUp() override { VersionMajor = 7; setMiddleOfEvent(false); }
  time_t at(const char* time) { return localTime(std::string("2026-12-07 ") + time); }
  Phone phone;
};

TEST_F(GetWakeUpDate, TheEarliestBoundaryAtOrAfterNow) {
  phone.addEvent({at("08:00:00"), at("09:29:59")});
  phone.addEvent({at("09:00:00"), at("11:00:00")});
  phone.addEvent({at("09:10:00"), at("09:45:00")});
  EXPECT_EQ(getWakeUpDate(at("09:00:00")), at("09:00:00")) << "a start at now is still ahead";
  setMiddleOfEvent(true);
  EXPECT_EQ(getWakeUpDate(at("09:30:00")), at("09:45:00"));
  EXPECT_EQ(getWakeUpDate(at("09:45:00")), at("09:45:00")) << "an end at now is still ahead";
}

TEST_F(GetWakeUpDate, AnEarlierOccurrenceWinsAndATieKeepsTheOneOffEvent) {
  const time_t week = 7 * 86400;
  phone.addEvent({at("12:00:00"), at("13:00:00")});
  phone.addEvent({.start = at("10:00:00") - week, .end = at("11:00:00") - week, .occurrences = {at("10:00:00"), at("10:00:00") + week}});
  EXPECT_EQ(getWakeUpDate(at("09:00:00")), at("10:00:00"));
  EXPECT_EQ(phone.setting(kUpdatedNextWait1Found), "2026-12-07 12:00:00");
  EXPECT_EQ(phone.setting(kUpdatedNextWait2Found), "2026-12-07 10:00:00");
  setMiddleOfEvent(true);
  EXPECT_EQ(getWakeUpDate(at("09:00:00")), at("11:00:00")) << "an occurrence ends after the event's length";

  phone.set({{kUpdatedNextWait2Found, nullptr}});
  setMiddleOfEvent(false);
  phone.addEvent({at("10:00:00"), at("10:30:00")});
  EXPECT_EQ(getWakeUpDate(at("09:00:00")), at("10:00:00"));
  EXPECT_EQ(phone.setting(kUpdatedNextWait1Found), "2026-12-07 10:00:00");
  EXPECT_EQ(phone.setting(kUpdatedNextWait2Found), nullptr) << "on a tie the one-off event stays";
}

// Each of the four statements of an old system reads the event table: the next start and end of
// a one-off event and of an occurrence, each earlier than the other's in turn.
TEST(GetWakeUpDateOnOldSystems, ReadTheEventTable) {
  Phone phone("4.2.1");
  auto at = [](const char* time) { return localTime(std::string("2026-12-07 ") + time); };
  phone.addEvent({at("10:00:00"), at("10:30:00")});
  phone.addEvent({.start = at("10:15:00") - 7 * 86400, .end = at("10:45:00") - 7 * 86400, .occurrences = {at("10:15:00")}});
  VersionMajor = 4;
  for (const auto& [now, inEvent, next] : {std::tuple{"09:00:00", false, "10:00:00"}, {"10:12:00", false, "10:15:00"},
                                           {"10:20:00", true, "10:30:00"}, {"10:35:00", true, "10:45:00"}}) {
    setMiddleOfEvent(inEvent);
    EXPECT_EQ(getWakeUpDate(at(now)), at(next)) << now;
  }
  VersionMajor = 7;
  EXPECT_EQ(getWakeUpDate(at("09:00:00")), 0);
}

std::vector<std::pair<std::string, time_t>> wakes() {
  std::vector<std::pair<std::string, time_t>> all;
  for (const ScheduledWake& wake : simulatedWakes()) all.emplace_back(wake.scheduledby, wake.time);
  std::sort(all.begin(), all.end());
  return all;
}

TEST(UpdateNextWake, ReplacesEveryWakeOfThisSystemAndNoOther) {
  Phone phone;
  const time_t nine = localTime("2026-12-07 09:00:00");
  for (time_t earlier : {nine - 3600, nine + 7200, nine + 3600}) CPScheduleWakeAtDateWithIdentifier(earlier, kWakeIdentifier);
  CPScheduleWakeAtDateWithIdentifier(nine + 60, "com.apple.alarm");
  CPScheduleWakeAtDateWithIdentifier(nine + 60, "com.velbrant.Mutaro2");
  updateNextWake(nine + 1800);
  EXPECT_EQ(wakes(), (std::vector<std::pair<std::string, time_t>>{
                         {"com.apple.alarm", nine + 60}, {kWakeIdentifier, nine + 1800}, {"com.velbrant.Mutaro2", nine + 60}}));
  EXPECT_EQ(phone.setting(kUpdatedAutoWake), dateDescription(nine + 1800));

  // A list without a wake array still gets the new wake.
  phone.write(kAutoWakePath, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>");
  updateNextWake(nine);
  EXPECT_EQ(wakes(), (std::vector<std::pair<std::string, time_t>>{{kWakeIdentifier, nine}}));

  phone.remove(kAutoWakePath);
  phone.set({{kUpdatedAutoWake, nullptr}});
  testing::internal::CaptureStderr();
  updateNextWake(nine);
  EXPECT_TRUE(contains(testing::internal::GetCapturedStderr(), "] Failed to read dict "));
  EXPECT_TRUE(wakes().empty());
  EXPECT_EQ(phone.setting(kUpdatedAutoWake), nullptr);
}

}  // namespace
