#include "NSBundle.h"

NSBundle& NSBundle::mainBundle() {
  static NSBundle bundle;
  return bundle;
}

std::string NSBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                            const char* /*table*/) const {
  return key.empty() ? value : key;
}
