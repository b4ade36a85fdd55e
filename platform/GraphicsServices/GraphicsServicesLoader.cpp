#include "platform/GraphicsServices/GraphicsServices.h"

#include <dlfcn.h>

#include "platform/Foundation/DevicePath.h"
#include "platform/SimState/SimState.h"

void* loadGraphicsServices() {
  return dlopen(devicePath(kGraphicsServicesPath).c_str(), RTLD_LAZY);
}

GSSendAppPreferencesChangedFunction lookupGSSendAppPreferencesChanged(void* library) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<GSSendAppPreferencesChangedFunction>(
      dlsym(library, "GSSendAppPreferencesChanged"));
}

std::vector<std::pair<std::string, std::string>> simulatedAnnouncements() {
  std::vector<std::pair<std::string, std::string>> announcements;
  for (auto& record : simRead("announcements")) {
    record.resize(2);
    announcements.emplace_back(record[0], record[1]);
  }
  return announcements;
}
