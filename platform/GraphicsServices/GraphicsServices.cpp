// The GraphicsServices library itself, loaded by the programs with dlopen: the only symbol it
// exports is the preference-change broadcast, which the simulated phone records as an
// announcement.
#include "platform/SimState/SimState.h"

extern "C" __attribute__((visibility("default"))) void GSSendAppPreferencesChanged(const char* domain,
                                                                                   const char* key) {
  simAppend("announcements", {domain ? domain : "", key ? key : ""});
}
