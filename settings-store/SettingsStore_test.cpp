#include "settings-store/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/NSRunLoop.h"
#include "platform/Foundation/TempDeviceRoot.h"
#include "settings-store/SettingsPaths.h"

namespace {

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override { writeSettings([](NSMutableDictionary&) {}); }

  template <typename Fill>
  void writeSettings(Fill fill) {
    NSMutableDictionary settings;
    fill(settings);
    ASSERT_TRUE(settings.writeToFileAtomically(kSettingsPath));
  }
  std::unique_ptr<NSMutableDictionary> settings() {
    return NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  }
  std::string readString(const char* key) {
    char* text = readPlistString(key);
    std::string value = text ? text : "(null)";
    std::free(text);
    return value;
  }

  TempDeviceRoot root;
};

TEST_F(SettingsStoreTest, EachCallTakesAndReleasesTheLock) {
  testing::internal::CaptureStderr();
  double start = monotonicSeconds();
  updatePlistBool("EnabledSwitch", true);
  bool enabled = false;
  EXPECT_TRUE(readPlistBool("EnabledSwitch", &enabled));
  EXPECT_LT(monotonicSeconds() - start, 0.4) << "no waiting when nobody holds the lock";
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(enabled);
  EXPECT_FALSE(root.exists(kSettingsLockPath));
  EXPECT_NE(log.find("Lock file was deleted"), std::string::npos);
}

TEST_F(SettingsStoreTest, AStaleLockIsBrokenAfterSixWaits) {
  root.write(kSettingsLockPath, "");
  testing::internal::CaptureStderr();
  double start = monotonicSeconds();
  updatePlistNumber("CalendarID", 2);
  double waited = monotonicSeconds() - start;
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_GE(waited, 2.9);
  EXPECT_LT(waited, 4.5);
  EXPECT_FALSE(root.exists(kSettingsLockPath));
  EXPECT_EQ(settings()->intForKey("CalendarID"), 2) << "the lock was recreated and the write done";
  size_t first = log.find("Lock file was deleted");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find("Lock file was deleted", first + 1), std::string::npos) << "broken, then released";
}

TEST_F(SettingsStoreTest, ALockThatCannotBeRemovedDoesNotHangTheCaller) {
  std::filesystem::create_directories(root.at(kSettingsLockPath));
  writeSettings([](NSMutableDictionary& s) { s.setBool("EventInProgress", true); });
  testing::internal::CaptureStderr();
  double start = monotonicSeconds();
  bool inEvent = false;
  EXPECT_TRUE(readPlistBool("EventInProgress", &inEvent));
  double waited = monotonicSeconds() - start;
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(inEvent);
  EXPECT_LT(waited, 4.5);
  EXPECT_NE(log.find("--- Could not delete lock file"), std::string::npos);
}

TEST_F(SettingsStoreTest, ALockThatCannotBeOpenedIsStillWaitedForAndBroken) {
  // A dangling link cannot be opened, yet it makes every exclusive create fail.
  std::filesystem::create_symlink("nowhere", root.at(kSettingsLockPath));
  writeSettings([](NSMutableDictionary& s) { s.setBool("EventInProgress", true); });
  testing::internal::CaptureStderr();
  double start = monotonicSeconds();
  updatePlistNumber("CalendarID", 3);
  double waited = monotonicSeconds() - start;
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_GE(waited, 2.9);
  EXPECT_LT(waited, 4.5);
  EXPECT_FALSE(root.exists(kSettingsLockPath));
  EXPECT_EQ(settings()->intForKey("CalendarID"), 3);
  EXPECT_NE(log.find("Lock file was deleted"), std::string::npos);
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoUpdate) {
  constexpr int kProcesses = 8;
  constexpr int kUpdates = 200;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Quiet children: the lock logs two lines per call.
      FILE* devnull = freopen("/dev/null", "w", stderr);
      (void)devnull;
      for (int i = 0; i < kUpdates; ++i) {
        updatePlistNumber(("key-" + std::to_string(p) + "-" + std::to_string(i)).c_str(), i);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto stored = settings();
  ASSERT_TRUE(stored);
  int missing = 0;
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kUpdates; ++i) {
      auto value = stored->intForKey(("key-" + std::to_string(p) + "-" + std::to_string(i)).c_str());
      if (value != i) ++missing;
    }
  }
  EXPECT_EQ(missing, 0);
  EXPECT_FALSE(root.exists(kSettingsLockPath));
}

