// phonesim timeline on a phone that lived an event: the silence bar's edges are the instants in
// the log, one bar per event, and a late silence is marked; and a week of a phone never booted,
// read by timeline at 80 and 200 columns and as SVG, and by explain.
#include <gtest/gtest.h>

#include <regex>

#include "phonesim/text/PrintableText.h"
#include "tests/support/Phone.h"

namespace {

// The stamp of the switcher's line `message`, or of the first line of the run that logged it:
// the marker is touched right after "Do work", and removed first thing by a revert.
std::string switcherStamp(const std::string& log, const std::string& message, bool firstOfTheRun) {
  std::smatch found;
  std::regex line("(\\S+ \\S+)\\.\\d+ Mutarodh\\[(\\d+):\\d+\\] " + message + "\\n");
  if (!std::regex_search(log, found, line) || !firstOfTheRun) return found[1];
  std::smatch first;
  std::regex_search(log, first, std::regex("(\\S+ \\S+)\\.\\d+ Mutarodh\\[" + found[2].str() + ":"));
  return first[1];
}

TEST(Timeline, DrawsTheSilenceTheLogRecordsAgainstTheEvents) {
  Phone phone;
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
  phone.addEvent({localTime("2026-12-07 11:00:00"), localTime("2026-12-07 12:00:00"), 1, "lunch"});
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:05:00", 20)).exited(0));  // five minutes late
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 10:00:30", 20)).exited(0));
  const std::string log = phone.log();

  const RunOptions afterwards = {.clock = "@2026-12-07 13:00:00"};
  const std::string svg = phone.at("/timeline.svg");
  ASSERT_TRUE(phone.run({"phonesim", "timeline", phone.root(), "--from", "2026-12-07 08:30", "--to", "2026-12-07 12:30",
                         "--svg", svg}, afterwards).exited(0));
  auto xpath = [&](const std::string& query) { return phone.run({"/usr/bin/xmllint", "--xpath", query, svg}).out; };
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='event other']/*)"),
            "Event: 2026-12-07 11:00:00 to 2026-12-07 12:00:00, free and no !silent\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='event']/*)"),
            "Event: 2026-12-07 09:00:00 to 2026-12-07 10:00:00, silences\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='silence']/*)"),
            "silenced " + switcherStamp(log, "Do work", false) + " to " + switcherStamp(log, "Reverted", true) + "\n");
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][@class='disagreement'])"), "1\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='disagreement']/*)").rfind("silenced late 2026-12-07 09:00:00", 0), 0u);

  Outcome terminal = phone.run({"phonesim", "timeline", phone.root(), "--from", "2026-12-07 08:30", "--to", "2026-12-07 12:30"},
                               {.clock = afterwards.clock, .environment = {{"COLUMNS", "100"}}});
  EXPECT_TRUE(contains(terminal.out, "  ! silenced late 09:00:00 to 09:05:0")) << terminal.out;
  EXPECT_FALSE(contains(terminal.out, "given back late")) << "30 s is within the minute";
}

// Fifty-two events from Monday to Sunday, read on Thursday noon: a daily recurring one (whose
// first occurrence is also its own row), six a day of which one is free, a long CJK title beside
// a Latin one of the same start, and on Friday three events in a row.
TEST(Timeline, AWeekOfANeverBootedPhone) {
  Phone phone;
  const time_t monday = localTime("2026-12-07 00:00:00"), thursdayNoon = localTime("2026-12-10 12:00:00");
  Event gym{monday + 7 * 3600, monday + 7 * 3600 + 1800};
  for (int day = 0; day < 7; ++day) gym.occurrences.push_back(gym.start + day * 86400);
  phone.addEvent(gym);
  int ahead = 0;
  for (int day = 0; day < 7; ++day) {
    for (int hour : {8, 10, 13, 15, 17, 19}) {
      time_t start = monday + day * 86400 + hour * 3600;
      phone.addEvent({start, start + 2700, hour == 19 ? 1 : 0});
      ahead += start > thursdayNoon && hour != 19;
    }
  }
  ahead += 3 + 2;  // the gym's Friday to Sunday, and two of Friday's row
  phone.addEvent({monday + 2 * 86400 + 8 * 3600, monday + 2 * 86400 + 9 * 3600});
  phone.sql("update CalendarItem set summary = 'Gym' where rowid = 1;"
            "update CalendarItem set summary = '週次の会議のタイトルがとても長い場合の例' where rowid = (select max(rowid) from CalendarItem)");
  // Friday 10:00-10:45 overlapped by 10:30-11:00, which the last one abuts.
  phone.addEvent({localTime("2026-12-11 10:30:00"), localTime("2026-12-11 11:00:00")});
  phone.addEvent({localTime("2026-12-11 11:00:00"), localTime("2026-12-11 11:20:00")});
  phone.sql("update CalendarItem set summary = 'Last' where rowid = (select max(rowid) from CalendarItem)");
  const std::string thursday = "@2026-12-10 12:00:00";
  const std::vector<std::string> week = {"phonesim", "timeline", phone.root(), "--from", "2026-12-07 00:00", "--to", "2026-12-14 00:00"};

  std::vector<std::string> svgCommand = week;
  svgCommand.insert(svgCommand.end(), {"--svg", phone.at("/week.svg")});
  ASSERT_TRUE(phone.run(svgCommand, {.clock = thursday}).exited(0));
  auto xpath = [&](const std::string& query) { return phone.run({"/usr/bin/xmllint", "--xpath", query, phone.at("/week.svg")}).out; };
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][starts-with(@class,'event')])"), "52\n");
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][@class='event ahead'])"), std::to_string(ahead) + "\n");
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][@class='disagreement'])"), "0\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='event ahead']/*)"),
            "Event: 2026-12-10 13:00:00 to 2026-12-10 13:45:00, will silence\n");

  for (int width : {80, 200}) {
    SCOPED_TRACE(width);
    Outcome out = phone.run(week, {.clock = thursday, .environment = {{"COLUMNS", std::to_string(width)}}});
    ASSERT_TRUE(out.exited(0)) << out.err;
    int gyms = 0, latinBar = 0, cjkBar = 1;
    auto barColumn = [](const std::string& line) { return columns(line.substr(0, std::min({line.find("█"), line.find("▒"), line.find("░")}))); };
    for (const std::string& line : linesOf(out.out)) {
      EXPECT_LE(columns(line), width) << line;
      gyms += line.find(" 07:00 Gym") == 3;
      if (line.rfind("Wed 08:00 Event", 0) == 0) latinBar = barColumn(line);
      if (line.rfind("Wed 08:00 週次", 0) == 0) cjkBar = barColumn(line);
    }
    EXPECT_EQ(gyms, 7) << out.out;
    EXPECT_EQ(cjkBar, latinBar) << out.out;
  }

  // explain: the past unrecorded, the future by today's settings, sounds back after a row's last event.
  const struct { const char *at, *when; bool silenced; const char* soundsBack; } asks[] = {
      {"2026-12-09 08:30", "past", false, "not silenced at 08:30:00"},
      {"2026-12-11 10:15", "future", true, "soon after 11:20:00, when \"Last\" ends (3 events in a row)"},
      {"2026-12-11 11:20:01", "future", false, "not silenced at 11:20:01"}};
  for (const auto& ask : asks) {
    Outcome out = phone.run({"phonesim", "explain", phone.root(), "--at", ask.at, "--json"}, {.clock = thursday});
    ASSERT_TRUE(out.exited(0)) << out.err;
    json says = json::parse(out.out);
    EXPECT_EQ(says["when"], ask.when) << ask.at;
    EXPECT_FALSE(says["recorded"]) << ask.at;
    EXPECT_EQ(says["silenced"], ask.silenced) << ask.at;
    EXPECT_EQ(says["soundsBack"], ask.soundsBack) << ask.at;
  }
  Outcome told = phone.run({"phonesim", "explain", phone.root(), "--at", "2026-12-09 08:30"}, {.clock = thursday});
  for (const std::string& line : linesOf(told.out)) EXPECT_LE(columns(line), 80) << line;
}

}  // namespace
