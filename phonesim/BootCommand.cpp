#include <cstdio>

#include "Commands.h"

int bootCommand(const std::string&) {
  std::fprintf(stderr, "phonesim: this command is not built yet\n");
  return 2;
}
