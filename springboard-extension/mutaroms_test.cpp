// mutaroms inside the simulated SpringBoard, on a device root of its own, with the clock sped
// up ten times so that the 5-second checks take half a second.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/SimState/SimState.h"
#include "platform/notify/notify.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* kPreferences = "/private/var/mobile/Library/Preferences";
const char* kExtensions = "/Library/MobileSubstrate/DynamicLibraries";
const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

const std::string kDefaultSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>EnabledSwitch</key><true/><key>EventInProgress</key><false/></dict></plist>\n";

std::string readFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

class MutaromsTest : public testing::Test {
 protected:
  void SetUp() override {
    char rootTemplate[] = "/tmp/mutaroms_test.XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(rootTemplate));
    root_ = rootTemplate;
    stderrPath_ = root_ + ".stderr";
    fs::create_directories(root_ + kPreferences);
    fs::create_directory_symlink("private/var", root_ + "/var");
    fs::create_directories(root_ + kExtensions);
    fs::copy_file(MUTARO_BIN_DIR "/mutaroms.dylib", root_ + kExtensions + "/mutaroms.dylib");
    fs::copy_file(MUTARO_BIN_DIR "/mutaroms.plist", root_ + kExtensions + "/mutaroms.plist");
    std::ofstream(preference("com.velbrant.mutaro.plist_bkp")) << kDefaultSettings;
    setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);  // for the journals read below
  }

  void TearDown() override {
    stop();
    unsetenv("MUTARO_DEVICE_ROOT");
    fs::remove_all(root_);
    fs::remove(stderrPath_);
  }

  std::string preference(const std::string& name) const { return root_ + kPreferences + "/" + name; }
  std::string marker() const { return preference("mutaro.lck"); }
  std::string settings() const { return preference("com.velbrant.mutaro.plist"); }
  std::string lockFile() const { return preference("com.velbrant.lock_file"); }

  // Starts the host under the sped-up clock, its standard error going to a file.
  void start(const std::vector<std::string>& options = {}) {
    const char* asanOptions = getenv("ASAN_OPTIONS");
    std::vector<std::string> environment = {
        "MUTARO_DEVICE_ROOT=" + root_, "TZ=UTC", "FAKETIME=+0 x10",
        std::string("LD_PRELOAD=") + kFakeTimeLibrary,
        // faketime is preloaded ahead of a sanitizer runtime.
        std::string("ASAN_OPTIONS=") + (asanOptions != nullptr ? asanOptions : "") + ":verify_asan_link_order=0"};
    for (char** variable = environ; *variable != nullptr; ++variable) {
      std::string name = std::string(*variable).substr(0, std::string(*variable).find('='));
      if (name != "MUTARO_DEVICE_ROOT" && name != "TZ" && name != "FAKETIME" && name != "LD_PRELOAD" &&
          name != "ASAN_OPTIONS") {
        environment.push_back(*variable);
      }
    }
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);

    std::string program = MUTARO_BIN_DIR "/SpringBoard";
    std::vector<std::string> arguments = {program};
    arguments.insert(arguments.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_EQ(0, posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()));
    posix_spawn_file_actions_destroy(&actions);
  }

  // Stops the host with SIGTERM; it must leave with status 0.
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    ASSERT_EQ(pid_, waitpid(pid_, &status, 0));
    pid_ = 0;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }

  std::string log() const { return readFile(stderrPath_); }
  bool logged(const std::string& text) const { return log().find(text) != std::string::npos; }
  bool waitForLog(const std::string& text) {
    return waitFor([&] { return logged(text); }, std::chrono::seconds(5));
  }

  // Replays the status-bar journal: whether "Mutaro" is shown now.
  static bool imageShown() {
    bool shown = false;
    for (const std::vector<std::string>& record : simRead("statusbar")) {
      if (record.size() == 2 && record[1] == "Mutaro") shown = record[0] == "add";
    }
    return shown;
  }

  std::string root_;
  std::string stderrPath_;
  pid_t pid_ = 0;
};

// Ten sped-up seconds: two checks of the indicator thread.
constexpr std::chrono::milliseconds kTwoChecks(1000);

