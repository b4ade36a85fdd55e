// Writes the bundle's replacement SMS tone: half a second of silence in the format of the
// system's tones.
#include <cstdio>
#include <fstream>

#include "bundle-tools/CafFile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-silent-caf OUTPUT\n");
    return 64;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << linearPcmCaf(silentSamples(0.5, kToneSampleRate), kToneSampleRate);
  out.close();
  if (!out) {
    std::fprintf(stderr, "make-silent-caf: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
