#pragma once
// The substrate loader of the SpringBoard host: it loads the extensions installed under
// "/Library/MobileSubstrate/DynamicLibraries" into this process.
#include <string>
#include <vector>

// Whether the filter property list at `filterPhonePath` lists `bundleIdentifier` under
// Filter/Bundles. A missing or malformed filter admits nothing.
bool filterAdmits(const std::string& filterPhonePath, const std::string& bundleIdentifier);

// Loads with dlopen, in name order, every "NAME.dylib" of the extensions directory whose
// filter "NAME.plist" admits `bundleIdentifier`; each library's load-time initialiser runs.
// A library that fails to load is reported on standard error and skipped. Returns the phone
// paths of the libraries loaded.
std::vector<std::string> loadExtensions(const std::string& bundleIdentifier);
