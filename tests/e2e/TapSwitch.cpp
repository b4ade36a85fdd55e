// tap-switch TITLE: opens the settings application on the headless front end and taps the
// switch of the row with that title, as the user would; exits 0 when the row was there.
// The device root comes from MUTARO_DEVICE_ROOT.
#include <cstdio>

#include "app/Classes/ProcessGlobals.h"
#include "app/Resources/InterfaceFiles.h"
#include "platform/UIKit/HeadlessFrontEnd.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tap-switch TITLE\n");
    return 2;
  }
  registerInterfaceFiles();
  readPlist(kEnableProfilesSwitch, &enableProfiles);
  HeadlessFrontEnd frontEnd;
  if (!frontEnd.launched() || !frontEnd.tapSwitch(argv[1])) {
    std::fprintf(stderr, "tap-switch: no switch titled \"%s\"\n", argv[1]);
    return 1;
  }
  return 0;
}
