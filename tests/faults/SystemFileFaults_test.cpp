// Each system file the daemon and its switcher read, hostile while an event starts and is
// reverted: nothing crashes or hangs, no event comes from an unreadable calendar, no unreadable
// file is rewritten. Last, a device root named as hostilely as a shell could meet it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "platform/AppSupport/CPWake.h"
#include "tests/support/Phone.h"

namespace {

struct BadSystemFile {
  std::string name;
  const char* file;
  BadFile bad;
};
void PrintTo(const BadSystemFile& row, std::ostream* out) { *out << row.name; }

std::vector<BadSystemFile> rows() {
  std::vector<BadSystemFile> all;
  for (auto [name, file, wrongTypes] : std::vector<std::tuple<std::string, const char*, const char*>>{
           {"Version", "/System/Library/CoreServices/SystemVersion.plist",
            "<plist><dict><key>ProductVersion</key><integer>7</integer></dict></plist>"},
           {"SoundPreferences", kSpringBoardPreferencesPath,
            "<plist><dict><key>ringtone</key><true/><key>ring-vibrate</key><string>1</string></dict></plist>"},
           {"WakeSchedule", kAutoWakePath, "<plist><dict><key>wake</key><string>none</string></dict></plist>"},
           {"Calendar", kCalendarDatabasePath, nullptr}}) {
    const std::set<std::string> kinds = wrongTypes != nullptr
        ? std::set<std::string>{"Noise", "NestedDeepXml", "Fifo", "DanglingLink", "WrongValueTypes"}
        : std::set<std::string>{"Empty", "Noise", "TenMegabytes", "Fifo", "Folder", "DanglingLink"};
    for (const BadFile& bad : badFiles(wrongTypes ? wrongTypes : "")) {
      if (kinds.count(bad.name) != 0) all.push_back({name + "_" + bad.name, file, bad});
    }
  }
  return all;
}

class BadSystemFiles : public testing::TestWithParam<BadSystemFile> {};

TEST_P(BadSystemFiles, TheDaemonAndTheSwitcherRunThroughAndTheFileStaysAsItWas) {
  const auto& [name, file, bad] = GetParam();
  Phone phone;
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false}, {kSMSSwitch, false}});
  phone.plant(file, bad);
  const std::string planted = phone.shape(file);
  for (const std::vector<std::string>& line : {std::vector<std::string>{"./Mutarod"}, {"./Mutarodh", "0"}}) {
    Outcome run = phone.run(line, {.clock = clockAt("2026-12-07 09:00:05", 20)});
    EXPECT_TRUE(run.exited(0)) << line[0] << " " << run.signal << (run.timedOut ? " timed out\n" : "\n") << run.err;
    EXPECT_FALSE(file == kCalendarDatabasePath && contains(run.err, "Event started")) << run.err;
  }
  EXPECT_TRUE(phone.status().contains("wakes"));
  EXPECT_TRUE(bad.readable || phone.shape(file) == planted) << "rewritten";
}

INSTANTIATE_TEST_SUITE_P(Faults, BadSystemFiles, testing::ValuesIn(rows()),
                         [](const auto& info) { return info.param.name; });

// In user-profile mode files under the root are copied and deleted by command lines. With a blank
// and shell characters in the root's name, beside a folder named by its first word, nothing
// outside the root is run, made or deleted while an event silences the phone and gives it back.
TEST(HostileRoot, AnEventRunsInsideARootNamedWithABlankAndShellCharacters) {
  char around[] = "/tmp/mutaro-root-XXXXXX";
  ASSERT_NE(mkdtemp(around), nullptr);
  std::filesystem::create_directory(std::string(around) + "/My");
  {
    Phone phone;
    phone.moveTo(std::string(around) + "/My Phone;touch pwned;x");
    phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kSMSSwitch, false}});
    phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 10:00:00")});
    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 08:00:00", 20)).exited(0));  // copies the bundle files
    const Sounds before = phone.sounds();
    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 09:00:05", 20)).exited(0));
    EXPECT_TRUE(phone.exists(kMarkerPath));
    const Sounds during = phone.sounds();
    EXPECT_TRUE(during.preferences != before.preferences && during.smsTone != before.smsTone &&
                during.soundBehaviour != before.soundBehaviour);
    ASSERT_TRUE(phone.daemon(clockAt("2026-12-07 10:01:30", 20)).exited(0));
    EXPECT_TRUE(released(phone.status()));
    EXPECT_EQ(phone.sounds(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(around), {}), 2);
    EXPECT_TRUE(std::filesystem::is_empty(std::string(around) + "/My"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(around)) EXPECT_NE(entry.path().filename(), "pwned");
    EXPECT_FALSE(std::filesystem::exists("pwned"));
  }
  std::filesystem::remove_all(around);
}

}  // namespace
