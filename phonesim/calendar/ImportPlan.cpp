#include "phonesim/calendar/ImportPlan.h"

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <map>
#include <memory>

#include "platform/Foundation/NSDate.h"

namespace {

// Calendars nest VCALENDAR > VEVENT > VALARM, VTIMEZONE > STANDARD; a little room beyond that.
constexpr int kDeepestNesting = 8;
// As many as `phonesim event` adds at once; a rule that yields more within the window is a
// mistake or an attack, not a calendar.
constexpr size_t kMostOccurrences = 10000;
// Steps of one event's rules before the window's end is reached (a COUNT rule starts at its
// DTSTART), and of all rules of a file: a year of 5,000 daily series takes under 2 million.
constexpr long kMostRuleSteps = 100000;
constexpr long kMostFileSteps = 2000000;
// The calendar keeps signed 32-bit seconds counted from 2001.
constexpr time_t kEarliest = std::numeric_limits<int32_t>::min() + static_cast<time_t>(kReferenceDateOffset);
constexpr time_t kLatest = std::numeric_limits<int32_t>::max() + static_cast<time_t>(kReferenceDateOffset);

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The offset of the first byte that breaks UTF-8, or npos.
size_t invalidUtf8(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = bytes[i];
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return i;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return i;
      code = (code << 6) | (bytes[i + k] & 0x3F);
    }
    static const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kShortest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
    i += length;
  }
  return std::string::npos;
}

struct Zones {
  icalcomponent* calendar;
  icaltimezone* floating;  // for date-times without a zone
  icaltimezone* days;      // for dates: the phone's own days
  long* stepsLeft;         // of the whole file's rules, so that no file can hold the import long
};

// The zone a date-time property's value is given in: UTC, its TZID (the file's VTIMEZONE, else
// the system's zone data), or the floating zone. Null for a TZID nobody knows.
icaltimezone* zoneOf(icalproperty* property, icaltimetype value, const Zones& zones) {
  if (icaltime_is_utc(value)) return icaltimezone_get_utc_timezone();
  icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
  if (value.is_date) return zones.days;
  if (tzid == nullptr) return zones.floating;
  const char* name = icalparameter_get_tzid(tzid);
  if (name == nullptr) return nullptr;
  if (icaltimezone* own = icalcomponent_get_timezone(zones.calendar, name)) return own;
  if (icaltimezone* system = icaltimezone_get_builtin_timezone(name)) return system;
  return icaltimezone_get_builtin_timezone_from_tzid(name);
}

time_t unixTime(icaltimetype value, icaltimezone* zone) { return icaltime_as_timet_with_zone(value, zone); }

std::optional<std::string> xProperty(icalcomponent* component, const char* name) {
  for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_X_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(component, ICAL_X_PROPERTY)) {
    const char* key = icalproperty_get_x_name(p);
    const char* value = icalproperty_get_x(p);
    if (key != nullptr && value != nullptr && upper(key) == name) return std::string(value);
  }
  return std::nullopt;
}

// One VEVENT as read: its texts, its start in its own zone, its length.
struct Reading {
  icalcomponent* component = nullptr;
  std::string uid, summary, label;
  std::optional<std::string> description;
  int availability = 0;
  bool cancelled = false;
  icaltimetype start{};
  icaltimezone* zone = nullptr;
  time_t startTime = 0;
  time_t length = 0;
  std::optional<time_t> recurrenceId;
  bool thisAndFuture = false;
  bool recurs = false;
};

std::string describe(icalcomponent* component) {
  const char* summary = icalcomponent_get_summary(component);
  const char* uid = icalcomponent_get_uid(component);
  std::string kind = icalcomponent_kind_to_string(icalcomponent_isa(component));
  return kind + " \"" + (summary ? summary : "") + "\"" + (uid ? " (UID " + std::string(uid) + ")" : "");
}

