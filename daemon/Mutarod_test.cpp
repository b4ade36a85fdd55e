// The daemon as the phone runs it: ./Mutarod from the application bundle of a simulated phone,
// under a faketime clock, with a switcher that records how it was run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "platform/GraphicsServices/GraphicsServices.h"
#include "tests/support/Phone.h"

namespace {

std::string lastMessage(const std::string& log) { return logMessages(log).back(); }

class Mutarod : public testing::Test {
 protected:
  void SetUp() override {
    // The switcher records its argument, the "EventInProgress" it finds and whether the sounds
    // were saved before it ran.
    replace("Mutarodh", "s=" + phone.at(kSettingsPath) +
                            "\necho \"$1 $(sed -n '/<key>EventInProgress/{n;p;}' $s | tr -d ' \\t')"
                            " $(grep -c '<key>Keyboard</key>' $s)\" >> runs\n");
    phone.addEvent({nine, ten});
  }
  // Over the bundle's program, keeping its mode.
  void replace(const std::string& program, const std::string& script) {
    phone.write(std::string(kBundleDirectory) + "/" + program, "#!/bin/sh\n" + script);
  }
  std::vector<std::string> switcherRuns() { return linesOf(phone.read(std::string(kBundleDirectory) + "/runs")); }

  Phone phone;
  const time_t nine = localTime("2026-12-07 09:00:00");
  const time_t ten = localTime("2026-12-07 10:00:00");
};

// One row of the event state machine: the state between passes, whether the event runs, and
// what the pass must leave.
struct Transition {
  const char* name;
  json enabled;
  bool inProgress, disableEvent, eventRunning;
  std::vector<std::string> switcherRuns;  // "argument EventInProgress-seen sounds-saved"
  bool inProgressAfter, disableEventAfter;
  const char* message;
  bool wakeAtTheEnd;  // otherwise no wake of this system
};

void PrintTo(const Transition& row, std::ostream* out) { *out << row.name; }

class Transitions : public Mutarod, public testing::WithParamInterface<Transition> {};

TEST_P(Transitions, APassMovesTheEventState) {
  const Transition& row = GetParam();
  phone.set({{kEnabledSwitch, row.enabled}, {kEventInProgress, row.inProgress}, {kDisableEventSwitch, row.disableEvent}});
  if (!row.eventRunning) phone.sql("DELETE FROM CalendarItem");
  Outcome run = phone.daemon(clockAt("2026-12-07 09:30:00"));
  ASSERT_TRUE(run.exited(0)) << run.err;
  EXPECT_EQ(switcherRuns(), row.switcherRuns);
  EXPECT_EQ(phone.setting(kEventInProgress), row.inProgressAfter);
  EXPECT_EQ(phone.setting(kDisableEventSwitch), row.disableEventAfter);
  EXPECT_TRUE(contains(run.err, row.message)) << run.err;
  EXPECT_EQ(mutaroWakes(phone.status()), row.wakeAtTheEnd ? std::vector{iso8601(ten)} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    EventStates, Transitions,
    testing::Values(
        Transition{"IdleEventStarts", true, false, false, true, {"1 <true/> 1"}, true, false, "Has an event............", true},
        Transition{"IdleWithAStaleReleaseEventStarts", true, false, true, true, {"1 <true/> 1"}, true, false, "Has an event............", true},
        Transition{"IdleStaysIdle", true, false, false, false, {}, false, false, "Exit main program thread - NEW NEW NEW", false},
        Transition{"SilencedStaysSilenced", true, true, false, true, {}, true, false, "*** Found event1", true},
        Transition{"SilencedEventEnds", true, true, false, false, {"0 <true/> 0"}, false, false, "Current event was not disabled", false},
        Transition{"ReleasedStaysReleased", true, true, true, true, {}, true, true, "*** Found event1", true},
        Transition{"ReleasedEventEnds", true, true, true, false, {}, false, false, "Not reverting - Current Event was disabled", false},
        Transition{"SilencedDisabled", false, true, false, true, {"0 <true/> 0"}, false, false, "Exit Application. Mutaro is disabled", false},
        Transition{"ReleasedDisabled", nullptr, true, true, true, {}, false, false, "Current event was already disabled", false},
        Transition{"IdleDisabled", false, false, false, true, {}, false, false, "Exit Application. Mutaro is disabled", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mutarod, AnEventStartSavesTheSystemSoundsOrTheirDefaults) {
  phone.set({{kSavedCalendarAlarm, "from an earlier event"}});
  phone.write(kSpringBoardPreferencesPath,
              "<plist><dict><key>ringtone</key><string>itunes:Marimba</string><key>sms-sound</key><integer>2</integer></dict></plist>");
  phone.write(kMailPreferencesPath, "<plist><dict><key>PlayNewMailSound</key><false/></dict></plist>");
  phone.writePlist(kSoundsPreferencesPath, NSMutableDictionary());
  phone.write(kPhonePreferencesPath, "unreadable");
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:30:00")).exited(0));
  json saved = phone.status()["settings"];
  const json expected = {{kSavedRingtone, "itunes:Marimba"}, {kSavedRingVibrate, 0}, {kSavedSmsSound, 2},
                         {kSavedLockUnlock, false}, {kSavedVoicemailToneEnabled, true}, {kSavedPlayNewMailSound, false},
                         {kSavedPlaySentMailSound, true}, {kSavedKeyboard, true}};
  for (const auto& [key, value] : expected.items()) EXPECT_EQ(saved[key], value) << key;
  EXPECT_FALSE(saved.contains(kSavedCalendarAlarm)) << "removed, not written empty";
}

// Sixty seconds ahead a boundary ends the run; fifty-nine keep it passing every ten seconds, with
// one power assertion held throughout, until SIGTERM.
TEST_F(Mutarod, ABoundarySixtySecondsAheadEndsTheRunAndFiftyNineKeepItPollingUntilSigterm) {
  Outcome run = phone.daemon(clockAt("2026-12-07 08:59:00"));
  ASSERT_TRUE(run.exited(0));
  EXPECT_EQ(lastMessage(run.err), "Exit main program thread - NEW NEW NEW");
  EXPECT_EQ(mutaroWakes(phone.status()), std::vector{iso8601(nine)});

  auto daemon = phone.start({"./Mutarod"}, {.clock = clockAt("2026-12-07 08:59:01", 4)}, phone.at("/daemon.log"));
  ASSERT_TRUE(eventually(20, [&] { return phone.count("Next event is in the range of 60 seconds - main thread") >= 2; }));
  const json held = phone.status()["powerAssertions"];
  daemon->signal(SIGTERM);
  ASSERT_EQ(held.size(), 1u) << held.dump();
  EXPECT_EQ(held[0]["type"], "NoIdleSleepAssertion");
  EXPECT_EQ(held[0]["level"], 255);
  int status = -1;
  ASSERT_TRUE(daemon->wait(10, &status) && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(lastMessage(phone.read("/daemon.log")), "terminate signal catched");
  EXPECT_TRUE(contains(phone.read("/daemon.log"), "Next wake1: 2026-12-07 09:00:00\n")) << "printed lines kept";
  EXPECT_EQ(lastMessage(phone.log()), "terminate signal catched") << "in the phone's system log too";
}

// An end that passes while a pass runs (here a slow switcher's) gives the sounds back within
// seconds, and the next wake is the next event's start.
TEST_F(Mutarod, AnEndPassingDuringThePassGivesTheSoundsBackAtOnce) {
  replace("Mutarodh", "echo $1 >> runs\n[ \"$1\" = 1 ] && sleep 20\n");
  phone.addEvent({localTime("2026-12-07 11:00:00"), localTime("2026-12-07 12:00:00")});
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:59:45", 20)).exited(0));
  EXPECT_EQ(switcherRuns(), (std::vector<std::string>{"1", "0"}));
  EXPECT_EQ(phone.setting(kEventInProgress), false);
  EXPECT_LE(phone.setting(kUpdatedExit).get<std::string>(), "2026-12-07 10:00:40");
  EXPECT_EQ(mutaroWakes(phone.status()), std::vector{iso8601(localTime("2026-12-07 11:00:00"))});
}

// A release covers the events that had started when the daemon last found the phone silenced: a
// meeting that starts later, during the released event, is silenced at its start.
TEST_F(Mutarod, AReleaseLeavesAMeetingThatStartsLaterToBeSilenced) {
  const time_t meeting = localTime("2026-12-07 09:40:00");
  phone.addEvent({meeting, localTime("2026-12-07 10:30:00")});
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:30:00")).exited(0));
  phone.set({{kDisableEventSwitch, true}});
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:35:00")).exited(0));
  EXPECT_EQ(mutaroWakes(phone.status()), std::vector{iso8601(meeting)});
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:40:00")).exited(0));
  EXPECT_EQ(switcherRuns(), (std::vector<std::string>{"1 <true/> 1", "1 <true/> 1"}));
  EXPECT_EQ(phone.setting(kDisableEventSwitch), false);
}

TEST_F(Mutarod, WithoutGraphicsServicesItEndsWithStatus255) {
  phone.remove(kGraphicsServicesPath);
  Outcome run = phone.daemon(clockAt("2026-12-07 09:30:00"));
  EXPECT_TRUE(run.exited(255));
  EXPECT_EQ(lastMessage(run.err), "Could not open library");
  EXPECT_EQ(phone.setting(kUpdatedStart), nullptr);
}

TEST_F(Mutarod, StartUpPreparesWhatIsMissing) {
  const std::vector<const char*> preferences = {
      "/private/var/mobile/Library/Preferences/com.apple.mobiletimer.plist", kMailPreferencesPath,
      kPhonePreferencesPath, kSoundsPreferencesPath};
  for (const char* file : preferences) phone.remove(file);
  replace("CopyFile", "echo \"$1 $2\" >> copies\n");
  phone.sql("DELETE FROM CalendarItem");
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:30:00")).exited(0));
  for (const char* file : preferences) EXPECT_TRUE(phone.exists(file)) << file;

  // The system's files copied into the bundle and into Documents; present ones not again.
  const std::string& r = phone.root();
  auto copy = [&](const std::string& from, const std::string& to) { return r + from + " " + r + to; };
  EXPECT_EQ(linesOf(phone.read(std::string(kBundleDirectory) + "/copies")),
            (std::vector{copy(kSoundBehaviourPath, "/Applications/Mutaro.app/SystemSoundBehaviour.plist"),
                         copy(kSoundBehaviourPath, "/private/var/mobile/Documents/SystemSoundBehaviour.plist"),
                         copy(kSmsTonePath, "/Applications/Mutaro.app/sms-received1.caf"),
                         copy(kSmsTonePath, "/private/var/mobile/Documents/sms-received1.caf")}));
  phone.write(std::string(kBundleDirectory) + "/SystemSoundBehaviour.plist", "");
  phone.write(std::string(kBundleDirectory) + "/sms-received1.caf", "");
  ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:30:00")).exited(0));
  EXPECT_EQ(linesOf(phone.read(std::string(kBundleDirectory) + "/copies")).size(), 4u);
}

}  // namespace
