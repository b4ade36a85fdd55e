// mutaroms inside the simulated SpringBoard of a phone, its clock sped up ten times so that
// the 5-second checks take half a second.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "tests/support/Phone.h"

namespace {

namespace fs = std::filesystem;

class Mutaroms : public testing::Test {
 protected:
  void start(const std::vector<std::string>& options = {}) {
    std::vector<std::string> line = {"SpringBoard"};
    line.insert(line.end(), options.begin(), options.end());
    springBoard = phone.start(line, {.clock = "+0 x10"}, phone.at("/springboard.log"));
  }
  std::string log() const { return phone.read("/springboard.log"); }
  bool waitForLog(const std::string& text) const { return eventually(5, [&] { return contains(log(), text); }); }
  bool imageShown() const {
    json images = phone.status()["statusBarImages"];
    return std::find(images.begin(), images.end(), "Mutaro") != images.end();
  }
  void TearDown() override {
    springBoard->signal(SIGTERM);
    int status = -1;
    EXPECT_TRUE(springBoard->wait(10, &status) && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  Phone phone;
  std::unique_ptr<Process> springBoard;
};

TEST_F(Mutaroms, AStartWhileSilencedAnnouncesItAndPreparesTheFiles) {
  phone.write(kMarkerPath, "");
  phone.write(kSettingsLockPath, "");  // left over from before the restart
  phone.remove(kSettingsPath);
  start();
  ASSERT_TRUE(waitForLog("Copy backup files...")) << log();
  std::vector<std::string> messages = logMessages(log(), "SpringBoard");
  EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 4),
            (std::vector<std::string>{"SpringBoard finished launching", "************* mutaroms ******************",
                                      "Create mutaro plist file if does not exist", "--- Silent phone ---"}));
  json status = phone.status();
  EXPECT_EQ(status["notifications"], json::array({json::array({"com.apple.springboard.ringerstate", 0})}));
  EXPECT_TRUE(imageShown());
  EXPECT_EQ(phone.read(kSettingsPath), phone.read(kSettingsBackupPath));
  EXPECT_EQ(fs::status(phone.at(kSettingsPath)).permissions(), fs::perms::all);
  EXPECT_FALSE(phone.exists(kSettingsLockPath));
}

TEST_F(Mutaroms, TheImageFollowsTheMarkerWithinFiveSeconds) {
  phone.set({{kCalendarID, 2}});
  chmod(phone.at(kSettingsPath).c_str(), 0600);
  std::string settings = phone.read(kSettingsPath);
  start();
  ASSERT_TRUE(waitForLog("Copy backup files...")) << log();
  EXPECT_FALSE(contains(log(), "--- Silent phone ---"));
  EXPECT_FALSE(imageShown());
  EXPECT_EQ(phone.read(kSettingsPath), settings) << "a settings file already there is kept";
  EXPECT_EQ(fs::status(phone.at(kSettingsPath)).permissions(), fs::perms::all);

  for (bool marker : {true, false, true}) {
    marker ? phone.write(kMarkerPath, "") : phone.remove(kMarkerPath);
    EXPECT_TRUE(eventually(1, [&] { return imageShown() == marker; })) << marker;
  }
  EXPECT_EQ(phone.status()["notifications"], json::array()) << "only SpringBoard's start posts the ringer state";
}

TEST_F(Mutaroms, AnotherProcessIsLeftAlone) {
  // The filter admits the other process too: the library's own check keeps it idle.
  phone.write("/Library/MobileSubstrate/DynamicLibraries/mutaroms.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Filter</key><dict><key>Bundles</key><array>"
              "<string>com.apple.springboard</string><string>com.example.other</string></array></dict></dict></plist>");
  phone.write(kMarkerPath, "");
  phone.write(kSettingsLockPath, "");
  start({"--bundle-identifier", "com.example.other"});
  ASSERT_TRUE(waitForLog("SpringBoard finished launching")) << log();
  EXPECT_FALSE(eventually(1, [&] { return contains(log(), "mutaroms") || imageShown(); }));
  EXPECT_EQ(phone.status()["notifications"], json::array());
  EXPECT_TRUE(phone.exists(kSettingsLockPath));
}

}  // namespace
