#pragma once
// Whether a calendar event that should silence the phone is in progress now.

#include <ctime>

// Reads "CalendarID" and the calendar database: first the events' own dates, then, when that
// finds nothing, the occurrences of recurring events. `now` is the pass's one reading of the
// clock. A calendar locked beyond the wait answers false and sets calendarBusy.
bool runningEvent(time_t now);
