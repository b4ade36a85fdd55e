// A week of a timetable: the daemon started at each wake it schedules and after each change of
// the calendar or the settings, as the phone's launcher would, and after each run the silence
// and the next wake held against the timetable's own intervals.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/Phone.h"

namespace {

struct Entry : Event {
  long long row = 0;
};

// A change made while the week runs: the calendar edited, or a setting stored by the application.
struct Change { time_t when; std::function<void()> make; };

time_t at(const std::string& day, const char* time) { return localTime("2026-12-" + day + " " + time); }

TEST(Week, SilencedExactlyWhileQualifyingEventsRunWokenAtEachBoundary) {
  Phone phone;
  phone.set({{kCalendarID, 1}});
  std::vector<Entry> timetable;
  auto add = [&](Entry entry) {
    entry.row = phone.addEvent(entry);
    timetable.push_back(entry);
  };
  for (const Entry& entry : std::vector<Entry>{
      {{at("08", "14:00:00"), at("08", "15:00:00"), 0, std::nullopt, 1}},  // back to back
      {{at("08", "15:00:00"), at("08", "16:00:00"), 0, "", 1}},
      {{at("09", "10:00:00"), at("09", "11:00:00"), 0, std::nullopt, 1}},  // overlapping
      {{at("09", "10:30:00"), at("09", "11:30:00"), 1, "quiet !silent", 1}},
      {{at("11", "10:00:00"), at("11", "11:00:00"), 0, std::nullopt, 2}},  // another calendar
  }) add(entry);
  // Weekly and daily, each first occurring in the week before.
  const time_t week = 7 * 86400, day = 86400;
  Event standup{at("07", "09:00:00") - week, at("07", "09:15:00") - week};
  Event lunch{at("04", "12:00:00"), at("04", "12:30:00"), 1, "!silent"};
  for (int i = 0; i < 3; ++i) standup.occurrences.push_back(standup.start + i * week);
  for (int i = 0; i < 6; ++i) lunch.occurrences.push_back(lunch.start + i * day);
  phone.addEvent(standup);
  phone.addEvent(lunch);
  for (const Event* recurring : {&standup, &lunch}) {
    for (time_t start : recurring->occurrences) timetable.push_back({{start, start + recurring->end - recurring->start}});
  }
  int watched = 1;
  auto sql = [&](const std::string& statement, size_t entry) { phone.sql(statement + " WHERE ROWID = " + std::to_string(timetable[entry].row)); };
  const std::vector<Change> changes = {
      {at("08", "14:30:00"),  // during the first of two back-to-back events, the second moves away
       [&] {
         timetable[1].start += 7200;
         timetable[1].end += 7200;
         sql("UPDATE CalendarItem SET start_date = start_date + 7200, end_date = end_date + 7200", 1);
       }},
      {at("09", "09:00:00"), [&] { add({{at("09", "09:30:00"), at("09", "09:45:00")}}); }},
      {at("11", "09:30:00"), [&] { phone.set({{kCalendarID, watched = 0}}); }},
      {at("11", "11:30:00"), [&] { phone.set({{kCalendarID, watched = 1}}); }},
      {at("12", "09:00:00"), [&] { add({{at("12", "10:00:00"), at("12", "10:30:00")}}); }},
      {at("12", "10:10:00"),  // deleted while it runs
       [&] {
         sql("DELETE FROM CalendarItem", timetable.size() - 1);
         timetable.pop_back();
       }},
      {at("13", "08:00:00"), [&] { phone.set({{kEnableProfilesSwitch, true}}); }}};

  auto qualifies = [&](const Entry& e) { return watched == 0 || e.calendar == watched; };
  auto inEvent = [&](time_t t) {
    return std::any_of(timetable.begin(), timetable.end(), [&](const Entry& e) { return qualifies(e) && e.start <= t && t <= e.end; });
  };
  // The boundary to wake for: in an event the next end or a later start, else the next start.
  auto nextBoundary = [&](time_t t) {
    time_t next = 0;
    auto consider = [&](time_t moment, time_t from) { if (moment >= from && (next == 0 || moment < next)) next = moment; };
    for (const Entry& e : timetable) {
      if (!qualifies(e)) continue;
      if (inEvent(t)) consider(e.end, t);
      consider(e.start, inEvent(t) ? t + 1 : t);
    }
    return next;
  };

  int runs = 0;
  size_t changed = 0;
  for (time_t wake = at("07", "00:00:00"); (wake < at("14", "00:00:00") || changed < changes.size()) && runs < 40; ++runs) {
    // A change before the next wake starts the daemon at once.
    if (changed < changes.size() && changes[changed].when < wake) {
      wake = changes[changed].when;
      changes[changed++].make();
    }
    const std::string text = localTimeStamp(wake);
    ASSERT_TRUE(phone.daemon(clockAt(text, 20)).exited(0)) << text;
    // The daemon leaves once no boundary is within a minute of its last pass.
    time_t left = localTime(phone.setting(kUpdatedExit).get<std::string>());
    EXPECT_LT(left - wake, 60) << text;
    EXPECT_EQ(phone.exists(kMarkerPath), inEvent(left)) << text;
    EXPECT_EQ(phone.setting(kEventInProgress), inEvent(left)) << text;
    wake = nextBoundary(left);
    ASSERT_EQ(mutaroWakes(phone.status()), std::vector{iso8601(wake)}) << text;
  }
  EXPECT_EQ(changed, changes.size());
  EXPECT_EQ(runs, 29) << "one run per boundary of the week, the start of an overlapping event included, and per change";
}

}  // namespace
