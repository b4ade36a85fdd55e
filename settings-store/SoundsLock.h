#pragma once
// The lock that keeps the procedures which change the phone's sounds apart: the silence, the
// revert and the settings application's restore each hold it from their first step to their
// last, so that no two of them ever edit the sound files at once. It is an flock(2) on a file
// beside the settings lock file; the settings lock still guards every single settings access.
//
// Re-entrant within a process: nested calls only count. The wait is bounded: a holder that
// keeps it past the bound is ignored (logged) and the caller goes on without it. A process
// that dies gives the lock up with its last descriptor.

// Phone path of the lock file.
constexpr const char* kSoundsLockPath = "/var/mobile/Library/Preferences/com.velbrant.sounds_lock";

// Longest wait for another process's procedure, in seconds of the phone's clock.
constexpr double kSoundsLockWait = 120;

void lockSounds();
void unlockSounds();
