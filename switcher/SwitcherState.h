#pragma once
// Process-wide state of one switcher run, set up by main and used by the two procedures.
#include "platform/GraphicsServices/GraphicsServices.h"

// Announces one changed key of one preference domain; bound by main before either procedure
// runs, and never null once they do.
extern GSSendAppPreferencesChangedFunction GSSendAppPreferencesChanged;

// The volume level between reading (or restoring) it and storing (or setting) it.
extern double volume;
