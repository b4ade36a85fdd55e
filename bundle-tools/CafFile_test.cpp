#include "bundle-tools/CafFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/Foundation/PropertyList.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

void expectSystemToneFormat(const CafInfo& info) {
  EXPECT_EQ(info.fileVersion, 1);
  EXPECT_EQ(info.sampleRate, 8000.0);
  EXPECT_EQ(info.formatID, "lpcm");
  EXPECT_EQ(info.formatFlags, 0u);  // integer, big-endian
  EXPECT_EQ(info.bytesPerPacket, 2u);
  EXPECT_EQ(info.framesPerPacket, 1u);
  EXPECT_EQ(info.channelsPerFrame, 1u);
  EXPECT_EQ(info.bitsPerChannel, 16u);
  EXPECT_EQ(info.editCount, 0u);
}

TEST(CafFileTest, ShippedSilentToneIsHalfASecondOfSilence) {
  std::string bytes = readFile(MUTARO_BIN_DIR "/sms-received1.caf.silent");
  ASSERT_EQ(bytes.substr(0, 4), "caff");
  auto info = readCaf(bytes);
  ASSERT_TRUE(info.has_value());
  expectSystemToneFormat(*info);
  EXPECT_EQ(info->audioData.size(), 8000u);  // 4000 frames of 2 bytes
  EXPECT_TRUE(std::all_of(info->audioData.begin(), info->audioData.end(), [](char c) { return c == 0; }));
  // Header (8) + desc chunk (12 + 32) + data chunk (12 + 4 + samples): nothing else in the file.
  EXPECT_EQ(bytes.size(), 8u + 44u + 16u + 8000u);
}

TEST(CafFileTest, ToneRoundTripsAndIsAudible) {
  auto samples = toneSamples(1000, 0.25, kToneSampleRate);
  ASSERT_EQ(samples.size(), 2000u);
  auto info = readCaf(linearPcmCaf(samples, kToneSampleRate));
  ASSERT_TRUE(info.has_value());
  expectSystemToneFormat(*info);
  ASSERT_EQ(info->audioData.size(), 2 * samples.size());
  int peak = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    auto high = static_cast<unsigned char>(info->audioData[2 * i]);
    auto low = static_cast<unsigned char>(info->audioData[2 * i + 1]);
    int16_t decoded = static_cast<int16_t>((high << 8) | low);
    ASSERT_EQ(decoded, samples[i]) << "sample " << i;
    peak = std::max(peak, std::abs(static_cast<int>(decoded)));
  }
  EXPECT_GT(peak, 8000);
  EXPECT_EQ(samples.front(), 0);  // faded in and out, no click
  EXPECT_EQ(samples.back(), 0);
}

TEST(CafFileTest, MalformedFilesAreRejected) {
  std::string good = linearPcmCaf(silentSamples(0.01, kToneSampleRate), kToneSampleRate);
  ASSERT_TRUE(readCaf(good).has_value());

  EXPECT_FALSE(readCaf("").has_value());
  EXPECT_FALSE(readCaf("RIFF" + good.substr(4)).has_value());
  std::string version2 = good;
  version2[5] = 2;
  EXPECT_FALSE(readCaf(version2).has_value());
  for (size_t cut : {6u, 20u, 51u, 60u, static_cast<unsigned>(good.size() - 1)}) {
    EXPECT_FALSE(readCaf(good.substr(0, cut)).has_value()) << "cut at " << cut;
  }
  std::string hugeChunk = good;
  hugeChunk[12] = '\x7f';  // desc size far beyond the file
  EXPECT_FALSE(readCaf(hugeChunk).has_value());

  // A data chunk of unknown size (-1) runs to the end of the file.
  std::string open = good;
  for (int i = 56; i < 64; ++i) open[i] = '\xff';
  auto info = readCaf(open);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audioData.size(), good.size() - 68);
}

TEST(CafFileTest, ShippedBehaviourTableSilencesEverySound) {
  std::string xml = readFile(MUTARO_BIN_DIR "/SystemSoundBehaviour.plist.vibrate");
  ASSERT_EQ(xml.rfind("<?xml", 0), 0u);
  std::string error;
  PlistPtr root = propertyListFromData(xml, &error);
  ASSERT_TRUE(root) << error;
  ASSERT_EQ(plist_get_node_type(root.get()), PLIST_DICT);
  plist_t sounds = plist_dict_get_item(root.get(), "Sounds");
  ASSERT_NE(sounds, nullptr);
  ASSERT_GT(plist_dict_get_size(sounds), 0u);

  plist_dict_iter it = nullptr;
  plist_dict_new_iter(sounds, &it);
  char* key = nullptr;
  plist_t behaviour = nullptr;
  for (plist_dict_next_item(sounds, it, &key, &behaviour); behaviour != nullptr;
       plist_dict_next_item(sounds, it, &key, &behaviour)) {
    uint8_t plays = 1;
    plist_t node = plist_dict_get_item(behaviour, "PlaySound");
    ASSERT_NE(node, nullptr) << key;
    plist_get_bool_val(node, &plays);
    EXPECT_FALSE(plays) << key;
    free(key);
  }
  free(it);
}

}  // namespace
