// The switcher's command line, its binding of GraphicsServices, and its shell command lines.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/GraphicsServices/GraphicsServices.h"
#include "switcher/ShellCommands.h"
#include "tests/support/Phone.h"

namespace {

TEST(SwitcherCommandLine, TheArgumentIsReadAsAtoiReadsIt) {
  // Arguments, and the last message logged: none (the usage), the revert's, the silence's, the banner.
  for (const auto& [arguments, last] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{}, ""}, {{"1", "0"}, ""}, {{"abc"}, "Reverted"}, {{""}, "Reverted"}, {{"1x"}, "Changed"},
           {{" 1"}, "Changed"}, {{"2"}, kSwitcherBanner}, {{"-1"}, kSwitcherBanner}}) {
    Phone phone;
    std::vector<std::string> line = {"./Mutarodh"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    Outcome run = phone.run(line, {.clock = "+0 x20"});
    EXPECT_TRUE(run.exited(0));
    std::vector<std::string> log = logMessages(run.err, "Mutarodh");
    EXPECT_EQ(log.empty() ? "" : log.back(), last) << testing::PrintToString(arguments);
    if (last.empty()) EXPECT_EQ(run.out, "./Mutarodh 0/1\n");
    EXPECT_EQ(phone.status()["vibrations"], last == "Reverted" || last == "Changed" ? 3 : 0);
  }
}

TEST(SwitcherCommandLine, WithoutGraphicsServicesNothingChanges) {
  // A library that loads but lacks the announcement function: the C math library.
  Dl_info mathLibrary;
  ASSERT_NE(dladdr(reinterpret_cast<void*>(static_cast<double (*)(double)>(&std::cos)), &mathLibrary), 0);
  for (bool libraryPresent : {false, true}) {
    Phone phone;
    phone.remove(kGraphicsServicesPath);
    if (libraryPresent) std::filesystem::copy_file(mathLibrary.dli_fname, phone.at(kGraphicsServicesPath));
    std::string settings = phone.read(kSettingsPath);
    Outcome run = phone.switcher("1");
    EXPECT_TRUE(run.exited(255));
    EXPECT_EQ(logMessages(run.err, "Mutarodh")[1],
              libraryPresent ? "Could not find GSSendAppPreferencesChanged in library" : "Could not open library");
    EXPECT_FALSE(phone.exists(kMarkerPath));
    EXPECT_EQ(phone.read(kSettingsPath), settings);
    EXPECT_EQ(phone.status()["vibrations"], 0);
  }
}

TEST(ShellCommands, AreThePhonesCommandLinesWithoutADeviceRoot) {
  unsetenv("MUTARO_DEVICE_ROOT");
  EXPECT_EQ(touchMarkerCommand(), "touch /var/mobile/Library/Preferences/mutaro.lck");
  EXPECT_EQ(removeMarkerCommand(), "rm -rf /var/mobile/Library/Preferences/mutaro.lck");
  EXPECT_EQ(killMediaServerCommand(), "killall mediaserverd");
  EXPECT_EQ(vibrateCommand(), "/Applications/Mutaro.app/Vibrate");
  EXPECT_EQ(copyFileCommand(kSmsTonePath, kSmsToneBackupPath),
            "/Applications/Mutaro.app/CopyFile /System/Library/Audio/UISounds/sms-received1.caf "
            "/System/Library/Audio/UISounds/sms-received1.caf.orig");
}

}  // namespace
