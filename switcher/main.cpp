// Mutarodh, the profile switcher: "Mutarodh 1" applies the silent profile, "Mutarodh 0" takes
// it back. The daemon runs it and waits for it.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSLog.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"
#include "settings-store/SoundsLock.h"
#include "switcher/Change.h"
#include "switcher/Revert.h"
#include "switcher/SwitcherState.h"

namespace {

// The user switched Mutaro off, or released the event, while this silence waited for its turn:
// the user's choice wins, and the phone stays as the restore left it.
bool silenceWasCalledOff() {
  bool enabled = true;
  bool inProgress = false;
  bool released = false;
  readPlistBool(kEnabledSwitch, &enabled);
  readPlistBool(kEventInProgress, &inProgress);
  readPlistBool(kDisableEventSwitch, &released);
  if (!enabled) {
    // Without the marker nothing is silenced for this event, so no revert is owed for it either.
    NSLog("Mutaro is disabled - not silencing");
    struct stat marker;
    if (inProgress && stat(devicePath(kMarkerPath).c_str(), &marker) != 0) updatePlistBool(kEventInProgress, false);
    return true;
  }
  if (inProgress && released) {
    NSLog("Current event was disabled - not silencing");
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Any other argument is read as atoi reads it, so "-h" alone would revert the phone.
  if (argc != 2 || isHelpRequest(argc, argv)) {
    std::printf("%s 0/1\n", argc > 0 && argv[0] != nullptr ? argv[0] : "Mutarodh");
    return 0;
  }
  if (!mayRunOnThisDevice("Mutarodh")) return 1;
  NSLog("(((((((((((((((((((((( mutarodh ))))))))))))))))))");

  // The handle stays open for the whole run.
  void* graphicsServices = loadGraphicsServices();
  if (graphicsServices == nullptr) {
    NSLog("Could not open library");
    return -1;
  }
  GSSendAppPreferencesChanged = lookupGSSendAppPreferencesChanged(graphicsServices);
  if (GSSendAppPreferencesChanged == nullptr) {
    // Both procedures announce every change they make; stop before making any.
    NSLog("Could not find GSSendAppPreferencesChanged in library");
    return -1;
  }

  // The whole procedure holds the sounds lock: a restore by the settings application waits
  // for it to end, and the procedure waits for a restore under way.
  int argument = std::atoi(argv[1]);
  if (argument == 0) {
    lockSounds();
    revert();
    unlockSounds();
    NSLog("Reverted");
    return 0;
  }
  if (argument == 1) {
    lockSounds();
    if (!silenceWasCalledOff()) change();
    unlockSounds();
    NSLog("Changed");
    return 0;
  }
  return 0;
}
