// phonesim set ROOT KEY=VALUE...: writes keys of the phone's settings file through the
// settings accessors, as the settings application would. VALUE true or false is a boolean,
// a whole number an integer, anything else a string; KEY= removes the key.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Commands.h"
#include "phonesim/DeviceRoot.h"
#include "settings-store/SettingsStore.h"

int setCommand(const std::string& root, const std::vector<std::string>& assignments) {
  if (!useDeviceRoot(absoluteDeviceRoot(root))) return 2;
  if (!isSimulatedPhone()) {
    std::fprintf(stderr, "phonesim set: %s is not a simulated phone; run phonesim init first\n", root.c_str());
    return 1;
  }
  for (const std::string& assignment : assignments) {
    size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
      std::fprintf(stderr, "phonesim set: \"%s\" is not KEY=VALUE\n", assignment.c_str());
      return 2;
    }
    std::string key = assignment.substr(0, equals);
    std::string value = assignment.substr(equals + 1);
    errno = 0;
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    bool isInteger = !value.empty() && *end == '\0' && errno == 0 && number >= INT32_MIN && number <= INT32_MAX;
    if (value.empty()) {
      updatePlistString(key.c_str(), nullptr);
    } else if (value == "true" || value == "false") {
      updatePlistBool(key.c_str(), value == "true");
    } else if (isInteger) {
      updatePlistNumber(key.c_str(), static_cast<int32_t>(number));
    } else {
      updatePlistString(key.c_str(), value.c_str());
    }
  }
  return 0;
}
