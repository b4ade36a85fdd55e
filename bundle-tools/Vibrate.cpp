// Gives one vibration cue. Callers only wait for it to return.
#include "platform/AudioToolbox/AudioServices.h"

int main() {
  simulatedVibrate("Vibrate");
  return 0;
}
