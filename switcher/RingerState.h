#pragma once
#include <cstdint>

constexpr uint64_t kRingerOff = 0;
constexpr uint64_t kRingerOn = 1;

// Publishes the ringer state under "com.apple.springboard.ringerstate": register-check,
// set-state, post, cancel. The results are ignored.
void sendRingerState(uint64_t state);