// Reads a VEVENT; "" when it can be imported, else why not.
std::string read(icalcomponent* component, const Zones& zones, Reading* out) {
  out->component = component;
  out->label = describe(component);
  // libical drops a property it cannot parse and leaves a note; without its times or rules the
  // event would be another event, while a lost LOCATION or an empty DESCRIPTION does no harm.
  for (icalproperty* p = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY)) {
    const std::string text = icalproperty_get_xlicerror(p) ? icalproperty_get_xlicerror(p) : "";
    for (const char* name : {"DTSTART", "DTEND", "DURATION", "RRULE", "RDATE", "EXDATE", "RECURRENCE-ID"}) {
      if (text.find(std::string(" ") + name + " property") != std::string::npos) {
        return "libical cannot read it: " + text;
      }
    }
  }
  icalproperty* dtstart = icalcomponent_get_first_property(component, ICAL_DTSTART_PROPERTY);
  if (dtstart == nullptr) return "it has no DTSTART";
  out->start = icalproperty_get_dtstart(dtstart);
  if (icaltime_is_null_time(out->start) || !icaltime_is_valid_time(out->start)) return "its DTSTART cannot be read";
  out->zone = zoneOf(dtstart, out->start, zones);
  if (out->zone == nullptr) return "its time zone is unknown";
  out->start.zone = out->zone;
  out->startTime = unixTime(out->start, out->zone);

  if (icalproperty* dtend = icalcomponent_get_first_property(component, ICAL_DTEND_PROPERTY)) {
    icaltimetype end = icalproperty_get_dtend(dtend);
    icaltimezone* zone = zoneOf(dtend, end, zones);
    if (zone == nullptr) return "the time zone of its DTEND is unknown";
    if (icaltime_is_null_time(end)) return "its DTEND cannot be read";
    out->length = unixTime(end, zone) - out->startTime;
  } else if (icalproperty* duration = icalcomponent_get_first_property(component, ICAL_DURATION_PROPERTY)) {
    out->length = icaldurationtype_as_int(icalproperty_get_duration(duration));
  } else {
    out->length = out->start.is_date ? 86400 : 0;  // a day for a date, no length for a date-time
  }
  if (out->length < 0) return "it ends before it starts";

  if (icalproperty* rid = icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY)) {
    icaltimetype value = icalproperty_get_recurrenceid(rid);
    icaltimezone* zone = zoneOf(rid, value, zones);
    if (zone == nullptr) return "the time zone of its RECURRENCE-ID is unknown";
    out->recurrenceId = unixTime(value, zone);
    icalparameter* range = icalproperty_get_first_parameter(rid, ICAL_RANGE_PARAMETER);
    out->thisAndFuture = range != nullptr && icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE;
  }
  const char* uid = icalcomponent_get_uid(component);
  const char* summary = icalcomponent_get_summary(component);
  const char* description = icalcomponent_get_description(component);
  // Without a UID an event is known by its start and title, so that importing again still
  // replaces it.
  out->uid = uid ? uid : "(no UID) " + std::to_string(out->startTime) + " " + (summary ? summary : "");
  out->summary = summary ? summary : "";
  if (description != nullptr) out->description = description;
  icalproperty* transp = icalcomponent_get_first_property(component, ICAL_TRANSP_PROPERTY);
  out->availability = transp != nullptr && icalproperty_get_transp(transp) == ICAL_TRANSP_TRANSPARENT ? 1 : 0;
  out->cancelled = icalcomponent_get_status(component) == ICAL_STATUS_CANCELLED;
  out->recurs = icalcomponent_get_first_property(component, ICAL_RRULE_PROPERTY) != nullptr ||
                icalcomponent_get_first_property(component, ICAL_RDATE_PROPERTY) != nullptr;
  return "";
}

struct Instance {
  time_t start;
  time_t end;
};

