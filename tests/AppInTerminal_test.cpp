// The settings application in a terminal: `phonesim app ROOT` in a tmux pane, driven by keys.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "tests/support/Phone.h"
#include "tests/support/Terminal.h"

namespace {

TEST(AppInTerminal, SwitchingOffAndChoosingACalendarChangeTheSettingsFile) {
  Phone phone;
  Terminal terminal(builtProgram("phonesim") + " app " + phone.root());
  std::string shown = terminal.waitFor("Select Calendar");
  EXPECT_NE(lineOf(shown, "Enabled").find("[ON]"), std::string::npos) << shown;
  EXPECT_NE(lineOf(shown, "Disable Event").find("[OFF] (disabled)"), std::string::npos) << shown;
  EXPECT_NE(lineOf(shown, "Select Calendar").find("›"), std::string::npos) << shown;

  terminal.keys("Space");  // the focus starts on "Enabled"
  EXPECT_TRUE(eventually(10, [&] { return phone.setting(kEnabledSwitch) == false; }));
  EXPECT_NE(lineOf(terminal.waitFor("[OFF]\n"), "Enabled").find("[OFF]"), std::string::npos);

  terminal.keys("Down j Enter");  // over the disabled switch to the calendar row
  shown = terminal.waitFor("ALL Calendars - Mutaro will check");
  EXPECT_NE(lineOf(shown, "All Calendars").find("✓"), std::string::npos) << shown;
  terminal.keys("j Space");
  EXPECT_TRUE(eventually(10, [&] { return phone.setting(kCalendarID) == 2; }));
  shown = terminal.waitFor("Work");
  EXPECT_NE(lineOf(shown, "Work").find("✓"), std::string::npos) << shown;

  terminal.keys("Escape");
  EXPECT_NE(lineOf(terminal.waitFor("Enabled"), "Enabled").find("[OFF]"), std::string::npos);
  terminal.keys("q");
  EXPECT_TRUE(eventually(5, [&] { return !terminal.running(); }));
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(AppInTerminal, TheRestoreSaysSoDropsKeysTypedMeanwhileAndTheScreenFollowsTheSettingsFile) {
  Phone phone;
  phone.saveSounds();
  phone.set({{kEventInProgress, true}});
  phone.write(kMarkerPath, "");
  Terminal terminal(builtProgram("phonesim") + " app " + phone.root() + "; sleep 60");
  std::string shown = terminal.waitFor("Select Calendar");
  EXPECT_FALSE(has(lineOf(shown, "Disable Event"), "(disabled)")) << shown;

  terminal.keys("Space");  // "Enabled" off during the silenced event: the sounds come back now
  EXPECT_TRUE(has(terminal.waitFor("Restoring sounds…"), "Restoring sounds…"));
  terminal.keys("Space");  // typed while it restores: acted on later, it would switch "Enabled" on
  EXPECT_TRUE(eventually(20, [&] { return phone.setting(kEventInProgress) == false; }));
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_TRUE(eventually(10, [&] { return has(lineOf(terminal.screen(), "Disable Event"), "(disabled)"); }));
  EXPECT_EQ(phone.setting(kEnabledSwitch), false);
  EXPECT_TRUE(has(lineOf(terminal.screen(), "Enabled"), "[OFF]"));

  phone.set({{kEventInProgress, true}});  // as the daemon writes it at the next event
  EXPECT_TRUE(eventually(10, [&] { return !has(lineOf(terminal.screen(), "Disable Event"), "(disabled)"); }));

  terminal.keys("q");
  EXPECT_TRUE(eventually(5, [&] { return !has(terminal.screen(), "Select Calendar"); }));
  shown = terminal.screen();
  EXPECT_FALSE(has(shown, "Lock file") || has(shown, "Opening DB")) << shown;
  EXPECT_TRUE(has(phone.read("/private/var/log/Mutaro.log"), "Opening DB"));
}

TEST(AppInTerminal, ASmallTerminalKeepsTheFocusAndTheWayOutInViewAndADeadAppLeavesItUsable) {
  Phone phone;
  Terminal terminal(builtProgram("phonesim") + " app " + phone.root() + "; sleep 60", 30, 7);
  std::string shown = terminal.waitFor("Select Calendar");
  EXPECT_TRUE(has(shown, "back") && has(shown, "quit")) << shown;

  terminal.keys("End Enter End");  // the chooser, its last row
  shown = terminal.waitFor("  Work");
  EXPECT_TRUE(has(shown, "events only in that calendar\n  Work")) << shown;  // with its header
  terminal.resize(15, 3);
  EXPECT_TRUE(has(terminal.waitFor("too small"), "too small"));
  terminal.resize(40, 7);
  shown = terminal.waitFor("  Work");
  EXPECT_TRUE(has(shown, " Select a specific calendar") && has(shown, "calendar\n  Work")) << shown;

  const std::string bundle = phone.at(kBundleDirectory);
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::error_code error;
    if (std::filesystem::read_symlink(process.path() / "cwd", error) == bundle) {
      kill(std::stoi(process.path().filename()), SIGKILL);
    }
  }
  shown = terminal.waitFor("the terminal is put back");
  EXPECT_TRUE(has(shown, "Mutaro ended by signal 9")) << shown;
  EXPECT_FALSE(has(shown, "  Work")) << shown;  // the main screen again
}

}  // namespace
