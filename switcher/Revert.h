#pragma once

// The revert procedure: removes the marker file and gives the user's sounds back, either the
// ringer (silent-phone mode) or the saved copies of the system keys and the backed-up system
// files (user-profile mode), then the saved volume level, and ends with a vibration cue. In
// silent-phone mode the keys and files also come back when a user-profile silence left them.
void revert();