// The instances of a recurring event (its DTSTART, its RRULEs and RDATEs) that end at or after
// `from` and start by `to`, ascending and each once; "" or why the rules cannot be expanded.
std::string expand(const Reading& event, const Zones& zones, ImportWindow window, std::vector<Instance>* out) {
  std::map<time_t, time_t> found;  // start -> end
  auto add = [&](time_t start, time_t end) {
    if (end >= window.from && start <= window.to) found.emplace(start, end);
  };
  add(event.startTime, event.startTime + event.length);
  long steps = 0;
  for (icalproperty* p = icalcomponent_get_first_property(event.component, ICAL_RRULE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event.component, ICAL_RRULE_PROPERTY)) {
    icalrecurrencetype rule = icalproperty_get_rrule(p);
    if (rule.freq == ICAL_NO_RECURRENCE) return "libical refuses its RRULE";
    icalrecur_iterator* it = icalrecur_iterator_new(rule, event.start);
    if (it == nullptr) return "libical refuses its RRULE";
    if (rule.count == 0) {
      // Rules without a count can begin near the window rather than at DTSTART.
      time_t lead = window.from - event.length - 2 * 86400;
      if (lead > event.startTime) {
        icalrecur_iterator_set_start(it, icaltime_from_timet_with_zone(lead, event.start.is_date, event.zone));
      }
    }
    for (icaltimetype next = icalrecur_iterator_next(it); !icaltime_is_null_time(next); next = icalrecur_iterator_next(it)) {
      time_t start = unixTime(next, event.zone);
      if (start > window.to) break;
      if (--*zones.stepsLeft < 0) {
        icalrecur_iterator_free(it);
        return "the file's rules take over " + std::to_string(kMostFileSteps) + " steps to expand";
      }
      if (++steps > kMostRuleSteps) {
        icalrecur_iterator_free(it);
        return "its rules take over " + std::to_string(kMostRuleSteps) + " steps to reach the window's end";
      }
      if (found.size() > kMostOccurrences) {
        icalrecur_iterator_free(it);
        return "its rules yield over " + std::to_string(kMostOccurrences) + " occurrences within the window";
      }
      add(start, start + event.length);
    }
    icalrecur_iterator_free(it);
  }
  for (icalproperty* p = icalcomponent_get_first_property(event.component, ICAL_RDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event.component, ICAL_RDATE_PROPERTY)) {
    icaldatetimeperiodtype value = icalproperty_get_rdate(p);
    if (!icaltime_is_null_time(value.time)) {
      icaltimezone* zone = zoneOf(p, value.time, zones);
      if (zone == nullptr) return "the time zone of an RDATE is unknown";
      time_t start = unixTime(value.time, zone);
      add(start, start + event.length);
    } else if (!icaltime_is_null_time(value.period.start)) {
      icaltimezone* zone = zoneOf(p, value.period.start, zones);
      if (zone == nullptr) return "the time zone of an RDATE is unknown";
      time_t start = unixTime(value.period.start, zone);
      time_t end = icaltime_is_null_time(value.period.end)
                       ? start + icaldurationtype_as_int(value.period.duration)
                       : unixTime(value.period.end, zone);
      if (end < start) return "an RDATE period ends before it starts";
      add(start, end);
    }
  }
  if (found.size() > kMostOccurrences) {
    return "its rules yield over " + std::to_string(kMostOccurrences) + " occurrences within the window";
  }
  for (const auto& [start, end] : found) out->push_back({start, end});
  return "";
}

// True when an EXDATE of the event names the instance starting at `start`: a date-time by its
// moment, a date by the day in the event's zone.
bool excluded(const Reading& event, const Zones& zones, time_t start) {
  icaltimetype day = icaltime_from_timet_with_zone(start, 1, event.zone);
  for (icalproperty* p = icalcomponent_get_first_property(event.component, ICAL_EXDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event.component, ICAL_EXDATE_PROPERTY)) {
    icaltimetype value = icalproperty_get_exdate(p);
    if (value.is_date) {
      if (icaltime_compare_date_only(value, day) == 0) return true;
    } else if (icaltimezone* zone = zoneOf(p, value, zones); zone != nullptr && unixTime(value, zone) == start) {
      return true;
    }
  }
  return false;
}

ImportedEvent row(const Reading& event, time_t start, time_t end) {
  return {event.uid, event.summary, event.description, start, end, event.start.is_date != 0, event.availability, {}};
}

bool inWindow(time_t start, time_t end, ImportWindow window) { return end >= window.from && start <= window.to; }

