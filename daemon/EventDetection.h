#pragma once
// Whether a calendar event that should silence the phone is in progress now.

// Reads "CalendarID" and the calendar database: first the events' own dates, then, when that
// finds nothing, the occurrences of recurring events.
bool runningEvent();
