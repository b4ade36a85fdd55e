#include "platform/Foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/TempDeviceRoot.h"

namespace {

constexpr const char* kFile = "/var/mobile/Library/Preferences/test.plist";

TEST(PropertyListTest, RoundTripsEveryValueTypeTheSystemStores) {
  TempDeviceRoot root;
  NSMutableDictionary dict;
  dict.setBool("on", true);
  dict.setBool("off", false);
  dict.setInt("zero", 0);
  dict.setInt("big", 2147483647);
  dict.setInt("negative", -5);
  dict.setString("text", "system:Mutaro");
  dict.setString("empty", "");
  dict.setDate("when", 1796634000);  // 2026-12-07 09:00:00 UTC
  ASSERT_TRUE(dict.writeToFileAtomically(kFile));
  EXPECT_NE(root.read(kFile).find("<?xml"), std::string::npos) << "written as XML";

  auto back = NSMutableDictionary::initWithContentsOfFile(kFile);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->boolForKey("on"), true);
  EXPECT_EQ(back->boolForKey("off"), false);
  EXPECT_EQ(back->intForKey("zero"), 0);
  EXPECT_EQ(back->intForKey("big"), 2147483647);
  EXPECT_EQ(back->intForKey("negative"), -5);
  EXPECT_EQ(back->stringForKey("text"), "system:Mutaro");
  EXPECT_EQ(back->stringForKey("empty"), "");
  EXPECT_EQ(back->dateForKey("when"), 1796634000);
  EXPECT_NE(root.read(kFile).find("<date>2026-12-07T09:00:00Z</date>"), std::string::npos);
}

TEST(PropertyListTest, ValuesOfAnotherTypeReadAsAbsent) {
  TempDeviceRoot root;
  NSMutableDictionary dict;
  dict.setString("text", "yes");
  dict.setInt("number", 3);
  dict.setBool("flag", true);
  EXPECT_EQ(dict.boolForKey("text"), std::nullopt);
  EXPECT_EQ(dict.intForKey("text"), std::nullopt);
  EXPECT_EQ(dict.stringForKey("number"), std::nullopt);
  EXPECT_EQ(dict.boolForKey("number"), true) << "a non-zero number reads as true";
  EXPECT_EQ(dict.intForKey("flag"), 1);
  EXPECT_EQ(dict.dateForKey("text"), std::nullopt);
  EXPECT_EQ(dict.boolForKey("missing"), std::nullopt);
  dict.removeObjectForKey("missing");  // no effect, no crash
  dict.removeObjectForKey("text");
  EXPECT_EQ(dict.stringForKey("text"), std::nullopt);
}

TEST(PropertyListTest, ReadsBinaryPropertyLists) {
  TempDeviceRoot root;
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "ringtone", plist_new_string("<default>"));
  plist_dict_set_item(dict, "sms-sound", plist_new_uint(2));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  root.write(kFile, std::string(bin, length));
  plist_to_bin_free(bin);
  plist_free(dict);

  auto back = NSMutableDictionary::initWithContentsOfFile(kFile);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->stringForKey("ringtone"), "<default>");
  EXPECT_EQ(back->intForKey("sms-sound"), 2);
}

TEST(PropertyListTest, UnreadableFilesGiveNoDictionary) {
  TempDeviceRoot root;
  EXPECT_FALSE(NSMutableDictionary::initWithContentsOfFile(kFile)) << "missing";
  root.write(kFile, "");
  EXPECT_FALSE(NSMutableDictionary::initWithContentsOfFile(kFile)) << "empty";
  root.write(kFile, "<plist><dict><key>a</key><true/>");
  EXPECT_FALSE(NSMutableDictionary::initWithContentsOfFile(kFile)) << "truncated";
  root.write(kFile, std::string("bplist00\xff\xff\x01", 11));
  EXPECT_FALSE(NSMutableDictionary::initWithContentsOfFile(kFile)) << "corrupt binary";
  root.write(kFile, "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><true/></array></plist>");
  EXPECT_FALSE(NSMutableDictionary::initWithContentsOfFile(kFile)) << "root is an array";
  std::string error;
  EXPECT_FALSE(readPropertyListFile("/var/mobile/Library/Preferences", &error)) << "a directory";
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(propertyListFromData("not a plist", &error));
  EXPECT_FALSE(error.empty());
}

TEST(PropertyListTest, AtomicWriteKeepsTheTargetsModeAndLeavesNoTemporaryFile) {
  TempDeviceRoot root;
  root.write(kFile, "old");
  chmod(root.at(kFile).c_str(), 0777);
  NSMutableDictionary dict;
  dict.setBool("EnabledSwitch", true);
  ASSERT_TRUE(dict.writeToFileAtomically(kFile));
  struct stat info;
  ASSERT_EQ(stat(root.at(kFile).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0777u);
  int entries = 0;
  for (auto& entry : std::filesystem::directory_iterator(root.at("/var/mobile/Library/Preferences"))) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(PropertyListTest, FailedWriteLeavesTheTargetAlone) {
  TempDeviceRoot root;
  NSMutableDictionary dict;
  EXPECT_FALSE(dict.writeToFileAtomically("/no/such/directory/file.plist"));
  std::filesystem::create_directories(root.at("/var/mobile/Library/Preferences/dir.plist"));
  EXPECT_FALSE(dict.writeToFileAtomically("/var/mobile/Library/Preferences/dir.plist"));
  EXPECT_TRUE(std::filesystem::is_directory(root.at("/var/mobile/Library/Preferences/dir.plist")));
}

}  // namespace
