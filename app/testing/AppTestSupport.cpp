#include "app/testing/AppTestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/Classes/ProcessGlobals.h"
#include "app/Resources/InterfaceFiles.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"
#include "settings-store/SettingsStore.h"

namespace {
constexpr const char* kCalendarDatabase = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";
}  // namespace

TestPhone::TestPhone(const std::string& iosVersion) {
  char pattern[] = "/tmp/mutaro-app-XXXXXX";
  if (!mkdtemp(pattern)) return;
  root_ = pattern;
  std::string command = std::string(MUTARO_BIN_DIR) + "/phonesim init " + root_ + " --ios " + iosVersion +
                        " > /dev/null";
  ready_ = std::system(command.c_str()) == 0;
  setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
}

TestPhone::~TestPhone() {
  unsetenv("MUTARO_DEVICE_ROOT");
  std::error_code ignored;
  if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

bool TestPhone::exists(const std::string& phonePath) const {
  struct stat info;
  return lstat(at(phonePath).c_str(), &info) == 0;
}

std::unique_ptr<NSMutableDictionary> TestPhone::settings() const {
  auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath);
  return settings ? std::move(settings) : std::make_unique<NSMutableDictionary>();
}

void TestPhone::editSettings(const std::function<void(NSMutableDictionary&)>& edit) const {
  auto settings = this->settings();
  edit(*settings);
  ASSERT_TRUE(settings->writeToFileAtomically(kSettingsPath));
}

void TestPhone::removeSetting(const char* key) const {
  editSettings([key](NSMutableDictionary& settings) { settings.removeObjectForKey(key); });
}

std::map<std::string, std::string> TestPhone::settingsSnapshot() const {
  std::map<std::string, std::string> snapshot;
  auto settings = this->settings();
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(settings->node(), &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(settings->node(), iterator, &key, &value);
    if (!key) break;
    std::string text = "?";
    if (auto flag = settings->boolForKey(key); flag && plist_get_node_type(value) == PLIST_BOOLEAN) {
      text = *flag ? "true" : "false";
    } else if (auto number = settings->intForKey(key)) {
      text = std::to_string(*number);
    } else if (auto string = settings->stringForKey(key)) {
      text = "\"" + *string + "\"";
    }
    snapshot[key] = text;
    std::free(key);
  }
  std::free(iterator);
  return snapshot;
}

void TestPhone::calendarSQL(const std::string& sql) const {
  sqlite3* database = nullptr;
  ASSERT_EQ(sqlite3_open(at(kCalendarDatabase).c_str(), &database), SQLITE_OK);
  char* error = nullptr;
  int status = sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(status, SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(database);
}

std::unique_ptr<HeadlessFrontEnd> launchApplication() {
  registerInterfaceFiles();
  enableProfiles = false;
  readPlist(kEnableProfilesSwitch, &enableProfiles);
  return std::make_unique<HeadlessFrontEnd>();
}

std::string capturedOutput(const std::function<void()>& body) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  body();
  std::fflush(stdout);
  std::string output = testing::internal::GetCapturedStdout();
  return testing::internal::GetCapturedStderr() + output;
}

bool reranUnderFaketime() {
  if (std::getenv("FAKETIME")) return false;
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string filter = std::string(test->test_suite_name()) + "." + test->name();
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  // faketime preloads its library; a sanitizer build must be told that this is fine.
  const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
  std::string command = "ASAN_OPTIONS=" + std::string(sanitizerOptions ? sanitizerOptions : "") +
                        ":verify_asan_link_order=0 faketime -f '+0 x20' " + self + " --gtest_filter=" + filter;
  std::string output;
  int status = -1;
  if (FILE* child = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, child)) > 0) output.append(buffer, count);
    status = pclose(child);
  }
  EXPECT_EQ(status, 0) << command << "\n" << output;
  return true;
}
