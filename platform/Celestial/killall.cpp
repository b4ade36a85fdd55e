// The phone's killall: the only process it can end is the media server, which the phone then
// starts again (recorded in the phone's state). Any other name is not running.
#include <cstdio>
#include <cstring>

#include "platform/Celestial/MediaServer.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "mediaserverd") == 0) {
      simulatedMediaServerRestart();
    } else {
      std::fprintf(stderr, "%s: no process found\n", argv[i]);
      status = 1;
    }
  }
  return argc < 2 ? 1 : status;
}
