// The time axis over spans from minutes to a year, in the columns of an 80-column terminal:
// marks of the unit that suits the span, none overlapping the next.
#include "phonesim/text/TimeAxis.h"

#include <gtest/gtest.h>

#include <regex>

#include "tests/support/Phone.h"

namespace {

TEST(TimeAxis, MarksSuitTheSpanAndFitTheWidth) {
  const struct { time_t span; const char* label; } spans[] = {
      {110, "\\d\\d:\\d\\d:\\d\\d"},       {3 * 3600, "\\d\\d:\\d\\d"}, {86400, "\\d\\d:\\d\\d"},
      {7 * 86400, "\\d\\d-\\d\\d"},        {31 * 86400, "\\d\\d-\\d\\d"}, {365 * 86400, "\\d{4}-\\d\\d"},
      {30 * 365 * 86400, "\\d{4}"}};
  const time_t from = localTime("2026-12-07 09:00:05");
  constexpr int kWidth = 59;
  for (const auto& [span, label] : spans) {
    SCOPED_TRACE(span);
    std::vector<Tick> ticks = timeAxis(from, from + span, kWidth, 1);
    ASSERT_GE(ticks.size(), 2u);
    for (size_t i = 0; i < ticks.size(); ++i) {
      EXPECT_TRUE(std::regex_match(ticks[i].label, std::regex(label))) << ticks[i].label;
      EXPECT_TRUE(ticks[i].at >= from && ticks[i].at <= from + span);
      if (i == 0) continue;
      double apart = static_cast<double>(ticks[i].at - ticks[i - 1].at) * kWidth / static_cast<double>(span);
      EXPECT_GE(apart, ticks[i - 1].label.size() + 1.0) << ticks[i - 1].label << " runs into " << ticks[i].label;
    }
  }
}

}  // namespace
