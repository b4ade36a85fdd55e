// phonesim explain ROOT [--at TIME]: why the phone is (not) silenced at a moment. A past moment
// is answered from what the phone recorded (its settings journal and its log), set apart from
// what today's settings would say; the present and the future from the daemon's own detection,
// row test and next-wake search run on the phone's files.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "phonesim/Commands.h"
#include "daemon/CalendarRow.h"
#include "daemon/NextWake.h"
#include "phonesim/calendar/CalendarVerdicts.h"
#include "phonesim/calendar/DaemonForecast.h"
#include "phonesim/calendar/DaemonLooks.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/text/Moment.h"
#include "phonesim/history/PhoneHistory.h"
#include "phonesim/history/PhoneState.h"
#include "phonesim/text/PrintableText.h"
#include "phonesim/history/SystemLogFile.h"
#include "phonesim/history/SettingsJournal.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/SystemVersion.h"
#include "platform/SimState/SimState.h"
#include "settings-store/SettingsPaths.h"

using Json = nlohmann::ordered_json;

namespace {

enum class When { Past, Now, Future };
constexpr time_t kPresent = 1;         // seconds either side of now that count as now
constexpr time_t kChainSearch = 14 * 86400;  // how far back-to-back events are followed

// What a pass of the daemon does at the moment, following its state machine.
struct Action {
  std::string what;
  std::string why;
  bool inEventAfter = false;
};

// `laterStart`: a qualifying event started after the events the user's release covers.
Action daemonAction(const PhoneState& state, bool running, bool calendarLocked, bool laterStart) {
  if (!state.enabled) {
    if (state.inProgress != true) return {"nothing", "Mutaro is disabled (EnabledSwitch is off or missing)"};
    return state.released ? Action{"clear the release and end", "Mutaro is disabled; the user had released the event"}
                          : Action{"give the sounds back and end", "Mutaro is disabled during a silenced event"};
  }
  if (!state.inProgress) return {"nothing", "EventInProgress is missing, so the daemon cannot tell"};
  if (calendarLocked) return {"nothing for now", "the calendar is locked by another program; it tries again", *state.inProgress};
  if (*state.inProgress) {
    if (running && state.released && laterStart) {
      return {"silence the phone", "an event started after the ones the user released", true};
    }
    if (running) return {"nothing", state.released ? "the event goes on, released by the user" : "the event goes on, silenced", true};
    return state.released ? Action{"let the released event end, with no sounds to give back", "the user released it earlier"}
                          : Action{"end the event and give the sounds back", "no qualifying event is in progress"};
  }
  if (running) {
    return {"start the event and silence the phone",
            state.released ? "a qualifying event is in progress (a release left from before is cleared)"
                           : "a qualifying event is in progress",
            true};
  }
  return {"nothing", "no qualifying event is in progress"};
}

std::string calendarTitle(sqlite3* db, int calendar) {
  sqlite3_stmt* statement = nullptr;
  std::string title;
  if (sqlite3_prepare_v2(db, "SELECT title FROM calendar WHERE rowid = ?", -1, &statement, nullptr) == SQLITE_OK) {
    sqlite3_bind_int(statement, 1, calendar);
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0) != nullptr) {
      title = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
  }
  sqlite3_finalize(statement);
  return title;
}

std::string watching(sqlite3* db, int calendarChoice) {
  return calendarChoice == 0 ? "all calendars"
                             : "calendar " + std::to_string(calendarChoice) + " \"" + terminalText(calendarTitle(db, calendarChoice)) + "\"";
}

std::string clock(time_t moment) { return localTimeStamp(moment).substr(11); }

// "6 h 20 min ago", "in 45 s": how far the moment lies from now.
std::string distance(time_t at, time_t now) {
  time_t apart = at > now ? at - now : now - at;
  char text[64];
  if (apart < 120) std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(apart));
  else if (apart < 7200) std::snprintf(text, sizeof text, "%lld min", static_cast<long long>(apart / 60));
  else if (apart < 2 * 86400) std::snprintf(text, sizeof text, "%lld h %lld min", static_cast<long long>(apart / 3600), static_cast<long long>(apart % 3600 / 60));
  else std::snprintf(text, sizeof text, "%lld days", static_cast<long long>(apart / 86400));
  return at > now ? std::string("in ") + text : std::string(text) + " ago";
}

