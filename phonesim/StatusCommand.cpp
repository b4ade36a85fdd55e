// phonesim status ROOT: the phone's state as one JSON object.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "phonesim/DeviceRoot.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/AudioToolbox/AudioServices.h"
#include "platform/Celestial/AVController.h"
#include "platform/Celestial/MediaServer.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "platform/IOKit/IOPMLib.h"
#include "platform/SimState/SimState.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

using Json = nlohmann::ordered_json;

namespace {

constexpr const char* kRingerStateName = "com.apple.springboard.ringerstate";

// The images shown now: the status bar's journal replayed. An image keeps the place of the
// add that put it up.
Json statusBarImages() {
  std::vector<std::string> shown;
  for (const auto& record : simRead("statusbar")) {
    if (record.size() < 2) continue;
    auto at = std::find(shown.begin(), shown.end(), record[1]);
    if (record[0] == "add" && at == shown.end()) shown.push_back(record[1]);
    if (record[0] == "remove" && at != shown.end()) shown.erase(at);
  }
  return shown;
}

Json jsonFromPlist(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0;
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return static_cast<int64_t>(value);  // negative integers are stored two's complement
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value;
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return text ? std::string(text, static_cast<size_t>(length)) : std::string();
    }
    case PLIST_DATE: {
      int32_t seconds = 0, microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return iso8601(static_cast<time_t>(seconds) + kReferenceDateOffset);
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      plist_get_data_ptr(node, &length);
      return "<" + std::to_string(length) + " bytes>";
    }
    case PLIST_ARRAY: {
      Json array = Json::array();
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        array.push_back(jsonFromPlist(plist_array_get_item(node, i)));
      }
      return array;
    }
    case PLIST_DICT: {
      Json object = Json::object();
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      char* key = nullptr;
      plist_t value = nullptr;
      for (plist_dict_next_item(node, it, &key, &value); value != nullptr;
           plist_dict_next_item(node, it, &key, &value)) {
        object[key ? key : ""] = jsonFromPlist(value);
        free(key);
        key = nullptr;
      }
      free(it);
      return object;
    }
    default:
      return nullptr;
  }
}

Json phoneStatus() {
  Json status;
  // A float level shown as the short decimal it was set as (0.3, not 0.30000001192).
  status["volume"] = std::round(static_cast<double>(AVController::avController()->volume()) * 1e6) / 1e6;
  auto ringer = simulatedNotifyState(kRingerStateName);
  status["ringerState"] = ringer ? Json(*ringer) : Json(nullptr);
  status["statusBarImages"] = statusBarImages();
  std::error_code error;
  status["marker"] = std::filesystem::exists(devicePath(kMarkerPath), error);

  Json assertions = Json::array();
  for (const auto& assertion : simulatedPowerAssertions()) {
    assertions.push_back({{"pid", assertion.pid}, {"type", assertion.type}, {"level", assertion.level}});
  }
  status["powerAssertions"] = assertions;

  Json wakes = Json::array();
  for (const auto& wake : simulatedWakes()) {
    wakes.push_back({{"scheduledby", wake.scheduledby}, {"time", iso8601(wake.time)}});
  }
  status["wakes"] = wakes;

  Json announcements = Json::array();
  for (const auto& [domain, key] : simulatedAnnouncements()) announcements.push_back({domain, key});
  status["announcements"] = announcements;

  status["vibrations"] = simulatedVibrationCount();
  status["mediaServerRestarts"] = simulatedMediaServerRestarts();

  Json notifications = Json::array();
  for (const auto& [name, state] : simulatedNotifyPosts()) {
    notifications.push_back({name, state ? Json(*state) : Json(nullptr)});
  }
  status["notifications"] = notifications;

  auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  auto inProgress = settings ? settings->boolForKey(kEventInProgress) : std::nullopt;
  status["eventInProgress"] = inProgress ? Json(*inProgress) : Json(nullptr);
  status["settings"] = settings ? jsonFromPlist(settings->node()) : Json(nullptr);
  return status;
}

std::string summaryLine(const Json& status) {
  auto text = [](const Json& value) {
    if (value.is_null()) return std::string("none");
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
  };
  std::string images;
  for (const auto& image : status["statusBarImages"]) images += (images.empty() ? "" : ",") + text(image);
  auto springboard = NSMutableDictionary::initWithContentsOfFile(
      "/private/var/mobile/Library/Preferences/com.apple.springboard.plist");
  auto ringtone = springboard ? springboard->stringForKey("ringtone") : std::nullopt;
  char volume[32];
  std::snprintf(volume, sizeof volume, "%.2f", status["volume"].get<double>());
  return "EventInProgress=" + text(status["eventInProgress"]) +
         " marker=" + (status["marker"].get<bool>() ? "yes" : "no") + " volume=" + volume +
         " ringer=" + text(status["ringerState"]) + " images=" + (images.empty() ? "none" : images) +
         " ringtone=" + (ringtone ? *ringtone : "none");
}

}  // namespace

int statusCommand(const std::string& root, bool summary) {
  const std::string phone = absoluteDeviceRoot(root);
  if (!useDeviceRoot(phone)) return 2;
  if (!isSimulatedPhone()) {
    std::cerr << "phonesim status: " << phone << " is not a simulated phone; run \"phonesim init "
              << phone << "\" first\n";
    return 1;
  }
  try {
    Json status = phoneStatus();
    if (summary) {
      std::cout << summaryLine(status) << "\n";
    } else {
      std::cout << status.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    }
  } catch (const std::exception& failure) {
    std::cerr << "phonesim status: " << failure.what() << "\n";
    return 1;
  }
  return 0;
}
