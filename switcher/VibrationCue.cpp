#include "switcher/VibrationCue.h"

#include "platform/AudioToolbox/AudioServices.h"
#include "switcher/ShellCommands.h"

void vibrationCue() {
  AudioServicesPlaySystemSound(kSystemSoundID_Vibrate);
  AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
  runShellCommand(vibrateCommand());
}
