#pragma once
// GraphicsServices: the preference-change broadcast. The library itself is a real shared
// library placed on the phone at kGraphicsServicesPath and loaded at run time.
#include <string>
#include <utility>
#include <vector>

constexpr const char* kGraphicsServicesPath =
    "/System/Library/PrivateFrameworks/GraphicsServices.framework/GraphicsServices";

// Announces that `key` of the preference domain `domain` changed.
using GSSendAppPreferencesChangedFunction = void (*)(const char* domain, const char* key);

// dlopen of kGraphicsServicesPath under the device root, lazy binding; null on failure.
void* loadGraphicsServices();
// dlsym of "GSSendAppPreferencesChanged"; null when the library lacks it.
GSSendAppPreferencesChangedFunction lookupGSSendAppPreferencesChanged(void* library);

// Every announcement made on the simulated phone so far, in order: (domain, key).
std::vector<std::pair<std::string, std::string>> simulatedAnnouncements();
