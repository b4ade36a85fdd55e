#include "platform/AudioToolbox/AudioServices.h"

#include "platform/SimState/SimState.h"

namespace {

// One record per vibration cue; its only field says who gave it.
constexpr const char* kVibrationJournal = "vibrations";

void vibrateIfVibrationSound(SystemSoundID sound, const char* caller) {
  if (sound == kSystemSoundID_Vibrate) simulatedVibrate(caller);
}

}  // namespace

void AudioServicesPlaySystemSound(SystemSoundID sound) {
  vibrateIfVibrationSound(sound, "AudioServicesPlaySystemSound");
}

void AudioServicesPlayAlertSound(SystemSoundID sound) {
  vibrateIfVibrationSound(sound, "AudioServicesPlayAlertSound");
}

void simulatedVibrate(const char* source) {
  simAppend(kVibrationJournal, {source ? source : ""});
}

int simulatedVibrationCount() {
  return static_cast<int>(simRead(kVibrationJournal).size());
}
