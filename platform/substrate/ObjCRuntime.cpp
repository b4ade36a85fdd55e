#include "platform/substrate/ObjCRuntime.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

struct objc_selector {
  std::string name;
};

struct objc_class {
  std::string name;
  std::map<SEL, IMP> methods;
};

namespace {

// One table per process. Extensions may hook from their own threads while the host sends,
// so every access holds the lock.
struct Runtime {
  std::mutex lock;
  std::map<std::string, std::unique_ptr<objc_selector>> selectors;
  std::map<std::string, std::unique_ptr<objc_class>> classes;
};

Runtime& runtime() {
  static Runtime* instance = new Runtime;  // never destroyed: detached threads may outlive main
  return *instance;
}

}  // namespace

SEL sel_registerName(const char* name) {
  if (name == nullptr) return nullptr;
  Runtime& table = runtime();
  std::lock_guard<std::mutex> guard(table.lock);
  std::unique_ptr<objc_selector>& selector = table.selectors[name];
  if (!selector) selector.reset(new objc_selector{name});
  return selector.get();
}

const char* sel_getName(SEL selector) { return selector == nullptr ? "" : selector->name.c_str(); }

Class objc_getClass(const char* name) {
  if (name == nullptr) return nullptr;
  Runtime& table = runtime();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.classes.find(name);
  return found == table.classes.end() ? nullptr : found->second.get();
}

Class objc_registerClass(const char* name) {
  if (name == nullptr) return nullptr;
  Runtime& table = runtime();
  std::lock_guard<std::mutex> guard(table.lock);
  std::unique_ptr<objc_class>& cls = table.classes[name];
  if (!cls) cls.reset(new objc_class{name, {}});
  return cls.get();
}

bool class_addMethod(Class cls, SEL selector, IMP implementation) {
  if (cls == nullptr || selector == nullptr || implementation == nullptr) return false;
  std::lock_guard<std::mutex> guard(runtime().lock);
  return cls->methods.emplace(selector, implementation).second;
}

IMP class_replaceMethod(Class cls, SEL selector, IMP implementation) {
  if (cls == nullptr || selector == nullptr || implementation == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(runtime().lock);
  IMP& method = cls->methods[selector];
  IMP previous = method;
  method = implementation;
  return previous;
}

IMP class_getMethodImplementation(Class cls, SEL selector) {
  if (cls == nullptr || selector == nullptr) return nullptr;
  std::lock_guard<std::mutex> guard(runtime().lock);
  auto found = cls->methods.find(selector);
  return found == cls->methods.end() ? nullptr : found->second;
}
