// CopyFile SOURCE DESTINATION
// Replaces DESTINATION with a byte copy of SOURCE. The copy is written to a temporary file
// beside DESTINATION and renamed over it, so DESTINATION is never half-written: it holds
// either its old content or the whole copy. An existing DESTINATION keeps its mode; a link at
// DESTINATION is replaced by the copy, never written through. When
// SOURCE cannot be read or is not a regular file, DESTINATION stays exactly as it was.
#include <cstdio>
#include <cstring>

#include "platform/Foundation/FileWrites.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: CopyFile SOURCE DESTINATION\n");
    return 64;
  }
  bool sourceFailed = false;
  if (int error = copyRegularFile(argv[1], argv[2], &sourceFailed); error != 0) {
    std::fprintf(stderr, "CopyFile: %s: %s\n", sourceFailed ? argv[1] : argv[2], std::strerror(error));
    return 1;
  }
  return 0;
}
