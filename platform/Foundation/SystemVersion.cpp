#include "SystemVersion.h"

#include "NSMutableDictionary.h"

std::string systemVersionText() {
  auto info = NSMutableDictionary::initWithContentsOfFile("/System/Library/CoreServices/SystemVersion.plist");
  if (!info) return "";
  return info->stringForKey("ProductVersion").value_or("");
}
