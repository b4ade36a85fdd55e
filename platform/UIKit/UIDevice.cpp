#include "platform/UIKit/UIDevice.h"

#include "platform/Foundation/SystemVersion.h"

UIDevice& UIDevice::currentDevice() {
  static UIDevice device;
  return device;
}

std::string UIDevice::systemVersion() const { return systemVersionText(); }
