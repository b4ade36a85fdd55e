// Mutarod: the event daemon. Started from outside with the switcher's directory as its current
// directory; runs one pass, or several 10 seconds apart while the next event boundary is less
// than 60 seconds ahead, and exits.
#include <cstdio>
#include <cstdlib>

#include "daemon/DaemonState.h"
#include "daemon/MutarodAppDelegate.h"
#include "daemon/RunControl.h"
#include "daemon/SignalHandler.h"
#include "daemon/SystemFiles.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSException.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/SystemVersion.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

int main(int argc, char** argv) {
  if (isHelpRequest(argc, argv)) {
    std::printf("%s (no arguments)\n", argv[0]);
    return 0;
  }
  // Every printed line is out before the next step: SIGTERM ends the process without flushing.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!mayRunOnThisDevice("Mutarod")) return 1;
  NSLog("In main >>>");

  // At most 14 characters of the version text are parsed.
  char version[16] = {0};
  snprintf(version, 15, "%s", systemVersionText().c_str());
  NSLog("IOS: %s", version);
  VersionMajor = atoi(version);
  NSLog("IOS version major: %ld", static_cast<long>(VersionMajor));

  NSLog("+++++++++++++++ Mutaro - Program started +++++++++++++++");

  try {
    prepareSystemFiles();
    installTerminateHandler();

    void* graphicsServices = loadGraphicsServices();
    if (graphicsServices == nullptr) {
      NSLog("Could not open library");
      return -1;
    }
    GSSendAppPreferencesChanged = lookupGSSendAppPreferencesChanged(graphicsServices);

    updatePlistString(kUpdatedStart, localTimeStamp().c_str());

    // Lives as long as the process: the power thread works on it.
    static MutarodAppDelegate* delegate = new MutarodAppDelegate();
    delegate->applicationDidFinishLaunching(nullptr);

    for (;;) runPass();
  } catch (const NSException& exception) {
    NSLog("Caught in main: %s %s", exception.name().c_str(), exception.reason().c_str());
    return 0;
  }
}