// A recurring event's rows: the series (instances of its own length, the first one its row's
// dates) and a row of its own for each instance of another length.
void addSeries(const Reading& event, const std::vector<Instance>& instances, ImportPlan* plan) {
  std::vector<Instance> own;
  ImportedEvent series = row(event, 0, 0);
  for (const Instance& instance : instances) {
    if (instance.end - instance.start != event.length) {
      own.push_back(instance);
      continue;
    }
    if (series.occurrences.empty()) {
      series.start = instance.start;
      series.end = instance.end;
    }
    series.occurrences.push_back(instance.start);
  }
  if (!series.occurrences.empty()) plan->events.push_back(series);
  for (const Instance& instance : own) plan->events.push_back(row(event, instance.start, instance.end));
}

// One UID's master and overrides become rows.
void planUid(const std::vector<Reading>& readings, const Zones& zones, ImportWindow window, ImportPlan* plan) {
  const Reading* master = nullptr;
  std::map<time_t, const Reading*> overrides;  // by the start they replace
  for (const Reading& reading : readings) {
    if (!reading.recurrenceId) {
      if (master != nullptr) {
        plan->skipped.push_back(reading.label + ": a second event with the same UID");
        continue;
      }
      master = &reading;
    } else {
      overrides[*reading.recurrenceId] = &reading;
    }
  }
  if (master != nullptr && master->cancelled) {
    plan->skipped.push_back(master->label + ": cancelled (STATUS:CANCELLED)");
    return;
  }
  // Moved and re-timed occurrences are rows of their own; the later instances of a
  // THISANDFUTURE override follow it, shifted as it is and with its length and texts.
  std::map<const Reading*, std::vector<Instance>> followers;
  if (master != nullptr && master->recurs) {
    std::map<time_t, const Reading*> futures;  // THISANDFUTURE overrides, by the start they replace
    ImportWindow wide = window;  // instances that a THISANDFUTURE override shifts into the window
    for (const auto& [rid, override] : overrides) {
      if (!override->thisAndFuture) continue;
      futures[rid] = override;
      const time_t shift = override->startTime - rid;
      wide.from = std::min(wide.from, window.from - shift - override->length);
      wide.to = std::max(wide.to, window.to - shift);
    }
    std::vector<Instance> instances, kept;
    if (std::string why = expand(*master, zones, wide, &instances); !why.empty()) {
      plan->skipped.push_back(master->label + ": " + why);
      return;
    }
    for (const Instance& instance : instances) {
      if (excluded(*master, zones, instance.start) || overrides.count(instance.start) > 0) continue;
      auto later = futures.lower_bound(instance.start);
      const Reading* rule = later == futures.begin() ? nullptr : std::prev(later)->second;
      if (rule == nullptr) {
        if (inWindow(instance.start, instance.end, window)) kept.push_back(instance);
      } else if (!rule->cancelled) {
        time_t start = instance.start + rule->startTime - *rule->recurrenceId;
        if (inWindow(start, start + rule->length, window)) followers[rule].push_back({start, start + rule->length});
      }
    }
    if (!kept.empty()) {
      addSeries(*master, kept, plan);
    } else if (followers.empty()) {
      plan->skipped.push_back(master->label + ": no occurrence within the window");
    }
  } else if (master != nullptr && inWindow(master->startTime, master->startTime + master->length, window)) {
    plan->events.push_back(row(*master, master->startTime, master->startTime + master->length));
  }
  for (const auto& [rid, override] : overrides) {
    if (override->cancelled) continue;  // a cancelled occurrence is simply gone
    std::vector<Instance> instances;
    if (inWindow(override->startTime, override->startTime + override->length, window)) {
      instances.push_back({override->startTime, override->startTime + override->length});
    }
    const std::vector<Instance>& later = followers[override];
    instances.insert(instances.end(), later.begin(), later.end());
    if (instances.size() == 1 && later.empty()) {
      plan->events.push_back(row(*override, instances[0].start, instances[0].end));
    } else if (!instances.empty()) {
      addSeries(*override, instances, plan);
    }
  }
}

struct ComponentDeleter {
  void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};

