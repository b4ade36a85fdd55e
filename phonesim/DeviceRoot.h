#pragma once
// The device root a phonesim command works on: given on the command line, made absolute,
// checked, and then set as MUTARO_DEVICE_ROOT in this process so that devicePath() and every
// stand-in resolve the phone's paths under it.
#include <optional>
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

// What lies at a device root before a command uses it.
enum class DeviceRootKind {
  Phone,        // laid out by `phonesim init`: its "var" link leads to private/var
  Missing,      // nothing there
  NotAFolder,   // a file or something else that is not a directory
  EmptyFolder,
  OtherFolder,  // a folder of other things
};
DeviceRootKind deviceRootKind(const std::string& absoluteRoot);

// The start of every command that works on an existing phone (status, boot, set, event, log,
// app): the phone at `root`, made absolute and put in use with useDeviceRoot(), its time zone
// with usePhoneTimeZone(). When there is
// no phone there, says so on standard error, headed "phonesim COMMAND:", and returns nothing;
// `phonesim init` is suggested only where it would not lay a phone over other files.
std::optional<std::string> openPhone(const char* command, const std::string& root);
