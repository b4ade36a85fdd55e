#pragma once
// The soak's plan: a timetable of days and a schedule of user actions and faults, both drawn
// from one seed, and what the phone must do under them. Pure functions of the plan; the runner
// plays it on a booted phone.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

struct PlannedEvent {
  std::string title;
  time_t start = 0, end = 0;  // the first occurrence
  int availability = 0;       // 0 busy, 1 free
  std::optional<std::string> notes;
  int calendar = 1;
  bool allDay = false;
  std::vector<time_t> occurrences;  // a recurring event's starts, the first one included
};

enum class ActionKind {
  DisableEvent,           // "Disable Event" on during an event, off a little later
  DisableDuringSwitcher,  // "Disable Event" on while the switcher silences
  EnabledOff,             // "Enabled" off, on again later
  WatchCalendar,          // the watched calendar changes to `value`
  SwitchMode,             // "EnableProfilesSwitch" becomes `value`
  KillDaemon,             // SIGKILL of these programs, when one runs
  KillSwitcher,
  KillApplication,        // "Disable Event" tapped and the application killed `value` ms later
  LockCalendar,           // the calendar database locked from `at` to `until`
  FullDisk,               // the phone's disk full from `at` to `until`
  ClockShift,             // the clock set `value` seconds forward or back, from `at` or to `until`
};
const char* actionName(ActionKind kind);

struct Action {
  ActionKind kind;
  time_t at = 0;
  time_t until = 0;  // when it is undone (the same as `at` for one-off actions)
  int value = 0;
  // A shift of the clock spans the hour it skips or lives again: forward it is played at `at`,
  // back at `until`; nothing else of its day comes after it.
  time_t playedAt() const { return kind == ActionKind::ClockShift && value < 0 ? until : at; }
};

// One day lived by the phone: booted at `boot`, shut down at `end`, nothing planned outside.
struct Day {
  time_t boot = 0, end = 0;
};

struct Plan {
  unsigned seed = 0;
  std::vector<Day> days;
  std::vector<PlannedEvent> events;
  std::vector<Action> actions;  // by playedAt()
  int firstCalendar = 0;        // "CalendarID" at the start
  bool firstProfiles = true;    // "EnableProfilesSwitch" at the start
};

// `days` days from 2026-12-07 (local time of the test zone); `kinds` the actions it may play.
Plan makePlan(int days, unsigned seed, const std::vector<ActionKind>& kinds);

// An occurrence of qualifying events, overlapping and back-to-back ones merged: the stretch of
// phone time the phone must be silenced for.
struct Span {
  time_t start = 0, end = 0;
  std::string titles;
  // Every start and end of the occurrences merged in it: the daemon wakes at each of them.
  std::vector<time_t> boundaries;
};
// "CalendarID" at a moment, as the plan's changes leave it.
int watchedCalendar(const Plan& plan, time_t at);
bool qualifies(const PlannedEvent& event, int watched);
// The first start of a qualifying occurrence after `after`; 0 when none.
time_t nextQualifyingStart(const Plan& plan, time_t after);
// The spans of the whole run, the watched calendar taken at each occurrence's start.
std::vector<Span> qualifyingSpans(const Plan& plan);
// The first span boundary at or after `at`; `at` itself when none comes.
time_t nextBoundary(const std::vector<Span>& spans, time_t at);
// Until when an action may disturb what the phone does: its next boundary and a margin.
time_t disturbedUntil(const std::vector<Span>& spans, const Action& action);

// Local "HH:MM:SS" of a phone time, for messages.
std::string clockText(time_t at);
