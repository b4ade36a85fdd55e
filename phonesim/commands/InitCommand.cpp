// phonesim init ROOT [--ios VERSION] [--tz ZONE]: lays out a phone in ROOT and installs the deliverables.
//
// A second init of the same root refreshes what installation places (the programs and data
// files of the bundle, the extension and its filter, the launcher's job, the GraphicsServices
// library, the default settings copy and the system version) and keeps the phone's data: the
// settings file, the system preference and sound files, the calendar database (only the
// event table of the chosen version is added when it is missing), the wake schedule and the
// simulated state.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "phonesim/Commands.h"
#include "bundle-tools/CafFile.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/boot/LaunchJob.h"
#include "phonesim/text/PhoneTimeZone.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "settings-store/SettingsChanged.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "system-files/SystemFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPreferencesDirectory = "/private/var/mobile/Library/Preferences";
constexpr const char* kSystemVersionPath = "/System/Library/CoreServices/SystemVersion.plist";
constexpr const char* kCalendarDatabasePath = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";
constexpr const char* kDocumentsDirectory = "/private/var/mobile/Documents";
constexpr const char* kBundleDirectory = "/Applications/Mutaro.app";
constexpr const char* kExtensionDirectory = "/Library/MobileSubstrate/DynamicLibraries";

// Files the phone's processes of every user read and write.
constexpr mode_t kSharedFileMode = 0666;
constexpr mode_t kSettingsFileMode = 0777;
constexpr mode_t kProgramMode = 0755;
constexpr mode_t kDataFileMode = 0644;

class InitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool exists(const std::string& phonePath) {
  std::error_code error;
  return fs::exists(fs::symlink_status(devicePath(phonePath), error));
}

void makeDirectory(const std::string& phonePath) {
  std::error_code error;
  fs::create_directories(devicePath(phonePath), error);
  if (error) throw InitError("cannot create " + devicePath(phonePath) + ": " + error.message());
}

void setMode(const std::string& phonePath, mode_t mode) { changeMode(devicePath(phonePath), mode); }

void writeFileAtomically(const std::string& phonePath, const std::string& contents, mode_t mode) {
  makeDirectory(fs::path(phonePath).parent_path().string());
  std::string target = devicePath(phonePath);
  if (!replaceFile(target, mode, contents)) throw InitError("cannot replace " + target);
}

void writePlist(const std::string& phonePath, plist_t root, mode_t mode) {
  makeDirectory(fs::path(phonePath).parent_path().string());
  if (!writePropertyListFileAtomically(root, phonePath)) {
    throw InitError("cannot write " + devicePath(phonePath));
  }
  setMode(phonePath, mode);
}

void writePlist(const std::string& phonePath, const NSMutableDictionary& dictionary, mode_t mode) {
  writePlist(phonePath, dictionary.node(), mode);
}

// Copies a built file into the phone, replacing the installed one whole: a program that runs
// from the old copy keeps running.
void installFile(const fs::path& source, const std::string& phonePath, mode_t mode) {
  std::string contents;
  if (!readWholeFile(source.string(), &contents)) throw InitError("cannot read " + source.string());
  writeFileAtomically(phonePath, contents, mode);
}

plist_t stringArray(const std::vector<std::string>& values) {
  plist_t array = plist_new_array();
  for (const auto& value : values) plist_array_append_item(array, plist_new_string(value.c_str()));
  return array;
}

// ---- The phone's own files ------------------------------------------------------------

