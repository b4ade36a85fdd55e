#pragma once
#include <string>

// The device the application runs on.
class UIDevice {
 public:
  static UIDevice& currentDevice();
  // The running system's version text, such as "7.0.4"; "" when it cannot be read.
  std::string systemVersion() const;
};
