#include "platform/substrate/substrate.h"

#include <string>

IMP MSHookMessage(Class cls, SEL selector, IMP replacement, const char* prefix) {
  if (cls == nullptr || selector == nullptr || replacement == nullptr) return nullptr;
  // Only an existing method is hooked, so a missing one never gets a replacement that would
  // call a null original.
  if (class_getMethodImplementation(cls, selector) == nullptr) return nullptr;
  IMP original = class_replaceMethod(cls, selector, replacement);
  if (prefix != nullptr) {
    std::string prefixedName = std::string(prefix) + sel_getName(selector);
    class_addMethod(cls, sel_registerName(prefixedName.c_str()), original);
  }
  return original;
}
