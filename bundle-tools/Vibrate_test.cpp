#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/AudioToolbox/AudioServices.h"

namespace {

TEST(VibrateTest, EachRunGivesOneCueOnThePhoneItRunsOn) {
  char pattern[] = "/tmp/vibrate-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string root = pattern;
  setenv("MUTARO_DEVICE_ROOT", root.c_str(), 1);

  EXPECT_EQ(simulatedVibrationCount(), 0);
  for (int run = 1; run <= 2; ++run) {
    int status = std::system(MUTARO_BIN_DIR "/Vibrate");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(simulatedVibrationCount(), run);
  }

  unsetenv("MUTARO_DEVICE_ROOT");
  std::filesystem::remove_all(root);
}

}  // namespace
