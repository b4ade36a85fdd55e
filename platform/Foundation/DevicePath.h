#pragma once
// Every absolute path of the phone lives under the device root, the directory named by
// MUTARO_DEVICE_ROOT (unset or empty: "/", the real phone). This is the one place that
// resolves it; every file access and every path written into a shell command goes through
// devicePath().
#include <string>

// The device root without a trailing slash; "" when the root is "/".
std::string deviceRoot();

// The phone path `phonePath` (absolute, as the phone knows it) under the device root.
// With the root unset the result is `phonePath` itself, byte for byte.
std::string devicePath(const std::string& phonePath);
