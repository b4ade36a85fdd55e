// Every form of a moment, and every refusal, read at 2026-12-07 10:00:00 in the test time zone.
#include "phonesim/text/Moment.h"

#include <gtest/gtest.h>

#include "tests/support/Phone.h"

namespace {

struct Reading {
  const char* text;
  const char* moment;  // the local stamp it names; nullptr for a refusal
  const char* says = "";  // a refusal's words
};

TEST(Moment, EveryFormAndEveryRefusal) {
  setenv("TZ", kTestTimeZone, 1);
  tzset();
  const time_t now = localTime("2026-12-07 10:00:00");
  const Reading table[] = {
      {"now", "2026-12-07 10:00:00"}, {"14:00", "2026-12-07 14:00:00"}, {"9:05:07", "2026-12-07 09:05:07"},
      {"2026-12-01", "2026-12-01 00:00:00"}, {"2026-12-01 09:30", "2026-12-01 09:30:00"},
      {"2026-12-01T09:30:15", "2026-12-01 09:30:15"}, {"2026-12-01T08:30:15Z", "2026-12-01 09:30:15"},
      {"2026-12-01T17:30+09:00", "2026-12-01 09:30:00"}, {"2026-12-01T03:30-0500", "2026-12-01 09:30:00"},
      {"2024-02-29", "2024-02-29 00:00:00"}, {"+30", "2026-12-07 10:00:30"}, {"-2m", "2026-12-07 09:58:00"},
      {"+1h", "2026-12-07 11:00:00"}, {"+1d", "2026-12-08 10:00:00"}, {"@1796634000", "2026-12-07 10:00:00"},
      {"9999-12-31 23:59:59", "9999-12-31 23:59:59"},
      {"0900", nullptr, "bare number (@0900 for Unix seconds, 09:00 for a time of day)"},
      {"2026-02-30 10:00", nullptr, "there is no day 2026-02-30"}, {"2025-02-29", nullptr, "there is no day"},
      {"2026-13-01", nullptr, "there is no day"}, {"24:00", nullptr, "names no time of day"},
      {"10:60", nullptr, "names no time of day"}, {"2026-12-01T10:00+24:00", nullptr, "no such offset"},
      {"+5w", nullptr, "is not a time"}, {"+99999999999999999999", nullptr, "outside the years"},
      {"+9223372036854775807d", nullptr, "outside the years"}, {"@-99999999999", nullptr, "outside the years"},
      {"@12x", nullptr, "not Unix seconds"}, {"yesterday", nullptr, "give now, HH:MM"}, {"", nullptr, "no time given"}};
  for (const Reading& reading : table) {
    std::string error;
    std::optional<time_t> moment = parseMoment(reading.text, now, &error);
    if (reading.moment != nullptr) {
      ASSERT_TRUE(moment.has_value()) << reading.text << ": " << error;
      EXPECT_EQ(localTimeStamp(*moment), reading.moment) << reading.text;
    } else {
      EXPECT_FALSE(moment.has_value()) << reading.text;
      EXPECT_TRUE(contains(error, reading.says)) << reading.text << ": " << error;
    }
  }
}

TEST(Moment, SpansRunForward) {
  const time_t now = localTime("2026-12-07 10:00:00");
  time_t from = 0, to = 0;
  std::string error;
  EXPECT_TRUE(parseSpan("", "12:00", now, now - 60, now + 60, &from, &to, &error));
  EXPECT_EQ(from, now - 60);
  EXPECT_EQ(to, localTime("2026-12-07 12:00:00"));
  EXPECT_FALSE(parseSpan("09:30", "09:10", now, 0, 0, &from, &to, &error));
  EXPECT_EQ(error, "--from 2026-12-07 09:30:00 lies after --to 2026-12-07 09:10:00: "
                   "a span runs from an earlier moment to a later one");
  EXPECT_FALSE(parseSpan("", "0910", now, 0, 0, &from, &to, &error));
  EXPECT_EQ(error.rfind("--to \"0910\" is a bare number", 0), 0u) << error;
  EXPECT_EQ(outsideDaemonRange("--at", localTime("2100-12-07 09:00:00")), "");
  EXPECT_TRUE(contains(outsideDaemonRange("--at", 253402300800LL), "--at lies after 9999-12-31"));
}

}  // namespace