std::string stateLine(const PhoneState& state) {
  return std::string("Mutaro ") + (state.enabled ? "enabled" : "disabled") + " · EventInProgress " +
         (state.inProgress ? (*state.inProgress ? "true" : "false") : "missing") + " · DisableEventSwitch " +
         (state.released ? "true" : "false");
}

Json entryJson(const CalendarEntry& entry) {
  return {{"title", entry.title}, {"start", localTimeStamp(entry.start)}, {"end", localTimeStamp(entry.end)},
          {"calendar", entry.calendar}, {"availability", entry.availability}, {"markers", markersIn(entry.notes)},
          {"occurrence", entry.occurrence}, {"qualifies", entry.qualifies}, {"verdict", entry.verdict}};
}

void printEntry(const CalendarEntry& entry) {
  // 71 columns at most: times, a 24-column title, calendar, availability, the verdict.
  std::printf("  %s–%s %s c%-2d %s %s%s\n", clock(entry.start).c_str(), clock(entry.end).c_str(),
              fitColumns(entry.title, 22).c_str(), entry.calendar, entry.availability == 0 ? "busy" : "free",
              entry.verdict.c_str(), entry.occurrence ? " ↻" : "");
}

// The qualifying events that run into one another (back to back or overlapping) from `at`:
// while one is in progress the daemon keeps the silence, so the sounds come back after the last.
struct Run {
  time_t end = 0;  // 0 when none is in progress at `at`
  std::string last;
  int events = 0;
};

Run eventsInARow(const std::vector<CalendarEntry>& ahead, time_t at) {
  Run run;
  for (bool grew = true; grew;) {
    grew = false;
    for (const CalendarEntry& entry : ahead) {
      bool joins = run.end == 0 ? entry.start <= at && at <= entry.end : entry.start <= run.end && entry.end > run.end;
      if (entry.qualifies && joins && entry.end > run.end) {
        run = {entry.end, entry.title, run.events + 1};
        grew = true;
      }
    }
  }
  return run;
}

std::string soundsBackAfter(const Run& run) {
  std::string text = "soon after " + clock(run.end) + ", when \"" + terminalText(run.last) + "\" ends";
  if (run.events > 1) text += " (" + std::to_string(run.events) + " events in a row)";
  return text;
}

// Everything explain tells of a moment.
struct Explanation {
  time_t at = 0, now = 0, from = 0, to = 0;
  When when = When::Now;
  std::optional<SettingsRecord> record;  // the settings then, where the journal reaches
  std::string unreached;                 // else why not
  PhoneState then, today, expected;      // recorded, in the file now, as the wakes will leave it
  std::string watchedThen, watchedToday, version, table, error;
  std::vector<CalendarEntry> entries, todays;  // judged by the settings then; by today's where they differ
  std::optional<bool> silenced;
  std::optional<Interval> lived;  // the log's silence that holds the moment
  std::string back;               // when the sounds come back
  std::optional<DaemonPass> lastPass, nextPass;
  bool running = false, calendarLocked = false;
  Action action;
  time_t next = 0;  // the wake the daemon would schedule
  std::optional<CalendarEntry> giver;
  std::optional<time_t> scheduled;
  bool agree = true;
};

std::string passText(const DaemonPass& pass) {
  std::string did;
  for (const std::string& step : pass.did) did += (did.empty() ? "" : ", ") + step;
  return clock(pass.at) + ", " + (did.empty() ? "nothing to do" : did);
}

