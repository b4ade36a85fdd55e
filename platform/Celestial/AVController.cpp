#include "platform/Celestial/AVController.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/Foundation/NSLog.h"
#include "platform/SimState/SimState.h"

namespace {

constexpr const char* kVolumeValue = "volume";
constexpr float kStartingVolume = 0.75f;

// The stored level, or nothing when the text is not a number from end to end.
bool parseLevel(const std::string& text, float* level) {
  std::string trimmed = text;
  while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) {
    trimmed.pop_back();
  }
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  auto [end, error] = std::from_chars(first, last, *level);
  return error == std::errc() && end == last && !trimmed.empty() && std::isfinite(*level);
}

}  // namespace

AVController* AVController::avController() {
  static AVController shared;
  return &shared;
}

float AVController::volume() {
  std::string text;
  float level = 0;
  if (!simReadValue(kVolumeValue, &text) || !parseLevel(text, &level)) return kStartingVolume;
  return std::clamp(level, 0.0f, 1.0f);
}

void AVController::setVolume(float level) {
  if (std::isnan(level)) {
    NSLog("AVController: ignoring a volume that is not a number");
    return;
  }
  level = std::clamp(level, 0.0f, 1.0f);
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, level);
  if (error != std::errc()) return;
  simWriteValue(kVolumeValue, std::string(text, end));
}
