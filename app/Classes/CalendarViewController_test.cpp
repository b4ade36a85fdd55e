// The calendar chooser and the calendar list behind it. The title statement is prepared once
// per process, on the first connection: each test here runs in a process of its own.
#include "app/Classes/CalendarViewController.h"

#include <gtest/gtest.h>

#include "app/Classes/CalendarArray.h"
#include "app/Classes/ProcessGlobals.h"
#include "app/Resources/InterfaceFiles.h"
#include "platform/UIKit/HeadlessFrontEnd.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsChanged.h"
#include "settings-store/SettingsStore.h"
#include "tests/support/Phone.h"

namespace {

using Titles = std::vector<std::string>;

std::unique_ptr<HeadlessFrontEnd> openChooser() {
  registerInterfaceFiles();
  auto ui = std::make_unique<HeadlessFrontEnd>();
  EXPECT_TRUE(ui->selectRow("Select Calendar"));
  return ui;
}

Titles checkedRows(const HeadlessFrontEnd& ui) {
  Titles checked;
  for (const VisibleRow& row : ui.visibleRows()) if (row.accessory == UITableViewCellAccessoryCheckmark) checked.push_back(row.title);
  return checked;
}

TEST(CalendarChooser, ListsEveryCalendarButTheFirstAndMovesTheCheckmarkToTheChoice) {
  Phone phone;
  phone.sql("INSERT INTO calendar (rowid, title) VALUES (3, NULL), (4, 'Home'), (5, '')");
  phone.set({{kCalendarID, 1}});  // not listed: no checkmark
  auto ui = openChooser();
  EXPECT_EQ(ui->sectionHeaders(), (Titles{"ALL Calendars - Mutaro will check for new events on ALL calendars",
                                          "Select a specific calendar - Mutaro will check for new events only in that calendar"}));
  EXPECT_EQ(ui->rowTitles(), (Titles{"All Calendars", "Work", "Untitled", "Home", "Untitled"}));
  EXPECT_EQ(checkedRows(*ui), Titles{});

  for (const auto& [title, stored] : {std::pair{"Work", 2}, {"Home", 4}, {"Home", 4}, {"All Calendars", 0}}) {
    ASSERT_TRUE(ui->selectRow(title));
    EXPECT_EQ(phone.setting(kCalendarID), stored);
    EXPECT_EQ(checkedRows(*ui), Titles{title});
    EXPECT_FALSE(ui->row(title)->selected);
  }
  // Each choice tells the daemon's launcher, which starts the daemon to look again.
  auto posts = simulatedNotifyPosts();
  EXPECT_EQ(std::count(posts.begin(), posts.end(), std::pair{std::string(kSettingsChangedNotification), std::optional<uint64_t>()}), 4);
  ui->goBack();
  phone.set({{kCalendarID, 4}});
  ASSERT_TRUE(ui->selectRow("Select Calendar"));
  EXPECT_EQ(checkedRows(*ui), Titles{"Home"});
}

TEST(CalendarChooser, WithOnlyTheFirstCalendarOrNoDatabaseThereIsJustAllCalendars) {
  Phone phone;
  phone.sql("DELETE FROM calendar WHERE rowid > 1");
  EXPECT_EQ(openChooser()->rowTitles(), Titles{"All Calendars"});
  phone.remove(kCalendarDatabasePath);
  testing::internal::CaptureStderr();
  auto ui = openChooser();
  EXPECT_TRUE(contains(testing::internal::GetCapturedStderr(), "Faild to open database with message 'unable to open database file'."));
  EXPECT_EQ(ui->rowTitles(), Titles{"All Calendars"});
  EXPECT_FALSE(phone.exists(kCalendarDatabasePath)) << "no empty calendar in its place";
}

TEST(CalendarChooser, ATitleStatementThatCannotBePreparedLeavesTheListEmpty) {
  Phone phone;
  phone.sql("DROP TABLE calendar; CREATE TABLE calendar (name TEXT); INSERT INTO calendar (rowid, name) VALUES (1, 'a'), (2, 'b')");
  testing::internal::CaptureStderr();
  auto ui = openChooser();
  EXPECT_TRUE(contains(testing::internal::GetCapturedStderr(), "Error: faild to prepare statement with message 'no such column: title'."));
  EXPECT_EQ(ui->rowTitles(), Titles{"All Calendars"});
}

TEST(CalendarArray, ARowIdWithoutARowIsNothingWithIdZero) {
  Phone phone;
  sqlite3* database = nullptr;
  sqlite3_open(phone.at(kCalendarDatabasePath).c_str(), &database);
  CalendarArray missing(7, database);
  EXPECT_EQ(missing.calendarName(), "Nothing");
  EXPECT_EQ(missing.calendarID(), 0);
  EXPECT_EQ(CalendarArray(2, database).calendarName(), "Work") << "the statement was reset";
  sqlite3_close(database);
}

}  // namespace
