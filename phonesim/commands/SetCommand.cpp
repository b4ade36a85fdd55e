// phonesim set ROOT KEY=VALUE...: changes keys of the phone's settings file. Each value is read
// by its key's type in the settings table; the whole command is checked before anything is
// written, and written in one update under the settings lock, as one accessor call would.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "phonesim/Commands.h"
#include "phonesim/text/PrintableText.h"
#include "daemon/CalendarRow.h"
#include "phonesim/text/ClosestName.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/calendar/PhoneCalendars.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsChanged.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"

namespace {

enum class KeyType { Boolean, Integer, Text };

struct KnownKey {
  const char* name;
  KeyType type;
};

// The settings table: every key a program of the phone reads or writes, with its type.
constexpr KnownKey kSettingsTable[] = {
    {kEnabledSwitch, KeyType::Boolean},        {kEnableProfilesSwitch, KeyType::Boolean},
    {kDisableEventSwitch, KeyType::Boolean},   {kCalendarID, KeyType::Integer},
    {kRingtoneSwitch, KeyType::Boolean},       {kVibrateSwitch, KeyType::Boolean},
    {kVoicemailSwitch, KeyType::Boolean},      {kNewmailSwitch, KeyType::Boolean},
    {kSentmailSwitch, KeyType::Boolean},       {kSMSSwitch, KeyType::Boolean},
    {kCalendarSwitch, KeyType::Boolean},       {kLockunlockSwitch, KeyType::Boolean},
    {kKeyboardSwitch, KeyType::Boolean},       {kEventInProgress, KeyType::Boolean},
    {kSavedRingtone, KeyType::Text},           {kSavedRingVibrate, KeyType::Integer},
    {kSavedCalendarAlarm, KeyType::Text},      {kSavedSmsSound, KeyType::Integer},
    {kSavedLockUnlock, KeyType::Boolean},      {kSavedVoicemailToneEnabled, KeyType::Boolean},
    {kSavedPlayNewMailSound, KeyType::Boolean}, {kSavedPlaySentMailSound, KeyType::Boolean},
    {kSavedKeyboard, KeyType::Boolean},        {kVolume, KeyType::Text},
    {kUpdatedStart, KeyType::Text},            {kUpdated, KeyType::Text},
    {kUpdatedExit, KeyType::Text},             {kUpdatedNextWait1Found, KeyType::Text},
    {kUpdatedNextWait2Found, KeyType::Text},   {kUpdatedAutoWake, KeyType::Text},
    {kUpdatedSilent, KeyType::Text},           {kUpdatedRevert, KeyType::Text},
    {kSilencedCheckedAt, KeyType::Text},
};

// One KEY=VALUE, parsed. No value: the key is removed.
struct Change {
  std::string key;
  KeyType type = KeyType::Text;
  std::optional<bool> boolean;
  std::optional<int32_t> integer;
  std::optional<std::string> text;
  bool removes() const { return !boolean && !integer && !text; }
};

std::string lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<bool> parseBoolean(const std::string& value) {
  std::string word = lowercase(value);
  if (word == "true" || word == "yes" || word == "1") return true;
  if (word == "false" || word == "no" || word == "0") return false;
  return std::nullopt;
}

std::optional<int32_t> parseInteger(const std::string& value) {
  errno = 0;
  char* end = nullptr;
  long long number = std::strtoll(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno != 0 || number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(number);
}

const KnownKey* knownKey(const std::string& name) {
  for (const KnownKey& key : kSettingsTable) {
    if (name == key.name) return &key;
  }
  return nullptr;
}

// The change one assignment asks for; on a mistake, nothing and `error` says what is wrong.
std::optional<Change> parseAssignment(const std::string& assignment, bool force, std::string* error) {
  size_t equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0) {
    *error = "\"" + assignment + "\" is not KEY=VALUE";
    return std::nullopt;
  }
  Change change;
  change.key = assignment.substr(0, equals);
  const std::string value = assignment.substr(equals + 1);
  const KnownKey* known = knownKey(change.key);
  if (known == nullptr && !force) {
    std::vector<std::string> names;
    for (const KnownKey& key : kSettingsTable) names.push_back(key.name);
    std::string nearest = closestName(change.key, names);
    *error = "no settings key is named \"" + change.key + "\"" +
             (nearest.empty() ? "" : "; did you mean " + nearest + "?") + " (--force stores it anyway)";
    return std::nullopt;
  }
  if (value.empty()) return change;
  if (known != nullptr) {
    change.type = known->type;
  } else {
    // A key of nobody's: typed by the look of its value.
    change.type = (value == "true" || value == "false") ? KeyType::Boolean
                  : parseInteger(value)                 ? KeyType::Integer
                                                        : KeyType::Text;
  }
  switch (change.type) {
    case KeyType::Boolean:
      change.boolean = parseBoolean(value);
      if (!change.boolean) *error = change.key + " is a boolean: true or false (yes/no, 1/0), not \"" + value + "\"";
      break;
    case KeyType::Integer:
      change.integer = parseInteger(value);
      if (!change.integer) *error = change.key + " is a 32-bit integer, not \"" + value + "\"";
      break;
    case KeyType::Text:
      change.text = value;
      break;
  }
  if (!error->empty()) return std::nullopt;
  return change;
}

// Why the calendar `id` cannot be watched, or "" when it can: 0 watches them all, any other
// value must be a calendar of the phone.
std::string unwatchableCalendar(int32_t id) {
  if (id == 0) return "";
  const char* openError = nullptr;
  sqlite3* db = openCalendarDatabase(&openError);
  if (db == nullptr) return std::string("the calendars cannot be read (") + openError + ") to check CalendarID";
  std::vector<PhoneCalendar> calendars = phoneCalendars(db);
  sqlite3_close(db);
  if (findCalendar(calendars, id) != nullptr) return "";
  return "there is no calendar " + std::to_string(id) + "; the calendars are " + listOfCalendars(calendars) +
         " (0 watches all of them; --force stores it anyway)";
}

// A stored value as the user would type it; "absent" for none.
std::string describe(const NSMutableDictionary& settings, const std::string& key) {
  plist_t value = settings.objectForKey(key.c_str());
  if (value == nullptr) return "absent";
  switch (plist_get_node_type(value)) {
    case PLIST_BOOLEAN:
      return *settings.boolForKey(key.c_str()) ? "true" : "false";
    case PLIST_UINT:
      return std::to_string(*settings.intForKey(key.c_str()));
    case PLIST_STRING:
      return "\"" + terminalText(*settings.stringForKey(key.c_str())) + "\"";
    default:
      return "a value of another type";
  }
}

// The settings store logs every release of its lock; on the user's terminal those lines would
// bury the answer, so while the lock is held standard error goes nowhere (the system log still
// has them).
class QuietStandardError {
 public:
  QuietStandardError() {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  ~QuietStandardError() {
    if (saved_ >= 0) {
      dup2(saved_, STDERR_FILENO);
      close(saved_);
    }
  }

 private:
  int saved_ = -1;
};

}  // namespace

int setCommand(const std::string& root, const std::vector<std::string>& assignments, bool force) {
  if (!openPhone("set", root)) return 1;
  std::vector<Change> changes;
  bool mistaken = false;
  for (const std::string& assignment : assignments) {
    std::string error;
    if (auto change = parseAssignment(assignment, force, &error)) {
      changes.push_back(*change);
    } else {
      std::fprintf(stderr, "phonesim set: %s\n", terminalText(error).c_str());
      mistaken = true;
    }
  }
  for (const Change& change : changes) {
    if (change.key != kCalendarID || !change.integer || force) continue;
    if (std::string error = unwatchableCalendar(*change.integer); !error.empty()) {
      std::fprintf(stderr, "phonesim set: %s\n", error.c_str());
      mistaken = true;
    }
  }
  if (mistaken) {
    std::fprintf(stderr, "phonesim set: nothing was written\n");
    return 2;
  }

  std::vector<std::string> report;
  bool written = false;
  {
    QuietStandardError quiet;
    lockWithFile();
    if (auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath)) {
      for (const Change& change : changes) {
        std::string before = describe(*settings, change.key);
        const char* key = change.key.c_str();
        if (change.boolean) settings->setBool(key, *change.boolean);
        if (change.integer) settings->setInt(key, *change.integer);
        if (change.text) settings->setString(key, *change.text);
        if (change.removes()) settings->removeObjectForKey(key);
        report.push_back(change.key + (change.removes() ? " removed" : " = " + describe(*settings, change.key)) +
                         " (was " + before + ")");
      }
      written = settings->writeToFileAtomically(kSettingsPath);
    }
    unlockWithFile();
  }
  if (!written) {
    std::fprintf(stderr, "phonesim set: the settings file %s cannot be read or written; nothing was changed\n",
                 kSettingsPath);
    return 1;
  }
  for (const std::string& line : report) std::printf("%s\n", terminalText(line).c_str());
  // As the application does, the daemon is told of the changes it must act on at once.
  if (std::any_of(changes.begin(), changes.end(), [](const Change& change) {
        return change.key == kCalendarID || change.key == kEnabledSwitch || change.key == kDisableEventSwitch;
      })) {
    notify_post(kSettingsChangedNotification);
  }
  return 0;
}
