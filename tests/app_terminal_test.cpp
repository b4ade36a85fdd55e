// The settings application in a terminal: `phonesim app ROOT` run in a tmux pane, driven by
// keys, read from the screen, and the settings file read back.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/Foundation/NSMutableDictionary.h"

namespace {

constexpr const char* kSettingsPath = "/var/mobile/Library/Preferences/com.velbrant.mutaro.plist";

std::string run(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
    pclose(pipe);
  }
  return output;
}

// A tmux server of its own with one 100 x 30 pane.
class TerminalSession {
 public:
  explicit TerminalSession(const std::string& command)
      : tmux_("env -u TMUX LC_ALL=C.UTF-8 tmux -L mutaro-app-test-" + std::to_string(getpid()) + " -f /dev/null -u ") {
    run(tmux_ + "new-session -d -s app -x 100 -y 30 -e LANG=C.UTF-8 -e LC_ALL=C.UTF-8 '" + command + "'");
  }
  ~TerminalSession() { run(tmux_ + "kill-server 2>/dev/null"); }

  std::string screen() const { return run(tmux_ + "capture-pane -p -t app 2>/dev/null"); }
  void keys(const std::string& keys) const { run(tmux_ + "send-keys -t app " + keys); }
  bool running() const { return std::system((tmux_ + "has-session -t app 2>/dev/null").c_str()) == 0; }

  // Waits up to 10 seconds for `text` to show; the screen as last seen.
  std::string waitFor(const std::string& text) const {
    std::string shown;
    for (int attempt = 0; attempt < 100; ++attempt) {
      shown = screen();
      if (shown.find(text) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return shown;
  }

 private:
  std::string tmux_;
};

// The line of the screen that starts (after its indent) with `title`.
std::string lineOf(const std::string& screen, const std::string& title) {
  size_t start = screen.find("  " + title);
  if (start == std::string::npos) return "";
  return screen.substr(start, screen.find('\n', start) - start);
}

class AppInTerminal : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mutaro-terminal-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    ASSERT_EQ(std::system((std::string(MUTARO_BIN_DIR) + "/phonesim init " + root + " > /dev/null").c_str()), 0);
    setenv("MUTARO_DEVICE_ROOT", root.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MUTARO_DEVICE_ROOT");
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  std::unique_ptr<NSMutableDictionary> settings() const {
    return NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  }

  std::string root;
};

TEST_F(AppInTerminal, SwitchingOffAndChoosingACalendarChangeTheSettingsFile) {
  TerminalSession terminal(std::string(MUTARO_BIN_DIR) + "/phonesim app " + root);

  std::string shown = terminal.waitFor("Select Calendar");
  EXPECT_NE(shown.find("Mutaro"), std::string::npos) << shown;
  EXPECT_NE(lineOf(shown, "Enabled").find("[ON]"), std::string::npos) << shown;
  EXPECT_NE(lineOf(shown, "Disable Event").find("[OFF] (disabled)"), std::string::npos) << shown;
  EXPECT_NE(lineOf(shown, "Select Calendar").find("›"), std::string::npos) << shown;

  // The focus starts on "Enabled".
  terminal.keys("Space");
  shown = terminal.waitFor("[OFF]\n");
  EXPECT_NE(lineOf(shown, "Enabled").find("[OFF]"), std::string::npos) << shown;
  EXPECT_EQ(settings()->boolForKey("EnabledSwitch"), std::optional<bool>(false));

  // Down over the disabled switch to the calendar row, which opens the chooser.
  terminal.keys("Down j Enter");
  shown = terminal.waitFor("ALL Calendars - Mutaro will check");
  EXPECT_NE(shown.find("Select a specific calendar - Mutaro will check for new events only in that calendar"),
            std::string::npos) << shown;
  EXPECT_NE(lineOf(shown, "All Calendars").find("✓"), std::string::npos) << shown;

  // The focus starts on "All Calendars" again; "Work" is the next row.
  terminal.keys("j Space");
  for (int attempt = 0; attempt < 100 && settings()->intForKey("CalendarID") != 2; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(settings()->intForKey("CalendarID"), std::optional<int32_t>(2));
  shown = terminal.screen();
  EXPECT_NE(lineOf(shown, "Work").find("✓"), std::string::npos) << shown;
  EXPECT_EQ(lineOf(shown, "All Calendars").find("✓"), std::string::npos) << shown;

  terminal.keys("Escape");
  shown = terminal.waitFor("Enabled");
  EXPECT_NE(lineOf(shown, "Enabled").find("[OFF]"), std::string::npos) << shown;
  terminal.keys("q");
  for (int attempt = 0; attempt < 50 && terminal.running(); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_FALSE(terminal.running());
}

}  // namespace
