// A hostile user of the phone plants links in the places its programs write, each pointing at
// a file outside the device root: an existing one that holds what the phone's own file held
// (so the phone still reads right through the link), or a missing one. An event is ridden
// through on a booted phone; no file outside the root is created, changed or re-moded.
// The phone's tools come before a host's of the same name, whatever PATH the caller gives,
// and a second `phonesim init` installs through no link either.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/AppSupport/CPWake.h"
#include "tests/support/Phone.h"

namespace fs = std::filesystem;

namespace {

// Every file a program of the phone writes, appends to, creates, changes the mode of or
// deletes, as the phone names it.
const std::vector<std::string> kWrittenPaths = {
    kSettingsPath,
    kSettingsLockPath,
    kMarkerPath,
    kSmsTonePath,
    kSmsToneBackupPath,
    kSoundBehaviourPath,
    kSoundBehaviourBackupPath,
    "/private/var/mobile/Documents/sms-received1.caf",
    "/private/var/mobile/Documents/SystemSoundBehaviour.plist",
    "/Applications/Mutaro.app/sms-received1.caf",
    "/Applications/Mutaro.app/SystemSoundBehaviour.plist",
    "/private/var/mobile/Library/Preferences/com.apple.mobiletimer.plist",
    kSpringBoardPreferencesPath,
    kAutoWakePath,
    std::string(kAutoWakePath) + ".lock",
    "/private/var/log/syslog",
    "/private/var/log/mutarod.out",
    "/private/var/sim/boot.lock",
    "/private/var/sim/mediaserver",
    "/private/var/sim/notifications",
    "/private/var/sim/statusbar",
    "/private/var/sim/vibrations",
    "/private/var/sim/announcements",
    "/private/var/sim/volume",
};
// A power assertion was once written through "<pid>-<id>.tmp": planted for the pids to come.
constexpr int kPlantedPids = 3000;

struct Decoy {
  std::string planted;  // the phone path holding the link
  std::string target;   // outside the root
  std::string contents;
  mode_t mode = 0;
  bool exists = false;
};

// A folder outside every phone, gone with the test.
class Outside {
 public:
  Outside() {
    char pattern[] = "/tmp/mutaro-outside-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~Outside() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

  // A link at `phonePath` to a new decoy: a file holding what stood there (mode 0640), or none.
  Decoy plant(const Phone& phone, const std::string& phonePath, bool existing) {
    Decoy decoy{phonePath, path_ + "/decoy" + std::to_string(decoys_++), phone.read(phonePath), 0640, existing};
    if (decoy.contents.empty()) decoy.contents = "not the phone's\n";
    if (existing) {
      std::ofstream(decoy.target, std::ios::binary) << decoy.contents;
      chmod(decoy.target.c_str(), decoy.mode);
    }
    fs::create_directories(fs::path(phone.at(phonePath)).parent_path());
    phone.remove(phonePath);
    fs::create_symlink(decoy.target, phone.at(phonePath));
    return decoy;
  }

 private:
  std::string path_;
  int decoys_ = 0;
};

void expectUntouched(const Decoy& decoy) {
  struct stat info;
  bool exists = stat(decoy.target.c_str(), &info) == 0;
  EXPECT_EQ(exists, decoy.exists) << decoy.planted;
  if (!exists || !decoy.exists) return;
  std::ifstream in(decoy.target, std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == decoy.contents) << decoy.planted << " was written";
  EXPECT_EQ(info.st_mode & 07777, decoy.mode) << decoy.planted;
}

int lastPid() {
  int pid = 0;
  std::ifstream("/proc/sys/kernel/ns_last_pid") >> pid;
  return pid;
}

class LinksInThePhone : public testing::TestWithParam<bool> {};

TEST_P(LinksInThePhone, AnEventRidesThroughAndNoFileOutsideTheRootChanges) {
  const bool existing = GetParam();
  Phone phone;
  Outside outside;
  phone.addEvent({todayAt("09:00:00"), todayAt("09:02:00")});
  phone.set({{kEnableProfilesSwitch, true}, {kRingtoneSwitch, false}, {kVibrateSwitch, false}, {kSMSSwitch, false}});

  std::vector<Decoy> decoys;
  for (const std::string& path : kWrittenPaths) {
    // Without its settings or its wake list the phone rides no event: they link to copies only.
    // An existing bundle copy keeps the daemon from making the copies at all.
    bool ridable = existing ? path.rfind(kBundleDirectory, 0) != 0 : path != kSettingsPath && path != kAutoWakePath;
    if (ridable) decoys.push_back(outside.plant(phone, path, existing));
  }
  Decoy power = outside.plant(phone, "/private/var/sim/power/0-1.tmp", existing);
  for (int first = lastPid() + 1, pid = first; pid < first + kPlantedPids; ++pid) {
    fs::create_symlink(power.target, phone.at("/private/var/sim/power/" + std::to_string(pid) + "-1.tmp"));
  }
  decoys.push_back(power);

  phone.boot(todayAt("08:59:30"), kBootSpeed);
  json s;
  // While silenced too: a sound file written through a link is given back at the end.
  EXPECT_TRUE(phone.waitFor([](const json& st) { return st["settings"].contains(kUpdatedSilent); }, todayAt("09:01:30"), &s))
      << s.dump(1);
  for (const Decoy& decoy : decoys) expectUntouched(decoy);
  EXPECT_TRUE(phone.waitFor([](const json& st) { return st["settings"].contains(kUpdatedRevert); }, todayAt("09:04:00"), &s))
      << s.dump(1);
  // The revert's last steps and the daemon's exit, on a clock 30 times fast.
  phone.waitFor([](const json&) { return false; }, todayAt("09:05:00"));
  phone.shutdown();
  for (const Decoy& decoy : decoys) expectUntouched(decoy);
}

INSTANTIATE_TEST_SUITE_P(Decoys, LinksInThePhone, testing::Bool(),
                         [](const auto& info) { return info.param ? "Existing" : "Dangling"; });

TEST(PhoneTools, TheSwitcherEndsThePhonesMediaServerWhateverPathTheCallerGives) {
  Phone phone;
  Outside outside;
  const std::string host = outside.path() + "/killall";
  std::ofstream(host) << "#!/bin/sh\necho \"$@\" >> " << outside.path() << "/ended\n";
  chmod(host.c_str(), 0755);
  ASSERT_TRUE(phone.run({"./Mutarodh", "1"}, {.clock = "+0 x20", .environment = {{"PATH", outside.path() + ":/usr/bin:/bin"}}})
                  .exited(0));
  EXPECT_FALSE(fs::exists(outside.path() + "/ended")) << "a host process was ended";
  EXPECT_GE(phone.status()["mediaServerRestarts"].get<int>(), 1);
}

TEST(PhonesimInit, ASecondInitInstallsThroughNoLink) {
  Phone phone;
  Outside outside;
  std::vector<Decoy> decoys;
  for (const std::string& program : {"Mutarod", "Mutarod.phonesim-new", "CopyFile.phonesim-new"}) {
    decoys.push_back(outside.plant(phone, std::string(kBundleDirectory) + "/" + program, true));
  }
  ASSERT_TRUE(phone.run({"phonesim", "init", phone.root()}).exited(0));
  for (const Decoy& decoy : decoys) expectUntouched(decoy);
  const std::string daemon = std::string(kBundleDirectory) + "/Mutarod";
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(phone.at(daemon))));
  EXPECT_TRUE(phone.read(daemon) == decoys[0].contents) << "the daemon is installed in the phone";
}

}  // namespace
