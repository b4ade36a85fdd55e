#include "platform/AudioToolbox/AudioServices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Foundation/TempDeviceRoot.h"
#include "platform/SimState/SimState.h"

namespace {

class AudioServicesTest : public testing::Test {
 protected:
  TempDeviceRoot root_;
};

TEST_F(AudioServicesTest, OnlyTheVibrationSoundCounts) {
  EXPECT_EQ(simulatedVibrationCount(), 0);
  AudioServicesPlaySystemSound(1007);
  AudioServicesPlayAlertSound(1007);
  EXPECT_EQ(simulatedVibrationCount(), 0);

  AudioServicesPlaySystemSound(kSystemSoundID_Vibrate);
  AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
  simulatedVibrate("Vibrate");
  simulatedVibrate(nullptr);
  EXPECT_EQ(simulatedVibrationCount(), 4);

  std::vector<std::vector<std::string>> records = simRead("vibrations");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0], std::vector<std::string>{"AudioServicesPlaySystemSound"});
  EXPECT_EQ(records[1], std::vector<std::string>{"AudioServicesPlayAlertSound"});
  EXPECT_EQ(records[2], std::vector<std::string>{"Vibrate"});
}

}  // namespace
