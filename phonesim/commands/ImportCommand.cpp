// phonesim import: an iCalendar file into the phone's calendar, the way the platform's calendar
// stores it: a calendar row for the file, a row per event, the occurrences of recurring events
// within a window in OccurrenceCache.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "phonesim/Commands.h"
#include "phonesim/DeviceRoot.h"
#include "daemon/CalendarRow.h"
#include "phonesim/calendar/ImportPlan.h"
#include "phonesim/calendar/ImportStore.h"
#include "phonesim/text/Moment.h"
#include "phonesim/text/PhoneTimeZone.h"
#include "phonesim/text/PrintableText.h"
#include "platform/Foundation/NSDate.h"

namespace {

// Exported calendars of many years stay well under this; a bigger file is not a calendar.
constexpr off_t kLargestFile = 32 << 20;

int fail(const std::string& message, int status = 1) { return commandFailed("import", message, status); }

// The whole of a regular file, read without blocking on a FIFO or a device; "" or why not.
std::string readCalendarFile(const std::string& path, std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string("cannot open it: ") + std::strerror(errno);
  struct stat info;
  std::string why;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = "it is not a regular file";
  } else if (info.st_size > kLargestFile) {
    why = "it holds " + std::to_string(info.st_size >> 20) + " MB, more than a calendar's " +
          std::to_string(kLargestFile >> 20) + " MB";
  } else {
    char buffer[65536];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 && text->size() <= static_cast<size_t>(kLargestFile)) {
      text->append(buffer, static_cast<size_t>(got));
    }
    if (got < 0) why = std::string("cannot read it: ") + std::strerror(errno);
    if (text->size() > static_cast<size_t>(kLargestFile)) why = "it grew beyond a calendar's size while being read";
  }
  close(fd);
  return why;
}

std::string when(time_t moment) { return localTimeStamp(moment); }

void printPlan(const ImportPlan& plan) {
  for (const ImportedEvent& event : plan.events) {
    std::cout << "  \"" << terminalText(event.summary) << "\" " << when(event.start) << " to " << when(event.end)
              << (event.availability == 0 ? ", busy" : ", free") << (event.allDay ? ", all day" : "")
              << (event.description ? ", notes \"" + terminalText(*event.description) + "\"" : "");
    if (!event.occurrences.empty()) {
      std::cout << ", " << event.occurrences.size() << " occurrence" << (event.occurrences.size() == 1 ? "" : "s") << ":";
      for (time_t start : event.occurrences) std::cout << "\n      " << when(start);
    }
    std::cout << "\n";
  }
}

}  // namespace

int importCommand(const ImportOptions& options) {
  if (!openPhone("import", options.root)) return 1;
  const time_t now = time(nullptr);
  time_t from = 0, to = 0;
  std::string error;
  if (!parseSpan(options.from, options.to, now, startOfDay(now) - 30 * 86400, startOfDay(now) + 365 * 86400, &from, &to,
                 &error)) {
    return fail(error, 2);
  }
  std::string text;
  if (std::string why = readCalendarFile(options.file, &text); !why.empty()) {
    return fail(terminalText(options.file) + ": " + why + "; nothing was imported");
  }
  if (std::string why = calendarTextFault(text); !why.empty()) {
    return fail(terminalText(options.file) + ": " + terminalText(why) + "; nothing was imported");
  }
  // Floating times are the phone's: openPhone() has put its zone in TZ.
  const ImportWindow window{from, to};
  const ImportPlan plan = planImport(text, window, recordedTimeZone().value_or(hostTimeZone()));
  std::string title = options.calendar.value_or(plan.calendarName);
  if (title.empty()) title = std::filesystem::path(options.file).stem().string();

  for (const std::string& line : plan.skipped) std::cout << "skipped " << terminalText(line) << "\n";
  ImportResult result;
  if (options.dryRun) {
    std::cout << "Would write into calendar \"" << terminalText(title) << "\":\n";
    printPlan(plan);
  } else {
    const char* openError = nullptr;
    sqlite3* db = openCalendarDatabase(&openError);
    if (db == nullptr) return fail(std::string("cannot open the calendar database: ") + openError);
    std::string why = storeImport(db, title, plan, &result);
    sqlite3_close(db);
    if (!why.empty()) return fail("cannot write the calendar database: " + why + "; nothing was imported");
  }
  std::cout << (options.dryRun ? "Would import " : "Imported ") << plan.events.size() << " events ("
            << plan.occurrences() << " occurrences) into calendar ";
  if (!options.dryRun) std::cout << result.calendarId << " ";
  std::cout << "\"" << terminalText(title) << "\"";
  if (result.replaced > 0) std::cout << ", replacing " << result.replaced << " rows of an earlier import";
  std::cout << "; skipped " << plan.skipped.size() << "; window " << when(window.from) << " to " << when(window.to)
            << "\n";
  return 0;
}
