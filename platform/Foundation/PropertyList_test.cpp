#include "platform/Foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/Foundation/PlistNesting.h"
#include "tests/support/Phone.h"

namespace {

constexpr const char* kFile = "/var/mobile/Library/Preferences/test.plist";

TEST(PropertyList, ValuesRoundTripAndAnotherTypeReadsAsAbsent) {
  Phone phone{"", true};
  NSMutableDictionary dict;
  dict.setBool("off", false);
  dict.setInt("negative", -5);
  dict.setString("text", "yes");
  dict.setDate("when", 1796634000);
  ASSERT_TRUE(dict.writeToFileAtomically(kFile));
  EXPECT_TRUE(contains(phone.read(kFile), "<date>2026-12-07T09:00:00Z</date>"));
  auto back = NSMutableDictionary::initWithContentsOfFile(kFile);
  EXPECT_EQ(back->intForKey("negative"), -5);
  EXPECT_EQ(back->boolForKey("text"), std::nullopt);
  EXPECT_EQ(back->intForKey("text"), std::nullopt);
  EXPECT_EQ(back->stringForKey("negative"), std::nullopt);
  EXPECT_EQ(back->boolForKey("negative"), true) << "a non-zero number reads as true";
}

TEST(PropertyList, AnAtomicWriteKeepsTheModeLeavesNoTemporaryAndFailsWithoutHarm) {
  Phone phone{"", true};
  phone.write(kFile, "old");
  chmod(phone.at(kFile).c_str(), 0777);
  NSMutableDictionary dict;
  ASSERT_TRUE(dict.writeToFileAtomically(kFile));
  EXPECT_EQ(std::filesystem::status(phone.at(kFile)).permissions(), std::filesystem::perms::all);
  auto entries = std::filesystem::directory_iterator(phone.at("/var/mobile/Library/Preferences"));
  EXPECT_EQ(std::distance(entries, std::filesystem::directory_iterator()), 1);
  std::filesystem::create_directories(phone.at("/var/mobile/Library/Preferences/dir.plist"));
  EXPECT_FALSE(dict.writeToFileAtomically("/var/mobile/Library/Preferences/dir.plist"));
  EXPECT_FALSE(dict.writeToFileAtomically("/no/such/directory/file.plist"));
}

// Deeper, shared, cyclic and hidden nesting are in the fuzz seeds.
TEST(PropertyListNesting, SixtyFourLevelsReadAndSixtyFiveDoNot) {
  for (bool binary : {false, true}) {
    EXPECT_NE(propertyListFromData(nestedPropertyList(kDeepestPropertyList, binary)), nullptr);
    EXPECT_EQ(propertyListFromData(nestedPropertyList(kDeepestPropertyList + 1, binary)), nullptr);
  }
}

}  // namespace
