// phonesim timeline ROOT [--from T --to T] [--svg FILE]: a picture of a span. One row per event
// (those that do not qualify greyed, with the reason), the silence as the phone lived it, the
// wakes the daemon scheduled and its runs as ticks, and where the silence and the qualifying
// events disagree by more than a minute.
#include <sqlite3.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "Commands.h"
#include "phonesim/PrintableText.h"
#include "daemon/CalendarRow.h"
#include "phonesim/CalendarVerdicts.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/Moment.h"
#include "phonesim/PhoneHistory.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/SystemVersion.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace {

constexpr time_t kDisagreement = 60;  // seconds of difference worth a mark

// Where the silence and the qualifying events disagree, and how.
struct Mismatch {
  Interval span;
  std::string what;
};

std::vector<Mismatch> mismatches(const std::vector<Interval>& qualifying, const std::vector<Interval>& silences) {
  std::vector<Mismatch> found;
  for (const Interval& missed : uncovered(qualifying, silences, kDisagreement)) {
    bool atStart = std::any_of(qualifying.begin(), qualifying.end(), [&](const Interval& q) { return q.from == missed.from; });
    found.push_back({missed, atStart ? "silenced late" : "not silenced during an event"});
  }
  for (const Interval& extra : uncovered(silences, qualifying, kDisagreement)) {
    bool afterEnd = std::any_of(qualifying.begin(), qualifying.end(), [&](const Interval& q) { return q.to == extra.from; });
    found.push_back({extra, afterEnd ? "given back late" : "silenced with no event"});
  }
  return found;
}

std::string clock(time_t moment) { return localTimeStamp(moment).substr(11, 5); }

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

std::string label(const std::string& text, size_t width) { return fitColumns(text, static_cast<int>(width)); }

void printTerminal(time_t from, time_t to, const std::vector<CalendarEntry>& entries, const PhoneHistory& history,
                   const std::vector<Mismatch>& found) {
  struct winsize size = {};
  int columns = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 100;
  if (const char* wanted = std::getenv("COLUMNS")) columns = std::max(40, std::atoi(wanted));
  constexpr size_t kLabel = 26;
  const int width = std::max(10, columns - static_cast<int>(kLabel) - 1);
  std::printf("Timeline from %s to %s\n", localTimeStamp(from).c_str(), localTimeStamp(to).c_str());
  // Marks at round moments, about every 12 columns; with seconds when the span is short.
  const bool seconds = to - from < 2 * 3600;
  const size_t markWidth = seconds ? 8 : 5;
  time_t step = 1;
  for (time_t round : {1, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 21600, 43200, 86400}) {
    step = round;
    if ((to - from) * 12 / width <= round) break;
  }
  std::string axis(static_cast<size_t>(width) + markWidth, ' ');
  for (time_t mark = (from + step - 1) / step * step; mark <= to; mark += step) {
    size_t column = static_cast<size_t>((mark - from) * width / (to - from));
    axis.replace(column, markWidth, localTimeStamp(mark).substr(11, markWidth));
  }
  std::printf("%s %s\n", label("", kLabel).c_str(), axis.c_str());
  for (const CalendarEntry& entry : entries) {
    Row row(from, to, width);
    row.fill({entry.start, entry.end}, entry.qualifies ? "█" : "░");
    std::string name = clock(entry.start) + " " + entry.title + (entry.qualifies ? "" : " (" + entry.verdict + ")");
    std::printf("%s %s\n", label(name, kLabel).c_str(), row.text().c_str());
  }
  Row silence(from, to, width), wakes(from, to, width), runs(from, to, width), disagree(from, to, width);
  for (const Interval& interval : history.silences) silence.fill(interval, "█");
  for (time_t wake : history.scheduledWakes) wakes.tick(wake, "↑");
  for (time_t run : history.daemonRuns) runs.tick(run, "╎");
  for (const Mismatch& mismatch : found) disagree.fill(mismatch.span, "!");
  std::printf("%s %s\n%s %s\n%s %s\n", label("silenced", kLabel).c_str(), silence.text().c_str(),
              label("wakes scheduled", kLabel).c_str(), wakes.text().c_str(), label("daemon runs", kLabel).c_str(),
              runs.text().c_str());
  if (!found.empty()) std::printf("%s %s\n", label("disagreement", kLabel).c_str(), disagree.text().c_str());
  for (const Mismatch& mismatch : found) {
    std::printf("  ! %s from %s to %s\n", mismatch.what.c_str(), localTimeStamp(mismatch.span.from).c_str(),
                localTimeStamp(mismatch.span.to).c_str());
  }
}

