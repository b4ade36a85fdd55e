#pragma once
// The class and method table of the SpringBoard host: classes found by name, methods by
// selector. The host executable carries it and exports it, so an extension loaded into the
// host finds these functions at load time, as the runtime is present in every process on the
// phone.

struct objc_class;
struct objc_selector;
using Class = objc_class*;
using SEL = const objc_selector*;
// A method's implementation. Callers cast it to the method's real type, (id self, SEL, args...).
using IMP = void (*)();

// Every object that receives messages: `isa` is its class in the table.
struct objc_object {
  Class isa = nullptr;
};
using id = objc_object*;

// The selector named `name` (e.g. "applicationDidFinishLaunching:"): the same name always gives
// the same selector. Null for a null name.
SEL sel_registerName(const char* name);
// The name of a selector; "" for null.
const char* sel_getName(SEL selector);

// The class named `name`; null when no class of that name is registered.
Class objc_getClass(const char* name);
// Registers a class named `name` and returns it; an existing class of that name is returned as is.
Class objc_registerClass(const char* name);

// Adds a method. False, and nothing changes, when the class already has a method for
// `selector` or an argument is null.
bool class_addMethod(Class cls, SEL selector, IMP implementation);
// Sets the implementation of `selector` (adding the method when missing) and returns the one
// it replaced, or null when there was none.
IMP class_replaceMethod(Class cls, SEL selector, IMP implementation);
// The implementation `cls` runs for `selector`; null when it has none.
IMP class_getMethodImplementation(Class cls, SEL selector);

// Sends `op` with `args` to `self` through the table. Does nothing and returns false when
// `self` is null or its class has no method for `op`.
template <typename... Args>
bool objc_msgSend(id self, SEL op, Args... args) {
  IMP implementation = self == nullptr ? nullptr : class_getMethodImplementation(self->isa, op);
  if (implementation == nullptr) return false;
  reinterpret_cast<void (*)(id, SEL, Args...)>(implementation)(self, op, args...);
  return true;
}
