// phonesim timeline ROOT [--from T --to T] [--svg FILE]: a picture of a span. One row per
// occurrence, each judged by the settings in force at its start (those that do not qualify
// greyed, with the reason; those still ahead drawn as such), the silence as the phone lived it,
// the wakes the daemon scheduled and its passes as ticks, and where the silence and the past of
// the qualifying events disagree by more than a minute.
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "phonesim/Commands.h"
#include "phonesim/calendar/CalendarVerdicts.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/text/Moment.h"
#include "phonesim/history/PhoneHistory.h"
#include "phonesim/history/PhoneState.h"
#include "phonesim/history/SettingsJournal.h"
#include "phonesim/text/PrintableText.h"
#include "phonesim/history/SystemLogFile.h"
#include "phonesim/text/TimeAxis.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/SystemVersion.h"
#include "platform/SimState/SimState.h"
#include "daemon/CalendarRow.h"
#include "settings-store/SettingsPaths.h"

namespace {

constexpr time_t kDisagreement = 60;  // seconds of difference worth a mark
constexpr const char* kNeverBooted = "Never booted: no settings were recorded, every event is judged by today's.";

// An occurrence as the picture shows it.
struct Bar {
  CalendarEntry entry;
  bool ahead = false;   // starts after now: nothing to compare yet
  std::string verdict;  // for the reader: the reason it does not qualify, or what it does
};

// Where the silence and the qualifying events disagree, and how.
struct Mismatch {
  Interval span;
  std::string what;
};

std::vector<Mismatch> mismatches(const std::vector<Interval>& qualifying, const std::vector<Interval>& silences) {
  std::vector<Mismatch> found;
  for (const Interval& missed : uncovered(qualifying, silences, kDisagreement)) {
    bool silencedThen = std::any_of(silences.begin(), silences.end(), [&](const Interval& s) { return s.from == missed.to; });
    found.push_back({missed, silencedThen ? "silenced late" : "not silenced"});
  }
  for (const Interval& extra : uncovered(silences, qualifying, kDisagreement)) {
    bool afterEnd = std::any_of(qualifying.begin(), qualifying.end(), [&](const Interval& q) { return q.to == extra.from; });
    found.push_back({extra, afterEnd ? "given back late" : "silenced with no event"});
  }
  std::sort(found.begin(), found.end(), [](const Mismatch& a, const Mismatch& b) { return a.span.from < b.span.from; });
  return found;
}

// The span's events, one per occurrence, each judged with the settings in force at its start:
// the journal's where it reaches, today's elsewhere.
std::vector<Bar> bars(sqlite3* db, const std::string& table, time_t from, time_t to, time_t now,
                      const SettingsJournal& journal, std::string* error) {
  const PhoneState today = currentState();
  std::map<int, std::vector<CalendarEntry>> byChoice;
  auto judged = [&](int choice) -> const std::vector<CalendarEntry>& {
    if (!byChoice.count(choice)) byChoice[choice] = calendarEntries(db, table, choice, from, to, from, error);
    return byChoice[choice];
  };
  const std::vector<CalendarEntry>& all = judged(today.calendarChoice);
  std::vector<Bar> found;
  for (size_t i = 0; i < all.size(); ++i) {
    std::optional<SettingsRecord> then = settingsAt(journal, static_cast<double>(all[i].start));
    PhoneState state = then ? stateFromSettings(then->settings, then->marker) : today;
    const std::vector<CalendarEntry>& list = judged(state.calendarChoice);
    Bar bar{i < list.size() ? list[i] : all[i], all[i].start > now, ""};
    if (bar.entry.qualifies && !state.enabled) {
      bar.entry.qualifies = false;
      bar.entry.verdict = "Mutaro disabled";
    }
    bar.verdict = !bar.entry.qualifies ? bar.entry.verdict : bar.ahead ? "will silence" : "silences";
    found.push_back(std::move(bar));
  }
  return found;
}

std::string clock(time_t moment) { return localTimeStamp(moment).substr(11); }

// The span as a row of `width` cells; each cell covers an equal slice of it.
class Row {
 public:
  Row(time_t from, time_t to, int width) : from_(from), to_(to), cells_(static_cast<size_t>(width), " ") {}
  void fill(Interval interval, const char* mark) {
    for (size_t i = 0; i < cells_.size(); ++i) {
      if (interval.to >= cellStart(i) && interval.from < cellStart(i + 1)) cells_[i] = mark;
    }
  }
  void tick(time_t moment, const char* mark) { fill({moment, moment}, mark); }
  std::string text() const {
    std::string line;
    for (const std::string& cell : cells_) line += cell;
    return line;
  }

