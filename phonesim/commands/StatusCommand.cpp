// phonesim status ROOT: the phone's state, gathered as one JSON object; printed whole, or put
// in words for a person.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "phonesim/Commands.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/text/PlistJson.h"
#include "phonesim/commands/StatusScreen.h"
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
#include "system-files/SystemFiles.h"

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

Json phoneStatus() {
  Json status;
  // A float level shown as the short decimal it was set as (0.3, not 0.30000001192).
  status["volume"] = std::round(static_cast<double>(AVController::avController()->volume()) * 1e6) / 1e6;
  auto ringer = simulatedNotifyState(kRingerStateName);
  status["ringerState"] = ringer ? Json(*ringer) : Json(nullptr);
  status["statusBarImages"] = statusBarImages();
  struct stat marker;
  bool silenced = stat(devicePath(kMarkerPath).c_str(), &marker) == 0;
  status["marker"] = silenced;

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

  // When the marker file was made: the moment the phone went silent.
  status["markerSince"] = silenced ? Json(iso8601(marker.st_mtime)) : Json(nullptr);
  auto springboard = NSMutableDictionary::initWithContentsOfFile(kSpringBoardPreferencesPath);
  auto ringtone = springboard ? springboard->stringForKey("ringtone") : std::nullopt;
  status["ringtone"] = ringtone ? Json(*ringtone) : Json(nullptr);
  return status;
}

}  // namespace

int statusCommand(const std::string& root, StatusForm form) {
  if (!openPhone("status", root)) return 1;
  if (form == StatusForm::Auto) form = isatty(STDOUT_FILENO) ? StatusForm::Screen : StatusForm::Json;
  try {
    Json status = phoneStatus();
    if (form == StatusForm::Screen) {
      std::cout << statusScreen(status, time(nullptr));
    } else if (form == StatusForm::Summary) {
      std::cout << statusLine(status) << "\n";
    } else {
      std::cout << status.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    }
  } catch (const std::exception& failure) {
    std::cerr << "phonesim status: " << failure.what() << "\n";
    return 1;
  }
  return 0;
}
