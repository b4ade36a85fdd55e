// explain and timeline on a phone that lived its events booted, with the demo's profile: the
// watched calendar changes during the first event, so the past must be judged by the settings
// then, not by today's.
#include <gtest/gtest.h>

#include "phonesim/history/PhoneHistory.h"
#include "tests/support/Phone.h"

namespace {

TEST(RecordedPhone, ExplainAndTimelineTellWhatThePhoneDid) {
  Phone phone;
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kSMSSwitch, false}, {kCalendarID, 1}});
  phone.addEvent({todayAt("09:00:00"), todayAt("09:02:00")});                                 // "A", calendar 1
  phone.sql("update CalendarItem set summary = 'A'");
  phone.addEvent({todayAt("09:00:00"), todayAt("09:02:00"), 0, std::nullopt, 2});             // calendar 2
  phone.addEvent({todayAt("09:04:00"), todayAt("09:06:00"), 0, std::nullopt, 2});             // calendar 2
  phone.boot(todayAt("08:59:30"), kBootSpeed);
  json s;
  ASSERT_TRUE(phone.waitFor([](const json& st) { return silenced(st) && st["settings"].contains(kVolume); },
                            todayAt("09:01:00"), &s)) << s.dump(1);
  // A minute into the event the user turns to watching "Work".
  ASSERT_TRUE(phone.waitFor([&](const json&) { return phone.now() >= todayAt("09:01:00"); }, todayAt("09:01:30")));
  phone.set({{kCalendarID, 2}});
  ASSERT_TRUE(phone.waitFor(released, todayAt("09:03:30"), &s)) << s.dump(1);
  ASSERT_TRUE(phone.waitFor(silenced, todayAt("09:05:30"), &s)) << s.dump(1);
  ASSERT_TRUE(phone.waitFor(released, todayAt("09:07:30"), &s)) << s.dump(1);
  phone.shutdown();
  // The log's instants: each silence from the switcher's "Do work" to its revert's first line.
  const std::vector<Interval> lived = readHistory(phone.log(), 0).silences;
  ASSERT_EQ(lived.size(), 2u) << phone.log();
  const RunOptions afterwards = {.clock = "@2026-12-07 09:08:00"};

  // Moments inside and between the silences the log records, the first before the change.
  const time_t during = lived[0].from + 5, between = (lived[0].to + lived[1].from) / 2,
               later = (lived[1].from + lived[1].to) / 2;
  ASSERT_LT(during, todayAt("09:01:00"));
  // The verdict on "A" is by the calendar watched then; `back`, the silence's end (0: sounds on).
  const struct { time_t at; const char* when; bool recorded; json silenced; const char* firstVerdict; time_t back; } moments[] = {
      {todayAt("08:59:00"), "past", false, nullptr, "other calendar", 0},  // before the first boot: today's settings
      {during, "past", true, true, "silences", lived[0].to},
      {between, "past", true, false, "other calendar", 0},
      {later, "past", true, true, "other calendar", lived[1].to},
      {todayAt("09:08:00"), "now", false, false, "other calendar", 0},
      {todayAt("09:12:00"), "future", false, false, "other calendar", 0}};
  for (const auto& m : moments) {
    SCOPED_TRACE(localTimeStamp(m.at));
    Outcome out = phone.run({"phonesim", "explain", phone.root(), "--at", "@" + std::to_string(m.at), "--json"}, afterwards);
    ASSERT_TRUE(out.exited(0)) << out.err;
    json says = json::parse(out.out);
    EXPECT_EQ(says["when"], m.when);
    EXPECT_EQ(says["recorded"], m.recorded);
    EXPECT_EQ(says["silenced"], m.silenced);
    EXPECT_EQ(says["events"][0]["verdict"], m.firstVerdict);
    EXPECT_TRUE(says["wakesAgree"]);
    const std::string back = says["soundsBack"];
    if (m.back == 0) {
      EXPECT_EQ(back.rfind("not silenced", 0) == 0, m.silenced == false) << back;
    } else {
      // The journal sees the marker go within a few phone seconds of the revert's first line.
      time_t said = localTime(std::string("2026-12-07 ") + back.substr(3, 8));
      EXPECT_NEAR(static_cast<double>(said), static_cast<double>(m.back), 6) << back << " vs " << localTimeStamp(m.back);
    }
  }
  // Set apart: today's watched calendar would judge the first event otherwise.
  Outcome text = phone.run({"phonesim", "explain", phone.root(), "--at", "@" + std::to_string(during)}, afterwards);
  EXPECT_TRUE(contains(text.out, "Today's settings would say otherwise")) << text.out;

  // The timeline judges each event by the settings at its start: both silences had their event.
  const std::string svg = phone.at("/timeline.svg");
  ASSERT_TRUE(phone.run({"phonesim", "timeline", phone.root(), "--from", "08:58", "--to", "09:09", "--svg", svg},
                        afterwards).exited(0));
  auto xpath = [&](const std::string& query) { return phone.run({"/usr/bin/xmllint", "--xpath", query, svg}).out; };
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][@class='event'])"), "2\n");
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][@class='disagreement'])"), "0\n") << phone.read("/timeline.svg");
}

}  // namespace