TEST_F(SettingsStoreTest, StringsConvertToAsciiOfAtMost126Characters) {
  std::string longest(126, 'a');
  updatePlistString("Ringtone", longest.c_str());
  EXPECT_EQ(readString("Ringtone"), longest);

  updatePlistString("Ringtone", std::string(127, 'a').c_str());
  testing::internal::CaptureStdout();
  EXPECT_EQ(readString("Ringtone"), "(null)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "2 - Could not convert to cString\n");

  updatePlistString("Ringtone", "Sonnerie \xc3\xa9t\xc3\xa9");
  testing::internal::CaptureStdout();
  EXPECT_EQ(readString("Ringtone"), "(null)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "2 - Could not convert to cString\n");

  updatePlistString("Ringtone", "");
  EXPECT_EQ(readString("Ringtone"), "");

  updatePlistString("Ringtone", nullptr);
  EXPECT_EQ(settings()->stringForKey("Ringtone"), std::nullopt) << "a null value removes the key";
  testing::internal::CaptureStdout();
  EXPECT_EQ(readString("Ringtone"), "(null)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "absent is not a conversion failure";
}

TEST_F(SettingsStoreTest, AbsentKeysAndValuesOfAnotherTypeLeaveTheOutValueAlone) {
  writeSettings([](NSMutableDictionary& s) {
    s.setString("EnabledSwitch", "YES");
    s.setString("CalendarID", "2");
    s.setInt("volume", 1);
    s.setInt("Sms-sound", 0);
    s.setInt("DisableEventSwitch", 2);
  });
  bool flag = true;
  int32_t number = 42;
  EXPECT_FALSE(readPlistBool("Missing", &flag));
  EXPECT_FALSE(readPlistBool("EnabledSwitch", &flag));
  EXPECT_TRUE(flag);
  EXPECT_FALSE(readPlistNumber("Missing", &number));
  EXPECT_FALSE(readPlistNumber("CalendarID", &number));
  EXPECT_EQ(number, 42);
  EXPECT_EQ(readString("volume"), "(null)");
  EXPECT_TRUE(readPlistNumber("Sms-sound", &number));
  EXPECT_EQ(number, 0);
  flag = false;
  EXPECT_TRUE(readPlistBool("DisableEventSwitch", &flag)) << "a number reads as a boolean";
  EXPECT_TRUE(flag);
}

TEST_F(SettingsStoreTest, WritesNeverCreateOrReplaceAFileTheyCouldNotRead) {
  std::filesystem::remove(root.at(kSettingsPath));
  updatePlistBool("EventInProgress", true);
  updatePlistString("volume", "1.0");
  EXPECT_FALSE(root.exists(kSettingsPath));
  bool flag = false;
  EXPECT_FALSE(readPlistBool("EventInProgress", &flag));

  for (std::string unreadable :
       {std::string(""), std::string("garbage"),
        std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>")}) {
    root.write(kSettingsPath, unreadable);
    updatePlistBool("EventInProgress", true);
    EXPECT_EQ(root.read(kSettingsPath), unreadable);
    EXPECT_FALSE(readPlistBool("EventInProgress", &flag));
  }
}

TEST_F(SettingsStoreTest, ABinarySettingsFileIsReadAndWrittenBackAsXml) {
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "EnabledSwitch", plist_new_bool(1));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  root.write(kSettingsPath, std::string(bin, length));
  plist_to_bin_free(bin);
  plist_free(dict);

  bool enabled = false;
  EXPECT_TRUE(readPlistBool("EnabledSwitch", &enabled));
  EXPECT_TRUE(enabled);
  updatePlistBool("EventInProgress", false);
  EXPECT_EQ(root.read(kSettingsPath).rfind("<?xml", 0), 0u);
  EXPECT_EQ(settings()->boolForKey("EnabledSwitch"), true);
  EXPECT_EQ(settings()->boolForKey("EventInProgress"), false);
}

}  // namespace
