// settings-writer ID: writes the settings of the phone named by MUTARO_DEVICE_ROOT through the
// accessors, as fast as it can and for ever, so that a test can kill it at any moment of a
// write. Each round writes a string, a number and a boolean of its own and reads one back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings-store/SettingsStore.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: settings-writer ID\n");
    return 2;
  }
  const std::string key = std::string("Writer") + argv[1];
  for (int32_t round = 0;; ++round) {
    updatePlistString((key + "Text").c_str(), ("round " + std::to_string(round)).c_str());
    updatePlistNumber((key + "Number").c_str(), round);
    updatePlistBool((key + "Flag").c_str(), round % 2 == 0);
    std::free(readPlistString((key + "Text").c_str()));
  }
}
