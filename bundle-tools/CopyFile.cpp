// CopyFile SOURCE DESTINATION
// Replaces DESTINATION with a byte copy of SOURCE. The copy is written to a temporary file
// beside DESTINATION and renamed over it, so DESTINATION is never half-written: it holds
// either its old content or the whole copy. An existing DESTINATION keeps its mode. When
// SOURCE cannot be read or is not a regular file, DESTINATION stays exactly as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int fail(const std::string& what, int error) {
  std::fprintf(stderr, "CopyFile: %s: %s\n", what.c_str(), std::strerror(error));
  return 1;
}

bool writeAll(int fd, const char* data, size_t length) {
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

// Copies everything from `from` to `to`; 0 or the errno of the step that failed, with
// `readFailed` saying which side it was.
int copyBytes(int from, int to, bool* readFailed) {
  char buffer[65536];
  for (;;) {
    ssize_t got = read(from, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      *readFailed = true;
      return errno;
    }
    if (got == 0) return 0;
    if (!writeAll(to, buffer, static_cast<size_t>(got))) {
      *readFailed = false;
      return errno;
    }
  }
}

// A link at the destination is followed, so the file it names is the one replaced.
std::string replacedFile(const std::string& destination) {
  struct stat info;
  char resolved[PATH_MAX];
  if (lstat(destination.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
      realpath(destination.c_str(), resolved) != nullptr) {
    return resolved;
  }
  return destination;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int copyFile(const std::string& source, const std::string& destination) {
  // Only a regular file is copied; the open never blocks, so a FIFO is refused, not waited on.
  int from = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (from < 0) return fail(source, errno);
  struct stat sourceInfo;
  if (fstat(from, &sourceInfo) != 0) {
    int error = errno;
    close(from);
    return fail(source, error);
  }
  if (!S_ISREG(sourceInfo.st_mode)) {
    close(from);
    return fail(source, S_ISDIR(sourceInfo.st_mode) ? EISDIR : EINVAL);
  }

  std::string target = replacedFile(destination);
  std::string temporary = directoryOf(target) + "/.CopyFile-XXXXXX";
  int to = mkostemp(temporary.data(), O_CLOEXEC);
  if (to < 0) {
    int error = errno;
    close(from);
    return fail(destination, error);
  }

  mode_t mode;
  struct stat targetInfo;
  if (stat(target.c_str(), &targetInfo) == 0) {
    mode = targetInfo.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = sourceInfo.st_mode & 0777 & ~mask;
  }

  bool readFailed = false;
  int error = copyBytes(from, to, &readFailed);
  close(from);
  if (error == 0 && fchmod(to, mode) != 0) error = errno;
  if (error == 0 && fsync(to) != 0) error = errno;
  if (close(to) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temporary.c_str());
    return fail(readFailed ? source : destination, error);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: CopyFile SOURCE DESTINATION\n");
    return 64;
  }
  return copyFile(argv[1], argv[2]);
}
