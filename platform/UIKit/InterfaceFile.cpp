#include "platform/UIKit/InterfaceFile.h"

#include <map>

namespace {
std::map<std::string, InterfaceFileLoader>& interfaceFiles() {
  static std::map<std::string, InterfaceFileLoader> files;
  return files;
}
}  // namespace

void registerInterfaceFile(const std::string& name, InterfaceFileLoader loader) {
  interfaceFiles()[name] = std::move(loader);
}

bool loadInterfaceFile(const std::string& name, UIResponder* owner) {
  auto found = interfaceFiles().find(name);
  if (found == interfaceFiles().end() || !found->second) return false;
  InterfaceFileLoader loader = found->second;
  loader(owner);
  return true;
}
