// The daemon ended by SIGTERM or SIGKILL while its switcher silences the phone: the switcher
// goes on alone, and a later daemon run brings the phone back to its original sounds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>

#include "tests/support/Phone.h"

namespace {

TEST(DaemonKilled, ALaterRunRestoresTheOriginalSounds) {
  for (int signal : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(strsignal(signal));
    Phone phone;
    // User-profile mode with every sound silenced: the switcher changes all it can.
    phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false},
               {kVoicemailSwitch, false}, {kNewmailSwitch, false}, {kSentmailSwitch, false}, {kSMSSwitch, false},
               {kCalendarSwitch, false}, {kLockunlockSwitch, false}, {kKeyboardSwitch, false}});
    phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
    // The first start copies the bundle files; take the originals after it.
    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 08:00:00", 20)).exited(0));
    const Sounds original = phone.sounds();

    auto daemon = phone.start({"./Mutarod"}, {.clock = clockAt("2026-12-07 09:00:05", 20)}, phone.at("/daemon.log"));
    ASSERT_TRUE(eventually(20, [&] { return phone.exists(kMarkerPath); })) << phone.read("/daemon.log");
    daemon->signal(signal);
    int status = 0;
    ASSERT_TRUE(daemon->wait(10, &status));
    if (signal == SIGKILL) {
      EXPECT_TRUE(WIFSIGNALED(status));
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_NE(phone.read("/daemon.log").find("terminate signal catched"), std::string::npos);
    }
    EXPECT_TRUE(daemon->waitGroup(30)) << "the switcher did not end on its own";
    EXPECT_EQ(phone.status()["powerAssertions"], json::array()) << "the assertion ends with its process";
    EXPECT_EQ(phone.setting(kEventInProgress), true);
    EXPECT_NE(phone.sounds(), original) << "the orphaned switcher did not silence the phone";

    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 10:01:30", 20)).exited(0));
    EXPECT_EQ(phone.setting(kEventInProgress), false);
    EXPECT_FALSE(phone.exists(kMarkerPath));
    EXPECT_FALSE(phone.exists(kSettingsLockPath));
    EXPECT_EQ(phone.sounds(), original);
  }
}

}  // namespace
