// The phone's touch, cp, chmod and chown: one program, installed under each name in the
// phone's /usr/bin, that does what the system's command lines ask of them and goes through
// the phone's one door for writes, so a link planted at a path is never followed. Only the
// forms the system uses are taken: `touch FILE...`, `cp SOURCE DESTINATION`,
// `chmod OCTAL FILE...`, `chown OWNER FILE...`.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"

namespace {

int failed(const char* tool, const char* doing, const std::string& path, int error) {
  std::fprintf(stderr, "%s: cannot %s '%s': %s\n", tool, doing, printable(path).c_str(), std::strerror(error));
  return 1;
}

int usage(const char* tool, const char* form) {
  std::fprintf(stderr, "usage: %s %s\n", tool, form);
  return 1;
}

int touch(int argc, char** argv) {
  if (argc < 2) return usage("touch", "FILE...");
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    if (!touchFile(argv[i], 0666)) status = failed("touch", "touch", argv[i], errno);
  }
  return status;
}

int copy(int argc, char** argv) {
  if (argc != 3) return usage("cp", "SOURCE DESTINATION");
  bool sourceFailed = false;
  if (int error = copyRegularFile(argv[1], argv[2], &sourceFailed); error != 0) {
    return failed("cp", sourceFailed ? "copy from" : "copy to", sourceFailed ? argv[1] : argv[2], error);
  }
  return 0;
}

int changeModes(int argc, char** argv) {
  if (argc < 3) return usage("chmod", "OCTAL-MODE FILE...");
  char* end = nullptr;
  long mode = std::strtol(argv[1], &end, 8);
  if (*argv[1] == '\0' || *end != '\0' || mode < 0 || mode > 07777) return usage("chmod", "OCTAL-MODE FILE...");
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    if (!changeMode(argv[i], static_cast<mode_t>(mode))) status = failed("chmod", "change the mode of", argv[i], errno);
  }
  return status;
}

// The simulated phone keeps no owners: the files stay the user's who runs it. A link or a
// missing file is still refused, as the phone's chown would not hand it over.
int changeOwners(int argc, char** argv) {
  if (argc < 3) return usage("chown", "OWNER FILE...");
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    struct stat info;
    if (lstat(argv[i], &info) != 0) {
      status = failed("chown", "change the owner of", argv[i], errno);
    } else if (S_ISLNK(info.st_mode)) {
      status = failed("chown", "change the owner of", argv[i], ELOOP);
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const char* slash = std::strrchr(argv[0], '/');
  std::string tool = slash != nullptr ? slash + 1 : argv[0];
  if (tool == "touch") return touch(argc, argv);
  if (tool == "cp") return copy(argc, argv);
  if (tool == "chmod") return changeModes(argc, argv);
  if (tool == "chown") return changeOwners(argc, argv);
  std::fprintf(stderr, "%s: run it as touch, cp, chmod or chown\n", printable(tool).c_str());
  return 1;
}
