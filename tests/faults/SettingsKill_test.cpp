// Writers of the settings file killed with SIGKILL at random moments: the file parses after
// every kill, and the lock file a killed writer leaves behind is broken after about 3 seconds.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "settings-store/SettingsStore.h"
#include "tests/faults/FaultPhone.h"

namespace {

std::unique_ptr<Background> startWriter(const FaultPhone& phone, int id, const std::string& fakeTime) {
  RunOptions options;
  options.fakeTime = fakeTime;
  options.environment["MUTARO_DEVICE_ROOT"] = phone.root();
  return std::make_unique<Background>(
      std::vector<std::string>{builtProgram("settings-writer"), std::to_string(id)}, options, "/dev/null");
}

int leftoverTemporaryFiles(const FaultPhone& phone) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(phone.at(kPreferencesDirectory))) {
    if (entry.path().filename().string().rfind(".tmp", 0) == 0) ++count;
  }
  return count;
}

// Three writers at once, one of them killed every few milliseconds and started again; the
// clock runs 20 times fast, so that a lock left by a killed writer costs the others 0.15 s.
TEST(SettingsKills, FileParsesAfterEachOfTwoHundredKills) {
  FaultPhone phone;
  constexpr int kWriters = 3;
  constexpr int kKills = 200;
  std::vector<std::unique_ptr<Background>> writers;
  for (int id = 0; id < kWriters; ++id) writers.push_back(startWriter(phone, id, "+0 x20"));

  std::mt19937 random(20261207);
  int locksLeft = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(500, 15000)(random)));
    int victim = std::uniform_int_distribution<int>(0, kWriters - 1)(random);
    writers[victim]->signal(SIGKILL);
    ASSERT_TRUE(writers[victim]->waitLeader(5));
    if (phone.exists(kLockFile)) ++locksLeft;
    ASSERT_TRUE(parsesAsDictionary(phone.at(kSettingsFile))) << "after kill " << kill;
    ASSERT_EQ(phone.setting("EnabledSwitch"), true) << "after kill " << kill << ": a write lost a key";
    writers[victim] = startWriter(phone, victim, "+0 x20");
  }
  for (auto& writer : writers) {
    writer->signal(SIGKILL);
    writer->waitLeader(5);
  }
  ASSERT_TRUE(parsesAsDictionary(phone.at(kSettingsFile)));
  // The writers did write (a writer killed early every time may have no keys yet).
  int writersSeen = 0;
  for (int id = 0; id < kWriters; ++id) writersSeen += phone.setting("Writer" + std::to_string(id) + "Number").is_number();
  EXPECT_GT(writersSeen, 0);
  RecordProperty("KillsWithLockFilePresent", locksLeft);
  RecordProperty("TemporaryFilesLeft", leftoverTemporaryFiles(phone));
}

// A writer killed inside the lock leaves the lock file; the next accessor call waits six times
// 0.5 seconds, breaks it and goes on.
TEST(SettingsKills, LockLeftByKilledWriterIsBrokenAfterAboutThreeSeconds) {
  FaultPhone phone;
  bool stale = false;
  for (int attempt = 0; attempt < 50 && !stale; ++attempt) {
    auto writer = startWriter(phone, 0, "");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!phone.exists(kLockFile) && std::chrono::steady_clock::now() < deadline) {
    }
    writer->signal(SIGKILL);
    ASSERT_TRUE(writer->waitLeader(5));
    stale = phone.exists(kLockFile);
  }
  ASSERT_TRUE(stale) << "no writer was killed inside the lock";

  setenv("MUTARO_DEVICE_ROOT", phone.root().c_str(), 1);
  auto started = std::chrono::steady_clock::now();
  bool enabled = false;
  bool found = readPlistBool("EnabledSwitch", &enabled);
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  unsetenv("MUTARO_DEVICE_ROOT");

  EXPECT_TRUE(found);
  EXPECT_TRUE(enabled);
  EXPECT_GE(waited, 2.5);
  EXPECT_LE(waited, 4.5);
  EXPECT_FALSE(phone.exists(kLockFile));
  EXPECT_TRUE(parsesAsDictionary(phone.at(kSettingsFile)));
}

}  // namespace
