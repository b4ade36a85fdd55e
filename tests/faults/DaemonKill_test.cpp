// The daemon ended by SIGTERM or SIGKILL while its switcher runs: the switcher goes on alone,
// and a later daemon run brings the phone back to its original sounds.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include <plist/plist.h>

#include "tests/faults/FaultPhone.h"

namespace {

constexpr const char* kSpringboard = "/private/var/mobile/Library/Preferences/com.apple.springboard.plist";
constexpr const char* kPhone = "/private/var/mobile/Library/Preferences/com.apple.mobilephone.plist";
constexpr const char* kMail = "/private/var/mobile/Library/Preferences/com.apple.mobilemail.plist";
constexpr const char* kSounds = "/private/var/mobile/Library/Preferences/com.apple.preferences.sounds.plist";
constexpr const char* kBehaviour = "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist";
constexpr const char* kSmsTone = "/System/Library/Audio/UISounds/sms-received1.caf";

// What "the phone's sounds" are: the preference files' values, the two system sound files,
// the volume.
struct Sounds {
  std::map<std::string, std::string> preferences;
  std::string behaviour;
  std::string smsTone;
  double volume = -1;
  bool operator==(const Sounds&) const = default;
};

std::string plistValues(const FaultPhone& phone, const char* phonePath) {
  std::string data = phone.read(phonePath);
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
  if (root == nullptr) return "<unreadable>";
  // Parsed and written again, so that only the values count, not the form of the file.
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  std::string text(xml, length);
  std::free(xml);
  plist_free(root);
  return text;
}

Sounds soundsOf(const FaultPhone& phone) {
  Sounds sounds;
  for (const char* file : {kSpringboard, kPhone, kMail, kSounds}) sounds.preferences[file] = plistValues(phone, file);
  sounds.behaviour = phone.read(kBehaviour);
  sounds.smsTone = phone.read(kSmsTone);
  sounds.volume = phone.status()["volume"].get<double>();
  return sounds;
}

bool waitFor(const std::function<bool()>& condition, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return condition();
}

struct KillCase {
  const char* name;
  int signal;
  bool duringRevert;  // kill during "./Mutarodh 0" at the event's end, else during "./Mutarodh 1"
};

class DaemonKilled : public ::testing::TestWithParam<KillCase> {
 protected:
  void SetUp() override {
    // User-profile mode with every sound silenced: the switcher changes all it can.
    phone_.setSettings({{"EnableProfilesSwitch", true}, {"RingtoneSwitch", false}, {"VibrateSwitch", false},
                        {"VoicemailSwitch", false}, {"NewmailSwitch", false}, {"SentmailSwitch", false},
                        {"SMSSwitch", false}, {"CalendarSwitch", false}, {"LockunlockSwitch", false},
                        {"KeyboardSwitch", false}});
    phone_.addEvent(localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00"), 0, std::nullopt);
    // The daemon's first start copies the bundle files; do it before taking the originals.
    RunResult first = phone_.runDaemon("@2026-12-07 08:00:00 x20");
    ASSERT_TRUE(first.exitedWith(0)) << first.err;
    original_ = soundsOf(phone_);
  }

  // Starts the daemon at a local time and kills it once `ready` holds.
  void runAndKill(const char* clock, const std::function<bool()>& ready) {
    Background daemon({"./Mutarod"}, phone_.optionsFor(std::string("@") + clock + " x20"),
                      phone_.at("/daemon.log"));
    ASSERT_TRUE(waitFor(ready, 20)) << phone_.read("/daemon.log");
    daemon.signal(GetParam().signal);
    int status = 0;
    ASSERT_TRUE(daemon.waitLeader(10, &status));
    if (GetParam().signal == SIGKILL) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    // The switcher it started runs to its end on its own.
    EXPECT_TRUE(daemon.waitGroup(30)) << "the switcher did not end";
  }

  FaultPhone phone_;
  Sounds original_;
};

TEST_P(DaemonKilled, LaterRunRestoresTheOriginalSounds) {
  if (!GetParam().duringRevert) {
    // Killed while "./Mutarodh 1" silences the phone (the marker file is its first step).
    runAndKill("2026-12-07 09:00:05", [&] { return phone_.exists(kMarkerFile); });
    EXPECT_EQ(phone_.setting("EventInProgress"), true);
    EXPECT_FALSE(soundsOf(phone_) == original_) << "the orphaned switcher did not silence the phone";
  } else {
    RunResult start = phone_.runDaemon("@2026-12-07 09:00:05 x20");
    ASSERT_TRUE(start.exitedWith(0)) << start.err;
    ASSERT_TRUE(phone_.exists(kMarkerFile));
    // Killed while "./Mutarodh 0" reverts (removing the marker file comes first).
    runAndKill("2026-12-07 10:00:30", [&] { return !phone_.exists(kMarkerFile); });
  }
  if (GetParam().signal == SIGTERM) {
    EXPECT_NE(phone_.read("/daemon.log").find("terminate signal catched"), std::string::npos);
  }

  RunResult later = phone_.runDaemon("@2026-12-07 10:01:30 x20");
  ASSERT_TRUE(later.exitedWith(0)) << later.err;
  EXPECT_EQ(phone_.setting("EventInProgress"), false);
  EXPECT_FALSE(phone_.exists(kMarkerFile));
  EXPECT_FALSE(phone_.exists(kLockFile));
  Sounds restored = soundsOf(phone_);
  for (const auto& [file, values] : original_.preferences) {
    EXPECT_EQ(restored.preferences[file], values) << file;
  }
  EXPECT_TRUE(restored.behaviour == original_.behaviour) << "SystemSoundBehaviour.plist not restored";
  EXPECT_TRUE(restored.smsTone == original_.smsTone) << "sms-received1.caf not restored";
  EXPECT_DOUBLE_EQ(restored.volume, original_.volume);
}

INSTANTIATE_TEST_SUITE_P(Faults, DaemonKilled,
                         ::testing::Values(KillCase{"TermDuringSilence", SIGTERM, false},
                                           KillCase{"KillDuringSilence", SIGKILL, false},
                                           KillCase{"TermDuringRevert", SIGTERM, true},
                                           KillCase{"KillDuringRevert", SIGKILL, true}),
                         [](const ::testing::TestParamInfo<KillCase>& info) { return info.param.name; });

}  // namespace
