#pragma once
// When the daemon will next look at the calendar, and why, told to a person: on a booted phone
// its next wake and the launcher's watch on the calendar; on one that is not booted, that
// nothing looks (and so nothing silences the phone) until it boots.
#include <ctime>
#include <string>

// True while a `phonesim boot` runs the phone at the device root in use.
bool phoneBooted();

struct DaemonLook {
  std::string when;  // "at ..., its next wake", or "never: ..."
  std::string why;   // what else starts it, or what is missing
};
DaemonLook whenDaemonLooks(time_t now);
