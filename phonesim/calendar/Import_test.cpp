// The importer on calendars in the shapes three kinds of calendar programs export, each row
// and occurrence worked out by hand; the database it writes; and files it must refuse whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "phonesim/calendar/ImportPlan.h"
#include "tests/support/Phone.h"

namespace {

const std::string kCalendars = std::string(MUTARO_SOURCE_DIR) + "/tests/calendars/";

std::string local(time_t moment) { return localTimeStamp(moment).substr(0, 16); }

// "Title START-END busy|free [all-day] [notes] [occurrence starts...]"
std::string rowText(const ImportedEvent& event) {
  std::string end = local(event.end);
  std::string text = event.summary + " " + local(event.start) + "-" +
                     (end.compare(0, 10, local(event.start), 0, 10) == 0 ? end.substr(11) : end) +
                     (event.availability == 0 ? " busy" : " free") + (event.allDay ? " all-day" : "") +
                     (event.description ? " notes" : "");
  for (size_t i = 0; i < event.occurrences.size(); ++i) text += (i == 0 ? " [" : ", ") + local(event.occurrences[i]);
  return text + (event.occurrences.empty() ? "" : "]");
}

struct Shape {
  const char* file;
  std::string calendarName;
  std::vector<std::string> rows;
  std::vector<std::string> skipped;  // the reason each skipped line ends with
  const char* from = "2026-11-01 00:00:00";
  const char* to = "2027-12-31 00:00:00";
};

void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.file; }

class CalendarShapes : public testing::TestWithParam<Shape> {};

// Floating times in the phone's zone (Berlin) unless the file names its own; all in a window,
// from November 2026 to the end of 2027 unless the row says otherwise.
TEST_P(CalendarShapes, RowsAndOccurrencesAsWorkedOutByHand) {
  const Shape& shape = GetParam();
  const ImportWindow window{localTime(shape.from), localTime(shape.to)};
  const ImportPlan plan = planImport(readFile(kCalendars + shape.file), window, kTestTimeZone);
  EXPECT_EQ(plan.calendarName, shape.calendarName);
  std::vector<std::string> rows;
  for (const ImportedEvent& event : plan.events) rows.push_back(rowText(event));
  EXPECT_EQ(rows, shape.rows);
  ASSERT_EQ(plan.skipped.size(), shape.skipped.size()) << testing::PrintToString(plan.skipped);
  for (size_t i = 0; i < shape.skipped.size(); ++i) EXPECT_TRUE(contains(plan.skipped[i], shape.skipped[i])) << plan.skipped[i];
}

INSTANTIATE_TEST_SUITE_P(
    Import, CalendarShapes,
    testing::Values(
        // A hosted web calendar: zones by TZID and UTC, X-WR-TIMEZONE for its floating times,
        // moved, excluded and cancelled occurrences, an empty DESCRIPTION.
        Shape{"hosted-web.ics", "Team",
              {"Standup 2026-12-07 09:30-09:45 busy [2026-12-07 09:30, 2026-12-16 09:30]",
               "Standup (moved) 2026-12-14 11:00-11:30 busy",
               "Design review 2026-12-08 14:00-15:00 busy",
               "Team day off 2026-12-10 00:00-2026-12-11 00:00 free all-day",
               "Focus 2026-12-11 08:00-08:30 free notes",
               // The first occurrence is cancelled: the series' row starts with the second.
               "Morning sync 2026-12-09 08:00-08:15 busy [2026-12-09 08:00, 2026-12-10 08:00]",
               "Call with New York 2026-12-09 15:00-15:30 busy"},
              {"cancelled"}},
        // A desktop mail client: its own VTIMEZONE, a weekly rule across the spring clock change
        // up to an inclusive UNTIL, RDATE dates and periods, DURATION, a floating time,
        // THISANDFUTURE, a yearly all-day event begun decades ago, a VTODO.
        Shape{"desktop-mail.ics", "",
              {"Planning 2027-03-15 10:00-11:00 busy [2027-03-15 10:00, 2027-03-22 10:00, 2027-03-29 10:00, 2027-04-05 10:00]",
               "Office hours 2026-12-11 15:00-16:00 busy [2026-12-11 15:00, 2026-12-18 15:00]",
               "Office hours 2026-12-21 15:00-17:00 busy",
               "Interview 2026-12-08 10:00-10:45 busy notes",
               "Dentist 2026-12-08 17:00-17:30 busy",
               "Review 2026-12-14 16:00-16:30 busy [2026-12-14 16:00, 2026-12-15 16:00]",
               "Review (later) 2026-12-16 17:00-18:00 busy [2026-12-16 17:00, 2026-12-17 17:00, 2026-12-18 17:00]",
               "Birthday 2026-12-09 00:00-2026-12-10 00:00 free all-day [2026-12-09 00:00, 2027-12-09 00:00]"},
              {"not an event"}},
        // An office suite: a Windows zone name with its VTIMEZONE, EXDATE lists, TRANSP, and
        // what cannot be imported.
        Shape{"office-suite.ics", "Calendar",
              {"One-to-one 2026-12-08 14:00-15:00 busy notes [2026-12-08 14:00, 2026-12-29 14:00]",
               "Budget 2026-12-10 16:00-17:00 free notes"},
              {"ends before it starts", "time zone is unknown", "RRULE property"}},
        // The window cuts a series at both ends; the series' row carries its first occurrence inside.
        Shape{"desktop-mail.ics", "",
              {"Review 2026-12-15 16:00-16:30 busy [2026-12-15 16:00]", "Review (later) 2026-12-16 17:00-18:00 busy"},
              {"not an event", "no occurrence within the window", "no occurrence within the window", "no occurrence within the window"},
              "2026-12-15 16:15:00", "2026-12-17 12:00:00"}));

