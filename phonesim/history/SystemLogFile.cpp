#include "phonesim/history/SystemLogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"

namespace {

// How far past a line's start to look for the next stamped line; a longer unstamped run
// counts as lying after every stamp.
constexpr size_t kStampSearch = 1 << 16;

std::string readAt(int fd, off_t offset, size_t length) {
  std::string data(length, '\0');
  size_t got = 0;
  while (got < length) {
    ssize_t read = pread(fd, data.data() + got, length - got, offset + static_cast<off_t>(got));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) break;
    got += static_cast<size_t>(read);
  }
  data.resize(got);
  return data;
}

// The first line start at or after `offset` whose line is stamped, and its stamp; the end of
// the file and "" when there is none within reach.
off_t stampedLineFrom(int fd, off_t offset, off_t size, std::string* stamp) {
  std::string window = readAt(fd, offset, kStampSearch);
  size_t at = 0;
  if (offset > 0) {
    // `offset` may fall inside a line: the next one starts after its newline.
    std::string before = readAt(fd, offset - 1, 1);
    if (before != "\n") {
      at = window.find('\n');
      if (at == std::string::npos) return size;
      ++at;
    }
  }
  while (at < window.size()) {
    if (hasLogStamp(window.substr(at, kLogStampLength))) {
      *stamp = window.substr(at, kLogStampLength);
      return offset + static_cast<off_t>(at);
    }
    size_t next = window.find('\n', at);
    if (next == std::string::npos) break;
    at = next + 1;
  }
  stamp->clear();
  return size;
}

// The first stamped line start whose stamp is not below `stamp` (with `after`, above it).
off_t firstLineFrom(int fd, off_t size, const std::string& stamp, bool after) {
  off_t low = 0, high = size;
  while (low < high) {
    off_t middle = low + (high - low) / 2;
    std::string found;
    off_t line = stampedLineFrom(fd, middle, size, &found);
    bool before = !found.empty() && (after ? found <= stamp : found < stamp);
    if (before) {
      low = line + 1;
    } else {
      high = middle;
    }
  }
  std::string found;
  return stampedLineFrom(fd, low, size, &found);
}

}  // namespace

LogSpan readSystemLogSpan(time_t from, time_t to, std::string* error) {
  constexpr time_t kLookBack = 2 * 86400;
  int fd = openSystemLog(error);
  if (fd < 0) return {};
  LogSpan span = readLogSpan(fd, localTimeStamp(from - kLookBack), localTimeStamp(to));
  close(fd);
  return span;
}

bool hasLogStamp(const std::string& line) {
  if (line.size() < kLogStampLength) return false;
  for (size_t i = 0; i < kLogStampLength; ++i) {
    bool digit = line[i] >= '0' && line[i] <= '9';
    if (digit != !(i == 4 || i == 7 || i == 10 || i == 13 || i == 16)) return false;
  }
  return true;
}

int openSystemLog(std::string* error) {
  const std::string path = devicePath(kSystemLogPath);
  // Without O_NONBLOCK a FIFO would hold the open until some writer came along.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    *error = path + ": not a regular file";
    return -1;
  }
  return fd;
}

LogSpan readLogSpan(int fd, const std::string& firstStamp, const std::string& lastStamp, const LogLimits& limits) {
  struct stat info;
  if (fstat(fd, &info) != 0) return {};
  const off_t size = info.st_size;
  if (static_cast<size_t>(size) < limits.readWholeBelow) return {readAt(fd, 0, static_cast<size_t>(size)), ""};
  off_t start = firstLineFrom(fd, size, firstStamp, false);
  off_t end = std::max(start, firstLineFrom(fd, size, lastStamp, true));
  LogSpan span;
  if (static_cast<size_t>(end - start) > limits.most) {
    std::string stamp;
    start = stampedLineFrom(fd, end - static_cast<off_t>(limits.most), end, &stamp);
    const std::string most = limits.most >= (1u << 20) ? std::to_string(limits.most >> 20) + " MB" : std::to_string(limits.most) + " bytes";
    span.cut = "the log holds over " + most + " for this span; only its lines from " +
               (stamp.empty() ? "the end" : stamp) + " on were read";
  }
  span.text = readAt(fd, start, static_cast<size_t>(end - start));
  return span;
}