 private:
  time_t cellStart(size_t i) const { return from_ + static_cast<time_t>((to_ - from_) * static_cast<double>(i) / cells_.size()); }
  time_t from_, to_;
  std::vector<std::string> cells_;
};

// A line of `width` columns with `text` written from `column`, if it fits there whole.
void place(std::string* line, size_t column, const std::string& text, size_t width) {
  if (column + text.size() > width || line->substr(column, text.size()).find_first_not_of(' ') != std::string::npos) return;
  if (column > 0 && (*line)[column - 1] != ' ') return;
  line->replace(column, text.size(), text);
}

int terminalColumns() {
  struct winsize size = {};
  int columns = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  if (const char* wanted = std::getenv("COLUMNS")) columns = std::atoi(wanted);
  return std::clamp(columns, 40, 1000);
}

// The row's start as short as the span allows: "09:00" within a day, "Mon 09:00" within a
// week, "12-07 09:00" beyond.
std::string barLabel(const Bar& bar, time_t span) {
  struct tm parts;
  localtime_r(&bar.entry.start, &parts);
  char when[32];
  std::strftime(when, sizeof when, span <= 86400 ? "%H:%M" : span <= 7 * 86400 ? "%a %H:%M" : "%m-%d %H:%M", &parts);
  return std::string(when) + " " + bar.entry.title + (bar.entry.qualifies ? "" : " (" + bar.entry.verdict + ")");
}

void printTerminal(time_t from, time_t to, const std::vector<Bar>& shown, const PhoneHistory& history,
                   const std::vector<Interval>& booted, const std::vector<Mismatch>& found) {
  const int columns = terminalColumns();
  const size_t labelWidth = static_cast<size_t>(std::clamp(columns * 3 / 10, 16, 40));
  const int width = columns - static_cast<int>(labelWidth) - 1;
  const bool longSpan = to - from > 86400;
  auto column = [&](time_t moment) { return static_cast<size_t>((moment - from) * static_cast<double>(width) / (to - from)); };
  auto line = [&](const std::string& label, const std::string& row) {
    std::printf("%s %s\n", fitColumns(label, labelWidth).c_str(), row.c_str());
  };
  std::printf("%s\n", clipColumns("Timeline from " + localTimeStamp(from) + " to " + localTimeStamp(to), columns).c_str());
  // The marks, with the date above them wherever a new day begins under marks of the clock.
  std::vector<Tick> ticks = timeAxis(from, to, width, 1);
  std::string axis(static_cast<size_t>(width), ' '), dates(static_cast<size_t>(width), ' ');
  const bool clockMarks = !ticks.empty() && ticks.front().label.find(':') != std::string::npos;
  if (clockMarks && startOfDay(from) != startOfDay(to) && startOfDay(from) != from) place(&dates, 0, dayLabel(from), width);
  for (const Tick& tick : ticks) {
    place(&axis, column(tick.at), tick.label, width);
    if (clockMarks && tick.newDay) place(&dates, column(tick.at), dayLabel(tick.at), width);
  }
  if (dates.find_first_not_of(' ') != std::string::npos) line("", dates);
  line("", axis);
  for (const Bar& bar : shown) {
    Row row(from, to, width);
    row.fill({bar.entry.start, bar.entry.end}, !bar.entry.qualifies ? "░" : bar.ahead ? "▒" : "█");
    line(barLabel(bar, to - from), row.text());
  }
  Row silence(from, to, width), wakes(from, to, width), runs(from, to, width), disagree(from, to, width);
  for (const Interval& interval : history.silences) silence.fill(interval, "█");
  for (time_t wake : history.scheduledWakes) wakes.tick(wake, "↑");
  for (const DaemonPass& run : history.daemonPasses) runs.tick(run.at, "╎");
  for (const Mismatch& mismatch : found) disagree.fill(mismatch.span, "!");
  Row on(from, to, width);
  for (const Interval& span : booted) on.fill(span, "─");
  line("phone booted", on.text());
  line("silenced", silence.text());
  line("wakes scheduled", wakes.text());
  line("daemon passes", runs.text());
  if (!found.empty()) line("disagreement", disagree.text());
  std::printf("%s\n", clipColumns("█ silences  ▒ ahead  ░ does not qualify  ↑ wake  ╎ pass  ! disagreement", columns).c_str());
  if (booted.empty()) std::printf("%s\n", clipColumns(kNeverBooted, columns).c_str());
  for (const Mismatch& mismatch : found) {
    std::string span = longSpan ? localTimeStamp(mismatch.span.from).substr(5) + " to " + localTimeStamp(mismatch.span.to).substr(5)
                                : clock(mismatch.span.from) + " to " + clock(mismatch.span.to);
    std::printf("%s\n", clipColumns("  ! " + mismatch.what + " " + span, columns).c_str());
  }
}

// Fonts a desktop has, Latin first, then CJK: every script finds one, nothing is fetched. The
// emoji fonts are kept to the emoji alone: named for the whole text, some renderers take their
// digits for the keycap emoji.
constexpr const char* kFonts =
    "'DejaVu Sans', 'Noto Sans', 'Segoe UI', 'Helvetica Neue', Arial, 'Noto Sans CJK SC', 'Noto Sans CJK JP', "
    "'Source Han Sans SC', 'PingFang SC', 'Hiragino Sans', 'Microsoft YaHei', 'Yu Gothic', 'WenQuanYi Micro Hei', "
    "sans-serif";
constexpr const char* kEmojiFonts = "'Noto Color Emoji', 'Apple Color Emoji', 'Segoe UI Emoji', 'Twemoji Mozilla', sans-serif";

// A label's text, escaped, each run of emoji (U+1F000 and on) in the emoji fonts.
std::string svgLabel(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    size_t run = i;
    while (run + 3 < text.size() && static_cast<unsigned char>(text[run]) == 0xf0 &&
           static_cast<unsigned char>(text[run + 1]) == 0x9f) {
      run += 4;
    }
    if (run > i) {
      out += std::string("<tspan font-family=\"") + kEmojiFonts + "\">" + xmlText(text.substr(i, run - i)) + "</tspan>";
      i = run;
      continue;
    }
    size_t next = text.find("\xf0\x9f", i + 1);
    out += xmlText(text.substr(i, next == std::string::npos ? std::string::npos : next - i));
    i = next == std::string::npos ? text.size() : next;
  }
  return out;
}

