#include "phonesim/SpringBoardHost/ExtensionLoader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* kDirectory = "/Library/MobileSubstrate/DynamicLibraries";

std::string filterListing(const std::string& bundles) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
         "<key>Filter</key><dict><key>Bundles</key><array>" + bundles +
         "</array></dict></dict></plist>\n";
}

class ExtensionLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    char rootTemplate[] = "/tmp/ExtensionLoader_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(rootTemplate));
    root_ = rootTemplate;
    std::filesystem::create_directories(root_ + kDirectory);
    setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MUTARO_DEVICE_ROOT");
    std::filesystem::remove_all(root_);
  }
  // Writes `contents` at phone path kDirectory/name and returns the phone path.
  std::string write(const std::string& name, const std::string& contents) {
    std::ofstream(root_ + kDirectory + "/" + name) << contents;
    return std::string(kDirectory) + "/" + name;
  }

  std::string root_;
};

TEST_F(ExtensionLoaderTest, FilterAdmitsOnlyTheBundlesItLists) {
  std::string filter = write("a.plist", filterListing("<string>com.example.one</string>"
                                                      "<integer>3</integer>"
                                                      "<string>com.apple.springboard</string>"));
  EXPECT_TRUE(filterAdmits(filter, "com.apple.springboard"));
  EXPECT_TRUE(filterAdmits(filter, "com.example.one"));
  EXPECT_FALSE(filterAdmits(filter, "com.apple"));
  EXPECT_FALSE(filterAdmits(filter, ""));
}

TEST_F(ExtensionLoaderTest, MissingOrMalformedFiltersAdmitNothing) {
  EXPECT_FALSE(filterAdmits(std::string(kDirectory) + "/missing.plist", "com.apple.springboard"));
  EXPECT_FALSE(filterAdmits(write("garbage.plist", "not a property list"), "com.apple.springboard"));
  EXPECT_FALSE(filterAdmits(write("array.plist", "<plist version=\"1.0\"><array/></plist>"),
                            "com.apple.springboard"));
  EXPECT_FALSE(filterAdmits(write("bundles-string.plist",
                                  "<plist version=\"1.0\"><dict><key>Filter</key><dict><key>Bundles</key>"
                                  "<string>com.apple.springboard</string></dict></dict></plist>"),
                            "com.apple.springboard"));
}

TEST_F(ExtensionLoaderTest, LoadsNothingTheFilterDoesNotAdmitAndSkipsBrokenLibraries) {
  EXPECT_TRUE(loadExtensions("com.apple.springboard").empty());  // empty directory

  // A library without a filter, one whose filter names another process, and one admitted but
  // not a library at all: none is loaded and the loader carries on.
  write("nofilter.dylib", "x");
  write("other.dylib", "x");
  write("other.plist", filterListing("<string>com.example.other</string>"));
  write("broken.dylib", "not a shared library");
  write("broken.plist", filterListing("<string>com.apple.springboard</string>"));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(loadExtensions("com.apple.springboard").empty());
  std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, messages.find("cannot load /Library/MobileSubstrate/DynamicLibraries/broken.dylib"));
  EXPECT_EQ(std::string::npos, messages.find("other.dylib"));
  EXPECT_EQ(std::string::npos, messages.find("nofilter.dylib"));

  std::filesystem::remove_all(root_ + "/Library");  // no extensions directory at all
  EXPECT_TRUE(loadExtensions("com.apple.springboard").empty());
}

}  // namespace
