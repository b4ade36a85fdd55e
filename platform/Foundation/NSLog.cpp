#include "NSLog.h"

#include <fcntl.h>

#include <errno.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "DevicePath.h"
#include "FileWrites.h"

namespace {

void writeLine(int fd, const std::string& line) {
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t written = write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
}

}  // namespace

void NSLog(const char* format, ...) {
  int savedErrno = errno;
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  localtime_r(&now.tv_sec, &local);

  char prefix[160];
  char stamp[32];
  strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  snprintf(prefix, sizeof prefix, "%s.%03ld %s[%ld:%ld] ", stamp, static_cast<long>(now.tv_usec / 1000),
           program_invocation_short_name, static_cast<long>(getpid()),
           static_cast<long>(syscall(SYS_gettid)));

  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) vsnprintf(message.data(), message.size() + 1, format, args);
  va_end(args);

  // One write per line, so lines of concurrent threads and processes never interleave. What
  // the message carries cannot start a line of its own: line breaks and other control
  // characters in it are escaped.
  std::string line = prefix + printable(message) + "\n";
  writeLine(STDERR_FILENO, line);
  // The simulated phone's system log, shared by every program: only where it exists.
  // Never blocks: a FIFO in its place without a reader is no log.
  int systemLog = openExistingForAppending(devicePath(kSystemLogPath).c_str());
  if (systemLog >= 0) {
    writeLine(systemLog, line);
    close(systemLog);
  }
  errno = savedErrno;
}