// A self-contained picture 1400 px wide: no script, no font but the reader's own.
std::string svg(time_t from, time_t to, time_t now, const std::vector<Bar>& shown, const PhoneHistory& history,
                const std::vector<Interval>& booted, const std::vector<Mismatch>& found) {
  constexpr int kLeft = 320, kWidth = 1060, kRow = 22, kTop = 50, kLabel = kLeft - 12;
  const int rows = static_cast<int>(shown.size()) + 4;
  const int height = kTop + kRow * rows + 80;
  auto x = [&](time_t moment) {
    double at = static_cast<double>(std::clamp(moment, from, to) - from) / static_cast<double>(std::max<time_t>(1, to - from));
    return kLeft + static_cast<int>(at * kWidth);
  };
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kLeft + kWidth + 20 << "\" height=\"" << height
      << "\" font-family=\"" << kFonts << "\" font-size=\"12\">\n<title>Timeline from " << localTimeStamp(from)
      << " to " << localTimeStamp(to) << "</title>\n"
      << "<defs><clipPath id=\"labels\"><rect x=\"0\" y=\"0\" width=\"" << kLabel << "\" height=\"" << height
      << "\"/></clipPath>\n<pattern id=\"ahead\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\">"
      << "<rect width=\"6\" height=\"6\" fill=\"#dce8f8\"/><path d=\"M0 6L6 0\" stroke=\"#3a7bd5\"/></pattern></defs>\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  // The axis: a line per mark across the rows, its label above, and the date where a day begins.
  const int bottom = kTop + kRow * rows;
  std::vector<Tick> ticks = timeAxis(from, to, kWidth, 7);
  const bool clockMarks = !ticks.empty() && ticks.front().label.find(':') != std::string::npos;
  out << "<g class=\"axis\" fill=\"#333\" font-size=\"11\">\n";
  if (clockMarks && startOfDay(from) != startOfDay(to) && startOfDay(from) != from) {
    out << "<text x=\"" << kLeft << "\" y=\"16\" font-weight=\"bold\">" << dayLabel(from) << "</text>\n";
  }
  for (const Tick& tick : ticks) {
    if (x(tick.at) + 7 * static_cast<int>(tick.label.size()) > kLeft + kWidth + 18) break;  // no room left for its label
    out << "<line x1=\"" << x(tick.at) << "\" x2=\"" << x(tick.at) << "\" y1=\"" << kTop - 6 << "\" y2=\"" << bottom
        << "\" stroke=\"" << (tick.newDay ? "#999" : "#e4e4e4") << "\"/><text x=\"" << x(tick.at) + 2 << "\" y=\""
        << kTop - 10 << "\">" << tick.label << "</text>\n";
    if (clockMarks && tick.newDay) {
      out << "<text x=\"" << x(tick.at) + 2 << "\" y=\"16\" font-weight=\"bold\">" << dayLabel(tick.at) << "</text>\n";
    }
  }
  out << "</g>\n";
  int y = kTop;
  auto rowLabel = [&](const std::string& text, const char* color) {
    out << "<text x=\"6\" y=\"" << y + 15 << "\" fill=\"" << color << "\" clip-path=\"url(#labels)\">" << svgLabel(text)
        << "</text>\n";
  };
  for (const Bar& bar : shown) {
    const CalendarEntry& entry = bar.entry;
    rowLabel(barLabel(bar, to - from), entry.qualifies ? "black" : "gray");
    const char* kind = !entry.qualifies ? "event other" : bar.ahead ? "event ahead" : "event";
    const char* fill = !entry.qualifies ? "#cccccc" : bar.ahead ? "url(#ahead)" : "#3a7bd5";
    out << "<rect class=\"" << kind << "\" x=\"" << x(entry.start) << "\" y=\"" << y + 4 << "\" width=\""
        << std::max(2, x(entry.end) - x(entry.start)) << "\" height=\"14\" fill=\"" << fill << "\"><title>"
        << xmlText(entry.title) << ": " << localTimeStamp(entry.start) << " to " << localTimeStamp(entry.end) << ", "
        << xmlText(bar.verdict) << "</title></rect>\n";
    y += kRow;
  }
  rowLabel("phone booted", "black");
  for (const Interval& span : booted) {
    if (span.to < from || span.from > to) continue;
    out << "<rect class=\"booted\" x=\"" << x(span.from) << "\" y=\"" << y + 9 << "\" width=\""
        << std::max(2, x(span.to) - x(span.from)) << "\" height=\"4\" fill=\"#888888\"><title>booted "
        << localTimeStamp(span.from) << " to " << localTimeStamp(span.to) << "</title></rect>\n";
  }
  y += kRow;
  rowLabel("silenced", "black");
  for (const Interval& silence : history.silences) {
    if (silence.to < from || silence.from > to) continue;
    out << "<rect class=\"silence\" x=\"" << x(silence.from) << "\" y=\"" << y + 4 << "\" width=\""
        << std::max(2, x(silence.to) - x(silence.from)) << "\" height=\"14\" fill=\"#d9534f\"><title>silenced "
        << localTimeStamp(silence.from) << " to " << localTimeStamp(silence.to) << "</title></rect>\n";
  }
  y += kRow;
  const std::vector<time_t> runs = [&] {
    std::vector<time_t> moments;
    for (const DaemonPass& run : history.daemonPasses) moments.push_back(run.at);
    return moments;
  }();
  for (const auto& [name, moments, color] : {std::tuple{"wakes scheduled", &history.scheduledWakes, "#5cb85c"},
                                             std::tuple{"daemon passes", &runs, "#555555"}}) {
    rowLabel(name, "black");
    for (time_t moment : *moments) {
      if (moment < from || moment > to) continue;
      out << "<line class=\"tick\" x1=\"" << x(moment) << "\" x2=\"" << x(moment) << "\" y1=\"" << y + 4 << "\" y2=\""
          << y + 18 << "\" stroke=\"" << color << "\"><title>" << localTimeStamp(moment) << "</title></line>\n";
    }
    y += kRow;
  }
  for (const Mismatch& mismatch : found) {
    out << "<rect class=\"disagreement\" x=\"" << x(mismatch.span.from) - 1 << "\" y=\"" << kTop << "\" width=\""
        << std::max(2, x(mismatch.span.to) - x(mismatch.span.from)) + 2 << "\" height=\"" << y - kTop
        << "\" fill=\"none\" stroke=\"red\" stroke-dasharray=\"4 2\"><title>" << mismatch.what << " "
        << localTimeStamp(mismatch.span.from) << " to " << localTimeStamp(mismatch.span.to) << "</title></rect>\n";
  }
  if (from <= now && now <= to) {
    out << "<line class=\"now\" x1=\"" << x(now) << "\" x2=\"" << x(now) << "\" y1=\"" << kTop - 6 << "\" y2=\"" << y
        << "\" stroke=\"#e08000\" stroke-width=\"2\"><title>now, " << localTimeStamp(now) << "</title></line>\n";
  }
  // The legend, one swatch per kind of mark.
  y += 20;
  out << "<g class=\"legend\">\n";
  int legendX = 6;
  for (const auto& [fill, stroke, text] : {std::tuple{"#3a7bd5", "none", "silences"}, std::tuple{"url(#ahead)", "none", "ahead"},
                                           std::tuple{"#cccccc", "none", "does not qualify"},
                                           std::tuple{"#d9534f", "none", "silenced"},
                                           std::tuple{"none", "red", "disagreement"}, std::tuple{"#e08000", "none", "now"}}) {
    out << "<rect x=\"" << legendX << "\" y=\"" << y << "\" width=\"18\" height=\"12\" fill=\"" << fill << "\" stroke=\""
        << stroke << "\"/><text x=\"" << legendX + 24 << "\" y=\"" << y + 11 << "\">" << text << "</text>\n";
    legendX += 40 + 8 * static_cast<int>(std::string(text).size());
  }
  out << "</g>\n";
  if (booted.empty()) out << "<text x=\"6\" y=\"" << y + 34 << "\" fill=\"#555\">" << kNeverBooted << "</text>\n";
  out << "</svg>\n";
  return out.str();
}

