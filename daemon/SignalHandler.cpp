#include "daemon/SignalHandler.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSLog.h"

namespace {

// " Mutarod[pid:tid] terminate signal catched\n", made at install time.
char lineTail[256];
size_t lineTailLength = 0;
// Local time minus UTC, in seconds, at install time.
long utcOffset = 0;
// The phone's system log, which NSLog appends to where it exists; "" when the path is too long.
char systemLogPath[4096];

void writeAll(int fd, const char* data, size_t length) {
  size_t written = 0;
  while (written < length) {
    ssize_t count = write(fd, data + written, length - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    written += static_cast<size_t>(count);
  }
}

// Appends `value` as at least `width` decimal digits.
char* appendNumber(char* out, char* end, long long value, int width) {
  char digits[24];
  int count = 0;
  if (value < 0) value = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && count < 20);
  while (count < width && count < 20) digits[count++] = '0';
  while (count > 0 && out < end) *out++ = digits[--count];
  return out;
}

char* appendChar(char* out, char* end, char c) {
  if (out < end) *out++ = c;
  return out;
}

// Days since 1970-01-01 to a civil date (Howard Hinnant's days_from_civil, inverted).
void civilFromDays(long long days, long long* year, int* month, int* day) {
  days += 719468;
  long long era = (days >= 0 ? days : days - 146096) / 146097;
  long long dayOfEra = days - era * 146097;
  long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  long long monthIndex = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  *month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

}  // namespace

size_t formatTerminateLine(char* buffer, size_t size, long long seconds, int milliseconds) {
  if (size == 0) return 0;
  char* out = buffer;
  char* end = buffer + size - 1;
  long long local = seconds + utcOffset;
  long long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  long long secondOfDay = local - days * 86400;
  long long year;
  int month, day;
  civilFromDays(days, &year, &month, &day);

  out = appendNumber(out, end, year, 4);
  out = appendChar(out, end, '-');
  out = appendNumber(out, end, month, 2);
  out = appendChar(out, end, '-');
  out = appendNumber(out, end, day, 2);
  out = appendChar(out, end, ' ');
  out = appendNumber(out, end, secondOfDay / 3600, 2);
  out = appendChar(out, end, ':');
  out = appendNumber(out, end, secondOfDay / 60 % 60, 2);
  out = appendChar(out, end, ':');
  out = appendNumber(out, end, secondOfDay % 60, 2);
  out = appendChar(out, end, '.');
  out = appendNumber(out, end, milliseconds, 3);
  for (size_t i = 0; i < lineTailLength && out < end; ++i) *out++ = lineTail[i];
  *out = '\0';
  return static_cast<size_t>(out - buffer);
}

void installTerminateHandler() {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  utcOffset = local.tm_gmtoff;
  int length = snprintf(lineTail, sizeof lineTail, " %s[%ld:%ld] terminate signal catched\n",
                        program_invocation_short_name, static_cast<long>(getpid()),
                        static_cast<long>(syscall(SYS_gettid)));
  lineTailLength = length < 0 ? 0 : std::min(static_cast<size_t>(length), sizeof lineTail - 1);
  std::string logPath = devicePath(kSystemLogPath);
  systemLogPath[0] = '\0';
  if (logPath.size() < sizeof systemLogPath) {
    std::memcpy(systemLogPath, logPath.c_str(), logPath.size() + 1);
  }
  signal(SIGTERM, signal_handler);
}

void signal_handler(int) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  char line[320];
  size_t length = formatTerminateLine(line, sizeof line, now.tv_sec,
                                      static_cast<int>(now.tv_nsec / 1000000));
  writeAll(STDERR_FILENO, line, length);
  // Only open, fstat, write and close: all of them are safe inside a signal handler.
  if (systemLogPath[0] != '\0') {
    int systemLog = openExistingForAppending(systemLogPath);
    if (systemLog >= 0) {
      writeAll(systemLog, line, length);
      close(systemLog);
    }
  }
  _exit(0);
}
