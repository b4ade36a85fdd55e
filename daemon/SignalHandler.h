#pragma once
// SIGTERM ends the daemon with status 0 after logging "terminate signal catched".
#include <cstddef>

// Installs signal_handler for SIGTERM only. Everything the handler needs that is not
// async-signal-safe to compute (process name, ids, the local time offset, the path of the
// phone's system log) is prepared here.
void installTerminateHandler();

// Writes the log line with write(), to standard error and, where it exists, to the phone's
// system log as NSLog does, and ends the process with _exit(0).
void signal_handler(int signalNumber);

// The log line the handler writes for a moment of `seconds`/`milliseconds` (Unix time), built
// with arithmetic only. Writes at most `size` - 1 bytes and a NUL; returns the length.
size_t formatTerminateLine(char* buffer, size_t size, long long seconds, int milliseconds);
