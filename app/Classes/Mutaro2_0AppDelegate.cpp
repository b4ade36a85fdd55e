#include "app/Classes/Mutaro2_0AppDelegate.h"

#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSLog.h"

namespace {
constexpr const char* kCalendarDatabase = "/private/var/mobile/Library/Calendar/Calendar.sqlitedb";
constexpr int kBusyWaitMilliseconds = 3000;
}  // namespace

Mutaro2_0AppDelegate::~Mutaro2_0AppDelegate() {
  tabBarController_.reset();
  window_.reset();
}

void Mutaro2_0AppDelegate::applicationDidFinishLaunching(UIApplication*) {
  NSLog("applicationDidFinishLaunching");
  initializeDatabase();
  if (window_ && tabBarController_) window_->addSubview(tabBarController_->view());
}

void Mutaro2_0AppDelegate::initializeDatabase() {
  setCalendarArray({});
  NSLog("Opening DB %s", kCalendarDatabase);
  // Never created: a missing calendar stays missing rather than becoming an empty one.
  if (sqlite3_open_v2(devicePath(kCalendarDatabase).c_str(), &database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(database);
    sqlite3_close(database);
    database = nullptr;
    // Logged, and the application goes on with no calendars to choose from.
    NSLog("Faild to open database with message '%s'.", message.c_str());
    return;
  }
  NSLog("DB opended");
  // A writer holding the calendar is waited for a few seconds.
  sqlite3_busy_timeout(database, kBusyWaitMilliseconds);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(database, "SELECT rowid FROM calendar where rowid > 1", -1, &statement,
                         nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      int32_t primaryKey = sqlite3_column_int(statement, 0);
      auto calendar = std::make_shared<CalendarArray>(primaryKey, database);
      if (!CalendarArray::titleStatementPrepared()) {
        // No title can be read: list no calendars at all.
        calendarArray_.clear();
        break;
      }
      calendarArray_.push_back(calendar);
      NSLog("Adding calendar to array");
    }
  }
  sqlite3_finalize(statement);
}
