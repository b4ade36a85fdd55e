#include "switcher/Change.h"

#include <unistd.h>

#include "platform/Foundation/NSLog.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"
#include "switcher/DoWork.h"
#include "switcher/VibrationCue.h"

void change() {
  NSLog("Change...");
  bool ringtone = true;
  bool vibrate = true;
  bool voicemail = true;
  bool newMail = true;
  bool calendar = true;
  bool sms = true;
  bool lockUnlock = true;
  bool keyboard = true;
  bool sentMail = true;
  readPlistBool(kRingtoneSwitch, &ringtone);
  readPlistBool(kVibrateSwitch, &vibrate);
  readPlistBool(kVoicemailSwitch, &voicemail);
  readPlistBool(kNewmailSwitch, &newMail);
  readPlistBool(kCalendarSwitch, &calendar);
  readPlistBool(kSMSSwitch, &sms);
  readPlistBool(kLockunlockSwitch, &lockUnlock);
  readPlistBool(kKeyboardSwitch, &keyboard);
  readPlistBool(kSentmailSwitch, &sentMail);

  vibrationCue();
  sleep(1);

  doWork(ringtone, vibrate, voicemail, newMail, calendar, sms, sentMail, lockUnlock, keyboard);
  // The status-bar image is SpringBoard's to show, while the marker file exists.
  NSLog("Set status bar NEW");
  NSLog("Done!");
  sleep(1);
}
