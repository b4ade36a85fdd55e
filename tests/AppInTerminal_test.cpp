// The settings application in a terminal: `phonesim app ROOT` in a tmux pane, driven by keys.
#include <gtest/gtest.h>

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

}  // namespace
