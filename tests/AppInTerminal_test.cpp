// The settings application in a terminal: `phonesim app ROOT` in a tmux pane, driven by keys.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "tests/support/Phone.h"
#include "tests/support/Terminal.h"

namespace {

TEST(AppInTerminal, TheRestoreSaysSoDropsKeysTypedMeanwhileAndTheScreenFollowsTheSettingsFile) {
  Phone phone;
  phone.saveSounds();
  phone.set({{kEventInProgress, true}});
  phone.write(kMarkerPath, "");
  Terminal terminal(builtProgram("phonesim") + " app " + phone.root() + "; sleep 60");
  std::string shown = terminal.waitFor("Select Calendar");
  EXPECT_FALSE(contains(lineOf(shown, "Disable Event"), "(disabled)")) << shown;

  terminal.keys("Space");  // "Enabled" off during the silenced event: the sounds come back now
  EXPECT_TRUE(contains(terminal.waitFor("Restoring sounds…"), "Restoring sounds…"));
  terminal.keys("Space");  // typed while it restores: acted on later, it would switch "Enabled" on
  EXPECT_TRUE(eventually(20, [&] { return phone.setting(kEventInProgress) == false; }));
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_TRUE(eventually(10, [&] { return contains(lineOf(terminal.screen(), "Disable Event"), "(disabled)"); }));
  EXPECT_EQ(phone.setting(kEnabledSwitch), false);
  EXPECT_TRUE(contains(lineOf(terminal.screen(), "Enabled"), "[OFF]"));

  phone.set({{kEventInProgress, true}});  // as the daemon writes it at the next event
  EXPECT_TRUE(eventually(10, [&] { return !contains(lineOf(terminal.screen(), "Disable Event"), "(disabled)"); }));

  terminal.keys("q");
  EXPECT_TRUE(eventually(5, [&] { return !contains(terminal.screen(), "Select Calendar"); }));
  shown = terminal.screen();
  EXPECT_FALSE(contains(shown, "Lock file") || contains(shown, "Opening DB")) << shown;
  EXPECT_TRUE(contains(phone.read("/private/var/log/Mutaro.log"), "Opening DB"));
}

// Moving over the disabled switch, choosing a calendar and coming back, in a terminal too small
// for the whole screen.
TEST(AppInTerminal, ASmallTerminalKeepsTheFocusAndTheWayOutInViewAndADeadAppLeavesItUsable) {
  Phone phone;
  Terminal terminal(builtProgram("phonesim") + " app " + phone.root() + "; sleep 60", 30, 7);
  std::string shown = terminal.waitFor("Select Calendar");
  EXPECT_TRUE(contains(shown, "back") && contains(shown, "quit")) << shown;
  EXPECT_TRUE(contains(lineOf(shown, "Select Calendar"), "›")) << shown;

  terminal.keys("Down j Enter End Space");  // the chooser, its last row chosen
  EXPECT_TRUE(eventually(10, [&] { return phone.setting(kCalendarID) == 2; }));
  EXPECT_TRUE(eventually(10, [&] { return contains(lineOf(terminal.screen(), "Work"), "✓"); })) << terminal.screen();
  EXPECT_TRUE(contains(terminal.screen(), "events only in that calendar\n  Work")) << terminal.screen();  // with its header
  terminal.resize(15, 3);
  EXPECT_TRUE(contains(terminal.waitFor("too small"), "too small"));
  terminal.resize(40, 7);
  shown = terminal.waitFor("  Work");
  EXPECT_TRUE(contains(shown, " Select a specific calendar") && contains(shown, "calendar\n  Work")) << shown;
  terminal.keys("Escape");
  EXPECT_TRUE(eventually(10, [&] { return contains(terminal.screen(), "Enabled"); }));
  terminal.keys("End Enter End");  // the chooser again, its last row
  EXPECT_TRUE(contains(terminal.waitFor("  Work"), "  Work"));

  const std::string bundle = phone.at(kBundleDirectory);
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::error_code error;
    if (std::filesystem::read_symlink(process.path() / "cwd", error) == bundle) kill(std::stoi(process.path().filename()), SIGKILL);
  }
  shown = terminal.waitFor("the terminal is put back");
  EXPECT_TRUE(contains(shown, "Mutaro ended by signal 9")) << shown;
  EXPECT_FALSE(contains(shown, "  Work")) << shown;  // the main screen again
}

}  // namespace
