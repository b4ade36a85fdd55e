// A stand-in for a full disk, preloaded into every program a test runs on a simulated phone.
// While the switch file "/private/var/sim/full-disk" of the device root exists, every write of
// one byte or more to a file under one of the phone paths it lists (one per line) fails with
// ENOSPC, as on a full disk: files can still be created, renamed and removed, and a file
// created empty stays so. Without the switch file it changes nothing.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

static int underFullPath(int fd) {
  const char* root = getenv("MUTARO_DEVICE_ROOT");
  if (root == NULL || root[0] == '\0') return 0;
  // Most writes meet no switch file: they pay one stat and nothing that allocates.
  char switchPath[PATH_MAX + 64];
  snprintf(switchPath, sizeof switchPath, "%s/private/var/sim/full-disk", root);
  struct stat info;
  if (stat(switchPath, &info) != 0) return 0;
  char rootPath[PATH_MAX];
  if (realpath(root, rootPath) == NULL) return 0;
  FILE* list = fopen(switchPath, "re");
  if (list == NULL) return 0;

  char link[64];
  char target[PATH_MAX];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, target, sizeof target - 1);
  int full = 0;
  if (length > 0) {
    target[length] = '\0';
    char line[PATH_MAX];
    while (!full && fgets(line, sizeof line, list) != NULL) {
      line[strcspn(line, "\n")] = '\0';
      if (line[0] == '\0') continue;
      char prefix[2 * PATH_MAX];
      snprintf(prefix, sizeof prefix, "%s%s", rootPath, line);
      size_t n = strlen(prefix);
      full = strncmp(target, prefix, n) == 0 && (target[n] == '/' || target[n] == '\0');
    }
  }
  fclose(list);
  return full;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void* data, size_t count) {
  if (count > 0 && underFullPath(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return NEXT(write)(fd, data, count);
}

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
  if (count > 0 && underFullPath(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return NEXT(pwrite)(fd, data, count, offset);
}

ssize_t writev(int fd, const struct iovec* parts, int partCount) {
  if (partCount > 0 && underFullPath(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return NEXT(writev)(fd, parts, partCount);
}