int fail(const std::string& message, int status = 1) { return commandFailed("timeline", message, status); }

// A command line that asks for what cannot be.
int misuse(const std::string& message) { return fail(message, 2); }

}  // namespace

int timelineCommand(const TimelineOptions& options) {
  std::optional<std::string> phone = openPhone("timeline", options.root);
  if (!phone) return 1;
  const time_t now = time(nullptr);
  std::string error;
  time_t from = 0, to = 0;
  // Without --to, the day that --from starts.
  std::optional<time_t> start = options.from.empty() ? startOfDay(now) : parseMoment(options.from, now, &error);
  if (!start) return misuse("--from " + error);
  if (!parseSpan(options.from, options.to, now, *start, *start + 86399, &from, &to, &error)) return misuse(error);

  const std::string table = std::atoi(systemVersionText().c_str()) < 5 ? "event" : "CalendarItem";
  sqlite3* db = nullptr;
  sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  error.clear();
  const SettingsJournal journal = readSettingsJournal(simRead(kSettingsJournal), static_cast<double>(now));
  std::vector<Bar> shown = bars(db, table, from, to, now, journal, &error);
  sqlite3_close(db);
  if (!error.empty()) std::fprintf(stderr, "phonesim timeline: the calendar cannot be read: %s\n", error.c_str());

  std::string logError;
  LogSpan log = readSystemLogSpan(from, to, &logError);
  if (!logError.empty()) std::fprintf(stderr, "phonesim timeline: no log to draw the phone's history from: %s\n", logError.c_str());
  if (!log.cut.empty()) std::fprintf(stderr, "phonesim timeline: %s\n", log.cut.c_str());
  PhoneHistory history = readHistory(log.text, std::min(now, to));
  // Only what the phone lived is compared: the span's past, while it was on (booted, by the
  // journal; or all of it for a phone whose programs were only ever run by hand).
  const time_t lived = std::min(now, to);
  std::vector<Interval> booted;
  for (const auto& [boot, off] : journal.booted) booted.push_back({static_cast<time_t>(boot), static_cast<time_t>(off) + 1});
  std::vector<Interval> on = booted;
  if (journal.booted.empty() && history.logBegins > 0) on.push_back({from, now});
  std::vector<Interval> qualifying;
  for (Bar& bar : shown) {
    if (!bar.entry.qualifies || bar.entry.start > lived || bar.entry.end < from) continue;
    Interval past = {std::max(bar.entry.start, from), std::min(bar.entry.end, lived)};
    bool watched = false;
    for (const Interval& span : on) {
      if (span.to >= past.from && span.from <= past.to) {
        qualifying.push_back({std::max(past.from, span.from), std::min(past.to, span.to)});
        watched = true;
      }
    }
    if (!watched) bar.verdict += " (the phone was off)";
  }
  std::vector<Interval> silences;
  for (const Interval& silence : history.silences) {
    if (silence.to >= from && silence.from <= to) silences.push_back({std::max(silence.from, from), std::min(silence.to, to)});
  }
  std::vector<Mismatch> found = mismatches(qualifying, silences);

  if (options.svg.empty()) {
    printTerminal(from, to, shown, history, booted, found);
    return 0;
  }
  // Replaced whole, never through a link that stands at the name.
  if (!replaceFile(options.svg, existingModeOr(options.svg, 0666), svg(from, to, now, shown, history, booted, found))) {
    return fail("cannot write " + terminalText(options.svg) + ": " + std::strerror(errno));
  }
  std::printf("phonesim timeline: %s written (%zu events)\n", options.svg.c_str(), shown.size());
  return 0;
}
