// soak [DAYS] [SEED]: a booted phone on a fast clock lives the plan drawn from SEED, day by day,
// while its user actions and faults play; the phone's state is observed all along and checked
// at each day's end and after the run. Exit 0 when nothing broke, 1 with every failure printed.
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/Celestial/AVController.h"
#include "soak/SoakChecks.h"
#include "soak/SoakPlan.h"
#include "tests/support/Phone.h"

namespace fs = std::filesystem;

namespace {

// A planned morning of about 50 minutes lives in two and a half minutes, and a boundary's 15 s
// leave the programs three quarters of a real second: a daemon's start, its saving of the sounds
// and the switcher's first steps take half a second on a loaded 2-core machine.
constexpr int kSpeed = 20;

const std::vector<ActionKind> kEveryAction = {
    ActionKind::DisableEvent, ActionKind::DisableDuringSwitcher, ActionKind::EnabledOff,
    ActionKind::WatchCalendar, ActionKind::SwitchMode, ActionKind::KillDaemon,
    ActionKind::KillSwitcher, ActionKind::KillApplication, ActionKind::LockCalendar,
    ActionKind::FullDisk, ActionKind::ClockShift};

struct Soak {
  explicit Soak(const Plan& plan) : plan(plan), spans(qualifyingSpans(plan)) {}
  const Plan& plan;
  std::vector<Span> spans;
  Phone phone;
  Sounds own;
  std::vector<Observation> seen;
  std::vector<Played> played;
  struct Step {
    time_t at;
    std::function<void()> run;
  };
  std::vector<Step> pending;
  std::vector<std::string> failures;
};

json settingOf(const json& status, const char* key) { return status.value("settings", json::object()).value(key, json()); }

bool silencedSounds(const Sounds& now, const Sounds& own) {
  return now.volume == 0 || now.preferences != own.preferences || now.smsTone != own.smsTone ||
         now.soundBehaviour != own.soundBehaviour;
}

bool tap(const Phone& phone, const char* title) {
  return phone.run({"tap-switch", title}, {.clock = phone.clock()}).exited(0);
}

std::string setSetting(const Phone& phone, const std::string& change) {
  Outcome set = phone.run({"phonesim", "set", phone.root(), change}, {.clock = phone.clock()});
  return set.exited(0) ? change : change + " refused: " + set.err;
}

void observe(Soak& soak) {
  time_t at = soak.phone.now();
  json status = soak.phone.status();
  Sounds sounds = soak.phone.sounds(&status);
  soak.seen.push_back({at, status.value("marker", false), silencedSounds(sounds, soak.own),
                       !status.value("powerAssertions", json::array()).empty()});
}

const Span* spanAt(const Soak& soak, time_t at) {
  for (const Span& span : soak.spans) {
    if (span.start <= at && at <= span.end) return &span;
  }
  return nullptr;
}

// "Disable Event" tapped on; a release when the phone was in an event it had not released.
void disableEvent(Soak& soak, Played& p, time_t releasedUntil) {
  json before = soak.phone.status();
  bool inEvent = settingOf(before, kEventInProgress) == true && settingOf(before, kDisableEventSwitch) != true;
  tap(soak.phone, "Disable Event");
  bool took = settingOf(soak.phone.status(), kDisableEventSwitch) == true;
  p.tookEffect = took;
  p.outcome = !took ? "no event in progress to disable" : inEvent ? "event disabled" : "switch stored, nothing to restore";
  // A release covers the events under way; one that starts later is silenced at its start.
  time_t later = nextQualifyingStart(soak.plan, p.action.at);
  if (later > 0) releasedUntil = std::min(releasedUntil, later - 1);
  if (took && inEvent && releasedUntil > p.action.at + 20) p.releasedFrom = p.action.at + 20, p.releasedUntil = releasedUntil;
}

void play(Soak& soak, const Action& action) {
  Played p{action};
  Phone& phone = soak.phone;
  switch (action.kind) {
    case ActionKind::DisableEvent:
      disableEvent(soak, p, action.until);
      soak.pending.push_back({action.until, [&soak] {
                                json now = soak.phone.status();
                                if (settingOf(now, kDisableEventSwitch) == true && settingOf(now, kEventInProgress) == true) {
                                  tap(soak.phone, "Disable Event");
                                }
                              }});
      break;
    case ActionKind::DisableDuringSwitcher: {
      const Span* span = spanAt(soak, action.at);
      disableEvent(soak, p, span != nullptr ? span->end : 0);
      break;
    }
    case ActionKind::EnabledOff: {
      bool on = settingOf(phone.status(), kEnabledSwitch) != false;
      if (on) tap(phone, "Enabled");
      bool took = on && settingOf(phone.status(), kEnabledSwitch) == false;
      p.tookEffect = took;
      p.outcome = took ? "switched off" : "was off already";
      if (took) {
        p.releasedFrom = action.at + 20, p.releasedUntil = action.until;
        soak.pending.push_back({action.until, [&soak] { tap(soak.phone, "Enabled"); }});
      }
      break;
    }
    case ActionKind::WatchCalendar:
      p.outcome = setSetting(phone, "CalendarID=" + std::to_string(action.value));
      p.tookEffect = true;
      break;
    case ActionKind::SwitchMode:
      p.outcome = setSetting(phone, std::string("EnableProfilesSwitch=") + (action.value != 0 ? "true" : "false"));
      p.tookEffect = true;
      break;
    case ActionKind::KillDaemon:
    case ActionKind::KillSwitcher: {
      std::vector<pid_t> pids = phone.running(action.kind == ActionKind::KillDaemon ? "Mutarod" : "Mutarodh");
      for (pid_t pid : pids) kill(pid, SIGKILL);
      p.tookEffect = !pids.empty();
      p.outcome = pids.empty() ? "none running" : "killed " + std::to_string(pids.size());
      break;
    }
    case ActionKind::KillApplication: {
      json now = phone.status();
      // The tap would turn "Disable Event" off again and undo a release under way.
      if (settingOf(now, kDisableEventSwitch) == true) {
        p.outcome = "Disable Event already on";
        break;
      }
      bool inEvent = settingOf(now, kEventInProgress) == true;
      auto application = phone.start({"tap-switch", "Disable Event"}, {.clock = phone.clock()}, phone.at("/soak-application.out"));
      usleep(static_cast<useconds_t>(action.value) * 1000 / kSpeed);
      // Once ended and reaped, its id may be another process's: it is not signalled then.
      bool ended = application->wait(0);
      if (!ended) application->signal(SIGKILL);
      p.tookEffect = inEvent && !ended;
      p.outcome = !inEvent ? "no event in progress" : ended ? "it had finished" : "killed after " + std::to_string(action.value) + " ms";
      break;
    }
    case ActionKind::LockCalendar: {
      sqlite3* db = nullptr;
      sqlite3_open_v2(phone.at(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
      sqlite3_busy_timeout(db, 5000);
      bool locked = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
      p.tookEffect = locked;
      p.outcome = locked ? "locked for " + std::to_string(action.until - action.at) + " s" : "could not lock";
      soak.pending.push_back({action.until, [db] {
                                sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
                                sqlite3_close(db);
                              }});
      break;
    }
    case ActionKind::FullDisk:
      phone.fillDisk();
      p.tookEffect = true;
      p.outcome = "full for " + std::to_string(action.until - action.at) + " s";
      soak.pending.push_back({action.until, [&soak] { soak.phone.freeDisk(); }});
      break;
    case ActionKind::ClockShift:
      phone.setClock(phone.now() + action.value);
      p.tookEffect = true;
      p.outcome = action.value > 0 ? "an hour forward" : "an hour back";
      break;
  }
  soak.played.push_back(p);
}

void runDue(Soak& soak, size_t* next, time_t until) {
  time_t now = std::min(soak.phone.now(), until);
  while (*next < soak.plan.actions.size() && soak.plan.actions[*next].playedAt() <= now) play(soak, soak.plan.actions[(*next)++]);
  for (size_t i = 0; i < soak.pending.size();) {
    if (soak.pending[i].at > now) {
      ++i;
      continue;
    }
    auto step = soak.pending[i].run;
    soak.pending.erase(soak.pending.begin() + i);
    step();
  }
}

// The volume a last revert gives back: after a silence of the whole phone it is full.
double ownVolume(const Soak& soak) {
  std::vector<std::string> messages = logMessages(soak.phone.log(), "Mutarodh");
  bool wholePhone = std::find(messages.begin(), messages.end(), ">>>>> Silent phone") != messages.end();
  return wholePhone ? 1.0 : soak.own.volume;
}

// At the day's end, once no program of the phone runs and no event is in progress: no marker,
// the user's own sounds. A loss is reported, then the user sets the sounds again.
void checkQuiet(Soak& soak, int day) {
  Phone& phone = soak.phone;
  // A clock set forward past the day's end has just started the daemon, or is about to.
  time_t settled = phone.now() + 30, deadline = phone.now() + 300;
  while (phone.now() < deadline && (phone.now() < settled || !phone.running("Mutarod").empty() ||
                                    !phone.running("Mutarodh").empty() || soak.seen.back().assertion)) {
    observe(soak);
  }
  json status = phone.status();
  Sounds now = phone.sounds(&status), expected = soak.own;
  expected.volume = ownVolume(soak);
  std::string wrong;
  if (status.value("marker", false)) wrong += " the marker exists;";
  for (const auto& [file, values] : expected.preferences) {
    if (now.preferences[file] != values) wrong += " " + fs::path(file).filename().string() + " is not the user's;";
  }
  if (now.smsTone != expected.smsTone) wrong += " the SMS tone is not the user's;";
  if (now.soundBehaviour != expected.soundBehaviour) wrong += " the sound behaviour table is not the user's;";
  if (std::abs(now.volume - expected.volume) > 1e-4) {
    wrong += " volume " + std::to_string(now.volume) + " instead of " + std::to_string(expected.volume) + ";";
  }
  if (wrong.empty()) return;
  Failure failure{phone.now(), "at the end of day " + std::to_string(day + 1) + ", all quiet:" + wrong};
  soak.failures.push_back(describe(failure, soak.spans, soak.played));
  for (const auto& [file, values] : soak.own.preferences) phone.write(file, values);
  phone.write(kSmsTonePath, soak.own.smsTone);
  phone.write(kSoundBehaviourPath, soak.own.soundBehaviour);
  AVController::avController()->setVolume(static_cast<float>(expected.volume));
  phone.remove(kMarkerPath);
  setSetting(phone, std::string(kEventInProgress) + "=false");
  setSetting(phone, std::string(kDisableEventSwitch) + "=false");
}

void liveDay(Soak& soak, int day, size_t* next) {
  const Day& lived = soak.plan.days[day];
  Phone& phone = soak.phone;
  phone.boot(lived.boot, kSpeed);
  if (day == 0) {
    // The daemon's first start lays its files out; the user's sounds are those after it.
    phone.waitFor([](const json& s) { return s.value("powerAssertions", json::array()).empty() && s["settings"].contains(kUpdatedExit); },
                  lived.boot + 180);
    soak.own = phone.sounds();
  }
  while (phone.now() < lived.end) {
    runDue(soak, next, lived.end);
    observe(soak);
  }
  runDue(soak, next, lived.end);
  for (const auto& step : soak.pending) step.run();
  soak.pending.clear();
  checkQuiet(soak, day);
  phone.shutdown();
}

}  // namespace

int main(int argc, char* argv[]) {
  int days = argc > 1 ? std::atoi(argv[1]) : 6;
  unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1;
  if (argc > 3 || days < 1 || days > 28) {
    std::fprintf(stderr, "usage: soak [DAYS (1..28)] [SEED]\n");
    return 2;
  }
  auto began = std::chrono::steady_clock::now();
  Plan plan = makePlan(days, seed, kEveryAction);
  Soak soak(plan);
  soak.phone.set({{kCalendarID, plan.firstCalendar}, {kEnableProfilesSwitch, plan.firstProfiles}, {kRingtoneSwitch, false},
                  {kVibrateSwitch, false}, {kSMSSwitch, false}, {kKeyboardSwitch, false}});
  int occurrences = 0;
  for (const PlannedEvent& event : plan.events) {
    Event row{event.start, event.end, event.availability, event.notes, event.calendar, event.allDay, event.occurrences};
    soak.phone.addEvent(row);
    occurrences += std::max<int>(1, static_cast<int>(event.occurrences.size()));
  }
  std::printf("soak: seed %u, %d days: %d event occurrences, %zu qualifying spans, %zu actions and faults, phone clock %dx\n",
              seed, days, occurrences, soak.spans.size(), plan.actions.size(), kSpeed);
  size_t next = 0;
  for (int day = 0; day < days; ++day) {
    liveDay(soak, day, &next);
    std::printf("soak: day %d lived, %zu observations so far\n", day + 1, soak.seen.size());
    std::fflush(stdout);
  }

  Verdict verdict = checkLived(soak.spans, soak.seen, soak.played);
  for (const Failure& failure : verdict.failures) soak.failures.push_back(describe(failure, soak.spans, soak.played));
  int effective = static_cast<int>(std::count_if(soak.played.begin(), soak.played.end(), [](const Played& p) { return p.tookEffect; }));
  auto delays = [](std::vector<int> values) {
    if (values.empty()) return std::string("none");
    std::sort(values.begin(), values.end());
    return "median " + std::to_string(values[values.size() / 2]) + " s, max " + std::to_string(values.back()) + " s";
  };
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::printf("soak: %zu actions played (%d took effect); %d spans checked, %d disturbed; silenced %s; given back %s; %.0f s\n",
              soak.played.size(), effective, verdict.checkedSpans, verdict.disturbedSpans, delays(verdict.silenceDelays).c_str(),
              delays(verdict.releaseDelays).c_str(), seconds);
  for (const Played& p : soak.played) {
    std::printf("soak: played %s %s (%s)\n", clockText(p.action.playedAt()).c_str(), actionName(p.action.kind), p.outcome.c_str());
  }
  for (const std::string& failure : soak.failures) std::printf("soak: FAILED (seed %u): %s\n", seed, failure.c_str());
  if (!soak.failures.empty()) {
    // The whole phone, its log, consoles and journals, for whoever looks into a failure.
    std::string kept = "/tmp/soak-" + std::to_string(days) + "-" + std::to_string(seed);
    std::error_code error;
    fs::remove_all(kept, error);
    fs::copy(soak.phone.root(), kept, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    std::printf("soak: the phone is kept in %s; replay with: scripts/soak %d %u\n", kept.c_str(), days, seed);
  }
  return soak.failures.empty() ? 0 : 1;
}
