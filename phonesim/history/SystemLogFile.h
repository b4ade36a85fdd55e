#pragma once
// The phone's system log as phonesim's tools read it: a regular file opened without blocking
// (a FIFO or a device in its place is refused at once), and of a big log only the part a span
// needs. Stamps are the log's own texts, "YYYY-MM-DD HH:MM:SS" in the phone's local time; they
// compare as texts, and the log is written in their order.
#include <cstddef>
#include <ctime>
#include <string>

// The system log at the device root in use, open for reading; -1 with `error` saying why
// when it is missing, unreadable or no regular file.
int openSystemLog(std::string* error);

struct LogLimits {
  size_t readWholeBelow = 16u << 20;  // a smaller log is read whole
  size_t most = 64u << 20;            // bytes of one span read at most
};

struct LogSpan {
  std::string text;  // whole lines
  std::string cut;   // "" when nothing the span needs was left out; otherwise what was
};

// The lines from the first stamped at or after `firstStamp` to the last stamped at or before
// `lastStamp` (a line without a stamp goes with the one before it). Of a span over
// `limits.most` the latest part is kept, and `cut` says from when.
LogSpan readLogSpan(int fd, const std::string& firstStamp, const std::string& lastStamp, const LogLimits& limits = {});

// The lines of the system log at the device root in use that tell what happened from `from`
// to `to`, starting two days before `from` (a silence under way at `from` began then). Nothing,
// with `error`, when the log cannot be opened.
LogSpan readSystemLogSpan(time_t from, time_t to, std::string* error);

// True when `line` starts with a stamp "YYYY-MM-DD HH:MM:SS".
bool hasLogStamp(const std::string& line);
constexpr size_t kLogStampLength = 19;
