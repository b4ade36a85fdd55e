#include "app/Classes/CalendarViewController.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/Classes/Mutaro2_0AppDelegate.h"
#include "app/testing/AppTestSupport.h"
#include "settings-store/SettingsKeys.h"

namespace {

const std::string kAllHeader = "ALL Calendars - Mutaro will check for new events on ALL calendars";
const std::string kOneHeader =
    "Select a specific calendar - Mutaro will check for new events only in that calendar";

// Which rows carry the checkmark, by title.
std::vector<std::string> checkedRows(const HeadlessFrontEnd& ui) {
  std::vector<std::string> checked;
  for (const VisibleRow& row : ui.visibleRows()) {
    if (row.accessory == UITableViewCellAccessoryCheckmark) checked.push_back(row.title);
  }
  return checked;
}

// Every test has the same calendars (the title statement is shared by the whole process):
// 1 "Default" (never listed), 2 "Work", 3 "Home".
class CalendarChooser : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(phone.ready());
    phone.calendarSQL("INSERT INTO calendar (rowid, title) VALUES (3, 'Home')");
  }

  std::unique_ptr<HeadlessFrontEnd> openChooser() {
    auto ui = launchApplication();
    EXPECT_TRUE(ui->selectRow("Select Calendar"));
    return ui;
  }

  void setCalendarID(int32_t calendarID) {
    phone.editSettings([calendarID](NSMutableDictionary& settings) { settings.setInt(kCalendarID, calendarID); });
  }

  TestPhone phone;
};

TEST_F(CalendarChooser, ListsEveryCalendarButTheFirstUnderTheHeaders) {
  phone.removeSetting(kCalendarID);
  auto ui = openChooser();
  EXPECT_EQ(ui->navigationTitle(), "Select Calendar");
  EXPECT_EQ(ui->sectionHeaders(), (std::vector<std::string>{kAllHeader, kOneHeader}));
  EXPECT_EQ(ui->rowTitles(), (std::vector<std::string>{"All Calendars", "Work", "Home"}));
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"All Calendars"});
}

TEST_F(CalendarChooser, TheCheckmarkShowsTheStoredChoiceAndNoneForAnUnlistedOne) {
  setCalendarID(3);
  auto ui = openChooser();
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"Home"});
  ui->goBack();
  setCalendarID(1);
  ASSERT_TRUE(ui->selectRow("Select Calendar"));
  EXPECT_TRUE(checkedRows(*ui).empty());
  setCalendarID(0);
  ui->goBack();
  ASSERT_TRUE(ui->selectRow("Select Calendar"));
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"All Calendars"});
}

TEST_F(CalendarChooser, TapsMoveTheCheckmarkAndStoreTheChoice) {
  setCalendarID(1);  // unlisted: no checkmark to take away at the first tap
  auto ui = openChooser();
  ASSERT_TRUE(ui->selectRow("Work"));
  EXPECT_EQ(phone.settingsSnapshot()[kCalendarID], "2");
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"Work"});
  EXPECT_FALSE(ui->row("Work")->selected);
  ASSERT_TRUE(ui->selectRow("Home"));
  EXPECT_EQ(phone.settingsSnapshot()[kCalendarID], "3");
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"Home"});
  ASSERT_TRUE(ui->selectRow("Home"));
  EXPECT_EQ(phone.settingsSnapshot()[kCalendarID], "3");
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"Home"});
  ASSERT_TRUE(ui->selectRow("All Calendars"));
  EXPECT_EQ(phone.settingsSnapshot()[kCalendarID], "0");
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"All Calendars"});
}

TEST_F(CalendarChooser, ADatabaseWithOnlyTheFirstCalendarListsJustAllCalendars) {
  phone.calendarSQL("DELETE FROM calendar WHERE rowid > 1");
  auto ui = openChooser();
  EXPECT_EQ(ui->sectionHeaders(), (std::vector<std::string>{kAllHeader, kOneHeader}));
  EXPECT_EQ(ui->rowTitles(), std::vector<std::string>{"All Calendars"});
  EXPECT_EQ(checkedRows(*ui), std::vector<std::string>{"All Calendars"});
}

TEST_F(CalendarChooser, TheListIsReadOnceAtLaunch) {
  std::unique_ptr<HeadlessFrontEnd> ui;
  std::string output = capturedOutput([&] { ui = launchApplication(); });
  EXPECT_NE(output.find("Opening DB /private/var/mobile/Library/Calendar/Calendar.sqlitedb"), std::string::npos);
  EXPECT_NE(output.find("DB opended"), std::string::npos);
  auto* appDelegate = dynamic_cast<Mutaro2_0AppDelegate*>(ui->application()->delegate());
  ASSERT_NE(appDelegate, nullptr);
  ASSERT_EQ(appDelegate->calendarArray().size(), 2u);
  EXPECT_EQ(appDelegate->calendarArray()[0]->calendarID(), 2);
  EXPECT_EQ(appDelegate->window()->subviews().size(), 1u);

  // Calendars added later show only after the next launch.
  phone.calendarSQL("INSERT INTO calendar (rowid, title) VALUES (4, 'Later')");
  output = capturedOutput([&] {
    ASSERT_TRUE(ui->selectRow("Select Calendar"));
    ui->goBack();
    ASSERT_TRUE(ui->selectRow("Select Calendar"));
  });
  EXPECT_EQ(output.find("Opening DB"), std::string::npos);
  EXPECT_EQ(ui->rowTitles(), (std::vector<std::string>{"All Calendars", "Work", "Home"}));
}

TEST_F(CalendarChooser, ADatabaseThatCannotBeOpenedIsLoggedAndLeavesTheListEmpty) {
  std::filesystem::remove_all(phone.at("/private/var/mobile/Library/Calendar"));
  std::unique_ptr<HeadlessFrontEnd> ui;
  std::string output = capturedOutput([&] { ui = launchApplication(); });
  EXPECT_NE(output.find("Faild to open database with message 'unable to open database file'."), std::string::npos);
  ASSERT_TRUE(ui->selectRow("Select Calendar"));
  EXPECT_EQ(ui->rowTitles(), std::vector<std::string>{"All Calendars"});
}

TEST_F(CalendarChooser, ATitleStatementThatCannotBePreparedIsLoggedAndLeavesTheListEmpty) {
  // A calendar table without titles. The statement is prepared once per process, so this
  // runs in a fresh one.
  phone.calendarSQL("ALTER TABLE calendar RENAME TO old; CREATE TABLE calendar (name TEXT);"
                    "INSERT INTO calendar (rowid, name) VALUES (1, 'a'), (2, 'b');");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        auto ui = launchApplication();
        ui->selectRow("Select Calendar");
        bool listedNone = ui->rowTitles() == std::vector<std::string>{"All Calendars"};
        std::filesystem::remove_all(phone.root());  // the fixture of this child is never torn down
        std::exit(listedNone ? 0 : 1);
      },
      testing::ExitedWithCode(0), "Error: faild to prepare statement with message 'no such column: title'.");
}

}  // namespace
