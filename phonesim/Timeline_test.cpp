// phonesim timeline on a phone that lived an event: the silence bar's edges are the instants in
// the log, the SVG is well-formed with one bar per event, and a late silence is marked.
#include <gtest/gtest.h>

#include <regex>

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

  const std::string svg = phone.at("/timeline.svg");
  ASSERT_TRUE(phone.run({"phonesim", "timeline", phone.root(), "--from", "2026-12-07 08:30", "--to", "2026-12-07 12:30",
                         "--svg", svg}).exited(0));
  auto xpath = [&](const std::string& query) {
    return phone.run({"/usr/bin/xmllint", "--xpath", query, svg}).out;
  };
  EXPECT_TRUE(phone.run({"/usr/bin/xmllint", "--noout", svg}).exited(0)) << phone.read("/timeline.svg");
  EXPECT_EQ(xpath("count(//*[local-name()='rect'][starts-with(@class,'event')])"), "2\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='event other']/*)"),
            "Event: 2026-12-07 11:00:00 to 2026-12-07 12:00:00, free and no !silent\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='silence']/*)"),
            "silenced " + switcherStamp(log, "Do work", false) + " to " + switcherStamp(log, "Reverted", true) + "\n");
  EXPECT_EQ(xpath("string(//*[local-name()='rect'][@class='disagreement']/*)"), "silenced late\n");

  Outcome terminal = phone.run({"phonesim", "timeline", phone.root(), "--from", "2026-12-07 08:30", "--to", "2026-12-07 12:30"},
                               {.environment = {{"COLUMNS", "100"}}});
  EXPECT_NE(terminal.out.find("  ! silenced late from 2026-12-07 09:00:00 to 2026-12-07 09:05:0"), std::string::npos)
      << terminal.out;
  EXPECT_EQ(terminal.out.find("given back late"), std::string::npos) << "30 s is within the minute";
}

}  // namespace
