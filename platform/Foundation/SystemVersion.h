#pragma once
#include <string>

// The running system's version text: "ProductVersion" of
// "/System/Library/CoreServices/SystemVersion.plist"; "" when it cannot be read.
std::string systemVersionText();
