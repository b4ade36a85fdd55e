// The settings accessors and their lock file, on a bare device root.
#include "settings-store/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/Foundation/NSRunLoop.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Phone.h"

namespace {

class SettingsStoreTest : public testing::Test {
 protected:
  void SetUp() override { phone.writePlist(kSettingsPath, NSMutableDictionary()); }

  std::string readString(const char* key) {
    char* text = readPlistString(key);
    std::string value = text ? text : "(null)";
    std::free(text);
    return value;
  }
  double timed(const std::function<void()>& call, std::string* log) {
    testing::internal::CaptureStderr();
    double start = monotonicSeconds();
    call();
    double took = monotonicSeconds() - start;
    *log = testing::internal::GetCapturedStderr();
    return took;
  }

  Phone phone{"", true};
};

// A stale lock, a dangling link in its place (it cannot be opened, yet every exclusive create
// fails on it), a FIFO and one that cannot be deleted: none hangs the caller.
TEST_F(SettingsStoreTest, LocksLeftBehindAreBrokenAfterSixWaits) {
  if (rerunOnFastClock()) return;
  std::string log;
  phone.write(kSettingsLockPath, "");
  double waited = timed([] { updatePlistNumber("CalendarID", 2); }, &log);
  EXPECT_GE(waited, 2.9);
  EXPECT_LT(waited, 4.5);
  EXPECT_EQ(phone.setting("CalendarID"), 2) << "the lock was taken anew and the write done";
  size_t broken = log.find("] Lock file was deleted\n");
  EXPECT_NE(log.find("] Lock file was deleted\n", broken + 1), std::string::npos) << "broken, then released";

  std::filesystem::create_symlink("nowhere", phone.at(kSettingsLockPath));
  waited = timed([] { updatePlistNumber("CalendarID", 3); }, &log);
  EXPECT_GE(waited, 2.9);
  EXPECT_EQ(phone.setting("CalendarID"), 3);
  EXPECT_FALSE(phone.exists(kSettingsLockPath));

  int32_t calendar = 0;
  ASSERT_EQ(mkfifo(phone.at(kSettingsLockPath).c_str(), 0666), 0);
  waited = timed([&] { readPlistNumber("CalendarID", &calendar); }, &log);
  EXPECT_LT(waited, 4.5);
  EXPECT_EQ(calendar, 3);

  phone.remove(kSettingsLockPath);
  std::filesystem::create_directories(phone.at(kSettingsLockPath));
  calendar = 0;
  waited = timed([&] { readPlistNumber("CalendarID", &calendar); }, &log);
  EXPECT_LT(waited, 4.5);
  EXPECT_EQ(calendar, 3);
  EXPECT_TRUE(contains(log, "] --- Could not delete lock file\n"));
  EXPECT_GT(log.find("] --- Could not create the lock file\n"), log.find("] --- Could not delete lock file\n"));
}

// A peer that keeps replacing the lock file holds nobody longer than the six waits in all.
TEST_F(SettingsStoreTest, ALockFileThatKeepsBeingReplacedIsBrokenAfterSixWaitsInAll) {
  std::atomic<bool> stop = false;
  std::thread replacer([&] {
    while (!stop) {
      phone.write(kSettingsLockPath + std::string(".next"), "");
      std::filesystem::rename(phone.at(kSettingsLockPath) + ".next", phone.at(kSettingsLockPath));
      usleep(20000);
    }
  });
  ASSERT_TRUE(eventually(5, [&] { return phone.exists(kSettingsLockPath); }));
  std::string log;
  double waited = timed([] { updatePlistNumber("CalendarID", 4); }, &log);
  stop = true;
  replacer.join();
  EXPECT_LT(waited, 4.5);
  EXPECT_EQ(phone.setting("CalendarID"), 4);
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoUpdate) {
  constexpr int kProcesses = 6, kUpdates = 100;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      if (freopen("/dev/null", "w", stderr) == nullptr) _exit(1);
      for (int i = 0; i < kUpdates; ++i) updatePlistNumber(("k" + std::to_string(p * kUpdates + i)).c_str(), i);
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) waitpid(pid, nullptr, 0);
  EXPECT_EQ(phone.status()["settings"].size(), kProcesses * kUpdates);
}

TEST_F(SettingsStoreTest, TwoThousandCallsLeaveNoDescriptorOpen) {
  auto descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  auto before = descriptors();
  testing::internal::CaptureStderr();
  for (int i = 0; i < 1000; ++i) {
    updatePlistBool("EnabledSwitch", true);
    std::free(readPlistString("EnabledSwitch"));
  }
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(descriptors(), before);
}

TEST_F(SettingsStoreTest, StringsAreAsciiOfAtMost126Characters) {
  updatePlistString("Ringtone", std::string(126, 'a').c_str());
  EXPECT_EQ(readString("Ringtone"), std::string(126, 'a'));
  for (const std::string& unconvertible : {std::string(127, 'a'), std::string("\xc3\xa9t\xc3\xa9")}) {
    updatePlistString("Ringtone", unconvertible.c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(readString("Ringtone"), "(null)");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "2 - Could not convert to cString\n");
  }
  updatePlistString("Ringtone", nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(readString("Ringtone"), "(null)");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "absent is no conversion failure";
}

TEST_F(SettingsStoreTest, WritesNeverCreateOrReplaceAFileTheyCouldNotRead) {
  phone.remove(kSettingsPath);
  updatePlistBool("EventInProgress", true);
  EXPECT_FALSE(phone.exists(kSettingsPath));
}

}  // namespace
