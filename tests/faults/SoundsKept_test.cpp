// The user's own sounds come back after every event, whatever happens during it: a full disk
// when the silence or the revert runs, a restore by the settings application that meets a
// silence under way, a phone left partly silenced without its marker.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "settings-store/SoundsLock.h"
#include "tests/support/Phone.h"

namespace {

// The user-profile mode with sounds that touch each of the four kinds of change: preference
// keys, the swapped SMS tone, the sound behaviour table and the volume.
void userProfile(Phone& phone) {
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false},
             {kSMSSwitch, false}, {kLockunlockSwitch, false}});
  phone.addEvent({todayAt("09:00:00"), todayAt("10:00:00")});
}

void expectGivenBack(const Phone& phone, const Sounds& before) {
  EXPECT_EQ(phone.sounds(), before);
  EXPECT_FALSE(phone.exists(kMarkerPath));
  EXPECT_EQ(phone.setting(kEventInProgress), false);
}

// The switcher or the settings application killed where it restarts the media server: its files
// are back, the volume not yet. The phone's own killall is kept aside, and put back by `mend`.
void cutAtTheMediaServer(const Phone& phone) {
  std::filesystem::rename(phone.at("/usr/bin/killall"), phone.at("/usr/bin/killall.kept"));
  phone.write("/usr/bin/killall",
              "#!/bin/sh\npid=$PPID\nwhile [ \"$pid\" -gt 1 ]; do\n"
              "  case \"$(cat /proc/$pid/comm)\" in Mutarodh|tap-switch) kill -9 \"$pid\"; exit 0;; esac\n"
              "  read -r _ _ _ pid _ < /proc/$pid/stat\ndone\n");
  std::filesystem::permissions(phone.at("/usr/bin/killall"), std::filesystem::perms::owner_all);
}

void mendTheMediaServer(const Phone& phone) {
  phone.remove("/usr/bin/killall");
  std::filesystem::rename(phone.at("/usr/bin/killall.kept"), phone.at("/usr/bin/killall"));
}

// One way through an event, by steps: "daemon HH:MM:SS" (a run then), "full PATH" (the disk fills
// under it), "free", "release" (the user taps "Disable Event"), "forget" (the marker and the
// event state lost, as an interrupted restore used to leave them), "cut" (the next procedure is
// killed before the volume) or "mend".
struct Road {
  std::string name;
  std::vector<std::string> steps;
};
void PrintTo(const Road& road, std::ostream* out) { *out << road.name; }

class SoundsKept : public testing::TestWithParam<Road> {};

TEST_P(SoundsKept, AfterTheEventTheSoundsAreTheUsers) {
  Phone phone;
  userProfile(phone);
  const Sounds before = phone.sounds();
  bool cut = false;
  for (const std::string& step : GetParam().steps) {
    std::string action = step.substr(0, step.find(' '));
    std::string argument = step.substr(action.size() + (action.size() < step.size()));
    if (action == "daemon") ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 " + argument, 20)).exited(0)) << step;
    if (action == "full") phone.fillDisk({argument});
    if (action == "free") phone.freeDisk();
    if (action == "release") {
      bool tapped = phone.run({"tap-switch", "Disable Event"}, {.clock = clockAt("2026-12-07 09:20:00", 20)}).exited(0);
      ASSERT_NE(tapped, cut) << step;
    }
    if (action == "cut") {
      cutAtTheMediaServer(phone);
      cut = true;
    }
    if (action == "mend") {
      mendTheMediaServer(phone);
      cut = false;
    }
    if (action == "forget") {
      phone.remove(kMarkerPath);
      phone.set({{kEventInProgress, false}});
    }
  }
  expectGivenBack(phone, before);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SoundsKept,
    testing::Values(
        // Nothing could be saved: the next pass saves and silences anew, and the end gives back.
        Road{"DiskFullAtTheStart", {"full /private/var/mobile", "daemon 09:00:05", "free", "daemon 09:10:00", "daemon 10:00:05"}},
        // The tone could not be copied back: the marker and the event stay, the next pass finishes.
        Road{"SystemDiskFullAtTheEnd", {"daemon 09:00:05", "full /System", "daemon 10:00:05", "free", "daemon 10:01:40"}},
        // The application's restore could not finish: the release does not keep the end from it.
        Road{"SystemDiskFullAtTheRelease", {"daemon 09:00:05", "full /System", "release", "free", "daemon 10:00:05"}},
        // Still silenced without the marker at a start: the silent values are no originals.
        Road{"SilencedWithoutTheMarker", {"daemon 09:00:05", "forget", "daemon 09:10:00", "daemon 10:00:05"}},
        // A revert killed before the volume keeps the marker, and the next pass finishes it.
        Road{"RevertKilledBeforeTheVolume", {"daemon 09:00:05", "cut", "daemon 10:00:05", "mend", "daemon 10:01:40"}},
        // So does a restore killed by the user: a second "Disable Event" then gives the volume back.
        Road{"RestoreKilledBeforeTheVolume", {"daemon 09:00:05", "cut", "release", "mend", "release", "daemon 10:00:05"}}),
    [](const auto& info) { return info.param.name; });

// "Disable Event" or "Enabled" tapped while the daemon starts the silence: the user's choice wins
// whenever it comes, and after the event the phone is as the user had it. The procedures' lock
// is taken where a link stood, without following it.
TEST(SoundsKeptRace, ASwitchTappedWhileTheSilenceRunsGivesEverythingBack) {
  for (const char* title : {"Disable Event", "Enabled"}) {
    for (double delay : {0.0, 0.3, 0.8}) {
      SCOPED_TRACE(std::string(title) + " after " + std::to_string(delay));
      Phone phone;
      userProfile(phone);
      std::filesystem::create_symlink(phone.at("/victim"), phone.at(kSoundsLockPath));
      const Sounds before = phone.sounds();
      auto daemon = phone.start({"./Mutarod"}, {.clock = clockAt("2026-12-07 09:00:02", 4)}, phone.at("/daemon.out"));
      ASSERT_TRUE(eventually(20, [&] { return phone.setting(kEventInProgress) == true; }));
      usleep(static_cast<useconds_t>(delay * 1e6));
      EXPECT_TRUE(phone.run({"tap-switch", title}, {.clock = clockAt("2026-12-07 09:00:05", 4)}).exited(0));
      ASSERT_TRUE(daemon->wait(60));
      ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 10:00:05", 20)).exited(0));
      expectGivenBack(phone, before);
      EXPECT_EQ(phone.setting(kDisableEventSwitch), false);
      EXPECT_FALSE(phone.exists("/victim"));
    }
  }
}

}  // namespace
