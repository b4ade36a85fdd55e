#include "DevicePath.h"

#include <cstdlib>

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
