#include "daemon/DaemonState.h"

int VersionMajor = 4;
std::recursive_mutex lockObject;
bool middleOfEvent = false;
bool calendarBusy = false;
GSSendAppPreferencesChangedFunction GSSendAppPreferencesChanged = nullptr;

void setMiddleOfEvent(bool value) {
  std::lock_guard<std::recursive_mutex> guard(lockObject);
  middleOfEvent = value;
}
