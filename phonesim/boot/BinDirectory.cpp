#include <unistd.h>

#include <climits>
#include <string>

#include "phonesim/Commands.h"

std::string binDirectory() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return ".";
  std::string exe(path, static_cast<size_t>(length));
  size_t slash = exe.rfind('/');
  return slash == 0 ? "/" : exe.substr(0, slash);
}
