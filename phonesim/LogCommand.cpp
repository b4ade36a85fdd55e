// phonesim log ROOT: prints the phone's system log, where every program's log lines go.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "phonesim/DeviceRoot.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSLog.h"

int logCommand(const std::string& root) {
  if (!useDeviceRoot(absoluteDeviceRoot(root))) return 2;
  std::FILE* log = std::fopen(devicePath(kSystemLogPath).c_str(), "rb");
  if (log == nullptr) {
    std::fprintf(stderr, "phonesim log: %s has no system log (run phonesim init first)\n", root.c_str());
    return 1;
  }
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, log)) > 0) std::fwrite(buffer, 1, got, stdout);
  std::fclose(log);
  return 0;
}
