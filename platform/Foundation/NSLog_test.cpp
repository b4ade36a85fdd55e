#include "platform/Foundation/NSLog.h"

#include <gtest/gtest.h>

#include <regex>

#include "tests/support/Phone.h"

namespace {

TEST(NSLog, WritesOneLineToStandardErrorAndTheSystemLogWithDataAsText) {
  Phone phone;
  testing::internal::CaptureStderr();
  NSLog("IOS: %s", "7.0.4");
  NSLog("%s", "100% data, %s %n stays text");
  // Data shaped like a log line of its own, with a terminal escape, stays inside its entry.
  NSLog("ringtone %s", "x\n2026-12-07 03:00:00.000 Mutarodh[1:1] Silent\x1b[2J\r");
  std::string out = testing::internal::GetCapturedStderr();
  std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} platform_test\[\d+:\d+\] IOS: 7\.0\.4\n)"
                  R"(.*\] 100% data, %s %n stays text\n)"
                  R"(.*\] ringtone x\\n2026-12-07 03:00:00\.000 Mutarodh\[1:1\] Silent\\x1b\[2J\\x0d\n)");
  EXPECT_TRUE(std::regex_match(out, line)) << out;
  EXPECT_EQ(phone.log(), out);
}

TEST(NSDate, StampsAreLocalAndDescriptionsUtc) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  EXPECT_EQ(localTimeStamp(1796634000), "2026-12-07 04:00:00");
  EXPECT_EQ(dateDescription(1796634000), "2026-12-07 09:00:00 +0000");
}

}  // namespace
