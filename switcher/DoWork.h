#pragma once

// The silence procedure: creates the marker file and silences the phone, either whole
// (silent-phone mode) or sound by sound as the switches say (user-profile mode), and stores in
// the settings the volume level that revert() gives back. A switch that is on keeps its sound.
void doWork(bool ringtone, bool vibrate, bool voicemail, bool newMail, bool calendar, bool sms,
            bool sentMail, bool lockUnlock, bool keyboard);
