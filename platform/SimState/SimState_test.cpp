#include "platform/SimState/SimState.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace {

// A scoped device root of its own for each test.
class SimStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/simstate-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MUTARO_DEVICE_ROOT");
    std::filesystem::remove_all(root_);
  }
  std::string stateDirectory() const { return root_ + "/private/var/sim"; }

  std::string root_;
};

TEST_F(SimStateTest, PathsArePhonePaths) {
  EXPECT_EQ(simStatePath("volume"), "/private/var/sim/volume");
}

TEST_F(SimStateTest, JournalKeepsRecordsInOrderAndFlattensSeparators) {
  EXPECT_TRUE(simRead("announcements").empty());  // missing journal, no directory yet

  simAppend("announcements", {"com.apple.springboard", "ringtone"});
  simAppend("announcements", {"tab\there", "line\nbreak\r"});
  simAppend("announcements", {"", "empty first field"});

  auto records = simRead("announcements");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], (std::vector<std::string>{"com.apple.springboard", "ringtone"}));
  EXPECT_EQ(records[1], (std::vector<std::string>{"tab here", "line break "}));
  EXPECT_EQ(records[2], (std::vector<std::string>{"", "empty first field"}));
  EXPECT_TRUE(std::filesystem::is_directory(stateDirectory()));
}

TEST_F(SimStateTest, ConcurrentAppendsNeverInterleave) {
  constexpr int kProcesses = 8;
  constexpr int kRecords = 200;
  const std::string longField(3000, 'x');  // records larger than a pipe buffer's atomic size
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int r = 0; r < kRecords; ++r) simAppend("load", {std::to_string(p), std::to_string(r), longField});
      _exit(0);
    }
  }
  for (int p = 0; p < kProcesses; ++p) {
    int status = 0;
    wait(&status);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  auto records = simRead("load");
  ASSERT_EQ(records.size(), static_cast<size_t>(kProcesses * kRecords));
  std::vector<int> next(kProcesses, 0);
  for (const auto& record : records) {
    ASSERT_EQ(record.size(), 3u);
    ASSERT_EQ(record[2], longField);
    int p = std::stoi(record[0]);
    ASSERT_EQ(std::stoi(record[1]), next[p]++);  // each process's records in its own order
  }
}

TEST_F(SimStateTest, ValuesAreReplacedWholeWithoutLeftovers) {
  std::string value = "untouched";
  EXPECT_FALSE(simReadValue("volume", &value));
  EXPECT_EQ(value, "untouched");

  simWriteValue("volume", "0.750000 and some more text");
  simWriteValue("volume", "0.25");
  ASSERT_TRUE(simReadValue("volume", &value));
  EXPECT_EQ(value, "0.25");

  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(stateDirectory())) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "volume");
  }
  EXPECT_EQ(files, 1);
}

}  // namespace