void printJson(const Explanation& e) {
  Json events = Json::array();
  for (const CalendarEntry& entry : e.entries) events.push_back(entryJson(entry));
  auto stateJson = [&](const PhoneState& state, const std::string& watched) {
    return Json{{"enabled", state.enabled}, {"eventInProgress", state.inProgress ? Json(*state.inProgress) : Json()},
                {"disableEvent", state.released}, {"marker", state.marker}, {"calendarID", state.calendarChoice},
                {"watched", watched}};
  };
  Json facts = {{"at", localTimeStamp(e.at)},
                {"when", e.when == When::Past ? "past" : e.when == When::Now ? "now" : "future"},
                {"recorded", e.record.has_value()},
                {"unrecordedBecause", e.record || e.when != When::Past ? Json() : Json(e.unreached)},
                {"state", stateJson(e.when == When::Future ? e.expected : e.then, e.watchedThen)},
                {"today", stateJson(e.today, e.watchedToday)},
                {"version", e.version}, {"eventTable", e.table},
                {"silenced", e.silenced ? Json(*e.silenced) : Json()},
                {"soundsBack", e.back},
                {"events", events},
                {"lastPass", e.lastPass ? Json(passText(*e.lastPass)) : Json()},
                {"nextPass", e.nextPass ? Json(passText(*e.nextPass)) : Json()},
                {"daemon", {{"eventRunning", e.running}, {"calendarLocked", e.calendarLocked},
                            {"action", e.action.what}, {"why", e.action.why}}},
                {"nextWake", e.next > 0 ? Json{{"time", localTimeStamp(e.next)}, {"seconds", e.next},
                                               {"event", e.giver ? entryJson(*e.giver) : Json()}}
                                        : Json()},
                {"scheduledWake", e.scheduled ? Json{{"time", localTimeStamp(*e.scheduled)}, {"seconds", *e.scheduled}} : Json()},
                {"wakesAgree", e.agree}};
  DaemonLook look = whenDaemonLooks(e.now);
  facts["booted"] = phoneBooted();
  facts["daemonLooks"] = {{"when", look.when}, {"why", look.why}};
  if (!e.error.empty()) facts["calendarError"] = e.error;
  std::cout << facts.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

// One screen of at most 80 columns.
void printText(const Explanation& e) {
  std::printf("At %s (%s), iOS %s\n", localTimeStamp(e.at).c_str(), e.when == When::Now ? "now" : distance(e.at, e.now).c_str(),
              clipColumns(e.version, 20).c_str());
  if (e.when == When::Past) {
    std::printf("Recorded then%s:\n", e.record ? " (settings journal and log)" : "");
    if (!e.record) std::printf("  Settings   not recorded: %s; today's are used below\n", e.unreached.c_str());
  } else {
    std::printf("%s:\n", e.when == When::Now ? "The phone now" : "By today's settings");
  }
  std::string silenced = !e.silenced ? "not known" : !*e.silenced ? "no" : e.lived && e.when != When::Future ? "yes, since " + clock(e.lived->from) : "yes";
  if (e.when == When::Future && e.silenced == true) silenced += ", if the phone is on";
  if (e.expected.released) silenced += ", the event in progress was released by the user";
  std::printf("  Silenced   %s\n", silenced.c_str());
  std::printf("  State      %s\n", clipColumns(stateLine(e.when == When::Future ? e.expected : e.then), 67).c_str());
  std::printf("  Watching   %s\n", clipColumns(e.watchedThen, 67).c_str());
  if (e.when == When::Past || e.lastPass) {
    std::printf("  Last pass  %s\n", e.lastPass ? clipColumns(passText(*e.lastPass), 67).c_str() : "none recorded before");
    if (e.nextPass) std::printf("  Next pass  %s\n", clipColumns(passText(*e.nextPass), 67).c_str());
  }
  std::printf("Events from %s to %s:\n", localTimeStamp(e.from).c_str(), localTimeStamp(e.to).c_str());
  if (!e.error.empty()) std::printf("  the calendar cannot be read: %s\n", clipColumns(e.error, 48).c_str());
  if (e.entries.empty() && e.error.empty()) std::printf("  none\n");
  for (const CalendarEntry& entry : e.entries) printEntry(entry);
  if (e.when != When::Past || !e.record) {
    std::printf("%s:\n  %s\n  (%s)\n", e.when == When::Past ? "By today's settings the daemon would" : "The daemon would",
                clipColumns(e.action.what, 76).c_str(), clipColumns(e.action.why, 74).c_str());
    std::string wake = e.next > 0 ? clock(e.next) : "none";
    if (e.next > 0 && startOfDay(e.next) != startOfDay(e.at)) wake = localTimeStamp(e.next);
    if (e.giver) wake += ", the " + std::string(e.action.inEventAfter ? "end" : "start") + " of \"" + terminalText(e.giver->title) + "\"";
    std::printf("  Its next wake:  %s\n", clipColumns(wake, 62).c_str());
    if (e.when == When::Now) {
      std::printf("  Scheduled now:  %s%s\n", e.scheduled ? clock(*e.scheduled).c_str() : "none", e.agree ? "" : "  << differs");
    }
    DaemonLook look = whenDaemonLooks(e.now);
    std::printf("  It looks next:  %s\n  (%s)\n", clipColumns(look.when, 62).c_str(), clipColumns(look.why, 74).c_str());
  }
  std::printf("Sounds back  %s\n", clipColumns(e.back, 67).c_str());
  // What today's settings say of the same moment, where they differ from those then.
  if (!e.todays.empty() || (e.record && e.then.enabled != e.today.enabled)) {
    std::printf("\nToday's settings would say otherwise:\n  Mutaro %s, watching %s\n", e.today.enabled ? "enabled" : "disabled",
                clipColumns(e.watchedToday, 56).c_str());
    for (size_t i = 0; i < e.todays.size() && i < e.entries.size(); ++i) {
      if (e.todays[i].verdict != e.entries[i].verdict) printEntry(e.todays[i]);
    }
  }
}

int fail(const std::string& message, int status = 1) { return commandFailed("explain", message, status); }

// A command line that asks for what cannot be.
int misuse(const std::string& message) { return fail(message, 2); }

}  // namespace

