#pragma once
// The simulated phone's media server. It has no process of its own: the phone's `killall`
// (installed at /usr/bin/killall under the device root) records each "killall mediaserverd"
// as a restart, after which the server would pick up the swapped sound files.

void simulatedMediaServerRestart();
int simulatedMediaServerRestarts();
