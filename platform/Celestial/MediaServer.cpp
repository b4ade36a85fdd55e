#include "platform/Celestial/MediaServer.h"

#include "platform/SimState/SimState.h"

namespace {
constexpr const char* kMediaServerJournal = "mediaserver";
}  // namespace

void simulatedMediaServerRestart() { simAppend(kMediaServerJournal, {"restart"}); }

int simulatedMediaServerRestarts() { return static_cast<int>(simRead(kMediaServerJournal).size()); }