int explainCommand(const ExplainOptions& options) {
  std::optional<std::string> phone = openPhone("explain", options.root);
  if (!phone) return 1;
  Explanation e;
  e.now = time(nullptr);
  const time_t now = e.now;
  std::string error;
  std::optional<time_t> at = parseMoment(options.at, now, &error);
  if (!at) return misuse("--at " + error);
  if (std::string outside = outsideDaemonRange("--at " + localTimeStamp(*at), *at); !outside.empty()) return misuse(outside);
  if (!parseSpan(options.from, options.to, now, startOfDay(*at), startOfDay(*at) + 86399, &e.from, &e.to, &error)) {
    return misuse(error);
  }
  e.at = *at;
  e.when = e.at < now - kPresent ? When::Past : e.at > now + kPresent ? When::Future : When::Now;

  // The state at the moment: recorded, for the past; the settings file's, for now and later.
  e.today = currentState();
  const SettingsJournal journal = readSettingsJournal(simRead(kSettingsJournal), static_cast<double>(now));
  if (e.when == When::Past) e.record = settingsAt(journal, static_cast<double>(e.at), &e.unreached);
  e.then = e.record ? stateFromSettings(e.record->settings, e.record->marker) : e.today;
  std::string logError;
  const LogSpan log = readSystemLogSpan(std::min(e.from, e.at), now, &logError);
  if (!log.cut.empty()) std::fprintf(stderr, "phonesim explain: %s\n", log.cut.c_str());
  const PhoneHistory history = readHistory(log.text, now);

  e.version = systemVersionText();
  e.table = std::atoi(e.version.c_str()) < 5 ? "event" : "CalendarItem";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    return fail("cannot read the calendar: " + message);
  }
  auto entriesOf = [&](int calendarChoice, time_t from, time_t to, time_t judged) {
    return calendarEntries(db, e.table, calendarChoice, from, to, judged, &e.error);
  };
  e.entries = entriesOf(e.then.calendarChoice, e.from, e.to, e.at);
  // Today's verdicts beside the recorded ones, where the watched calendar has changed since.
  if (e.then.calendarChoice != e.today.calendarChoice) e.todays = entriesOf(e.today.calendarChoice, e.from, e.to, e.at);
  DaemonForecast forecast(*phone);
  e.running = forecast.eventRunning(e.at);
  e.calendarLocked = forecast.calendarLocked();
  // Later, the phone is as the daemon's wakes will have left it: in the event that runs then,
  // unless it is the one in progress now and the user released it.
  e.expected = e.today;
  const Run runNow = eventsInARow(entriesOf(e.today.calendarChoice, now, now + kChainSearch, now), now);
  // A release covers the qualifying events that had started when the daemon last found the phone
  // silenced (or now, before it looks); it ends with the last of them, or when another starts.
  const time_t covered = e.today.silencedCheckedAt ? static_cast<time_t>(*e.today.silencedCheckedAt) : now;
  bool laterStart = false;
  time_t releaseEnd = 0;
  for (const CalendarEntry& entry : entriesOf(e.today.calendarChoice, covered, std::max(covered, e.at), e.at)) {
    if (!entry.qualifies) continue;
    if (entry.start > covered && entry.start <= e.at) laterStart = true;
    if (entry.start <= covered) releaseEnd = std::max(releaseEnd, entry.end);
  }
  if (e.when == When::Future) {
    e.expected.released = e.today.released && e.today.inProgress == true && !laterStart && e.at <= releaseEnd;
    e.expected.inProgress = e.today.enabled && (e.running || e.expected.released);
  }
  e.action = daemonAction(e.expected, e.running, e.calendarLocked, e.when != When::Past && laterStart);
  // A disabled daemon ends before it looks for a wake; a locked calendar gives none.
  e.next = e.today.enabled && !e.calendarLocked ? forecast.nextWake(e.at, e.action.inEventAfter) : 0;
  for (const CalendarEntry& entry : entriesOf(e.today.calendarChoice, e.next, e.next, e.at)) {
    if (entry.qualifies && (e.action.inEventAfter ? entry.end : entry.start) == e.next) e.giver = entry;
  }
  e.watchedThen = watching(db, e.then.calendarChoice);
  e.watchedToday = watching(db, e.today.calendarChoice);

  // Silenced at the moment, and when the sounds came or come back.
  for (const Interval& silence : history.silences) {
    if (silence.from <= e.at && e.at <= silence.to) e.lived = silence;
  }
  if (e.when == When::Past) {
    // Without a record, the log's silences tell, from its first line on; a phone on which no
    // program ever ran was never silenced.
    if (e.record) e.silenced = e.record->marker;
    else if (history.logBegins > 0 && history.logBegins <= e.at) e.silenced = e.lived.has_value();
    else if (log.text.empty() && !e.today.marker) e.silenced = false;
  } else if (e.when == When::Now) {
    e.silenced = e.today.marker;
  } else {
    e.silenced = e.today.enabled && e.running && !e.expected.released;
  }
  if (e.silenced == true && e.when == When::Past) {
    for (const SettingsRecord& later : journal.records) {
      if (e.back.empty() && later.at > static_cast<double>(e.at) && !later.marker) e.back = "at " + clock(static_cast<time_t>(later.at));
    }
    if (e.back.empty() && e.lived && e.lived->to < now) e.back = "at " + clock(e.lived->to);
  }
  if (e.silenced == true && e.back.empty()) {
    // A silence that lasts until now (or one ahead) ends with the events in a row from then.
    const Run run = e.when == When::Future ? eventsInARow(entriesOf(e.today.calendarChoice, e.at, e.at + kChainSearch, e.at), e.at)
                                           : runNow;
    e.back = run.end > 0 ? soundsBackAfter(run) : "at the daemon's next pass: no qualifying event is in progress";
  }
  if (e.silenced == false) e.back = "not silenced at " + clock(e.at);
  if (!e.silenced) e.back = "not known: nothing was recorded then";
  sqlite3_close(db);

  for (const ScheduledWake& wake : simulatedWakes()) {
    if (wake.scheduledby == kWakeIdentifier && wake.time >= now) e.scheduled = wake.time;  // one that fired is gone
  }
  // Only the present compares: a wake asked about for another moment lies elsewhere by nature.
  e.agree = e.when != When::Now || (e.next > 0 ? e.scheduled == e.next : !e.scheduled.has_value());
  for (const DaemonPass& pass : history.daemonPasses) {
    if (pass.at <= e.at) e.lastPass = pass;
    if (pass.at > e.at && !e.nextPass) e.nextPass = pass;
  }
  if (options.json) printJson(e);
  else printText(e);
  return 0;
}
