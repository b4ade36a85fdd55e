#pragma once
// The system log: one line to standard error per call,
// "YYYY-MM-DD HH:MM:SS.mmm Process[pid:tid] message". Data is always passed as an argument,
// never as the format. Control characters in the message, line breaks included, are written
// escapes (\n, \t, \xNN), so every call is exactly one line. Where the phone has a system log file (kSystemLogPath under the
// device root), the line is appended to it as well.
constexpr const char* kSystemLogPath = "/private/var/log/syslog";

void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
