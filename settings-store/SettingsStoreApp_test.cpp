#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/TempDeviceRoot.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"

namespace {

TEST(SettingsStoreAppTest, ReadPlistStringLogsWhatItReturns) {
  TempDeviceRoot root;
  NSMutableDictionary settings;
  settings.setString("Ringtone", "<default>");
  settings.setString("Calendar-alarm", std::string(127, 'x'));
  ASSERT_TRUE(settings.writeToFileAtomically(kSettingsPath));

  struct Case {
    const char* key;
    const char* line;
  };
  for (Case c : {Case{"Missing", "Release 1 - NULL"}, Case{"Ringtone", "RETURN"},
                 Case{"Calendar-alarm", "Release 2 - NULL"}}) {
    testing::internal::CaptureStderr();
    char* text = readPlistString(c.key);
    std::string log = testing::internal::GetCapturedStderr();
    std::free(text);
    EXPECT_NE(log.find(std::string("] ") + c.line + "\n"), std::string::npos) << c.key << ": " << log;
  }
}

TEST(SettingsStoreAppTest, TheApplicationsVariants) {
  TempDeviceRoot root;
  NSMutableDictionary settings;
  settings.setInt("CalendarID", 2);
  ASSERT_TRUE(settings.writeToFileAtomically(kSettingsPath));

  EXPECT_EQ(readPlistInt("CalendarID"), 2);
  EXPECT_EQ(readPlistInt("Missing"), 0);
  updatePlist("EnabledSwitch", false);
  bool enabled = true;
  EXPECT_TRUE(readPlist("EnabledSwitch", &enabled));
  EXPECT_FALSE(enabled);
  bool untouched = true;
  EXPECT_FALSE(readPlist("Missing", &untouched));
  EXPECT_TRUE(untouched);
}

}  // namespace
