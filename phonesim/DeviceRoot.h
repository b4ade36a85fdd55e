#pragma once
// The device root a phonesim command works on: given on the command line, made absolute,
// checked, and then set as MUTARO_DEVICE_ROOT in this process so that devicePath() and every
// stand-in resolve the phone's paths under it.
#include <string>

// `root` as an absolute, normalised path without a trailing slash ("/" stays "/").
std::string absoluteDeviceRoot(const std::string& root);

// True when the path has no blank and no shell metacharacter: only letters, digits and
// / . _ - + , : @. The roots that `init` lays out and `app` opens are kept to these.
bool isSafeDeviceRoot(const std::string& absoluteRoot);

// Sets MUTARO_DEVICE_ROOT for this process and the programs it starts, and puts the phone's
// /usr/bin first on their PATH. A root whose paths cannot be quoted safely for the shell (a
// newline in it, say) is refused instead: one message on standard error, nothing set, false.
[[nodiscard]] bool useDeviceRoot(const std::string& absoluteRoot);

// True when the device root in use has been laid out by `phonesim init` (its "var" link).
bool isSimulatedPhone();
