// The two replacement data files the bundle carries.
#include "bundle-tools/CafFile.h"

#include <gtest/gtest.h>

#include "platform/Foundation/PropertyList.h"
#include "tests/support/Phone.h"

namespace {

TEST(ReplacementFiles, TheSilentToneIsHalfASecondOfSilenceInTheSystemTonesFormat) {
  std::string bytes;
  ASSERT_TRUE(readWholeFile(builtProgram("sms-received1.caf.silent"), &bytes));
  auto info = readCaf(bytes);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->sampleRate, 8000.0);
  EXPECT_EQ(info->formatID, "lpcm");
  EXPECT_EQ(info->bitsPerChannel, 16u);
  EXPECT_EQ(info->channelsPerFrame, 1u);
  EXPECT_EQ(info->audioData, std::string(8000, '\0'));
  EXPECT_EQ(bytes.size(), 8u + 44u + 16u + 8000u) << "nothing but the header, desc and data chunks";
}

TEST(ReplacementFiles, TheBehaviourTablePlaysNoSound) {
  std::string xml;
  ASSERT_TRUE(readWholeFile(builtProgram("SystemSoundBehaviour.plist.vibrate"), &xml));
  size_t sounds = 0, silent = 0;
  for (size_t at = xml.find("<key>PlaySound</key>"); at != std::string::npos; at = xml.find("<key>PlaySound</key>", at + 1)) {
    ++sounds;
    silent += xml.compare(xml.find('<', at + 20), 8, "<false/>") == 0;
  }
  EXPECT_GT(sounds, 5u);
  EXPECT_EQ(silent, sounds);
}

}  // namespace
