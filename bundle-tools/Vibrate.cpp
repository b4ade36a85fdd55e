// Gives one vibration cue. Callers only wait for it to return.
#include <cstdio>

#include "platform/AudioToolbox/AudioServices.h"
#include "platform/Foundation/DevicePath.h"

int main(int argc, char** argv) {
  if (isHelpRequest(argc, argv)) {
    std::printf("%s (no arguments)\n", argv[0]);
    return 0;
  }
  if (!mayRunOnThisDevice("Vibrate")) return 1;
  simulatedVibrate("Vibrate");
  return 0;
}