void layOutFileSystem() {
  makeDirectory("/private/var");
  std::string link = devicePath("/var");
  std::error_code error;
  if (fs::is_symlink(link, error)) {
    if (fs::read_symlink(link, error) != "private/var") {
      throw InitError(link + " is a link, but not to private/var");
    }
  } else if (fs::exists(fs::symlink_status(link, error))) {
    throw InitError(link + " exists and is not a link to private/var");
  } else {
    fs::create_directory_symlink("private/var", link, error);
    if (error) throw InitError("cannot create the link " + link + ": " + error.message());
  }
  makeDirectory(kPreferencesDirectory);
  makeDirectory(kDocumentsDirectory);
  // The system log that every program's NSLog lines go to (kept across a re-init).
  makeDirectory("/private/var/log");
  if (!exists(kSystemLogPath)) writeFileAtomically(kSystemLogPath, "", 0666);
}

void writeSystemPreferences() {
  const std::string directory = kPreferencesDirectory;
  if (!exists(directory + "/com.apple.springboard.plist")) {
    NSMutableDictionary springboard;
    springboard.setString("ringtone", "<default>");
    springboard.setInt("ring-vibrate", 1);
    springboard.setInt("sms-sound", 2);
    springboard.setString("calendar-alarm", "Alarm");
    springboard.setBool("lock-unlock", true);
    writePlist(directory + "/com.apple.springboard.plist", springboard, kSharedFileMode);
  }
  if (!exists(directory + "/com.apple.mobilephone.plist")) {
    NSMutableDictionary phone;
    phone.setBool("VoicemailToneEnabled", true);
    writePlist(directory + "/com.apple.mobilephone.plist", phone, kSharedFileMode);
  }
  if (!exists(directory + "/com.apple.mobilemail.plist")) {
    NSMutableDictionary mail;
    mail.setBool("PlayNewMailSound", true);
    mail.setBool("PlaySentMailSound", true);
    writePlist(directory + "/com.apple.mobilemail.plist", mail, kSharedFileMode);
  }
  if (!exists(directory + "/com.apple.preferences.sounds.plist")) {
    NSMutableDictionary sounds;
    sounds.setBool("keyboard", true);
    writePlist(directory + "/com.apple.preferences.sounds.plist", sounds, kSharedFileMode);
  }
}

// The behaviour table of the system sounds as it ships: every sound plays, alerts vibrate.
PlistPtr soundBehaviourTable() {
  struct Sound {
    const char* id;
    const char* name;
    bool vibrates;
  };
  const Sound sounds[] = {{"1000", "new-mail.caf", true},   {"1001", "mail-sent.caf", false},
                          {"1002", "Voicemail.caf", true},  {"1003", "ReceivedMessage.caf", true},
                          {"1005", "alarm.caf", true},      {"1007", "sms-received1.caf", true},
                          {"1100", "lock.caf", false},      {"1101", "unlock.caf", false},
                          {"1104", "Tock.caf", false}};
  PlistPtr table(plist_new_dict());
  plist_dict_set_item(table.get(), "Version", plist_new_uint(1));
  plist_t fallback = plist_new_dict();
  plist_dict_set_item(fallback, "PlaySound", plist_new_bool(1));
  plist_dict_set_item(fallback, "Vibrate", plist_new_bool(0));
  plist_dict_set_item(table.get(), "Default", fallback);
  plist_t entries = plist_new_dict();
  for (const Sound& sound : sounds) {
    plist_t entry = plist_new_dict();
    plist_dict_set_item(entry, "Name", plist_new_string(sound.name));
    plist_dict_set_item(entry, "PlaySound", plist_new_bool(1));
    plist_dict_set_item(entry, "Vibrate", plist_new_bool(sound.vibrates));
    plist_dict_set_item(entries, sound.id, entry);
  }
  plist_dict_set_item(table.get(), "Sounds", entries);
  return table;
}

void writeSystemSounds() {
  if (!exists(kSoundBehaviourPath)) writePlist(kSoundBehaviourPath, soundBehaviourTable().get(), kDataFileMode);
  if (!exists(kSmsTonePath)) {
    // Two short beeps, audibly not the bundle's silent replacement.
    std::vector<int16_t> samples = toneSamples(1200, 0.15, kToneSampleRate);
    std::vector<int16_t> pause = silentSamples(0.1, kToneSampleRate);
    std::vector<int16_t> second = toneSamples(1600, 0.15, kToneSampleRate);
    samples.insert(samples.end(), pause.begin(), pause.end());
    samples.insert(samples.end(), second.begin(), second.end());
    writeFileAtomically(kSmsTonePath, linearPcmCaf(samples, kToneSampleRate), kDataFileMode);
  }
}

