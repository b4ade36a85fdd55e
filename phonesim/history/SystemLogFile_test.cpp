// The system log reader behind log and timeline: only regular files, and of a big log the span
// asked for, found by its stamps, or its latest part with a word on what was left out.
#include "phonesim/history/SystemLogFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "tests/support/Phone.h"

namespace {

constexpr const char* kLog = "/private/var/log/syslog";

// One line a minute from 09:00, every fifth followed by a line without a stamp.
std::string minuteLog(int minutes) {
  std::string log;
  for (int minute = 0; minute < minutes; ++minute) {
    char line[80];
    std::snprintf(line, sizeof line, "2026-12-07 %02d:%02d:00.000 Mutarod[1:1] minute %d\n", 9 + minute / 60, minute % 60, minute);
    log += line;
    if (minute % 5 == 0) log += "  continued\n";
  }
  return log;
}

TEST(SystemLogFile, ReadsTheSpanOfABigLogByItsStamps) {
  Phone phone;
  phone.write(kLog, minuteLog(600));
  std::string error;
  int fd = openSystemLog(&error);
  ASSERT_GE(fd, 0) << error;
  // Each span as its first and last line: "" for none.
  const LogLimits small = {.readWholeBelow = 1024, .most = 1 << 20};
  for (const auto& [first, last, starts, ends] : std::vector<std::array<std::string, 4>>{
           {"2026-12-07 10:00:30", "2026-12-07 10:04:59", "2026-12-07 10:01:00", "minute 64"},
           {"2026-12-07 00:00:00", "2026-12-07 09:00:00", "2026-12-07 09:00:00", "  continued"},
           {"2026-12-07 18:59:00", "2026-12-07 21:00:00", "2026-12-07 18:59:00", "minute 599"},
           {"2026-12-07 20:00:00", "2026-12-07 21:00:00", "", ""}, {"2026-12-07 12:00:00", "2026-12-07 11:00:00", "", ""}}) {
    std::string text = readLogSpan(fd, first, last, small).text;
    EXPECT_EQ(text.substr(0, 19), starts) << first;
    EXPECT_TRUE(text.ends_with(ends.empty() ? "" : ends + "\n")) << first << "\n" << text;
  }
  // Over the most it reads, the latest lines, and a word on the cut.
  LogSpan cut = readLogSpan(fd, "2026-12-07 09:00:00", "2026-12-07 18:59:00", {.readWholeBelow = 1024, .most = 4096});
  EXPECT_LE(cut.text.size(), 4096u);
  EXPECT_TRUE(cut.text.ends_with("minute 599\n")) << cut.text;
  EXPECT_TRUE(contains(cut.cut, "only its lines from " + cut.text.substr(0, 19) + " on")) << cut.cut;
  close(fd);

  // Something else in the log's place is refused at once.
  phone.remove(kLog);
  ASSERT_EQ(mkfifo(phone.at(kLog).c_str(), 0666), 0);
  Outcome log = phone.run({"phonesim", "log", phone.root()}, {.timeout = 10});
  EXPECT_TRUE(log.exited(1)) << log.err;
  EXPECT_TRUE(contains(log.err, "not a regular file")) << log.err;
  phone.remove(kLog);  // the test support shows the log of a failed test
}

}  // namespace
