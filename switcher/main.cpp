// Mutarodh, the profile switcher: "Mutarodh 1" applies the silent profile, "Mutarodh 0" takes
// it back. The daemon runs it and waits for it.
#include <cstdio>
#include <cstdlib>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSLog.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "switcher/Change.h"
#include "switcher/Revert.h"
#include "switcher/SwitcherState.h"

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

  int argument = std::atoi(argv[1]);
  if (argument == 0) {
    revert();
    NSLog("Reverted");
    return 0;
  }
  if (argument == 1) {
    change();
    NSLog("Changed");
    return 0;
  }
  return 0;
}
