// Links planted where the phone's programs write, each to a file outside the device root: an
// existing one holding what the phone's file held (the phone still reads right through it), or
// a missing one. An event rides through a booted phone; nothing outside is made or changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/AppSupport/CPWake.h"
#include "tests/support/Phone.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kWrittenPaths = {
    kSettingsPath, kSettingsLockPath, kMarkerPath, kSmsTonePath, kSmsToneBackupPath, kSoundBehaviourPath,
    kSoundBehaviourBackupPath, kSpringBoardPreferencesPath, kAutoWakePath, std::string(kAutoWakePath) + ".lock",
    "/private/var/mobile/Documents/sms-received1.caf", "/private/var/mobile/Documents/SystemSoundBehaviour.plist",
    "/Applications/Mutaro.app/sms-received1.caf", "/Applications/Mutaro.app/SystemSoundBehaviour.plist",
    "/private/var/mobile/Library/Preferences/com.apple.mobiletimer.plist", "/private/var/log/syslog",
    "/private/var/log/mutarod.out", "/private/var/sim/boot.lock", "/private/var/sim/mediaserver",
    "/private/var/sim/notifications", "/private/var/sim/statusbar", "/private/var/sim/vibrations",
    "/private/var/sim/announcements", "/private/var/sim/volume"};

struct Decoy {
  std::string planted, target, contents;
  bool exists;
};

// A link at `phonePath` to a new file in `outside` (mode 0640), or to a name there that is free.
Decoy plant(const Phone& phone, const std::string& outside, const std::string& phonePath, bool existing) {
  static int count = 0;
  Decoy decoy{phonePath, outside + "/decoy" + std::to_string(count++), phone.read(phonePath), existing};
  if (decoy.contents.empty()) decoy.contents = "not the phone's\n";
  if (existing) {
    std::ofstream(decoy.target, std::ios::binary) << decoy.contents;
    chmod(decoy.target.c_str(), 0640);
  }
  fs::create_directories(fs::path(phone.at(phonePath)).parent_path());
  phone.remove(phonePath);
  fs::create_symlink(decoy.target, phone.at(phonePath));
  return decoy;
}

void expectUntouched(const std::vector<Decoy>& decoys) {
  for (const Decoy& decoy : decoys) {
    struct stat info;
    bool exists = stat(decoy.target.c_str(), &info) == 0;
    EXPECT_EQ(exists, decoy.exists) << decoy.planted;
    if (!exists || !decoy.exists) continue;
    EXPECT_TRUE(readFile(decoy.target) == decoy.contents) << decoy.planted << " was written";
    EXPECT_EQ(info.st_mode & 07777, 0640u) << decoy.planted;
  }
}

std::string outsideFolder() {
  char pattern[] = "/tmp/mutaro-outside-XXXXXX";
  return mkdtemp(pattern) != nullptr ? pattern : throw std::runtime_error("mkdtemp failed");
}

class LinksInThePhone : public testing::TestWithParam<bool> {};

TEST_P(LinksInThePhone, AnEventRidesThroughAndNoFileOutsideTheRootChanges) {
  const bool existing = GetParam();
  Phone phone;
  const std::string outside = outsideFolder();
  phone.addEvent({todayAt("09:00:00"), todayAt("09:02:00")});
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false}, {kSMSSwitch, false}});
  std::vector<Decoy> decoys;
  for (const std::string& path : kWrittenPaths) {
    // Without its settings or wake list the phone rides no event: those link to copies only. An
    // existing bundle copy keeps the daemon from making the copies at all.
    if (existing ? path.rfind(kBundleDirectory, 0) != 0 : path != kSettingsPath && path != kAutoWakePath) {
      decoys.push_back(plant(phone, outside, path, existing));
    }
  }
  // Power assertions of the pids to come, once written through "<pid>-<id>.tmp".
  decoys.push_back(plant(phone, outside, "/private/var/sim/power/0-1.tmp", existing));
  int pid = 0;
  std::ifstream("/proc/sys/kernel/ns_last_pid") >> pid;
  for (int next = pid + 1; next <= pid + 3000; ++next) {
    fs::create_symlink(decoys.back().target, phone.at("/private/var/sim/power/" + std::to_string(next) + "-1.tmp"));
  }

  phone.boot(todayAt("08:59:30"), kBootSpeed);
  json s;
  auto stamped = [](const char* key) { return [key](const json& st) { return st["settings"].contains(key); }; };
  // While silenced too: a sound written through a link is given back at the end.
  EXPECT_TRUE(phone.waitFor(stamped(kUpdatedSilent), todayAt("09:01:30"), &s)) << s.dump(1);
  expectUntouched(decoys);
  EXPECT_TRUE(phone.waitFor(stamped(kUpdatedRevert), todayAt("09:04:00"), &s)) << s.dump(1);
  // The revert's last steps and the daemon's exit, on a clock 30 times fast.
  phone.waitFor([](const json&) { return false; }, todayAt("09:05:00"));
  phone.shutdown();
  expectUntouched(decoys);
  fs::remove_all(outside);
}

INSTANTIATE_TEST_SUITE_P(Decoys, LinksInThePhone, testing::Bool(),
                         [](const auto& info) { return info.param ? "Existing" : "Dangling"; });

// A caller without the phone's tools on PATH, and one that finds a host killall first.
TEST(PhoneTools, TheSwitcherEndsThePhonesMediaServerWhateverPathTheCallerGives) {
  Phone phone;
  const std::string host = outsideFolder();
  std::ofstream(host + "/killall") << "#!/bin/sh\ntouch " << host << "/ended\n";
  chmod((host + "/killall").c_str(), 0755);
  EXPECT_TRUE(phone.run({"./Mutarodh", "1"}, {.clock = "+0 x20", .environment = {{"PATH", host + ":/usr/bin:/bin"}}}).exited(0));
  EXPECT_FALSE(fs::exists(host + "/ended")) << "a host process was ended";
  EXPECT_GE(phone.status()["mediaServerRestarts"].get<int>(), 1);
  fs::remove_all(host);
}

TEST(PlantedLinks, ASecondPhonesimInitInstallsThroughNone) {
  Phone phone;
  const std::string outside = outsideFolder();
  std::vector<Decoy> decoys;
  for (const char* name : {"/Mutarod", "/Mutarod.phonesim-new", "/CopyFile.phonesim-new"}) {
    decoys.push_back(plant(phone, outside, kBundleDirectory + std::string(name), true));
  }
  EXPECT_TRUE(phone.run({"phonesim", "init", phone.root()}).exited(0));
  expectUntouched(decoys);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(phone.at(decoys[0].planted))));
  EXPECT_TRUE(phone.read(decoys[0].planted) == decoys[0].contents) << "the daemon is installed in the phone";
  fs::remove_all(outside);
}

}  // namespace
