#include "switcher/SwitcherState.h"

GSSendAppPreferencesChangedFunction GSSendAppPreferencesChanged = nullptr;
double volume = 0.0;