void planCalendar(icalcomponent* calendar, ImportWindow window, const std::string& floatingZone, long* stepsLeft,
                  ImportPlan* plan) {
  if (plan->calendarName.empty()) plan->calendarName = xProperty(calendar, "X-WR-CALNAME").value_or("");
  Zones zones{calendar, nullptr, icaltimezone_get_builtin_timezone(floatingZone.c_str()), stepsLeft};
  if (zones.days == nullptr) zones.days = icaltimezone_get_utc_timezone();
  if (auto named = xProperty(calendar, "X-WR-TIMEZONE")) zones.floating = icaltimezone_get_builtin_timezone(named->c_str());
  if (zones.floating == nullptr) zones.floating = zones.days;

  std::map<std::string, std::vector<Reading>> byUid;
  std::vector<std::string> order;  // UIDs in the file's order
  for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c != nullptr;
       c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
    icalcomponent_kind kind = icalcomponent_isa(c);
    if (kind == ICAL_VTIMEZONE_COMPONENT) continue;
    if (kind != ICAL_VEVENT_COMPONENT) {
      plan->skipped.push_back(describe(c) + ": not an event");
      continue;
    }
    Reading reading;
    if (std::string why = read(c, zones, &reading); !why.empty()) {
      if (const char* uid = icalcomponent_get_uid(c)) plan->uids.insert(uid);
      plan->skipped.push_back(reading.label + ": " + why);
      continue;
    }
    plan->uids.insert(reading.uid);
    if (byUid.count(reading.uid) == 0) order.push_back(reading.uid);
    byUid[reading.uid].push_back(reading);
  }
  for (const std::string& uid : order) planUid(byUid[uid], zones, window, plan);
}

}  // namespace

size_t ImportPlan::occurrences() const {
  size_t total = 0;
  for (const ImportedEvent& event : events) total += event.occurrences.size();
  return total;
}

std::string calendarTextFault(const std::string& text) {
  if (size_t nul = text.find('\0'); nul != std::string::npos) {
    return "it holds binary data (a NUL byte at offset " + std::to_string(nul) + "), not iCalendar text";
  }
  if (size_t bad = invalidUtf8(text); bad != std::string::npos) {
    size_t line = 1 + std::count(text.begin(), text.begin() + static_cast<long>(bad), '\n');
    return "it is not valid UTF-8 (line " + std::to_string(line) + ", byte offset " + std::to_string(bad) + ")";
  }
  std::vector<std::string> open;
  size_t lineNumber = 0;
  for (size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string head = upper(line.substr(0, 6));
    if (open.empty() && lineNumber == 1 && upper(line) != "BEGIN:VCALENDAR") {
      return "it is not an iCalendar file: it does not begin with BEGIN:VCALENDAR";
    }
    if (head == "BEGIN:") {
      open.push_back(upper(line.substr(6)));
      if (open.size() > static_cast<size_t>(kDeepestNesting)) {
        return "its components nest deeper than " + std::to_string(kDeepestNesting) + " (line " + std::to_string(lineNumber) + ")";
      }
    } else if (head.compare(0, 4, "END:") == 0) {
      std::string name = upper(line.substr(4));
      if (open.empty() || open.back() != name) {
        return "line " + std::to_string(lineNumber) + " ends " + name + " where " +
               (open.empty() ? std::string("nothing") : open.back()) + " is open";
      }
      open.pop_back();
    } else if (open.empty() && !line.empty()) {
      return "line " + std::to_string(lineNumber) + " lies outside every VCALENDAR";
    }
  }
  if (lineNumber == 0) return "it is empty";
  if (!open.empty()) return "it ends inside " + open.back() + ": the file is truncated";
  return "";
}

ImportPlan planImport(const std::string& text, ImportWindow window, const std::string& floatingZone) {
  ImportPlan plan;
  window.from = std::max(window.from, kEarliest);
  window.to = std::min(window.to, kLatest);
  icalerror_set_errors_are_fatal(0);
  std::unique_ptr<icalcomponent, ComponentDeleter> root(icalparser_parse_string(text.c_str()));
  if (root == nullptr) return plan;
  long stepsLeft = kMostFileSteps;
  if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
    planCalendar(root.get(), window, floatingZone, &stepsLeft, &plan);
  } else {
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c != nullptr;
         c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT)) {
      planCalendar(c, window, floatingZone, &stepsLeft, &plan);
    }
  }
  return plan;
}