TEST_F(MutaromsTest, StartWhileSilencedAnnouncesItAndPreparesTheFiles) {
  std::ofstream(marker()).close();
  std::ofstream(lockFile()).close();  // left over from before the restart
  start();
  ASSERT_TRUE(waitForLog("Copy backup files...")) << log();

  std::string text = log();
  size_t launched = text.find("SpringBoard finished launching");
  size_t banner = text.find("************* mutaroms ******************");
  size_t create = text.find("Create mutaro plist file if does not exist");
  size_t silent = text.find("--- Silent phone ---");
  ASSERT_NE(std::string::npos, launched) << text;
  ASSERT_NE(std::string::npos, banner) << text;
  ASSERT_NE(std::string::npos, create) << text;
  ASSERT_NE(std::string::npos, silent) << text;
  EXPECT_LT(launched, banner) << "SpringBoard's own launch runs first";
  EXPECT_LT(banner, create);
  EXPECT_LT(create, silent);

  auto posts = simulatedNotifyPosts();
  ASSERT_EQ(1u, posts.size());
  EXPECT_EQ("com.apple.springboard.ringerstate", posts[0].first);
  EXPECT_EQ(std::optional<uint64_t>(0), posts[0].second);
  EXPECT_EQ(std::optional<uint64_t>(0), simulatedNotifyState("com.apple.springboard.ringerstate"));
  EXPECT_TRUE(imageShown());

  // The missing settings file comes from the default copy, world-writable; the lock is gone.
  EXPECT_EQ(kDefaultSettings, readFile(settings()));
  EXPECT_EQ(fs::perms::all, fs::status(settings()).permissions());
  EXPECT_FALSE(fs::exists(lockFile()));
}

TEST_F(MutaromsTest, ImageFollowsTheMarkerWhileRunning) {
  const std::string ownSettings =
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CalendarID</key><integer>2</integer></dict></plist>\n";
  std::ofstream(settings()) << ownSettings;
  fs::permissions(settings(), fs::perms::owner_read | fs::perms::owner_write);
  start();
  ASSERT_TRUE(waitForLog("Copy backup files...")) << log();

  EXPECT_FALSE(logged("--- Silent phone ---"));
  EXPECT_TRUE(simulatedNotifyPosts().empty());
  EXPECT_FALSE(imageShown());
  // A settings file already there keeps its contents and only becomes world-writable.
  EXPECT_EQ(ownSettings, readFile(settings()));
  EXPECT_EQ(fs::perms::all, fs::status(settings()).permissions());

  std::ofstream(marker()).close();
  EXPECT_TRUE(waitFor(imageShown, kTwoChecks)) << "image shown after the marker appeared";
  fs::remove(marker());
  EXPECT_TRUE(waitFor([] { return !imageShown(); }, kTwoChecks)) << "image gone after the marker went";
  std::ofstream(marker()).close();
  EXPECT_TRUE(waitFor(imageShown, kTwoChecks)) << "image back with the marker";

  // Only SpringBoard's start posts the ringer state; the thread never does.
  EXPECT_TRUE(simulatedNotifyPosts().empty());
}

TEST_F(MutaromsTest, AnotherProcessIsLeftAlone) {
  // The filter admits the other process too, so the library's own check is what keeps it idle.
  std::ofstream(root_ + kExtensions + "/mutaroms.plist")
      << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Filter</key><dict><key>Bundles</key>"
         "<array><string>com.apple.springboard</string><string>com.example.other</string></array>"
         "</dict></dict></plist>\n";
  std::ofstream(marker()).close();
  std::ofstream(lockFile()).close();
  start({"--bundle-identifier", "com.example.other"});
  ASSERT_TRUE(waitForLog("SpringBoard finished launching")) << log();
  std::this_thread::sleep_for(kTwoChecks);

  std::string text = log();
  EXPECT_EQ(std::string::npos, text.find("cannot load")) << text;
  EXPECT_EQ(std::string::npos, text.find("mutaroms")) << text;
  EXPECT_EQ(std::string::npos, text.find("Silent phone")) << text;
  EXPECT_EQ(std::string::npos, text.find("Copy backup files...")) << text;
  EXPECT_TRUE(simulatedNotifyPosts().empty());
  EXPECT_TRUE(simRead("statusbar").empty());
  EXPECT_FALSE(fs::exists(settings()));
  EXPECT_TRUE(fs::exists(lockFile()));
}

}  // namespace
