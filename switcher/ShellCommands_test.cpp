#include "switcher/ShellCommands.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "system-files/SystemFiles.h"

TEST(ShellCommands, AreThePhoneCommandLinesWithoutADeviceRoot) {
  unsetenv("MUTARO_DEVICE_ROOT");
  EXPECT_EQ("touch /var/mobile/Library/Preferences/mutaro.lck", touchMarkerCommand());
  EXPECT_EQ("rm -rf /var/mobile/Library/Preferences/mutaro.lck", removeMarkerCommand());
  EXPECT_EQ("killall mediaserverd", killMediaServerCommand());
  EXPECT_EQ("/Applications/Mutaro.app/Vibrate", vibrateCommand());
  EXPECT_EQ("/Applications/Mutaro.app/CopyFile /System/Library/Audio/UISounds/sms-received1.caf "
            "/System/Library/Audio/UISounds/sms-received1.caf.orig",
            copyFileCommand(kSmsTonePath, kSmsToneBackupPath));
  EXPECT_EQ("/Applications/Mutaro.app/CopyFile /Applications/Mutaro.app/sms-received1.caf.silent "
            "/System/Library/Audio/UISounds/sms-received1.caf",
            copyFileCommand(kSilentSmsTonePath, kSmsTonePath));
  EXPECT_EQ("/Applications/Mutaro.app/CopyFile "
            "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist "
            "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist.orig",
            copyFileCommand(kSoundBehaviourPath, kSoundBehaviourBackupPath));
  EXPECT_EQ("/Applications/Mutaro.app/CopyFile /Applications/Mutaro.app/SystemSoundBehaviour.plist.vibrate "
            "/System/Library/PrivateFrameworks/Celestial.framework/SystemSoundBehaviour.plist",
            copyFileCommand(kVibrateSoundBehaviourPath, kSoundBehaviourPath));
}

