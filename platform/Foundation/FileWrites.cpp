#include "FileWrites.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

// Opens with O_NOFOLLOW and O_NONBLOCK and keeps the descriptor only for a regular file.
int openRegular(const char* path, int flags, mode_t mode) {
  int fd = open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int openForAppending(const char* path, mode_t mode) {
  return openRegular(path, O_WRONLY | O_APPEND | O_CREAT, mode);
}

int openExistingForAppending(const char* path) { return openRegular(path, O_WRONLY | O_APPEND, 0); }

int openForLocking(const std::string& path, mode_t mode) {
  int fd = openRegular(path.c_str(), O_RDWR | O_CREAT, mode);
  if (fd >= 0 || (errno != ELOOP && errno != EINVAL)) return fd;
  // No process locks a link or a FIFO: whatever stands there is no lock of ours and goes.
  unlink(path.c_str());
  return openRegular(path.c_str(), O_RDWR | O_CREAT, mode);
}

bool createExclusively(const std::string& path, mode_t mode) {
  // O_EXCL with O_CREAT fails on any link, dangling or not.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool touchFile(const std::string& path, mode_t mode) {
  int fd = openRegular(path.c_str(), O_RDONLY | O_CREAT, mode);
  if (fd < 0) return false;
  bool ok = futimens(fd, nullptr) == 0;
  close(fd);
  return ok;
}

bool writeFully(int fd, const char* data, size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

bool replaceFile(const std::string& path, mode_t mode, const std::function<bool(int fd)>& write) {
  std::string temporary = directoryOf(path) + "/.tmp-XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = write(fd) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  // rename(2) replaces whatever name stands at the path, a link included, and never follows it.
  if (ok) {
    if (rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = errno;
  }
  unlink(temporary.c_str());
  errno = error;
  return false;
}

bool replaceFile(const std::string& path, mode_t mode, const std::string& contents) {
  return replaceFile(path, mode, [&](int fd) { return writeFully(fd, contents.data(), contents.size()); });
}

int copyRegularFile(const std::string& source, const std::string& destination, bool* sourceFailed) {
  *sourceFailed = true;
  // Only read: a link at the source is followed like any path the caller names.
  int from = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (from < 0) return errno;
  struct stat sourceInfo;
  int error = fstat(from, &sourceInfo) != 0  ? errno
              : S_ISDIR(sourceInfo.st_mode)  ? EISDIR
              : !S_ISREG(sourceInfo.st_mode) ? EINVAL
                                             : 0;
  if (error != 0) {
    close(from);
    return error;
  }
  bool copied = replaceFile(destination, existingModeOr(destination, sourceInfo.st_mode & 0777), [&](int to) {
    char buffer[65536];
    for (;;) {
      ssize_t got = read(from, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        error = got < 0 ? errno : 0;
        return got == 0;
      }
      if (!writeFully(to, buffer, static_cast<size_t>(got))) return false;
    }
  });
  int failure = errno;
  close(from);
  if (copied) return 0;
  *sourceFailed = error != 0;
  return error != 0 ? error : failure;
}

mode_t existingModeOr(const std::string& path, mode_t fallback) {
  struct stat info;
  if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
  mode_t mask = umask(0);
  umask(mask);
  return fallback & ~mask;
}

bool changeMode(const std::string& path, mode_t mode) {
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode));
  if (!ok) errno = EINVAL;
  ok = ok && fchmod(fd, mode) == 0;
  close(fd);
  return ok;
}

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool makeDirectories(const std::string& wanted, mode_t mode) {
  // A trailing slash would make lstat(2) look through a link.
  std::string path = wanted;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  // mkdir(2) never follows a link at the last component; links further up (the phone's /var)
  // are the phone's own and are followed on purpose.
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode)) {
    errno = S_ISLNK(info.st_mode) ? ELOOP : ENOTDIR;
    return false;
  }
  return true;
}
