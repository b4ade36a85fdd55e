#include "soak/SoakPlan.h"

#include <algorithm>
#include <random>

#include "platform/Foundation/NSDate.h"
#include "tests/support/Phone.h"

namespace {

constexpr time_t kMinute = 60, kHour = 3600, kDaySeconds = 86400;

bool noted(const PlannedEvent& event, const char* marker) {
  return event.notes && event.notes->find(marker) != std::string::npos;
}

struct Occurrence {
  time_t start, end;
  const PlannedEvent* event;
};

std::vector<Occurrence> occurrencesOf(const PlannedEvent& event) {
  if (event.occurrences.empty()) return {{event.start, event.end, &event}};
  std::vector<Occurrence> all;
  for (time_t start : event.occurrences) all.push_back({start, start + event.end - event.start, &event});
  return all;
}

class Drawer {
 public:
  explicit Drawer(unsigned seed) : random_(seed) {}
  int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <typename T> const T& oneOf(const std::vector<T>& items) { return items[between(0, static_cast<int>(items.size()) - 1)]; }
  std::mt19937& engine() { return random_; }

 private:
  std::mt19937 random_;
};

// One working morning of events of a few minutes each, every shape once, in a drawn order.
time_t planMorning(Drawer& draw, int dayIndex, time_t from, std::vector<PlannedEvent>* events) {
  std::vector<int> shapes = {0, 1, 2, 3, 4, 5, 6};
  std::shuffle(shapes.begin(), shapes.end(), draw.engine());
  time_t t = from;
  auto add = [&](const char* what, time_t start, time_t end, int availability, std::optional<std::string> notes, int calendar) {
    events->push_back({"day " + std::to_string(dayIndex + 1) + " " + what, start, end, availability, notes, calendar});
    t = std::max(t, end);
  };
  for (int shape : shapes) {
    time_t start = t + draw.between(1, 3) * kMinute;
    time_t length = draw.between(2, 4) * kMinute, second = draw.between(2, 4) * kMinute;
    switch (shape) {
      case 0: add("meeting", start, start + length, 0, std::nullopt, 1); break;
      case 1:
        add("back-to-back 1", start, start + length, 0, std::nullopt, 1);
        add("back-to-back 2", start + length, start + length + second, 0, "", 1);
        break;
      case 2:
        add("overlapping 1", start, start + length, 0, std::nullopt, 1);
        add("overlapping 2", start + length / 2, start + length / 2 + second, 1, "quiet please !silent", 1);
        break;
      case 3: add("free !silent", start, start + length, 1, "!silent", 1); break;
      case 4: add("free", start, start + length, 1, "lunch", 1); break;
      case 5: add("busy !RING", start, start + length, 0, "on call !RING", 1); break;
      case 6: add("other calendar", start, start + length, 0, std::nullopt, 2); break;
    }
  }
  return t;
}

}  // namespace

const char* actionName(ActionKind kind) {
  switch (kind) {
    case ActionKind::DisableEvent: return "Disable Event on, then off";
    case ActionKind::DisableDuringSwitcher: return "Disable Event on during the switcher's silence";
    case ActionKind::EnabledOff: return "Enabled off, then on";
    case ActionKind::WatchCalendar: return "watched calendar changed";
    case ActionKind::SwitchMode: return "mode changed";
    case ActionKind::KillDaemon: return "SIGKILL of the daemon";
    case ActionKind::KillSwitcher: return "SIGKILL of the switcher";
    case ActionKind::KillApplication: return "SIGKILL of the application during its restore";
    case ActionKind::LockCalendar: return "calendar locked";
    case ActionKind::FullDisk: return "disk full";
    case ActionKind::ClockShift: return "clock set an hour forward or back";
  }
  return "?";
}