void writeSystemVersion(const std::string& version) {
  NSMutableDictionary systemVersion;
  systemVersion.setString("ProductName", "iPhone OS");
  systemVersion.setString("ProductVersion", version);
  writePlist(kSystemVersionPath, systemVersion, kDataFileMode);
}

void execute(sqlite3* database, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw InitError("calendar database: " + text);
  }
}

// The tables the system reads; every column has a default so that rows can name only what
// they need. The event table is `event` below version 5 and `CalendarItem` from 5 on.
void createCalendarDatabase(int versionMajor) {
  makeDirectory(fs::path(kCalendarDatabasePath).parent_path().string());
  std::string path = devicePath(kCalendarDatabasePath);
  sqlite3* database = nullptr;
  if (sqlite3_open(path.c_str(), &database) != SQLITE_OK) {
    std::string message = database ? sqlite3_errmsg(database) : "out of memory";
    sqlite3_close(database);
    throw InitError("cannot open " + path + ": " + message);
  }
  const std::string eventTable = versionMajor < 5 ? "event" : "CalendarItem";
  try {
    execute(database,
            "CREATE TABLE IF NOT EXISTS " + eventTable +
                " (ROWID INTEGER PRIMARY KEY, summary TEXT DEFAULT '', start_date REAL DEFAULT 0,"
                " end_date REAL DEFAULT 0, description TEXT DEFAULT NULL, calendar_id INTEGER DEFAULT 1,"
                " availability INTEGER DEFAULT 0, all_day INTEGER DEFAULT 0);"
                "CREATE TABLE IF NOT EXISTS OccurrenceCache (occurrence_date REAL DEFAULT 0,"
                " event_id INTEGER DEFAULT 0, calendar_id INTEGER DEFAULT 1, day INTEGER DEFAULT 0);"
                "CREATE TABLE IF NOT EXISTS calendar (ROWID INTEGER PRIMARY KEY, title TEXT DEFAULT '');"
                "INSERT OR IGNORE INTO calendar (ROWID, title) VALUES (1, 'Default'), (2, 'Work');");
  } catch (...) {
    sqlite3_close(database);
    throw;
  }
  sqlite3_close(database);
  changeMode(path, kSharedFileMode);
}

void writeWakeSchedule() {
  if (exists(kAutoWakePath)) return;
  NSMutableDictionary schedule;
  plist_dict_set_item(schedule.node(), "wake", plist_new_array());
  writePlist(kAutoWakePath, schedule, kSharedFileMode);
}

// ---- What installation places ---------------------------------------------------------

// Copies `name` from the build into `phoneDirectory` when it was built; false when it was not.
bool installBuilt(const std::string& name, const std::string& phoneDirectory, mode_t mode) {
  fs::path built = fs::path(binDirectory()) / name;
  std::error_code error;
  if (!fs::is_regular_file(built, error)) return false;
  installFile(built, phoneDirectory + "/" + name, mode);
  return true;
}

void installGraphicsServices(std::vector<std::string>* missing) {
  fs::path built = fs::path(binDirectory()) / "GraphicsServices";
  std::error_code error;
  if (!fs::is_regular_file(built, error)) {
    missing->push_back("GraphicsServices");
    return;
  }
  installFile(built, kGraphicsServicesPath, kProgramMode);
}

