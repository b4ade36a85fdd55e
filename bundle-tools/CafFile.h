#pragma once
// Core Audio Format files as the phone's short system sounds use them: one 'desc' chunk and
// one 'data' chunk of linear PCM, 16-bit mono, big-endian samples.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr double kToneSampleRate = 8000;

// A whole CAF file holding `samples` (16-bit mono linear PCM at `sampleRate`).
std::string linearPcmCaf(const std::vector<int16_t>& samples, double sampleRate);

// `seconds` of zero samples.
std::vector<int16_t> silentSamples(double seconds, double sampleRate);
// `seconds` of a sine tone of `frequency` Hz, faded in and out so that it does not click.
std::vector<int16_t> toneSamples(double frequency, double seconds, double sampleRate);

// What a CAF file's header says, as read back by readCaf().
struct CafInfo {
  uint16_t fileVersion = 0;
  double sampleRate = 0;
  std::string formatID;  // e.g. "lpcm"
  uint32_t formatFlags = 0;
  uint32_t bytesPerPacket = 0;
  uint32_t framesPerPacket = 0;
  uint32_t channelsPerFrame = 0;
  uint32_t bitsPerChannel = 0;
  uint32_t editCount = 0;
  std::string audioData;  // the data chunk's bytes after its edit count
};

// Parses a CAF file: the 'caff' header of version 1, a 'desc' chunk first, a 'data' chunk.
// Nothing when the bytes are not such a file (wrong magic, truncated, chunk out of bounds).
std::optional<CafInfo> readCaf(const std::string& bytes);
