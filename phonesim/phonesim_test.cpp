// phonesim init and status, run as the built program on temporary device roots.
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "bundle-tools/CafFile.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/SimState/SimState.h"
#include "settings-store/SettingsPaths.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

struct CommandResult {
  int status = -1;
  std::string output;  // standard output
};

std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CommandResult phonesim(const std::vector<std::string>& arguments) {
  std::string command = MUTARO_BIN_DIR "/phonesim";
  for (const auto& argument : arguments) command += " " + quoted(argument);
  CommandResult run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::set<std::string> tableNames(const std::string& databasePath) {
  std::set<std::string> names;
  sqlite3* database = nullptr;
  if (sqlite3_open_v2(databasePath.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(database, "select name from sqlite_master where type = 'table'", -1, &statement, nullptr);
    while (statement && sqlite3_step(statement) == SQLITE_ROW) {
      names.insert(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(database);
  return names;
}

class PhonesimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/phonesim-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
    root_ = base_ + "/phone";
    setenv("TZ", "America/New_York", 1);  // status reports UTC whatever the local zone
  }
  void TearDown() override {
    unsetenv("MUTARO_DEVICE_ROOT");
    fs::remove_all(base_);
  }
  void init(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments{"init", root_};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    CommandResult run = phonesim(arguments);
    ASSERT_EQ(run.status, 0) << run.output;
    setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
  }
  json status() {
    CommandResult run = phonesim({"status", root_});
    EXPECT_EQ(run.status, 0);
    return json::parse(run.output, nullptr, false);
  }
  std::string database() const { return root_ + "/private/var/mobile/Library/Calendar/Calendar.sqlitedb"; }

  std::string base_;
  std::string root_;
};

TEST_F(PhonesimTest, FreshPhoneReportsTheDefaults) {
  init();
  json state = status();
  ASSERT_TRUE(state.is_object());
  EXPECT_EQ(state["volume"], 0.75);
  EXPECT_TRUE(state["ringerState"].is_null());
  EXPECT_EQ(state["marker"], false);
  for (const char* list : {"statusBarImages", "powerAssertions", "wakes", "announcements", "notifications"}) {
    EXPECT_EQ(state[list], json::array()) << list;
  }
  EXPECT_EQ(state["vibrations"], 0);
  EXPECT_EQ(state["eventInProgress"], false);
  EXPECT_EQ(state["settings"]["EnabledSwitch"], true);
}

TEST_F(PhonesimTest, StatusReplaysThePhonesJournals) {
  init();
  simAppend("statusbar", {"add", "Mutaro"});
  simAppend("statusbar", {"add", "Other"});
  simAppend("statusbar", {"add", "Mutaro"});  // shown already: keeps its place
  simAppend("statusbar", {"remove", "Other"});
  simAppend("statusbar", {"add", "Late"});
  std::ofstream(devicePath(kMarkerPath)).close();
  CPScheduleWakeAtDateWithIdentifier(1796634000, "com.velbrant.Mutaro");  // 2026-12-07 09:00 UTC

  json state = status();
  EXPECT_EQ(state["statusBarImages"], json({"Mutaro", "Late"}));
  EXPECT_EQ(state["marker"], true);
  ASSERT_EQ(state["wakes"].size(), 1u);
  EXPECT_EQ(state["wakes"][0]["scheduledby"], "com.velbrant.Mutaro");
  EXPECT_EQ(state["wakes"][0]["time"], "2026-12-07T09:00:00Z");
}

TEST_F(PhonesimTest, InitRefusesRootsAShellWouldSplit) {
  for (const std::string& bad : {base_ + "/a b", base_ + "/a;b", base_ + "/a$(true)", base_ + "/a'b"}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(phonesim({"init", bad}).status, 0);
    EXPECT_FALSE(fs::exists(bad));
  }
  EXPECT_NE(phonesim({"init", root_, "--ios", "seven"}).status, 0);
  EXPECT_NE(phonesim({"status", base_ + "/never-initialised"}).status, 0);
}

TEST_F(PhonesimTest, SystemVersionChoosesTheCalendarTable) {
  init({"--ios", "4.3"});
  auto tables = tableNames(database());
  EXPECT_TRUE(tables.count("event"));
  EXPECT_FALSE(tables.count("CalendarItem"));
  EXPECT_TRUE(tables.count("OccurrenceCache"));
  auto version = NSMutableDictionary::initWithContentsOfFile("/System/Library/CoreServices/SystemVersion.plist");
  ASSERT_TRUE(version);
  EXPECT_EQ(version->stringForKey("ProductVersion"), "4.3");

  fs::remove_all(root_);
  init({"--ios", "7.0.4"});
  tables = tableNames(database());
  EXPECT_TRUE(tables.count("CalendarItem"));
  EXPECT_FALSE(tables.count("event"));
}

// The daemon's and the application's statements, as they name tables and columns, must prepare
// and find rows on the database init makes (rowid of the event table, not of the cache).
TEST_F(PhonesimTest, CalendarDatabaseAnswersTheSystemsQueries) {
  init();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "insert into CalendarItem (summary, start_date, end_date) values ('a', 100, 200);"
                         "insert into OccurrenceCache (occurrence_date, event_id, calendar_id) values (1000, 1, 2);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const char* statements[] = {
      "select datetime(occurrence_date+978307200+end_date-start_date,'unixepoch','localtime') as o_end_date,"
      "occurrence_date+978307200+end_date-start_date,OccurrenceCache.calendar_id,availability,description "
      "from OccurrenceCache,CalendarItem  where event_id=rowid and all_day = 0 and (description is null or "
      "length(description) = 0 or upper(description) not like '%!RING%') order by o_end_date asc",
      "SELECT title,rowid FROM calendar WHERE rowid=2"};
  int expected[][2] = {{1100 + 978307200, 2}, {0, 2}};
  for (int i = 0; i < 2; ++i) {
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, statements[i], -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    if (i == 0) {
      EXPECT_EQ(sqlite3_column_int(statement, 1), expected[i][0]);
      EXPECT_EQ(sqlite3_column_int(statement, 2), expected[i][1]);
      EXPECT_EQ(sqlite3_column_int(statement, 3), 0);  // availability defaults to busy
    } else {
      EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "Work");
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
}

TEST_F(PhonesimTest, InstallsTheFilesThePhoneNeeds) {
  init();
  EXPECT_TRUE(fs::is_symlink(root_ + "/var"));
  EXPECT_EQ(fs::read_symlink(root_ + "/var"), "private/var");

  for (const char* path : {kSettingsPath, kSettingsBackupPath}) {
    SCOPED_TRACE(path);
    auto settings = NSMutableDictionary::initWithContentsOfFile(path);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->boolForKey("EnabledSwitch"), true);
    EXPECT_EQ(settings->boolForKey("EventInProgress"), false);
    EXPECT_EQ(settings->intForKey("CalendarID"), 0);
    struct stat info;
    ASSERT_EQ(stat(devicePath(path).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0777u);
  }
  auto springboard =
      NSMutableDictionary::initWithContentsOfFile("/private/var/mobile/Library/Preferences/com.apple.springboard.plist");
  ASSERT_TRUE(springboard);
  EXPECT_EQ(springboard->intForKey("ring-vibrate"), 1);
  EXPECT_EQ(springboard->intForKey("sms-sound"), 2);

  auto schedule = readPropertyListFile(kAutoWakePath);
  ASSERT_TRUE(schedule);
  plist_t wakes = plist_dict_get_item(schedule.get(), "wake");
  ASSERT_NE(wakes, nullptr);
  EXPECT_EQ(plist_get_node_type(wakes), PLIST_ARRAY);
  EXPECT_EQ(plist_array_get_size(wakes), 0u);

  // The system's SMS tone is a real, audible CAF file, not the bundle's silent one.
  std::string tone = readFile(root_ + "/System/Library/Audio/UISounds/sms-received1.caf");
  std::string silent = readFile(root_ + "/Applications/Mutaro.app/sms-received1.caf.silent");
  auto toneInfo = readCaf(tone);
  ASSERT_TRUE(toneInfo);
  EXPECT_EQ(toneInfo->formatID, "lpcm");
  ASSERT_TRUE(readCaf(silent));
  EXPECT_NE(tone, silent);

  for (const char* installed : {"/Applications/Mutaro.app/CopyFile", "/Applications/Mutaro.app/Vibrate",
                                "/System/Library/PrivateFrameworks/GraphicsServices.framework/GraphicsServices"}) {
    EXPECT_EQ(readFile(devicePath(installed)), readFile(fs::path(MUTARO_BIN_DIR) / fs::path(installed).filename()))
        << installed;
  }
  auto filter = readPropertyListFile("/Library/MobileSubstrate/DynamicLibraries/mutaroms.plist");
  ASSERT_TRUE(filter);
  plist_t bundles = plist_dict_get_item(plist_dict_get_item(filter.get(), "Filter"), "Bundles");
  ASSERT_NE(bundles, nullptr);
  ASSERT_EQ(plist_array_get_size(bundles), 1u);
  EXPECT_STREQ(plist_get_string_ptr(plist_array_get_item(bundles, 0), nullptr), "com.apple.springboard");
  auto job = NSMutableDictionary::initWithContentsOfFile("/Library/LaunchDaemons/com.velbrant.mutarod.plist");
  ASSERT_TRUE(job);
  EXPECT_EQ(job->stringForKey("Program"), "/Applications/Mutaro.app/Mutarod");
  EXPECT_EQ(job->stringForKey("WorkingDirectory"), "/Applications/Mutaro.app");
}

TEST_F(PhonesimTest, ReinitKeepsThePhonesDataAndRefreshesTheInstallation) {
  init({"--ios", "4.3"});
  auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  ASSERT_TRUE(settings);
  settings->setBool("EnabledSwitch", false);
  ASSERT_TRUE(settings->writeToFileAtomically(kSettingsPath));
  fs::remove(devicePath(kSettingsBackupPath));
  fs::remove(root_ + "/Applications/Mutaro.app/CopyFile");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "insert into event (summary) values ('kept')", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  init({"--ios", "7.0.4"});
  settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->boolForKey("EnabledSwitch"), false);
  EXPECT_TRUE(fs::exists(devicePath(kSettingsBackupPath)));
  EXPECT_TRUE(fs::exists(root_ + "/Applications/Mutaro.app/CopyFile"));
  auto tables = tableNames(database());
  EXPECT_TRUE(tables.count("event"));
  EXPECT_TRUE(tables.count("CalendarItem"));
  ASSERT_EQ(sqlite3_open(database().c_str(), &db), SQLITE_OK);
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "select count(*) from event", -1, &statement, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(statement, 0), 1);
  sqlite3_finalize(statement);
  sqlite3_close(db);
  EXPECT_EQ(phonesim({"status", root_}).status, 0);
}

}  // namespace
