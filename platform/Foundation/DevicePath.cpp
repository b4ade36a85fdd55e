#include "DevicePath.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kInstalledBundle = "/Applications/Mutaro.app";

}  // namespace

std::string deviceRoot() {
  const char* root = std::getenv("MUTARO_DEVICE_ROOT");
  if (root == nullptr) return "";
  std::string value = root;
  while (!value.empty() && value.back() == '/') value.pop_back();
  return value;
}

std::string devicePath(const std::string& phonePath) {
  return deviceRoot() + phonePath;
}

std::string shellDevicePath(const std::string& phonePath) {
  std::string root = deviceRoot();
  if (root.empty()) return phonePath;
  std::string quoted = "'";
  for (char c : root + phonePath) {
    if (c == '\'') {
      quoted += "'\\''";  // close the quotes, an escaped quote, open them again
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string deviceRootFault(const std::string& root) {
  if (root.empty() || root[0] != '/') return "it is not an absolute path";
  for (unsigned char c : root) {
    if (c < 0x20 || c == 0x7f) return "it holds a control character, which no shell command line can carry safely";
  }
  return "";
}

std::string printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

void putPhoneToolsFirst() {
  std::string root = deviceRoot();
  if (root.empty()) return;
  std::string phoneTools = root + "/usr/bin";
  const char* path = std::getenv("PATH");
  if (path != nullptr && std::string(path).rfind(phoneTools + ":", 0) == 0) return;
  setenv("PATH", (phoneTools + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
}

bool mayRunOnThisDevice(const char* program) {
  const char* set = std::getenv("MUTARO_DEVICE_ROOT");
  std::string root = set != nullptr && *set != '\0' ? set : "/";
  if (std::string fault = deviceRootFault(root); !fault.empty()) {
    std::fprintf(stderr, "%s: refusing the device root \"%s\": %s\n", program, printable(root).c_str(),
                 fault.c_str());
    return false;
  }
  struct stat bundle;
  if (deviceRoot().empty() && (stat(kInstalledBundle, &bundle) != 0 || !S_ISDIR(bundle.st_mode))) {
    std::fprintf(stderr,
                 "%s: runs on the phone, or on a simulated one named by MUTARO_DEVICE_ROOT; this "
                 "machine has no %s\n",
                 program, kInstalledBundle);
    return false;
  }
  putPhoneToolsFirst();
  return true;
}

bool isHelpRequest(int argc, char** argv) {
  return argc == 2 && argv[1] != nullptr &&
         (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0);
}