// A self-contained picture: no script, no font but the reader's own sans-serif.
std::string svg(time_t from, time_t to, const std::vector<CalendarEntry>& entries, const PhoneHistory& history,
                const std::vector<Mismatch>& found) {
  constexpr int kLeft = 220, kWidth = 760, kRow = 24;
  const int height = kRow * static_cast<int>(entries.size() + 5);
  auto x = [&](time_t moment) {
    double at = static_cast<double>(std::clamp(moment, from, to) - from) / static_cast<double>(std::max<time_t>(1, to - from));
    return kLeft + static_cast<int>(at * kWidth);
  };
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kLeft + kWidth + 20 << "\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n<title>Timeline from " << localTimeStamp(from) << " to "
      << localTimeStamp(to) << "</title>\n";
  int y = kRow;
  auto rowLabel = [&](const std::string& text, const char* color) {
    out << "<text x=\"4\" y=\"" << y + 15 << "\" fill=\"" << color << "\">" << xmlText(text) << "</text>\n";
  };
  for (const CalendarEntry& entry : entries) {
    rowLabel(clock(entry.start) + " " + entry.title + (entry.qualifies ? "" : " (" + entry.verdict + ")"),
             entry.qualifies ? "black" : "gray");
    out << "<rect class=\"" << (entry.qualifies ? "event" : "event other") << "\" x=\"" << x(entry.start) << "\" y=\""
        << y + 4 << "\" width=\"" << std::max(1, x(entry.end) - x(entry.start)) << "\" height=\"16\" fill=\""
        << (entry.qualifies ? "#3a7bd5" : "#cccccc") << "\"><title>" << xmlText(entry.title) << ": "
        << localTimeStamp(entry.start) << " to " << localTimeStamp(entry.end) << ", " << xmlText(entry.verdict)
        << "</title></rect>\n";
    y += kRow;
  }
  rowLabel("silenced", "black");
  for (const Interval& silence : history.silences) {
    out << "<rect class=\"silence\" x=\"" << x(silence.from) << "\" y=\"" << y + 4 << "\" width=\""
        << std::max(1, x(silence.to) - x(silence.from)) << "\" height=\"16\" fill=\"#d9534f\"><title>silenced "
        << localTimeStamp(silence.from) << " to " << localTimeStamp(silence.to) << "</title></rect>\n";
  }
  y += kRow;
  for (const auto& [name, moments, color] : {std::tuple{"wakes scheduled", &history.scheduledWakes, "#5cb85c"},
                                             std::tuple{"daemon runs", &history.daemonRuns, "#555555"}}) {
    rowLabel(name, "black");
    for (time_t moment : *moments) {
      out << "<line class=\"tick\" x1=\"" << x(moment) << "\" x2=\"" << x(moment) << "\" y1=\"" << y + 4 << "\" y2=\""
          << y + 20 << "\" stroke=\"" << color << "\"><title>" << localTimeStamp(moment) << "</title></line>\n";
    }
    y += kRow;
  }
  for (const Mismatch& mismatch : found) {
    out << "<rect class=\"disagreement\" x=\"" << x(mismatch.span.from) << "\" y=\"" << kRow << "\" width=\""
        << std::max(1, x(mismatch.span.to) - x(mismatch.span.from)) << "\" height=\"" << y - kRow
        << "\" fill=\"none\" stroke=\"red\" stroke-dasharray=\"4 2\"><title>" << mismatch.what << "</title></rect>\n";
  }
  out << "</svg>\n";
  return out.str();
}

int fail(const std::string& message, int status = 1) {
  std::fprintf(stderr, "phonesim timeline: %s\n", message.c_str());
  return status;
}

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

  int calendarChoice = 0;
  if (auto settings = NSMutableDictionary::initWithContentsOfFile(kSettingsPath)) {
    calendarChoice = settings->intForKey(kCalendarID).value_or(0);
  }
  const std::string table = std::atoi(systemVersionText().c_str()) < 5 ? "event" : "CalendarItem";
  sqlite3* db = nullptr;
  sqlite3_open_v2(devicePath(kCalendarDatabasePath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  error.clear();
  // The verdicts without the moment: "not started" and "ended" say nothing over a span.
  std::vector<CalendarEntry> entries = calendarEntries(db, table, calendarChoice, from, to, from, &error);
  sqlite3_close(db);
  if (!error.empty()) std::fprintf(stderr, "phonesim timeline: the calendar cannot be read: %s\n", error.c_str());

  std::string log;
  readWholeFile(devicePath(kSystemLogPath), &log);
  PhoneHistory history = readHistory(log, std::min(now, to));
  std::vector<Interval> qualifying;
  for (const CalendarEntry& entry : entries) {
    if (entry.qualifies) qualifying.push_back({std::max(entry.start, from), std::min(entry.end, to)});
  }
  std::vector<Interval> silences;
  for (const Interval& silence : history.silences) {
    if (silence.to >= from && silence.from <= to) silences.push_back({std::max(silence.from, from), std::min(silence.to, to)});
  }
  std::vector<Mismatch> found = mismatches(qualifying, silences);

  if (options.svg.empty()) {
    printTerminal(from, to, entries, history, found);
    return 0;
  }
  std::ofstream file(options.svg, std::ios::binary | std::ios::trunc);
  file << svg(from, to, entries, history, found);
  if (!file) return fail("cannot write " + options.svg);
  std::printf("phonesim timeline: %s written (%zu events)\n", options.svg.c_str(), entries.size());
  return 0;
}
