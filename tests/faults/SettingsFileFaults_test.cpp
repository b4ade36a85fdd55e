// A settings file that cannot be read as a dictionary: the daemon, the switcher and the
// accessors keep running with the fallbacks of the key table and never rewrite the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "settings-store/SettingsStore.h"
#include "tests/faults/FaultPhone.h"

namespace {

struct BadSettings {
  const char* name;
  std::string (*contents)();
};

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xff);
  return bytes;
}

const char* kXmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

const BadSettings kBadSettings[] = {
    {"TruncatedXml",
     [] { return std::string(kXmlHead) + "<dict>\n\t<key>EnabledSwitch</key>\n\t<true/>\n\t<key>EventIn"; }},
    {"Empty", [] { return std::string(); }},
    {"RandomBytes", [] { return randomBytes(4096, 7); }},
    {"BrokenBinaryPlist", [] { return "bplist00" + randomBytes(200, 11) + std::string(32, '\xff'); }},
    {"ArrayRoot",
     [] {
       return std::string(kXmlHead) +
              "<array>\n\t<dict>\n\t\t<key>EnabledSwitch</key>\n\t\t<true/>\n"
              "\t\t<key>EventInProgress</key>\n\t\t<false/>\n\t</dict>\n</array>\n</plist>\n";
     }},
    {"TenMegabytesUnterminated",
     [] { return std::string(kXmlHead) + "<dict>\n\t<key>Padding</key>\n\t<string>" + std::string(10 << 20, 'A'); }},
};

class UnreadableSettings : public ::testing::TestWithParam<BadSettings> {
 protected:
  void SetUp() override {
    bad_ = GetParam().contents();
    phone_.write(kSettingsFile, bad_);
    identity_ = phone_.identity(kSettingsFile);
  }

  void expectSettingsUntouched(const char* after) {
    EXPECT_EQ(phone_.identity(kSettingsFile), identity_) << "the settings file was replaced " << after;
    EXPECT_TRUE(phone_.read(kSettingsFile) == bad_) << "the settings file changed " << after;
    EXPECT_FALSE(phone_.exists(kLockFile)) << "a lock file was left " << after;
    for (const auto& entry : std::filesystem::directory_iterator(phone_.at(kPreferencesDirectory))) {
      EXPECT_EQ(entry.path().filename().string().rfind(".tmp", 0), std::string::npos)
          << "temporary file " << entry.path() << " left " << after;
    }
  }

  FaultPhone phone_;
  std::string bad_;
  std::optional<std::pair<dev_t, ino_t>> identity_;
};

TEST_P(UnreadableSettings, DaemonEndsAsDisabledAndLeavesTheFile) {
  RunResult run = phone_.runDaemon();
  ASSERT_TRUE(run.exitedWith(0)) << "status " << run.exitStatus << " signal " << run.signal << "\n" << run.err;
  // "EnabledSwitch" reads as absent: the daemon ends without looking at the calendar.
  EXPECT_NE(run.err.find("Exit Application. Mutaro is disabled"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Checking for event"), std::string::npos) << run.err;
  expectSettingsUntouched("by the daemon");
}

TEST_P(UnreadableSettings, SwitcherSilencesAndRevertsWithTheFallbacks) {
  RunResult silence = phone_.runSwitcher("1");
  ASSERT_TRUE(silence.exitedWith(0)) << "signal " << silence.signal << "\n" << silence.err;
  // Missing "EnableProfilesSwitch": silent-phone mode.
  nlohmann::json silenced = phone_.status();
  EXPECT_TRUE(silenced["marker"].get<bool>());
  EXPECT_EQ(silenced["ringerState"], 0);
  EXPECT_EQ(silenced["volume"].get<double>(), 0.0);
  expectSettingsUntouched("by Mutarodh 1");

  RunResult revert = phone_.runSwitcher("0");
  ASSERT_TRUE(revert.exitedWith(0)) << "signal " << revert.signal << "\n" << revert.err;
  nlohmann::json reverted = phone_.status();
  EXPECT_FALSE(reverted["marker"].get<bool>());
  EXPECT_EQ(reverted["ringerState"], 1);
  // No "volume" could be stored: the revert takes 0.5.
  EXPECT_DOUBLE_EQ(reverted["volume"].get<double>(), 0.5);
  EXPECT_NE(revert.out.find("Set volume to: 0.500000"), std::string::npos) << revert.out;
  expectSettingsUntouched("by Mutarodh 0");
}

TEST_P(UnreadableSettings, AccessorsReadAbsentAndWriteNothing) {
  setenv("MUTARO_DEVICE_ROOT", phone_.root().c_str(), 1);
  bool flag = true;
  EXPECT_FALSE(readPlistBool("EnabledSwitch", &flag));
  EXPECT_TRUE(flag) << "the out value must stay as the caller set it";
  int32_t number = 42;
  EXPECT_FALSE(readPlistNumber("CalendarID", &number));
  EXPECT_EQ(number, 42);
  EXPECT_EQ(readPlistString("Padding"), nullptr);
  updatePlistBool("EventInProgress", true);
  updatePlistNumber("CalendarID", 2);
  updatePlistString("Updated", "2026-12-07 09:00:00");
  updatePlistString("Ringtone", nullptr);
  unsetenv("MUTARO_DEVICE_ROOT");
  expectSettingsUntouched("by the accessors");
}

INSTANTIATE_TEST_SUITE_P(Faults, UnreadableSettings, ::testing::ValuesIn(kBadSettings),
                         [](const ::testing::TestParamInfo<BadSettings>& info) { return info.param.name; });

// A settings file of 10 MB that is a dictionary is an ordinary settings file, only large: it
// is read, and every write keeps what it holds.
TEST(LargeSettings, TenMegabyteDictionaryKeepsWorking) {
  FaultPhone phone;
  const std::string padding(10 << 20, 'x');
  phone.setSettings({{"Padding", padding}});
  RunResult run = phone.runDaemon();
  ASSERT_TRUE(run.exitedWith(0)) << "signal " << run.signal << "\n" << run.err;
  EXPECT_NE(run.err.find("Exit main program thread - NEW NEW NEW"), std::string::npos) << run.err;
  ASSERT_TRUE(parsesAsDictionary(phone.at(kSettingsFile)));
  EXPECT_TRUE(phone.setting("Updated-Exit").is_string());
  EXPECT_EQ(phone.setting("Padding"), padding);
  EXPECT_EQ(phone.setting("EnabledSwitch"), true);

  setenv("MUTARO_DEVICE_ROOT", phone.root().c_str(), 1);
  // Longer than the accessor's 126 characters: no text.
  EXPECT_EQ(readPlistString("Padding"), nullptr);
  bool enabled = false;
  EXPECT_TRUE(readPlistBool("EnabledSwitch", &enabled));
  EXPECT_TRUE(enabled);
  unsetenv("MUTARO_DEVICE_ROOT");
}

}  // namespace