long long count(const Phone& phone, const std::string& table) {
  return std::stoll(runProgram({"sqlite3", phone.at(kCalendarDatabasePath), "SELECT count(*) FROM " + table}).out);
}

// Importing again replaces the calendar's rows of the file's UIDs, in the same calendar row;
// the user's own events stay.
TEST(Import, ImportingAgainReplacesRatherThanDuplicates) {
  Phone phone;
  phone.addEvent({localTime("2026-12-08 09:00:00"), localTime("2026-12-08 10:00:00")});
  const std::vector<std::string> import = {"phonesim", "import", phone.root(), kCalendars + "hosted-web.ics",
                                           "--from", "2026-11-01 00:00", "--to", "2027-01-31 00:00"};
  Outcome first = phone.run(import);
  ASSERT_TRUE(first.exited(0)) << first.err;
  EXPECT_TRUE(contains(first.out, "skipped VEVENT \"Team lunch\"")) << first.out;
  EXPECT_TRUE(contains(first.out, "Imported 7 events (4 occurrences) into calendar 3 \"Team\"; skipped 1")) << first.out;
  Outcome second = phone.run(import);
  ASSERT_TRUE(second.exited(0)) << second.err;
  EXPECT_TRUE(contains(second.out, "into calendar 3 \"Team\", replacing 7 rows")) << second.out;
  EXPECT_EQ(count(phone, "CalendarItem"), 8);
  EXPECT_EQ(count(phone, "OccurrenceCache"), 4);
  EXPECT_EQ(count(phone, "CalendarItem WHERE calendar_id = 1"), 1);

  Outcome dry = phone.run({"phonesim", "import", phone.root(), kCalendars + "office-suite.ics", "--calendar", "Office", "--dry-run"});
  ASSERT_TRUE(dry.exited(0)) << dry.err;
  EXPECT_TRUE(contains(dry.out, "Would import")) << dry.out;
  EXPECT_EQ(count(phone, "calendar"), 3) << "a dry run writes nothing";
}

// A file that cannot be read as a calendar whole is refused with its reason, and the database
// stays as it was.
TEST(Import, BadFilesChangeNothing) {
  Phone phone;
  ASSERT_TRUE(phone.run({"phonesim", "import", phone.root(), kCalendars + "office-suite.ics"}).exited(0));
  const std::string before = phone.read(kCalendarDatabasePath);
  const std::string good = readFile(kCalendars + "hosted-web.ics");
  std::string nested = "BEGIN:VCALENDAR\r\n";
  for (int i = 0; i < 10; ++i) nested += "BEGIN:VEVENT\r\n";
  std::vector<BadFile> files = badFiles("");
  files.insert(files.end(), {{"TruncatedCalendar", good.substr(0, good.size() / 2)}, {"NestedComponents", nested},
                             {"InvalidUtf8", good.substr(0, 400) + "SUMMARY:Caf\xC3\x28\r\n" + good.substr(400)},
                             {"Binary", good + std::string("\0\x01\x02", 3)}, {"Hundred Megabytes", good}});
  for (const BadFile& file : files) {
    if (file.readable) continue;
    phone.plant("/tmp/bad.ics", file);
    if (file.name == "Hundred Megabytes") std::filesystem::resize_file(phone.at("/tmp/bad.ics"), 100 << 20);
    Outcome refused = phone.run({"phonesim", "import", phone.root(), phone.at("/tmp/bad.ics")}, {.timeout = 20});
    EXPECT_TRUE(refused.exited(1)) << file.name << ": " << refused.err;
    EXPECT_TRUE(contains(refused.err, "nothing was imported")) << file.name << ": " << refused.err;
    EXPECT_EQ(phone.read(kCalendarDatabasePath), before) << file.name;
    phone.remove("/tmp/bad.ics");
  }
}

}  // namespace
