#pragma once
// What the silence and the two reverts check before they rely on, or give up, a ".orig"
// backup of a swapped system file. Paths are phone paths.

// True when the backup holds what the system file holds, byte for byte, or there is no backup
// (nothing to give back). False when either cannot be read or they differ.
bool backupIsBack(const char* systemPath, const char* backupPath);

// True when the system file holds the bundle's replacement, byte for byte.
bool holdsReplacement(const char* systemPath, const char* replacementPath);

// True while a user-profile silence is applied: it swaps the sound behaviour table whatever its
// switches, the SMS tone when that switch is off.
bool profileSilenceApplied();
