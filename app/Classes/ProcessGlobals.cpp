#include "app/Classes/ProcessGlobals.h"

bool enableProfiles = false;
long VersionMajor = 0;
GSSendAppPreferencesChangedFunction GSSendAppPreferencesChanged = nullptr;
