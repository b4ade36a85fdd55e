#include <cstdio>

#include "Commands.h"

int eventCommand(const EventOptions&) {
  std::fprintf(stderr, "phonesim: this command is not built yet\n");
  return 2;
}
