#include "bundle-tools/CafFile.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

// CAF stores every number big-endian.
void putUInt(std::string& out, uint64_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

void putDouble(std::string& out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putUInt(out, bits, 8);
}

class Reader {
 public:
  Reader(const std::string& bytes, size_t offset, size_t end) : bytes_(bytes), at_(offset), end_(end) {}
  bool has(size_t count) const { return at_ <= end_ && end_ - at_ >= count; }
  uint64_t uint(int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | static_cast<unsigned char>(bytes_[at_++]);
    return value;
  }
  double real() {
    uint64_t bits = uint(8);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string text(size_t count) {
    std::string value = bytes_.substr(at_, count);
    at_ += count;
    return value;
  }
  size_t at() const { return at_; }

 private:
  const std::string& bytes_;
  size_t at_;
  size_t end_;
};

constexpr uint32_t kDescriptionSize = 32;
constexpr uint32_t kEditCountSize = 4;

}  // namespace

std::string linearPcmCaf(const std::vector<int16_t>& samples, double sampleRate) {
  std::string out = "caff";
  putUInt(out, 1, 2);  // file version
  putUInt(out, 0, 2);  // file flags

  out += "desc";
  putUInt(out, kDescriptionSize, 8);
  putDouble(out, sampleRate);
  out += "lpcm";
  putUInt(out, 0, 4);  // format flags: integer samples, big-endian
  putUInt(out, 2, 4);  // bytes per packet
  putUInt(out, 1, 4);  // frames per packet
  putUInt(out, 1, 4);  // channels per frame
  putUInt(out, 16, 4);  // bits per channel

  out += "data";
  putUInt(out, kEditCountSize + 2 * samples.size(), 8);
  putUInt(out, 0, 4);  // edit count
  for (int16_t sample : samples) putUInt(out, static_cast<uint16_t>(sample), 2);
  return out;
}

std::vector<int16_t> silentSamples(double seconds, double sampleRate) {
  return std::vector<int16_t>(static_cast<size_t>(std::lround(seconds * sampleRate)), 0);
}

std::vector<int16_t> toneSamples(double frequency, double seconds, double sampleRate) {
  size_t count = static_cast<size_t>(std::lround(seconds * sampleRate));
  size_t fade = static_cast<size_t>(sampleRate * 0.01);
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    double envelope = 1.0;
    if (i < fade) envelope = static_cast<double>(i) / fade;
    if (count - i <= fade) envelope = static_cast<double>(count - i - 1) / fade;
    double wave = std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate);
    samples[i] = static_cast<int16_t>(std::lround(0.5 * 32767 * envelope * wave));
  }
  return samples;
}

std::optional<CafInfo> readCaf(const std::string& bytes) {
  Reader header(bytes, 0, bytes.size());
  if (!header.has(8) || header.text(4) != "caff") return std::nullopt;
  CafInfo info;
  info.fileVersion = static_cast<uint16_t>(header.uint(2));
  header.uint(2);  // file flags
  if (info.fileVersion != 1) return std::nullopt;

  bool sawDescription = false;
  bool sawData = false;
  size_t at = header.at();
  while (at < bytes.size()) {
    Reader chunk(bytes, at, bytes.size());
    if (!chunk.has(12)) return std::nullopt;
    std::string type = chunk.text(4);
    int64_t size = static_cast<int64_t>(chunk.uint(8));
    size_t bodyStart = chunk.at();
    size_t remaining = bytes.size() - bodyStart;
    // A data chunk of size -1 runs to the end of the file.
    size_t bodySize = (type == "data" && size == -1) ? remaining : static_cast<size_t>(size);
    if (size < -1 || (size == -1 && type != "data") || bodySize > remaining) return std::nullopt;
    Reader body(bytes, bodyStart, bodyStart + bodySize);

    if (!sawDescription) {
      // The description always comes first.
      if (type != "desc" || bodySize != kDescriptionSize) return std::nullopt;
      info.sampleRate = body.real();
      info.formatID = body.text(4);
      info.formatFlags = static_cast<uint32_t>(body.uint(4));
      info.bytesPerPacket = static_cast<uint32_t>(body.uint(4));
      info.framesPerPacket = static_cast<uint32_t>(body.uint(4));
      info.channelsPerFrame = static_cast<uint32_t>(body.uint(4));
      info.bitsPerChannel = static_cast<uint32_t>(body.uint(4));
      sawDescription = true;
    } else if (type == "data" && !sawData) {
      if (!body.has(kEditCountSize)) return std::nullopt;
      info.editCount = static_cast<uint32_t>(body.uint(4));
      info.audioData = body.text(bodySize - kEditCountSize);
      sawData = true;
    }
    at = bodyStart + bodySize;
  }
  if (!sawDescription || !sawData) return std::nullopt;
  return info;
}
