#pragma once
// Whether a calendar event that should silence the phone is in progress now.

#include <ctime>
#include <optional>

// Reads "CalendarID" and the calendar database: first the events' own dates, then, when that
// finds nothing, the occurrences of recurring events. `now` is the pass's one reading of the
// clock. With `startedSince`, only an event or occurrence that started at or after that moment
// counts. A calendar locked beyond the wait answers false and sets calendarBusy; the second
// query is then not tried.
bool runningEvent(time_t now, std::optional<time_t> startedSince = std::nullopt);
