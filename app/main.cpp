// Mutaro, the settings application: its process entry.
#include "app/Classes/ProcessGlobals.h"
#include "app/Resources/InterfaceFiles.h"
#include "platform/UIKit/UIApplication.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

int main(int argc, char* argv[]) {
  registerInterfaceFiles();
  readPlist(kEnableProfilesSwitch, &enableProfiles);
  int retVal = UIApplicationMain(argc, argv, nullptr, nullptr);
  return retVal;
}
