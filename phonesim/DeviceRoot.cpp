#include "phonesim/DeviceRoot.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/Foundation/DevicePath.h"

namespace fs = std::filesystem;

std::string absoluteDeviceRoot(const std::string& root) {
  std::error_code error;
  fs::path path = fs::absolute(root.empty() ? fs::path(".") : fs::path(root), error).lexically_normal();
  std::string text = path.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool isSafeDeviceRoot(const std::string& absoluteRoot) {
  if (absoluteRoot.empty()) return false;
  for (unsigned char c : absoluteRoot) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain && std::string_view("/._-+,:@").find(static_cast<char>(c)) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool useDeviceRoot(const std::string& absoluteRoot) {
  if (std::string fault = deviceRootFault(absoluteRoot); !fault.empty()) {
    std::fprintf(stderr, "phonesim: refusing the device root \"%s\": %s\n", printable(absoluteRoot).c_str(),
                 fault.c_str());
    return false;
  }
  setenv("MUTARO_DEVICE_ROOT", absoluteRoot.c_str(), 1);
  // The phone's programs find the phone's own tools (its killall) before the host's.
  const char* path = std::getenv("PATH");
  std::string phoneTools = absoluteRoot + "/usr/bin";
  if (path == nullptr || std::string(path).rfind(phoneTools + ":", 0) != 0) {
    setenv("PATH", (phoneTools + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
  }
  return true;
}

bool isSimulatedPhone() {
  std::error_code error;
  return fs::is_symlink(devicePath("/var"), error) && fs::is_directory(devicePath("/private/var"), error);
}
