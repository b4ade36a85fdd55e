#pragma once

// Gives the user a short vibration cue: the vibration sound through the system-sound call and
// the alert-sound call, then the bundle tool Vibrate. Nothing of it is checked.
void vibrationCue();
