// The daemon ended by SIGTERM or SIGKILL while its switcher runs: the switcher goes on alone,
// and a later daemon run brings the phone back to its original sounds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "tests/support/Phone.h"

namespace {

struct KillCase {
  const char* name;
  int signal;
  bool duringRevert;  // killed during "./Mutarodh 0" at the event's end, else during "./Mutarodh 1"
};

void PrintTo(const KillCase& kill, std::ostream* out) { *out << kill.name; }

class DaemonKilled : public testing::TestWithParam<KillCase> {
 protected:
  void SetUp() override {
    // User-profile mode with every sound silenced: the switcher changes all it can.
    phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false},
               {kVoicemailSwitch, false}, {kNewmailSwitch, false}, {kSentmailSwitch, false}, {kSMSSwitch, false},
               {kCalendarSwitch, false}, {kLockunlockSwitch, false}, {kKeyboardSwitch, false}});
    phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
    // The first start copies the bundle files; take the originals after it.
    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 08:00:00", 20)).exited(0));
    original = phone.sounds();
  }

  void runAndKill(const char* time, const std::function<bool()>& ready) {
    auto daemon = phone.start({"./Mutarod"}, {.clock = clockAt(time, 20)}, phone.at("/daemon.log"));
    ASSERT_TRUE(eventually(20, ready)) << phone.read("/daemon.log");
    daemon->signal(GetParam().signal);
    int status = 0;
    ASSERT_TRUE(daemon->wait(10, &status));
    if (GetParam().signal == SIGKILL) {
      EXPECT_TRUE(WIFSIGNALED(status));
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      EXPECT_NE(phone.read("/daemon.log").find("terminate signal catched"), std::string::npos);
    }
    EXPECT_TRUE(daemon->waitGroup(30)) << "the switcher did not end on its own";
    EXPECT_EQ(phone.status()["powerAssertions"], json::array()) << "the assertion ends with its process";
  }

  Phone phone;
  Sounds original;
};

TEST_P(DaemonKilled, ALaterRunRestoresTheOriginalSounds) {
  if (!GetParam().duringRevert) {
    runAndKill("2026-12-07 09:00:05", [&] { return phone.exists(kMarkerPath); });
    EXPECT_EQ(phone.setting(kEventInProgress), true);
    EXPECT_NE(phone.sounds(), original) << "the orphaned switcher did not silence the phone";
  } else {
    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:00:05", 20)).exited(0));
    ASSERT_TRUE(phone.exists(kMarkerPath));
    runAndKill("2026-12-07 10:00:30", [&] { return !phone.exists(kMarkerPath); });
  }
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 10:01:30", 20)).exited(0));
  EXPECT_EQ(phone.setting(kEventInProgress), false);
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_FALSE(phone.exists(kSettingsLockPath));
  EXPECT_EQ(phone.sounds(), original);
}

INSTANTIATE_TEST_SUITE_P(Faults, DaemonKilled,
                         testing::Values(KillCase{"TermDuringSilence", SIGTERM, false},
                                         KillCase{"KillDuringSilence", SIGKILL, false},
                                         KillCase{"TermDuringRevert", SIGTERM, true},
                                         KillCase{"KillDuringRevert", SIGKILL, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
