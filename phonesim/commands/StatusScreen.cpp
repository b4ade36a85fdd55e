#include "phonesim/commands/StatusScreen.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "phonesim/text/PrintableText.h"
#include "platform/Foundation/NSDate.h"
#include "settings-store/SettingsKeys.h"

namespace {

constexpr size_t kLastFew = 5;
constexpr const char* kMutaroWakeIdentifier = "com.velbrant.Mutaro";

std::optional<time_t> fromIso8601(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  struct tm parts = {};
  if (strptime(value.get<std::string>().c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts) == nullptr) return std::nullopt;
  return timegm(&parts);
}

// The clock time alone on the day of `now`, the date too on any other.
std::string clockTime(time_t when, time_t now) {
  std::string stamp = localTimeStamp(when);
  return stamp.compare(0, 10, localTimeStamp(now), 0, 10) == 0 ? stamp.substr(11) : stamp;
}

// "in 12 min", "40 s ago", "in 3 h 5 min".
std::string relative(time_t when, time_t now) {
  if (when == now) return "just now";
  long long seconds = std::llabs(static_cast<long long>(when - now));
  std::string span;
  if (seconds < 60) {
    span = std::to_string(seconds) + " s";
  } else if (seconds < 3600) {
    span = std::to_string(seconds / 60) + " min";
  } else if (seconds < 2 * 86400) {
    span = std::to_string(seconds / 3600) + " h " + std::to_string(seconds / 60 % 60) + " min";
  } else {
    span = std::to_string(seconds / 86400) + " days";
  }
  return when > now ? "in " + span : span + " ago";
}

std::string text(const Json& value) {
  if (value.is_null()) return "absent";
  if (value.is_string()) return terminalText(value.get<std::string>());
  return value.dump();
}

const Json& setting(const Json& status, const char* key) {
  static const Json absent;
  const Json& settings = status["settings"];
  return settings.is_object() && settings.contains(key) ? settings[key] : absent;
}

std::string ringer(const Json& state) {
  if (state.is_null()) return "not set";
  if (state == 0) return "off";
  if (state == 1) return "on";
  return "state " + state.dump();
}

std::string indicator(const Json& images) {
  std::string shown;
  for (const Json& image : images) shown += (shown.empty() ? "" : ", ") + text(image);
  return shown.empty() ? "none" : shown;
}

std::string volume(const Json& level) {
  char shown[32];
  std::snprintf(shown, sizeof shown, "%.2f", level.is_number() ? level.get<double>() : -1.0);
  return shown;
}

std::string silence(const Json& status, time_t now) {
  if (status["marker"] == true) {
    auto since = fromIso8601(status["markerSince"]);
    return since ? "yes, since " + clockTime(*since, now) + " (" + relative(*since, now) + ")" : "yes";
  }
  const Json& revert = setting(status, kUpdatedRevert);
  return revert.is_string() ? "no; the sounds were last given back at " + terminalText(revert.get<std::string>()) : "no";
}

std::string mutaroSettings(const Json& status) {
  std::string enabled = setting(status, kEnabledSwitch) == true ? "enabled" : "switched off";
  const Json& calendar = setting(status, kCalendarID);
  std::string watched = (calendar.is_null() || calendar == 0) ? "all calendars" : "calendar " + text(calendar);
  std::string mode = setting(status, kEnableProfilesSwitch) == true ? "user-profile mode" : "silent-phone mode";
  return enabled + ", " + watched + ", " + mode;
}

std::string nextWake(const Json& wakes, time_t now) {
  std::optional<time_t> next;
  std::string by;
  for (const Json& wake : wakes) {
    auto when = fromIso8601(wake["time"]);
    if (when && *when >= now && (!next || *when < *next)) {
      next = when;
      by = text(wake["scheduledby"]);
    }
  }
  if (!next) return wakes.empty() ? "none scheduled" : "none ahead (" + std::to_string(wakes.size()) + " past)";
  return clockTime(*next, now) + ", " + relative(*next, now) + (by == kMutaroWakeIdentifier ? "" : " (" + by + ")");
}

std::string power(const Json& assertions) {
  std::string shown;
  for (const Json& assertion : assertions) {
    shown += (shown.empty() ? "" : "; ") + text(assertion["type"]) + " held by pid " + text(assertion["pid"]);
  }
  return shown.empty() ? "no assertion held" : shown;
}

// The last few entries of a history list, one per line: "  first second".
void lastFew(std::string* screen, const char* title, const Json& history) {
  size_t total = history.is_array() ? history.size() : 0;
  *screen += std::string(title) + ": " + std::to_string(total) + (total > kLastFew ? ", the last " + std::to_string(kLastFew) : "") +
             (total > 0 ? ":" : "") + "\n";
  for (size_t i = total > kLastFew ? total - kLastFew : 0; i < total; ++i) {
    std::string entry;
    for (const Json& part : history[i]) entry += (entry.empty() ? "" : " ") + text(part);
    *screen += "  " + entry + "\n";
  }
}

void line(std::string* screen, const char* label, const std::string& value) {
  char head[20];
  std::snprintf(head, sizeof head, "%-14s", label);
  *screen += head + value + "\n";
}

}  // namespace

std::string statusScreen(const Json& status, time_t now) {
  std::string screen;
  line(&screen, "Phone time", localTimeStamp(now));
  line(&screen, "Silenced", silence(status, now));
  line(&screen, "Event", "EventInProgress " + text(status["eventInProgress"]) + ", DisableEventSwitch " +
                             text(setting(status, kDisableEventSwitch)));
  line(&screen, "Mutaro", mutaroSettings(status));
  line(&screen, "Volume", volume(status["volume"]));
  line(&screen, "Ringer", ringer(status["ringerState"]));
  line(&screen, "Ringtone", text(status["ringtone"]));
  line(&screen, "Indicator", indicator(status["statusBarImages"]));
  line(&screen, "Next wake", nextWake(status["wakes"], now));
  line(&screen, "Power", power(status["powerAssertions"]));
  line(&screen, "Vibrations", text(status["vibrations"]));
  lastFew(&screen, "Announcements", status["announcements"]);
  lastFew(&screen, "Notifications", status["notifications"]);
  screen += "(all of it, history whole: phonesim status --json)\n";
  return screen;
}

std::string statusLine(const Json& status) {
  std::string silenced = "not silenced";
  if (status["marker"] == true) {
    auto since = fromIso8601(status["markerSince"]);
    silenced = since ? "silenced since " + localTimeStamp(*since).substr(11) : "silenced";
  }
  std::string event = status["eventInProgress"] == true ? "event in progress" : "no event";
  return silenced + " | " + event + " | volume " + volume(status["volume"]) + " | ringer " +
         ringer(status["ringerState"]) + " | indicator " + indicator(status["statusBarImages"]) + " | ringtone " +
         text(status["ringtone"]);
}
