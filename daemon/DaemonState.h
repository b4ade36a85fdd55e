#pragma once
// Process-wide state of the daemon.
#include <mutex>

#include "platform/GraphicsServices/GraphicsServices.h"

// Major number of the running OS version; picks the calendar table names. 4 until start-up
// reads the version.
extern int VersionMajor;

// Guards middleOfEvent, and the whole next-wake database pass. Taken before the settings lock
// file when both are needed. Recursive, like the platform's object-level lock.
extern std::recursive_mutex lockObject;

// An event is in progress and the phone is silenced for it. Only touched under lockObject.
extern bool middleOfEvent;

// Bound at start; the daemon never calls it, but it ends at start when the library is missing.
extern GSSendAppPreferencesChangedFunction GSSendAppPreferencesChanged;

void setMiddleOfEvent(bool value);

// Set when a calendar query of this pass met a database that stayed locked by a writer beyond
// the wait: the answers of the pass are then no answers. The pass clears it when it starts.
extern bool calendarBusy;