void installApplicationBundle(std::vector<std::string>* missing) {
  makeDirectory(kBundleDirectory);
  for (const char* program : {"Mutaro", "Mutarod", "Mutarodh", "CopyFile", "Vibrate"}) {
    if (!installBuilt(program, kBundleDirectory, kProgramMode)) missing->push_back(program);
  }
  for (const char* dataFile : {"sms-received1.caf.silent", "SystemSoundBehaviour.plist.vibrate"}) {
    if (!installBuilt(dataFile, kBundleDirectory, kDataFileMode)) missing->push_back(dataFile);
  }
}

// The phone's own command-line tools, found before the host's by the phone's programs.
void installPhoneTools(std::vector<std::string>* missing) {
  makeDirectory("/usr/bin");
  if (!installBuilt("killall", "/usr/bin", kProgramMode)) missing->push_back("killall");
  // One program that takes the name it is run under.
  fs::path fileTools = fs::path(binDirectory()) / "filetools";
  std::error_code error;
  if (!fs::is_regular_file(fileTools, error)) {
    missing->push_back("filetools");
    return;
  }
  for (const char* tool : {"touch", "cp", "chmod", "chown"}) installFile(fileTools, std::string("/usr/bin/") + tool, kProgramMode);
}

void installExtension(std::vector<std::string>* missing) {
  makeDirectory(kExtensionDirectory);
  if (!installBuilt("mutaroms.dylib", kExtensionDirectory, kProgramMode)) missing->push_back("mutaroms.dylib");
  // { Filter = { Bundles = ("com.apple.springboard"); }; }
  NSMutableDictionary filter;
  plist_t bundles = plist_new_dict();
  plist_dict_set_item(bundles, "Bundles", stringArray({"com.apple.springboard"}));
  plist_dict_set_item(filter.node(), "Filter", bundles);
  writePlist(std::string(kExtensionDirectory) + "/mutaroms.plist", filter, kDataFileMode);
}

// The daemon's job: started at load; when the calendar database (or its journal or WAL) changes,
// when the application posts its settings change and when the clock is set; again when it did not
// exit successfully; at most once per ThrottleInterval. The settings file is not watched: the daemon writes it on every pass.
void installLaunchDaemon() {
  NSMutableDictionary job;
  job.setString("Label", "com.velbrant.mutarod");
  job.setString("Program", "/Applications/Mutaro.app/Mutarod");
  plist_dict_set_item(job.node(), "ProgramArguments", stringArray({"/Applications/Mutaro.app/Mutarod"}));
  job.setString("WorkingDirectory", "/Applications/Mutaro.app");
  job.setBool("RunAtLoad", true);
  const std::string calendar = kCalendarDatabasePath;
  plist_dict_set_item(job.node(), "WatchPaths", stringArray({calendar, calendar + "-journal", calendar + "-wal"}));
  plist_t matching = plist_new_dict();
  for (const char* name : {kSettingsChangedNotification, kClockSetNotification}) {
    plist_t event = plist_new_dict();
    plist_dict_set_item(event, "Notification", plist_new_string(name));
    plist_dict_set_item(matching, name, event);
  }
  plist_t launchEvents = plist_new_dict();
  plist_dict_set_item(launchEvents, kNotifyLaunchEvents, matching);
  plist_dict_set_item(job.node(), "LaunchEvents", launchEvents);
  job.setInt("ThrottleInterval", 10);
  // A daemon killed before it scheduled its next wake would miss the rest of the day's events.
  plist_t keepAlive = plist_new_dict();
  plist_dict_set_item(keepAlive, "SuccessfulExit", plist_new_bool(0));
  plist_dict_set_item(job.node(), "KeepAlive", keepAlive);
  writePlist(kDaemonJobPath, job, kDataFileMode);
}

