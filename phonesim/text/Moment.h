#pragma once
// Moments as people give them to phonesim: one grammar for every option that takes a time,
// read in the phone's time zone (the process's TZ, which openPhone() sets to the phone's).
//
//   now                        this moment
//   HH:MM[:SS]                 today
//   YYYY-MM-DD                 that day's midnight
//   YYYY-MM-DD HH:MM[:SS]      (or with T for the blank: ISO 8601)
//   ...T...[Z|+HH:MM|-HHMM]    ISO 8601 with an offset from UTC
//   +N / -N [s|m|h|d]          from now; seconds when no unit is given
//   @UNIX                      Unix seconds
#include <ctime>
#include <optional>
#include <string>

// The forms in one line, for messages.
extern const char kMomentForms[];
// The forms and the exit statuses, one page, for the help of every command that takes a time.
extern const char kMomentHelp[];

// `text` as Unix seconds. Nothing when it is none of the forms, names a day or a time that
// does not exist (2026-02-30, 24:00), or lies outside the years 1 to 9999; `error` then says
// so and lists the forms.
std::optional<time_t> parseMoment(const std::string& text, time_t now, std::string* error);

// The two ends of a span from --from and --to. An empty text takes its default. False, with
// `error` naming the option, when an end cannot be read or --from is not before --to.
bool parseSpan(const std::string& fromText, const std::string& toText, time_t now, time_t defaultFrom,
               time_t defaultTo, time_t* from, time_t* to, std::string* error);

// The moments the daemon can reason about: it reads the calendar's seconds as 64-bit, and its
// wakes are property-list dates, written with four-digit years (0001-01-01 to 9999-12-31 UTC).
constexpr long long kEarliestDaemonMoment = -62135596800LL;
constexpr long long kLatestDaemonMoment = 253402300799LL;
// "" for a moment within them; otherwise why `option` cannot be used.
std::string outsideDaemonRange(const std::string& option, long long when);

// Local midnight of the day that holds `moment`.
time_t startOfDay(time_t moment);
