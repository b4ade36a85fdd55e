#pragma once
// The substrate hooking framework: replaces a method's implementation in the host's class
// and method table.
#include "platform/substrate/ObjCRuntime.h"

// Replaces the implementation of `selector` in `cls` with `replacement` and returns the one it
// had. When the class, the selector or the method is missing nothing changes and the result is
// null. With a non-null `prefix` the old implementation also stays reachable under the
// selector named `prefix` followed by the selector's name.
IMP MSHookMessage(Class cls, SEL selector, IMP replacement, const char* prefix);