void installDefaultSettings() {
  NSMutableDictionary settings;
  settings.setBool(kEnabledSwitch, true);
  settings.setBool(kEventInProgress, false);
  settings.setBool(kDisableEventSwitch, false);
  settings.setInt(kCalendarID, 0);
  settings.setBool(kEnableProfilesSwitch, false);
  for (const char* soundSwitch : {kRingtoneSwitch, kVibrateSwitch, kVoicemailSwitch, kNewmailSwitch,
                                  kSentmailSwitch, kSMSSwitch, kCalendarSwitch, kLockunlockSwitch}) {
    settings.setBool(soundSwitch, true);
  }
  writePlist(kSettingsBackupPath, settings, kSettingsFileMode);
  if (!exists(kSettingsPath)) writePlist(kSettingsPath, settings, kSettingsFileMode);
}

void printList(const char* heading, const std::vector<std::string>& names) {
  if (names.empty()) return;
  std::printf("%s", heading);
  for (size_t i = 0; i < names.size(); ++i) std::printf("%s%s", i ? ", " : " ", names[i].c_str());
  std::printf("\n");
}

}  // namespace

int initCommand(const std::string& root, const std::string& iosVersion, const std::string& timeZone, bool force) {
  const std::string phone = absoluteDeviceRoot(root);
  if (!isSafeDeviceRoot(phone)) {
    std::fprintf(stderr,
                 "phonesim init: refusing the device root \"%s\": it contains blanks or shell "
                 "metacharacters (use only letters, digits and / . _ - + , : @)\n",
                 phone.c_str());
    return 2;
  }
  if (phone == "/") {
    std::fprintf(stderr, "phonesim init: refusing the device root \"/\": that is the machine itself\n");
    return 2;
  }
  if (!std::regex_match(iosVersion, std::regex("[0-9]{1,3}(\\.[0-9]{1,3}){0,2}"))) {
    std::fprintf(stderr, "phonesim init: \"%s\" is not a system version such as 7.0.4\n", iosVersion.c_str());
    return 2;
  }
  const int versionMajor = std::atoi(iosVersion.c_str());
  if (deviceRootKind(phone) == DeviceRootKind::OtherFolder && !force) {
    std::fprintf(stderr,
                 "phonesim init: %s holds other files and is not a simulated phone; choose a new or "
                 "empty folder, or add --force to lay a phone over what is there\n",
                 phone.c_str());
    return 2;
  }

  if (!useDeviceRoot(phone)) return 2;
  // A refreshed phone keeps its zone unless another is asked for.
  const std::string zone = !timeZone.empty() ? timeZone : recordedTimeZone().value_or(hostTimeZone());
  if (!isKnownTimeZone(zone)) {
    std::fprintf(stderr, "phonesim init: \"%s\"%s is not a time zone this machine knows (see /usr/share/zoneinfo, e.g. Europe/Berlin)%s\n",
                 printable(zone).c_str(), timeZone.empty() ? " (the host's)" : "", timeZone.empty() ? "; give --tz ZONE" : "");
    return 2;
  }

  std::error_code error;
  fs::create_directories(phone, error);
  if (error || !fs::is_directory(phone)) {
    std::fprintf(stderr, "phonesim init: cannot create the device root \"%s\": %s\n", phone.c_str(),
                 error ? error.message().c_str() : "not a directory");
    return 1;
  }

  std::vector<std::string> missing;
  try {
    layOutFileSystem();
    writeSystemPreferences();
    writeSystemSounds();
    writeSystemVersion(iosVersion);
    createCalendarDatabase(versionMajor);
    writeWakeSchedule();
    installGraphicsServices(&missing);
    installApplicationBundle(&missing);
    installPhoneTools(&missing);
    installExtension(&missing);
    installLaunchDaemon();
    installDefaultSettings();
    writeFileAtomically(kPhoneTimeZonePath, zone + "\n", kDataFileMode);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "phonesim init: %s\n", failure.what());
    return 1;
  }
  std::printf("phonesim: phone with iOS %s ready in %s (time zone %s)\n", iosVersion.c_str(), phone.c_str(), zone.c_str());
  printList("phonesim: not built yet, not installed:", missing);
  return 0;
}