Plan makePlan(int days, unsigned seed, const std::vector<ActionKind>& kinds) {
  Drawer draw(seed);
  Plan plan;
  plan.seed = seed;
  const time_t firstMidnight = localTime("2026-12-07 00:00:00");  // no daylight-saving change in the weeks after

  // Recurring events whose first occurrences lie before the run: a daily stand-up, and a daily
  // free focus slot marked !silent on the other calendar.
  PlannedEvent standup{"stand-up (daily)", 0, 0, 0, std::nullopt, 1};
  PlannedEvent focus{"focus (daily)", 0, 0, 1, "focus !silent", 2};
  for (int day = -3; day < days; ++day) {
    time_t midnight = firstMidnight + day * kDaySeconds;
    if (day >= -1) standup.occurrences.push_back(midnight + 9 * kHour + 2 * kMinute);
    focus.occurrences.push_back(midnight + 9 * kHour + 40 * kMinute);
  }
  standup.start = standup.occurrences[0], standup.end = standup.start + 3 * kMinute;
  focus.start = focus.occurrences[0], focus.end = focus.start + 4 * kMinute;
  plan.events = {standup, focus};

  std::vector<ActionKind> deck;
  for (int day = 0; day < days; ++day) {
    time_t midnight = firstMidnight + day * kDaySeconds;
    size_t firstOfDay = plan.events.size();
    if (day % 2 == 0) {
      plan.events.push_back({"day " + std::to_string(day + 1) + " all-day", midnight, midnight + kDaySeconds - 1, 0, std::nullopt, 1, true});
    }
    time_t last = planMorning(draw, day, midnight + 9 * kHour + 6 * kMinute, &plan.events);
    time_t focusEnd = midnight + 9 * kHour + 40 * kMinute + focus.end - focus.start;
    Day lived{midnight + 8 * kHour + 59 * kMinute, std::max(last, focusEnd) + 3 * kMinute};
    plan.days.push_back(lived);

    // Actions anchor on the day's events that qualify when every calendar is watched.
    std::vector<Occurrence> anchors;
    for (const PlannedEvent& event : plan.events) {
      bool today = &event - plan.events.data() >= static_cast<long>(firstOfDay) || !event.occurrences.empty();
      if (!today || !qualifies(event, 0)) continue;
      for (const Occurrence& o : occurrencesOf(event)) {
        if (o.start >= lived.boot && o.end <= lived.end) anchors.push_back(o);
      }
    }
    bool shift = false;
    time_t latest = lived.boot;
    for (int n = 0; n < 5 && !kinds.empty(); ++n) {
      // Every kind in turn, each round in a drawn order, so that a few days play them all.
      if (deck.empty()) {
        deck = kinds;
        std::shuffle(deck.begin(), deck.end(), draw.engine());
      }
      Action action{deck.back()};
      deck.pop_back();
      const Occurrence& anchor = draw.oneOf(anchors);
      time_t boundary = draw.between(0, 1) ? anchor.start : anchor.end;
      time_t anytime = draw.between(static_cast<int>(lived.boot + 4 * kMinute - midnight), static_cast<int>(lived.end - 4 * kMinute - midnight)) + midnight;
      switch (action.kind) {
        case ActionKind::DisableEvent:
          action.at = anchor.start + draw.between(30, 60);
          action.until = action.at + draw.between(40, 100);
          break;
        case ActionKind::DisableDuringSwitcher: action.at = anchor.start + draw.between(1, 3); break;
        case ActionKind::EnabledOff:
          action.at = anytime;
          action.until = anytime + draw.between(60, 240);
          break;
        case ActionKind::WatchCalendar:
          action.at = anytime;
          action.value = draw.between(0, 2);
          break;
        case ActionKind::SwitchMode:
          action.at = anytime;
          action.value = draw.between(0, 1);
          break;
        case ActionKind::KillDaemon: action.at = boundary + draw.between(-2, 3); break;
        case ActionKind::KillSwitcher: action.at = boundary + draw.between(1, 4); break;
        case ActionKind::KillApplication:
          action.at = anchor.start + draw.between(20, 60);
          action.value = draw.between(300, 5000);
          break;
        case ActionKind::LockCalendar:
          action.at = boundary - draw.between(0, 20);
          action.until = action.at + draw.between(30, 120);
          break;
        case ActionKind::FullDisk:
          action.at = boundary - draw.between(0, 5);
          action.until = action.at + 30;
          break;
        case ActionKind::ClockShift:
          shift = true;
          continue;
      }
      action.until = std::max(action.until, action.at);
      plan.actions.push_back(action);
      latest = std::max(latest, action.until);
    }
    // The clock moves once everything else of the day is over; without the room it waits a day.
    if (shift && latest + 2 * kMinute < lived.end - 3 * kMinute) {
      time_t moment = draw.between(static_cast<int>(latest + 2 * kMinute - midnight), static_cast<int>(lived.end - 3 * kMinute - midnight)) + midnight;
      int by = draw.between(0, 1) ? kHour : -kHour;
      plan.actions.push_back({ActionKind::ClockShift, by > 0 ? moment : moment + by, by > 0 ? moment + by : moment, by});
    } else if (shift) {
      deck.push_back(ActionKind::ClockShift);
    }
  }
  std::stable_sort(plan.actions.begin(), plan.actions.end(), [](const Action& a, const Action& b) { return a.playedAt() < b.playedAt(); });
  return plan;
}

int watchedCalendar(const Plan& plan, time_t at) {
  int watched = plan.firstCalendar;
  for (const Action& action : plan.actions) {
    if (action.kind == ActionKind::WatchCalendar && action.at <= at) watched = action.value;
  }
  return watched;
}

bool qualifies(const PlannedEvent& event, int watched) {
  return !event.allDay && (watched == 0 || event.calendar == watched) && (event.availability == 0 || noted(event, "!silent")) &&
         !noted(event, "!RING");
}

std::vector<Span> qualifyingSpans(const Plan& plan) {
  std::vector<Occurrence> all;
  for (const PlannedEvent& event : plan.events) {
    for (const Occurrence& o : occurrencesOf(event)) {
      if (qualifies(event, watchedCalendar(plan, o.start))) all.push_back(o);
    }
  }
  std::sort(all.begin(), all.end(), [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
  std::vector<Span> spans;
  for (const Occurrence& o : all) {
    // Back-to-back and overlapping occurrences are one silence.
    if (!spans.empty() && o.start <= spans.back().end + 20) {
      spans.back().end = std::max(spans.back().end, o.end);
      spans.back().titles += " + " + o.event->title;
    } else {
      spans.push_back({o.start, o.end, o.event->title, {}});
    }
    spans.back().boundaries.push_back(o.start);
    spans.back().boundaries.push_back(o.end);
  }
  return spans;
}

time_t nextQualifyingStart(const Plan& plan, time_t after) {
  time_t next = 0;
  for (const PlannedEvent& event : plan.events) {
    for (const Occurrence& o : occurrencesOf(event)) {
      if (o.start > after && (next == 0 || o.start < next) && qualifies(event, watchedCalendar(plan, o.start))) next = o.start;
    }
  }
  return next;
}

time_t nextBoundary(const std::vector<Span>& spans, time_t at) {
  for (const Span& span : spans) {
    if (span.start >= at) return span.start;
    if (span.end >= at) return span.end;
  }
  return at;
}

time_t disturbedUntil(const std::vector<Span>& spans, const Action& action) {
  // A mode change needs no boundary: the next procedure takes the new mode.
  if (action.kind == ActionKind::SwitchMode) return action.at + 15;
  return nextBoundary(spans, action.until) + 30;
}

std::string clockText(time_t at) { return localTimeStamp(at).substr(5); }
