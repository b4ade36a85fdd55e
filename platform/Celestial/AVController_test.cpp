#include "platform/Celestial/AVController.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Foundation/TempDeviceRoot.h"
#include "platform/SimState/SimState.h"

namespace {

class AVControllerTest : public testing::Test {
 protected:
  TempDeviceRoot root_;
};

TEST_F(AVControllerTest, SharedControllerStartsAtThreeQuarters) {
  EXPECT_EQ(AVController::avController(), AVController::avController());
  EXPECT_FLOAT_EQ(AVController::avController()->volume(), 0.75f);
}

TEST_F(AVControllerTest, LevelSurvivesBetweenReadsAndIsClamped) {
  AVController* controller = AVController::avController();
  controller->setVolume(0.25f);
  EXPECT_FLOAT_EQ(controller->volume(), 0.25f);
  controller->setVolume(0.0f);
  EXPECT_FLOAT_EQ(controller->volume(), 0.0f);
  controller->setVolume(1.5f);
  EXPECT_FLOAT_EQ(controller->volume(), 1.0f);
  controller->setVolume(-2.0f);
  EXPECT_FLOAT_EQ(controller->volume(), 0.0f);
}

TEST_F(AVControllerTest, UnreadableStoredLevelReadsAsStartingLevel) {
  for (const char* text : {"", "loud", "0.5x", "nan"}) {
    simWriteValue("volume", text);
    EXPECT_FLOAT_EQ(AVController::avController()->volume(), 0.75f) << text;
  }
}

}  // namespace
