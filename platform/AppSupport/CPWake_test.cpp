#include "platform/AppSupport/CPWake.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/TempDeviceRoot.h"

// Found by argument-dependent lookup, so they sit beside ScheduledWake.
static bool operator==(const ScheduledWake& a, const ScheduledWake& b) {
  return a.scheduledby == b.scheduledby && a.time == b.time;
}
static void PrintTo(const ScheduledWake& wake, std::ostream* out) {
  *out << "{" << wake.scheduledby << ", " << wake.time << "}";
}

namespace {

constexpr const char* kMutaro = "com.velbrant.Mutaro";
constexpr const char* kAlarm = "com.apple.mobiletimer";

// 2026-12-07 09:00:00 UTC.
constexpr time_t kNine = 1796634000;

class CPWakeTest : public testing::Test {
 protected:
  TempDeviceRoot root_;
};

TEST_F(CPWakeTest, MissingListIsCreatedByScheduleOnly) {
  EXPECT_TRUE(simulatedWakes().empty());
  CPCancelWakeAtDateWithIdentifier(kNine, kMutaro);
  EXPECT_FALSE(root_.exists(kAutoWakePath));

  CPScheduleWakeAtDateWithIdentifier(kNine, kMutaro);
  EXPECT_EQ(simulatedWakes(), (std::vector<ScheduledWake>{{kMutaro, kNine}}));
}

TEST_F(CPWakeTest, EditsKeepOtherSchedulersAndKeys) {
  root_.write(kAutoWakePath, R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>other</key><string>kept</string>
  <key>wake</key><array>
    <dict><key>scheduledby</key><string>com.apple.mobiletimer</string>
          <key>time</key><date>2026-12-07T09:00:00Z</date></dict>
    <dict><key>time</key><date>2026-12-07T09:00:00Z</date></dict>
  </array>
</dict></plist>)");
  CPScheduleWakeAtDateWithIdentifier(kNine, kMutaro);
  CPScheduleWakeAtDateWithIdentifier(kNine + 3600, kMutaro);
  EXPECT_EQ(simulatedWakes(), (std::vector<ScheduledWake>{
                                  {kAlarm, kNine}, {"", kNine}, {kMutaro, kNine},
                                  {kMutaro, kNine + 3600}}));

  // Both the date and the identifier must match.
  CPCancelWakeAtDateWithIdentifier(kNine + 1, kMutaro);
  CPCancelWakeAtDateWithIdentifier(kNine, "com.velbrant.mutaro");
  EXPECT_EQ(simulatedWakes().size(), 4u);

  CPCancelWakeAtDateWithIdentifier(kNine, kMutaro);
  EXPECT_EQ(simulatedWakes(), (std::vector<ScheduledWake>{
                                  {kAlarm, kNine}, {"", kNine}, {kMutaro, kNine + 3600}}));

  PlistPtr root = readPropertyListFile(kAutoWakePath);
  plist_t other = plist_dict_get_item(root.get(), "other");
  ASSERT_TRUE(PLIST_IS_STRING(other));
  EXPECT_STREQ(plist_get_string_ptr(other, nullptr), "kept");
}

TEST_F(CPWakeTest, UnreadableListIsLeftAlone) {
  for (const char* contents : {"not a property list", "<plist><array/></plist>",
                               "<plist><dict><key>wake</key><string>x</string></dict></plist>"}) {
    root_.write(kAutoWakePath, contents);
    CPScheduleWakeAtDateWithIdentifier(kNine, kMutaro);
    CPCancelWakeAtDateWithIdentifier(kNine, kMutaro);
    EXPECT_EQ(root_.read(kAutoWakePath), contents);
    EXPECT_TRUE(simulatedWakes().empty());
  }
}

TEST_F(CPWakeTest, ConcurrentSchedulersLoseNoEntry) {
  constexpr int kEach = 50;
  pid_t children[2];
  for (int process = 0; process < 2; ++process) {
    children[process] = fork();
    ASSERT_GE(children[process], 0);
    if (children[process] == 0) {
      std::string identifier = "scheduler" + std::to_string(process);
      for (int i = 0; i < kEach; ++i) {
        CPScheduleWakeAtDateWithIdentifier(kNine + i, identifier.c_str());
      }
      _exit(0);
    }
  }
  for (pid_t child : children) {
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
  }
  std::vector<ScheduledWake> wakes = simulatedWakes();
  EXPECT_EQ(wakes.size(), 2u * kEach);
  for (int process = 0; process < 2; ++process) {
    std::string identifier = "scheduler" + std::to_string(process);
    int next = 0;
    for (const ScheduledWake& wake : wakes) {
      if (wake.scheduledby == identifier) {
        EXPECT_EQ(wake.time, kNine + next++);
      }
    }
    EXPECT_EQ(next, kEach) << identifier;
  }
}

}  // namespace
