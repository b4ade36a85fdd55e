// phonesim explain ROOT [--at TIME]: why the phone is (not) silenced at a moment, from the
// daemon's own detection, row test and next-wake search run on the phone's files.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>

#include "Commands.h"
#include "phonesim/PrintableText.h"
#include "daemon/CalendarRow.h"
#include "daemon/NextWake.h"
#include "phonesim/CalendarVerdicts.h"
#include "phonesim/DaemonForecast.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/Moment.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/SystemVersion.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

using Json = nlohmann::ordered_json;

namespace {

// The settings and files the daemon's state machine looks at.
struct PhoneState {
  bool enabled = false;                    // "EnabledSwitch" present and true
  std::optional<bool> inProgress;          // "EventInProgress"
  bool released = false;                   // "DisableEventSwitch"
  int calendarChoice = 0;                  // "CalendarID"
  bool marker = false;
};

PhoneState readState() {
  PhoneState state;
  if (auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath)) {
    state.enabled = settings->boolForKey(kEnabledSwitch).value_or(false);
    state.inProgress = settings->boolForKey(kEventInProgress);
    state.released = settings->boolForKey(kDisableEventSwitch).value_or(false);
    state.calendarChoice = settings->intForKey(kCalendarID).value_or(0);
  }
  struct stat marker;
  state.marker = stat(devicePath(kMarkerPath).c_str(), &marker) == 0;
  return state;
}

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

std::string clock(time_t moment) { return localTimeStamp(moment).substr(11, 5); }

Json entryJson(const CalendarEntry& entry) {
  return {{"title", entry.title}, {"start", localTimeStamp(entry.start)}, {"end", localTimeStamp(entry.end)},
          {"calendar", entry.calendar}, {"availability", entry.availability}, {"markers", markersIn(entry.notes)},
          {"occurrence", entry.occurrence}, {"qualifies", entry.qualifies}, {"verdict", entry.verdict}};
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

  const PhoneState state = readState();
  const std::string version = systemVersionText();
  const std::string table = std::atoi(version.c_str()) < 5 ? "event" : "CalendarItem";
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    std::string message = sqlite3_errmsg(db);
    sqlite3_close(db);
    return fail("cannot read the calendar: " + message);
  }
  error.clear();
  std::vector<CalendarEntry> entries = calendarEntries(db, table, state.calendarChoice, from, to, *at, &error);
  DaemonForecast forecast(*phone);
  bool running = forecast.eventRunning(*at);
  Action action = daemonAction(state, running, forecast.calendarLocked());
  // A disabled daemon ends before it looks for a wake; a locked calendar gives none.
  int32_t next = state.enabled && !forecast.calendarLocked() ? forecast.nextWake(*at, action.inEventAfter) : 0;
  std::optional<CalendarEntry> giver;
  for (const CalendarEntry& entry : calendarEntries(db, table, state.calendarChoice, next, next, *at, &error)) {
    if (entry.qualifies && (action.inEventAfter ? entry.end : entry.start) == next) giver = entry;
  }
  std::string watched = state.calendarChoice == 0 ? "all calendars" : "calendar " + std::to_string(state.calendarChoice) +
                                                                           " \"" + terminalText(calendarTitle(db, state.calendarChoice)) + "\"";
  sqlite3_close(db);
  std::optional<time_t> scheduled;
  for (const ScheduledWake& wake : simulatedWakes()) {
    if (wake.scheduledby == kWakeIdentifier) scheduled = wake.time;
  }
  const bool agree = next > 0 ? scheduled == next : !scheduled.has_value();

  if (options.json) {
    Json events = Json::array();
    for (const CalendarEntry& entry : entries) events.push_back(entryJson(entry));
    Json facts = {{"at", localTimeStamp(*at)},
                  {"state", {{"enabled", state.enabled}, {"eventInProgress", state.inProgress ? Json(*state.inProgress) : Json()},
                             {"disableEvent", state.released}, {"marker", state.marker}, {"calendarID", state.calendarChoice},
                             {"watched", watched}, {"version", version}, {"eventTable", table}}},
                  {"events", events},
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

  std::printf("At %s on %s (iOS %s, events in %s)\n", localTimeStamp(*at).c_str(), terminalText(*phone).c_str(), terminalText(version).c_str(),
              table.c_str());
  std::printf("  Mutaro %s · EventInProgress %s · DisableEventSwitch %s · %s · watching %s\n",
              state.enabled ? "enabled" : "disabled",
              state.inProgress ? (*state.inProgress ? "true" : "false") : "missing", state.released ? "true" : "false",
              state.marker ? "silenced (marker present)" : "not silenced", watched.c_str());
  std::printf("\nEvents from %s to %s:\n", localTimeStamp(from).c_str(), localTimeStamp(to).c_str());
  if (!error.empty()) std::printf("  the calendar cannot be read: %s\n", error.c_str());
  if (entries.empty() && error.empty()) std::printf("  none\n");
  for (const CalendarEntry& entry : entries) {
    std::string markers = markersIn(entry.notes);
    std::printf("  %s–%s  %s cal %d  %-4s %-13s %s%s\n", clock(entry.start).c_str(), clock(entry.end).c_str(),
                fitColumns(entry.title, 22).c_str(), entry.calendar, entry.availability == 0 ? "busy" : "free", markers.c_str(),
                entry.verdict.c_str(), entry.occurrence ? " (occurrence)" : "");
  }
  std::printf("\nAt %s the daemon would: %s — %s.\n", clock(*at).c_str(), action.what.c_str(), action.why.c_str());
  std::printf("Next wake it would schedule: %s", next > 0 ? localTimeStamp(next).c_str() : "none");
  if (giver) std::printf(", the %s of \"%s\"", action.inEventAfter ? "end" : "start", terminalText(giver->title).c_str());
  std::printf("\nWake scheduled now:          %s%s\n", scheduled ? localTimeStamp(*scheduled).c_str() : "none",
              agree ? "" : "   << differs from the daemon's answer");
  return 0;
}
