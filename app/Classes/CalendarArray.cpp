#include "app/Classes/CalendarArray.h"

#include "platform/Foundation/NSLog.h"

namespace {
sqlite3_stmt* titleStatement = nullptr;
}  // namespace

bool CalendarArray::titleStatementPrepared() { return titleStatement != nullptr; }

CalendarArray::CalendarArray(int32_t primaryKey, sqlite3* database)
    : rowid_(primaryKey), database_(database) {
  if (titleStatement == nullptr) {
    if (sqlite3_prepare_v2(database_, "SELECT title,rowid FROM calendar WHERE rowid=?", -1,
                           &titleStatement, nullptr) != SQLITE_OK) {
      titleStatement = nullptr;
      NSLog("Error: faild to prepare statement with message '%s'.", sqlite3_errmsg(database_));
    }
  }
  if (titleStatement == nullptr) {
    calendarName_ = "Nothing";
    return;
  }
  sqlite3_bind_int(titleStatement, 1, rowid_);
  if (sqlite3_step(titleStatement) == SQLITE_ROW) {
    const unsigned char* title = sqlite3_column_text(titleStatement, 0);
    calendarName_ = title && *title ? reinterpret_cast<const char*>(title) : "Untitled";
    calendarID_ = sqlite3_column_int(titleStatement, 1);
  } else {
    calendarName_ = "Nothing";
  }
  sqlite3_reset(titleStatement);
}
