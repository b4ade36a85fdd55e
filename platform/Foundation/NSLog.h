#pragma once
// The system log: one line to standard error per call,
// "YYYY-MM-DD HH:MM:SS.mmm Process[pid:tid] message". Data is always passed as an argument,
// never as the format.
void NSLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
