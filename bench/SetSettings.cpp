// set-settings ROOT KEY=VALUE...: writes settings keys of the phone in ROOT through the
// accessors, to put a phone into a state for a benchmark. VALUE true/false is a boolean,
// a whole number an integer, anything else a string; KEY= (nothing after it) removes the key.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings-store/SettingsStore.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: set-settings ROOT KEY=VALUE...\n");
    return 2;
  }
  setenv("MUTARO_DEVICE_ROOT", argv[1], 1);
  for (int i = 2; i < argc; ++i) {
    std::string assignment = argv[i];
    size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
      std::fprintf(stderr, "set-settings: \"%s\" is not KEY=VALUE\n", argv[i]);
      return 2;
    }
    std::string key = assignment.substr(0, equals);
    std::string value = assignment.substr(equals + 1);
    char* end = nullptr;
    long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty()) {
      updatePlistString(key.c_str(), nullptr);
    } else if (value == "true" || value == "false") {
      updatePlistBool(key.c_str(), value == "true");
    } else if (*end == '\0') {
      updatePlistNumber(key.c_str(), static_cast<int32_t>(number));
    } else {
      updatePlistString(key.c_str(), value.c_str());
    }
  }
  return 0;
}
