#include "platform/notify/notify.h"

#include <gtest/gtest.h>

#include <string>
#include "platform/Foundation/TempDeviceRoot.h"

namespace {

constexpr const char* kRingerState = "com.apple.springboard.ringerstate";

class NotifyTest : public testing::Test {
 protected:
  TempDeviceRoot root_;
};

using Posts = std::vector<std::pair<std::string, std::optional<uint64_t>>>;

// The ringer-state message as the system sends it.
void sendRingerState(uint64_t state) {
  int token = -1;
  EXPECT_EQ(notify_register_check(kRingerState, &token), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_set_state(token, state), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_post(kRingerState), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_cancel(token), NOTIFY_STATUS_OK);
}

TEST_F(NotifyTest, StateIsKeptPerNameAndPostsAreJournaledInOrder) {
  EXPECT_EQ(simulatedNotifyState(kRingerState), std::nullopt);
  EXPECT_EQ(notify_post("com.example.unset"), NOTIFY_STATUS_OK);
  sendRingerState(0);

  int other = -1;
  ASSERT_EQ(notify_register_check("com.example/with slash", &other), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_set_state(other, UINT64_MAX), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_post("com.example/with slash"), NOTIFY_STATUS_OK);
  sendRingerState(1);

  EXPECT_EQ(simulatedNotifyState(kRingerState), 1u);
  EXPECT_EQ(simulatedNotifyState("com.example/with slash"), UINT64_MAX);
  EXPECT_EQ(simulatedNotifyState("com.example%2Fwith slash"), std::nullopt);
  EXPECT_EQ(simulatedNotifyPosts(), (Posts{{"com.example.unset", std::nullopt},
                                           {kRingerState, 0u},
                                           {"com.example/with slash", UINT64_MAX},
                                           {kRingerState, 1u}}));
}

TEST_F(NotifyTest, UnknownOrCancelledTokensFail) {
  int token = -1;
  ASSERT_EQ(notify_register_check(kRingerState, &token), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_set_state(token + 1000, 1), NOTIFY_STATUS_FAILED);
  EXPECT_EQ(notify_cancel(token + 1000), NOTIFY_STATUS_FAILED);
  EXPECT_EQ(notify_cancel(token), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_set_state(token, 1), NOTIFY_STATUS_FAILED);
  EXPECT_EQ(notify_cancel(token), NOTIFY_STATUS_FAILED);
  EXPECT_EQ(simulatedNotifyState(kRingerState), std::nullopt);

  EXPECT_EQ(notify_register_check(nullptr, &token), NOTIFY_STATUS_FAILED);
  EXPECT_EQ(notify_register_check(kRingerState, nullptr), NOTIFY_STATUS_FAILED);
  EXPECT_EQ(notify_post(nullptr), NOTIFY_STATUS_FAILED);
}

}  // namespace
