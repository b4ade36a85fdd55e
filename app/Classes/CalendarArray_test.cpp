#include "app/Classes/CalendarArray.h"

#include <gtest/gtest.h>

namespace {

sqlite3* openCalendars(const char* rows) {
  sqlite3* database = nullptr;
  sqlite3_open(":memory:", &database);
  std::string sql = std::string("CREATE TABLE calendar (title TEXT);") + rows;
  sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr);
  return database;
}

// The title statement is prepared on the first connection of the process and kept, so all
// tests here share one database.
class CalendarArrayTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    database = openCalendars(
        "INSERT INTO calendar (rowid, title) VALUES (1, 'Default'), (2, 'Work'), (3, NULL), (9, '');");
  }
  static sqlite3* database;
};
sqlite3* CalendarArrayTest::database = nullptr;

TEST_F(CalendarArrayTest, ReadsTheTitleAndRowIdOfItsRow) {
  CalendarArray work(2, database);
  EXPECT_EQ(work.rowid(), 2);
  EXPECT_EQ(work.calendarName(), "Work");
  EXPECT_EQ(work.calendarID(), 2);
  CalendarArray empty(9, database);
  EXPECT_EQ(empty.calendarName(), "");
  EXPECT_EQ(empty.calendarID(), 9);
}

TEST_F(CalendarArrayTest, ARowIdWithoutARowIsNothingWithIdZeroAndANullTitleIsUntitled) {
  CalendarArray missing(7, database);
  EXPECT_EQ(missing.rowid(), 7);
  EXPECT_EQ(missing.calendarName(), "Nothing");
  EXPECT_EQ(missing.calendarID(), 0);
  CalendarArray untitled(3, database);
  EXPECT_EQ(untitled.calendarName(), "Untitled");
  EXPECT_EQ(untitled.calendarID(), 3);
  // The statement was reset: the next instance reads again.
  EXPECT_EQ(CalendarArray(2, database).calendarName(), "Work");
}

TEST_F(CalendarArrayTest, TheSharedStatementStaysOnTheFirstConnection) {
  CalendarArray first(2, database);
  sqlite3* other = openCalendars("INSERT INTO calendar (rowid, title) VALUES (2, 'Other');");
  EXPECT_EQ(CalendarArray(2, other).calendarName(), "Work");
  sqlite3_close(other);
}

TEST(CalendarArrayPrepareFailure, IsLoggedAndNamesTheCalendarNothing) {
  // A fresh process, so that the statement is prepared on this connection.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        sqlite3* withoutCalendars = nullptr;
        sqlite3_open(":memory:", &withoutCalendars);
        CalendarArray calendar(2, withoutCalendars);
        std::exit(calendar.calendarName() == "Nothing" && calendar.calendarID() == 0 &&
                          !CalendarArray::titleStatementPrepared()
                      ? 0
                      : 1);
      },
      testing::ExitedWithCode(0), "Error: faild to prepare statement with message 'no such table: calendar'.");
}

}  // namespace
