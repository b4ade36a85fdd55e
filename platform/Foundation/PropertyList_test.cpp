#include "platform/Foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/Foundation/NSMutableDictionary.h"
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
  EXPECT_NE(phone.read(kFile).find("<date>2026-12-07T09:00:00Z</date>"), std::string::npos);
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

}  // namespace

namespace {

std::string xmlList(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">" + body + "</plist>";
}

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// `depth` arrays and dictionaries inside one another, alternating, the innermost empty.
std::string nestedXml(int depth) {
  std::string open, close;
  for (int level = 0; level < depth; ++level) open += level % 2 ? "<dict><key>k</key>" : "<array>";
  for (int level = depth - 1; level >= 0; --level) close += level % 2 ? "</dict>" : "</array>";
  return xmlList(open + close);
}

// A binary list of `depth` arrays, each holding the next one `width` times, the innermost
// empty; `cycle` makes the innermost hold the outermost.
std::string nestedBinary(uint32_t depth, int width, bool cycle = false) {
  auto bigEndian = [](uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
    return out;
  };
  std::string list = "bplist00", offsets;
  for (uint32_t object = 0; object < depth; ++object) {
    offsets += bigEndian(list.size(), 4);
    bool innermost = object + 1 == depth;
    list += static_cast<char>(0xA0 | (innermost ? (cycle ? 1 : 0) : width));
    for (int i = 0; i < (innermost ? (cycle ? 1 : 0) : width); ++i) list += bigEndian(innermost ? 0 : object + 1, 4);
  }
  uint64_t table = list.size();
  return list + offsets + std::string(6, '\0') + "\x04\x04" + bigEndian(depth, 8) + bigEndian(0, 8) + bigEndian(table, 8);
}

TEST(PropertyListNesting, SixtyFourLevelsReadAndDeeperListsAreUnreadableWithoutCrashing) {
  for (const auto& nested : {nestedXml, +[](int depth) { return nestedBinary(depth, 1); }}) {
    EXPECT_NE(propertyListFromData(nested(kDeepestPropertyList)), nullptr);
    EXPECT_EQ(propertyListFromData(nested(kDeepestPropertyList + 1)), nullptr);
    EXPECT_EQ(propertyListFromData(nested(200000)), nullptr);
  }
  EXPECT_EQ(propertyListFromData(xmlList(repeated("<array>", 64) + "<array/>" + repeated("</array>", 64))), nullptr);
}

// The parser copies a shared member for each reference: sixty levels that each hold the next
// twice would be 2^60 copies.
TEST(PropertyListNesting, SharedContainersAndCyclesAreUnreadable) {
  EXPECT_NE(propertyListFromData(nestedBinary(60, 1)), nullptr);
  EXPECT_EQ(propertyListFromData(nestedBinary(60, 2)), nullptr);
  EXPECT_EQ(propertyListFromData(nestedBinary(3, 1, true)), nullptr);
}

// The parser takes a '>' inside quotes, comments and CDATA as text: tags hidden there would
// nest without being counted.
TEST(PropertyListNesting, MarkupTheCountCannotSeeAlikeIsUnreadable) {
  for (const std::string& hidden : std::vector<std::string>{
           repeated("<array a=\"></array>\">", 100) + repeated("</array>", 100),
           repeated("<array><!-- > </array> -->", 100) + repeated("</array>", 100),
           "<array><string><![CDATA[ > </array> ]]></string></array>", "<array></dict></array>"}) {
    EXPECT_EQ(propertyListFromData(xmlList(hidden)), nullptr) << hidden.substr(0, 60);
  }
  EXPECT_NE(propertyListFromData(xmlList("<!-- a comment --><dict><key>a&amp;b</key><string>x > y</string></dict>")),
            nullptr);
}

}  // namespace
