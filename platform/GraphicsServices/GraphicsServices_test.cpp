#include "platform/GraphicsServices/GraphicsServices.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/Foundation/DevicePath.h"

namespace fs = std::filesystem;

namespace {

class GraphicsServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/graphicsservices-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MUTARO_DEVICE_ROOT");
    fs::remove_all(root_);
  }
  // Places the built library where the phone keeps it, as `phonesim init` does.
  void installLibrary() {
    fs::path target = devicePath(kGraphicsServicesPath);
    fs::create_directories(target.parent_path());
    fs::copy_file(MUTARO_BIN_DIR "/GraphicsServices", target);
  }

  std::string root_;
};

TEST_F(GraphicsServicesTest, AnnouncementsThroughTheLoadedLibraryAreRecordedInOrder) {
  installLibrary();
  void* library = loadGraphicsServices();
  ASSERT_NE(library, nullptr) << dlerror();
  GSSendAppPreferencesChangedFunction send = lookupGSSendAppPreferencesChanged(library);
  ASSERT_NE(send, nullptr);

  EXPECT_TRUE(simulatedAnnouncements().empty());
  send("com.apple.springboard", "ringtone");
  send("com.apple.mobilemail", "PlaySentMailSound");
  send(nullptr, "keyboard");  // a null domain is recorded as empty, not a crash

  using Announcement = std::pair<std::string, std::string>;
  EXPECT_EQ(simulatedAnnouncements(),
            (std::vector<Announcement>{{"com.apple.springboard", "ringtone"},
                                       {"com.apple.mobilemail", "PlaySentMailSound"},
                                       {"", "keyboard"}}));
  dlclose(library);
}

TEST_F(GraphicsServicesTest, MissingLibraryGivesNull) {
  EXPECT_EQ(loadGraphicsServices(), nullptr);
  EXPECT_EQ(lookupGSSendAppPreferencesChanged(nullptr), nullptr);
}

TEST_F(GraphicsServicesTest, LibraryWithoutTheFunctionGivesNull) {
  // Any shared object that lacks the symbol, e.g. the C library, stands in for a wrong one.
  void* other = dlopen("libc.so.6", RTLD_LAZY);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(lookupGSSendAppPreferencesChanged(other), nullptr);
  dlclose(other);
}

}  // namespace
