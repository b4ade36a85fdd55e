// Mutaro, the settings application: its process entry.
#include <cstdio>

#include "app/Classes/ProcessGlobals.h"
#include "app/Resources/InterfaceFiles.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/UIKit/TerminalFrontEnd.h"
#include "platform/UIKit/UIApplication.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"

int main(int argc, char* argv[]) {
  if (isHelpRequest(argc, argv)) {
    std::printf("%s (no arguments)\n", argv[0]);
    return 0;
  }
  if (!mayRunOnThisDevice("Mutaro")) return 1;
  // The terminal first: without one nothing is done, and with one every line logged from here
  // on goes to the log rather than over the screen. The screens follow the settings file.
  if (!claimTerminal()) return 1;
  refreshTerminalWhenChanged(kSettingsPath);
  registerInterfaceFiles();
  readPlist(kEnableProfilesSwitch, &enableProfiles);
  int retVal = UIApplicationMain(argc, argv, nullptr, nullptr);
  return retVal;
}
