#include "phonesim/PhoneState.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "phonesim/PlistJson.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/PropertyList.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace {

std::optional<bool> boolean(const nlohmann::json& settings, const char* key) {
  if (!settings.is_object() || !settings.contains(key)) return std::nullopt;
  const nlohmann::json& value = settings[key];
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>() != 0;
  return std::nullopt;
}

}  // namespace

PhoneState stateFromSettings(const nlohmann::json& settings, bool marker) {
  PhoneState state;
  state.enabled = boolean(settings, kEnabledSwitch).value_or(false);
  state.inProgress = boolean(settings, kEventInProgress);
  state.released = boolean(settings, kDisableEventSwitch).value_or(false);
  // Read as the settings accessors read an integer: an unsigned value wraps to 32 bits.
  if (settings.is_object() && settings.contains(kCalendarID)) {
    const nlohmann::json& id = settings[kCalendarID];
    if (id.is_number_unsigned()) state.calendarChoice = static_cast<int32_t>(id.get<uint64_t>());
    if (id.is_number_integer() && !id.is_number_unsigned()) state.calendarChoice = static_cast<int32_t>(id.get<int64_t>());
    if (id.is_number_float() && id.get<double>() > -2147483649.0 && id.get<double>() < 2147483648.0) {
      state.calendarChoice = static_cast<int32_t>(id.get<double>());
    }
    if (id.is_boolean()) state.calendarChoice = id.get<bool>() ? 1 : 0;
  }
  if (settings.is_object() && settings.contains(kSilencedCheckedAt) && settings[kSilencedCheckedAt].is_string()) {
    const std::string text = settings[kSilencedCheckedAt].get<std::string>();
    char* end = nullptr;
    long long seen = std::strtoll(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0') state.silencedCheckedAt = seen;
  }
  state.marker = marker;
  return state;
}

nlohmann::json currentSettings() {
  PlistPtr values = readPropertyListFile(kSettingsPath);
  return values ? nlohmann::json(jsonFromPlist(static_cast<plist_t>(values.get()))) : nlohmann::json();
}

PhoneState currentState() {
  struct stat marker;
  return stateFromSettings(currentSettings(), lstat(devicePath(kMarkerPath).c_str(), &marker) == 0);
}
