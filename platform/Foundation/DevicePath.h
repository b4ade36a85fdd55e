#pragma once
// Every absolute path of the phone lives under the device root, the directory named by
// MUTARO_DEVICE_ROOT (unset or empty: "/", the real phone). This is the one place that
// resolves it; every file access goes through devicePath(), and every path written into a
// shell command line through shellDevicePath().
#include <string>

// The device root without a trailing slash; "" when the root is "/".
std::string deviceRoot();

// The phone path `phonePath` (absolute, as the phone knows it) under the device root.
// With the root unset the result is `phonePath` itself, byte for byte.
std::string devicePath(const std::string& phonePath);

// devicePath() as one word of a shell command line. With the root unset it is the phone path
// itself, byte for byte (the phone's paths hold no blank and no shell character); under a
// root it is single-quoted, so that whatever the root's name holds stays part of the path.
std::string shellDevicePath(const std::string& phonePath);

// Why `root` cannot be a device root, or "" when it can: it must be an absolute path without
// control characters (a newline, say), so that every path under it quotes safely.
std::string deviceRootFault(const std::string& root);

// `text` fit for one line of a message: control characters as \n, \t or \xNN.
std::string printable(const std::string& text);

// Under a device root, puts the phone's /usr/bin first on PATH, whatever PATH held: every
// command line the phone's programs run then finds the phone's own tools (its killall, touch,
// cp, chmod, chown), never the host's of the same name. Without a root PATH stays as it is.
void putPhoneToolsFirst();

// Called by each of the phone's programs before it touches anything. True when the program
// may go on, with putPhoneToolsFirst() done. False, after one line on standard error that
// begins with `program`, when the device root cannot be used, or when no root is set and this
// machine is not a phone (it holds no installed "/Applications/Mutaro.app").
bool mayRunOnThisDevice(const char* program);

// True for a lone "-h" or "--help" argument: the program prints its usage line and changes
// nothing.
bool isHelpRequest(int argc, char** argv);
