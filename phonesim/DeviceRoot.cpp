#include "phonesim/DeviceRoot.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "phonesim/text/PhoneTimeZone.h"
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
  putPhoneToolsFirst();
  return true;
}

DeviceRootKind deviceRootKind(const std::string& absoluteRoot) {
  std::error_code error;
  fs::file_status status = fs::status(absoluteRoot, error);
  if (!fs::exists(status)) return DeviceRootKind::Missing;
  if (!fs::is_directory(status)) return DeviceRootKind::NotAFolder;
  if (fs::is_symlink(fs::path(absoluteRoot) / "var", error) &&
      fs::is_directory(fs::path(absoluteRoot) / "private" / "var", error)) {
    return DeviceRootKind::Phone;
  }
  return fs::is_empty(absoluteRoot, error) ? DeviceRootKind::EmptyFolder : DeviceRootKind::OtherFolder;
}

std::optional<std::string> openPhone(const char* command, const std::string& root) {
  const std::string phone = absoluteDeviceRoot(root);
  if (!useDeviceRoot(phone)) return std::nullopt;
  const DeviceRootKind kind = deviceRootKind(phone);
  if (kind == DeviceRootKind::Phone) return usePhoneTimeZone(command) ? std::optional(phone) : std::nullopt;
  const char* why = kind == DeviceRootKind::Missing      ? "there is nothing there"
                    : kind == DeviceRootKind::NotAFolder  ? "it is a file, not a folder"
                    : kind == DeviceRootKind::EmptyFolder ? "the folder is empty"
                                                          : "the folder holds other files and no phone";
  std::fprintf(stderr, "phonesim %s: %s is not a simulated phone: %s", command, phone.c_str(), why);
  // Only where init would not lay a phone over someone's files.
  if (kind == DeviceRootKind::Missing || kind == DeviceRootKind::EmptyFolder) {
    std::fprintf(stderr, "; \"phonesim init %s\" makes one there", phone.c_str());
  }
  std::fprintf(stderr, "\n");
  return std::nullopt;
}
