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

#include "Commands.h"
#include "daemon/CalendarRow.h"
#include "daemon/NextWake.h"
#include "phonesim/CalendarVerdicts.h"
#include "phonesim/DaemonForecast.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/Moment.h"
#include "phonesim/PhoneHistory.h"
#include "phonesim/PhoneState.h"
#include "phonesim/PrintableText.h"
#include "phonesim/SettingsJournal.h"
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

Action daemonAction(const PhoneState& state, bool running, bool calendarLocked) {
  if (!state.enabled) {
    if (state.inProgress != true) return {"nothing", "Mutaro is disabled (EnabledSwitch is off or missing)"};
    return state.released ? Action{"clear the release and end", "Mutaro is disabled; the user had released the event"}
                          : Action{"give the sounds back and end", "Mutaro is disabled during a silenced event"};
  }
  if (!state.inProgress) return {"nothing", "EventInProgress is missing, so the daemon cannot tell"};
  if (calendarLocked) return {"nothing for now", "the calendar is locked by another program; it tries again", *state.inProgress};
  if (*state.inProgress) {
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

int fail(const std::string& message, int status = 1) {
  std::fprintf(stderr, "phonesim explain: %s\n", message.c_str());
  return status;
}

// A command line that asks for what cannot be.
int misuse(const std::string& message) { return fail(message, 2); }

}  // namespace

int explainCommand(const ExplainOptions& options) {
  std::optional<std::string> phone = openPhone("explain", options.root);
  if (!phone) return 1;
  const time_t now = time(nullptr);
  std::string error;
  std::optional<time_t> at = parseMoment(options.at, now, &error);
  if (!at) return misuse("--at " + error);
  if (std::string outside = outsideDaemonRange("--at " + localTimeStamp(*at), *at); !outside.empty()) return misuse(outside);
  time_t from = 0, to = 0;
  if (!parseSpan(options.from, options.to, now, startOfDay(*at), startOfDay(*at) + 86399, &from, &to, &error)) {
    return misuse(error);
  }
  const When when = *at < now - kPresent ? When::Past : *at > now + kPresent ? When::Future : When::Now;

  // The state at the moment: recorded, for the past; the settings file's, for now and later.
  const PhoneState today = currentState();
  const SettingsJournal journal = readSettingsJournal(simRead(kSettingsJournal), static_cast<double>(now));
  std::string unreached;
  std::optional<SettingsRecord> record;
  if (when == When::Past) record = settingsAt(journal, static_cast<double>(*at), &unreached);
  const PhoneState then = record ? stateFromSettings(record->settings, record->marker) : today;
  std::string log;
  readWholeFile(devicePath(kSystemLogPath), &log);
  const PhoneHistory history = readHistory(log, now);

  const std::string version = systemVersionText();
  const std::string table = std::atoi(version.c_str()) < 5 ? "event" : "CalendarItem";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    return fail("cannot read the calendar: " + message);
  }
  error.clear();
  std::vector<CalendarEntry> entries = calendarEntries(db, table, then.calendarChoice, from, to, *at, &error);
  // Today's verdicts beside the recorded ones, where the watched calendar has changed since.
  std::vector<CalendarEntry> todays;
  if (then.calendarChoice != today.calendarChoice) {
    todays = calendarEntries(db, table, today.calendarChoice, from, to, *at, &error);
  }
  DaemonForecast forecast(*phone);
  bool running = forecast.eventRunning(*at);
  // Later, the phone is as the daemon's wakes will have left it: in the event that runs then,
  // unless it is the one in progress now and the user released it.
  PhoneState expected = today;
  const Run runNow = eventsInARow(calendarEntries(db, table, today.calendarChoice, now, now + kChainSearch, now, &error), now);
  if (when == When::Future) {
    expected.released = today.released && today.inProgress == true && *at <= runNow.end;
    expected.inProgress = today.enabled && (running || expected.released);
  }
  Action action = daemonAction(expected, running, forecast.calendarLocked());
  // A disabled daemon ends before it looks for a wake; a locked calendar gives none.
  int32_t next = today.enabled && !forecast.calendarLocked() ? forecast.nextWake(*at, action.inEventAfter) : 0;
  std::optional<CalendarEntry> giver;
  for (const CalendarEntry& entry : calendarEntries(db, table, today.calendarChoice, next, next, *at, &error)) {
    if (entry.qualifies && (action.inEventAfter ? entry.end : entry.start) == next) giver = entry;
  }
  const std::string watchedThen = watching(db, then.calendarChoice), watchedToday = watching(db, today.calendarChoice);

  // Silenced at the moment, and when the sounds came or come back.
  std::optional<bool> silenced;
  std::string back;
  const Interval* lived = nullptr;
  for (const Interval& silence : history.silences) {
    if (silence.from <= *at && *at <= silence.to) lived = &silence;
  }
  if (when == When::Past) {
    // Without a record, the log's silences tell, from its first line on; a phone on which no
    // program ever ran was never silenced.
    if (record) silenced = record->marker;
    else if (history.logBegins > 0 && history.logBegins <= *at) silenced = lived != nullptr;
    else if (log.empty() && !today.marker) silenced = false;
  } else if (when == When::Now) {
    silenced = today.marker;
  } else {
    silenced = today.enabled && running && !expected.released;
  }
  if (silenced == true && when == When::Past) {
    for (const SettingsRecord& later : journal.records) {
      if (back.empty() && later.at > static_cast<double>(*at) && !later.marker) back = "at " + clock(static_cast<time_t>(later.at));
    }
    if (back.empty() && lived != nullptr && lived->to < now) back = "at " + clock(lived->to);
  }
  if (silenced == true && back.empty()) {
    // A silence that lasts until now (or one ahead) ends with the events in a row from then.
    const Run run = when == When::Future
                        ? eventsInARow(calendarEntries(db, table, today.calendarChoice, *at, *at + kChainSearch, *at, &error), *at)
                        : runNow;
    back = run.end > 0 ? soundsBackAfter(run) : "at the daemon's next pass: no qualifying event is in progress";
  }
  if (silenced == false) back = "not silenced at " + clock(*at);
  if (!silenced) back = "not known: nothing was recorded then";
  sqlite3_close(db);

  std::optional<time_t> scheduled;
  for (const ScheduledWake& wake : simulatedWakes()) {
    if (wake.scheduledby == kWakeIdentifier && wake.time >= now) scheduled = wake.time;  // one that fired is gone
  }
  // Only the present compares: a wake asked about for another moment lies elsewhere by nature.
  const bool agree = when != When::Now || (next > 0 ? scheduled == next : !scheduled.has_value());
  const DaemonPass* lastRun = nullptr;
  const DaemonPass* nextRun = nullptr;
  for (const DaemonPass& run : history.daemonPasses) {
    if (run.at <= *at) lastRun = &run;
    if (run.at > *at && nextRun == nullptr) nextRun = &run;
  }
  auto runText = [](const DaemonPass& run) {
    std::string did;
    for (const std::string& step : run.did) did += (did.empty() ? "" : ", ") + step;
    return clock(run.at) + ", " + (did.empty() ? "nothing to do" : did);
  };

  if (options.json) {
    Json events = Json::array();
    for (const CalendarEntry& entry : entries) events.push_back(entryJson(entry));
    auto stateJson = [&](const PhoneState& state, const std::string& watched) {
      return Json{{"enabled", state.enabled}, {"eventInProgress", state.inProgress ? Json(*state.inProgress) : Json()},
                  {"disableEvent", state.released}, {"marker", state.marker}, {"calendarID", state.calendarChoice},
                  {"watched", watched}};
    };
    Json facts = {{"at", localTimeStamp(*at)},
                  {"when", when == When::Past ? "past" : when == When::Now ? "now" : "future"},
                  {"recorded", record.has_value()},
                  {"unrecordedBecause", record || when != When::Past ? Json() : Json(unreached)},
                  {"state", stateJson(then, watchedThen)},
                  {"today", stateJson(today, watchedToday)},
                  {"version", version}, {"eventTable", table},
                  {"silenced", silenced ? Json(*silenced) : Json()},
                  {"soundsBack", back},
                  {"events", events},
                  {"lastPass", lastRun ? Json(runText(*lastRun)) : Json()},
                  {"nextPass", nextRun ? Json(runText(*nextRun)) : Json()},
                  {"daemon", {{"eventRunning", running}, {"calendarLocked", forecast.calendarLocked()},
                              {"action", action.what}, {"why", action.why}}},
                  {"nextWake", next > 0 ? Json{{"time", localTimeStamp(next)}, {"seconds", next},
                                               {"event", giver ? entryJson(*giver) : Json()}}
                                        : Json()},
                  {"scheduledWake", scheduled ? Json{{"time", localTimeStamp(*scheduled)}, {"seconds", *scheduled}} : Json()},
                  {"wakesAgree", agree}};
    if (!error.empty()) facts["calendarError"] = error;
    std::cout << facts.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    return 0;
  }

  std::printf("At %s (%s), iOS %s\n", localTimeStamp(*at).c_str(), when == When::Now ? "now" : distance(*at, now).c_str(),
              clipColumns(version, 20).c_str());
  if (when == When::Past) {
    std::printf("Recorded then%s:\n", record ? " (settings journal and log)" : "");
    if (!record) std::printf("  Settings   not recorded: %s; today's are used below\n", unreached.c_str());
  } else {
    std::printf("%s:\n", when == When::Now ? "The phone now" : "By today's settings");
  }
  std::string silencedText = !silenced ? "not known" : !*silenced ? "no" : lived && when != When::Future ? "yes, since " + clock(lived->from) : "yes";
  if (when == When::Future && silenced == true) silencedText += ", if the phone is on";
  if (expected.released) silencedText += ", the event in progress was released by the user";
  std::printf("  Silenced   %s\n", silencedText.c_str());
  std::printf("  State      %s\n", clipColumns(stateLine(when == When::Future ? expected : then), 67).c_str());
  std::printf("  Watching   %s\n", clipColumns(watchedThen, 67).c_str());
  if (when == When::Past || lastRun != nullptr) {
    std::printf("  Last pass  %s\n", lastRun ? clipColumns(runText(*lastRun), 67).c_str() : "none recorded before");
    if (nextRun) std::printf("  Next pass  %s\n", clipColumns(runText(*nextRun), 67).c_str());
  }
  std::printf("Events from %s to %s:\n", localTimeStamp(from).c_str(), localTimeStamp(to).c_str());
  if (!error.empty()) std::printf("  the calendar cannot be read: %s\n", clipColumns(error, 48).c_str());
  if (entries.empty() && error.empty()) std::printf("  none\n");
  for (const CalendarEntry& entry : entries) printEntry(entry);
  if (when != When::Past || !record) {
    std::printf("%s:\n  %s\n  (%s)\n", when == When::Past ? "By today's settings the daemon would" : "The daemon would",
                clipColumns(action.what, 76).c_str(), clipColumns(action.why, 74).c_str());
    std::string wake = next > 0 ? clock(next) : "none";
    if (next > 0 && startOfDay(next) != startOfDay(*at)) wake = localTimeStamp(next);
    if (giver) wake += ", the " + std::string(action.inEventAfter ? "end" : "start") + " of \"" + terminalText(giver->title) + "\"";
    std::printf("  Its next wake:  %s\n", clipColumns(wake, 62).c_str());
    if (when == When::Now) {
      std::printf("  Scheduled now:  %s%s\n", scheduled ? clock(*scheduled).c_str() : "none", agree ? "" : "  << differs");
    }
  }
  std::printf("Sounds back  %s\n", clipColumns(back, 67).c_str());
  // What today's settings say of the same moment, where they differ from those then.
  if (!todays.empty() || (record && (then.enabled != today.enabled))) {
    std::printf("\nToday's settings would say otherwise:\n  Mutaro %s, watching %s\n", today.enabled ? "enabled" : "disabled",
                clipColumns(watchedToday, 56).c_str());
    for (size_t i = 0; i < todays.size() && i < entries.size(); ++i) {
      if (todays[i].verdict != entries[i].verdict) printEntry(todays[i]);
    }
  }
  return 0;
}
