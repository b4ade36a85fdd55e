#include "platform/Foundation/NSLog.h"

#include <gtest/gtest.h>

#include <regex>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/SystemVersion.h"
#include "platform/Foundation/TempDeviceRoot.h"

namespace {

TEST(NSLogTest, WritesOneLineWithTimeProcessAndThread) {
  testing::internal::CaptureStderr();
  NSLog("IOS: %s", "7.0.4");
  NSLog("%s", "100% data, %s %n stays text");
  std::string out = testing::internal::GetCapturedStderr();
  std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} foundation_test\[\d+:\d+\] IOS: 7\.0\.4\n)"
                  R"(.*\] 100% data, %s %n stays text\n)");
  EXPECT_TRUE(std::regex_match(out, line)) << out;
}

TEST(DevicePathTest, ResolvesUnderTheRootOrLeavesThePathAlone) {
  unsetenv("MUTARO_DEVICE_ROOT");
  EXPECT_EQ(devicePath("/var/mobile/x"), "/var/mobile/x");
  setenv("MUTARO_DEVICE_ROOT", "", 1);
  EXPECT_EQ(devicePath("/var/mobile/x"), "/var/mobile/x");
  setenv("MUTARO_DEVICE_ROOT", "/tmp/phone/", 1);
  EXPECT_EQ(devicePath("/var/mobile/x"), "/tmp/phone/var/mobile/x");
  unsetenv("MUTARO_DEVICE_ROOT");
}

TEST(NSDateTest, FormatsLocalStampsAndUtcDescriptions) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  EXPECT_EQ(localTimeStamp(1796634000), "2026-12-07 04:00:00");
  EXPECT_EQ(dateDescription(1796634000), "2026-12-07 09:00:00 +0000");
  unsetenv("TZ");
  tzset();
}

TEST(SystemVersionTest, ReadsProductVersionOrNothing) {
  TempDeviceRoot root;
  EXPECT_EQ(systemVersionText(), "");
  root.write("/System/Library/CoreServices/SystemVersion.plist",
             "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>ProductVersion</key>"
             "<string>10.3</string></dict></plist>");
  EXPECT_EQ(systemVersionText(), "10.3");
}

}  // namespace
