#pragma once
#include <cstdint>

using SystemSoundID = uint32_t;
constexpr SystemSoundID kSystemSoundID_Vibrate = 4095;

// Playing kSystemSoundID_Vibrate gives one vibration cue on the simulated phone.
void AudioServicesPlaySystemSound(SystemSoundID sound);
void AudioServicesPlayAlertSound(SystemSoundID sound);
// The bundle tool Vibrate calls this for its cue.
void simulatedVibrate(const char* source);

// How many vibration cues the simulated phone has given.
int simulatedVibrationCount();
