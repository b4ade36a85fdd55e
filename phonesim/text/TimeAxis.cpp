#include "phonesim/text/TimeAxis.h"

#include <cstdio>
#include <iterator>

namespace {

enum class Label { Seconds, Minutes, Weekday, Day, Month, Year };

struct Step {
  time_t seconds;  // within a day, from its local midnight; 0 for steps of calendar units
  int days;        // steps of whole days (1, 2, 7: weeks begin on Monday)
  int months;      // steps of months (12: years)
  Label format;
};

constexpr Step kSteps[] = {
    {1, 0, 0, Label::Seconds},     {5, 0, 0, Label::Seconds},     {10, 0, 0, Label::Seconds},   {15, 0, 0, Label::Seconds},
    {30, 0, 0, Label::Seconds},    {60, 0, 0, Label::Minutes},       {120, 0, 0, Label::Minutes},     {300, 0, 0, Label::Minutes},
    {600, 0, 0, Label::Minutes},      {900, 0, 0, Label::Minutes},      {1800, 0, 0, Label::Minutes},    {3600, 0, 0, Label::Minutes},
    {7200, 0, 0, Label::Minutes},     {10800, 0, 0, Label::Minutes},    {21600, 0, 0, Label::Minutes},   {43200, 0, 0, Label::Minutes},
    {0, 1, 0, Label::Weekday},     {0, 1, 0, Label::Day},        {0, 2, 0, Label::Day},       {0, 7, 0, Label::Day},
    {0, 0, 1, Label::Month},        {0, 0, 3, Label::Month},        {0, 0, 6, Label::Month},       {0, 0, 12, Label::Year},
    {0, 0, 24, Label::Year},        {0, 0, 60, Label::Year},        {0, 0, 120, Label::Year},      {0, 0, 600, Label::Year},
};

time_t localMidnight(struct tm parts, int addDays, int addMonths) {
  parts.tm_mday += addDays;
  parts.tm_mon += addMonths;
  parts.tm_hour = parts.tm_min = parts.tm_sec = 0;
  parts.tm_isdst = -1;
  return mktime(&parts);
}

std::string format(time_t moment, Label label) {
  struct tm parts;
  localtime_r(&moment, &parts);
  char text[32];
  switch (label) {
    case Label::Seconds: std::strftime(text, sizeof text, "%H:%M:%S", &parts); break;
    case Label::Minutes: std::strftime(text, sizeof text, "%H:%M", &parts); break;
    case Label::Weekday: std::strftime(text, sizeof text, "%a %m-%d", &parts); break;
    case Label::Day: std::strftime(text, sizeof text, "%m-%d", &parts); break;
    case Label::Month: std::strftime(text, sizeof text, "%Y-%m", &parts); break;
    case Label::Year: std::strftime(text, sizeof text, "%Y", &parts); break;
  }
  return text;
}

std::vector<Tick> marks(time_t from, time_t to, const Step& step, size_t most) {
  std::vector<Tick> ticks;
  struct tm parts;
  localtime_r(&from, &parts);
  time_t day = localMidnight(parts, 0, 0);
  if (step.months > 0) {
    parts.tm_mday = 1;
    parts.tm_mon -= parts.tm_mon % step.months;
    if (step.months >= 12) {
      parts.tm_mon = 0;
      parts.tm_year -= (parts.tm_year + 1900) % (step.months / 12);
    }
  }
  for (int k = 0; ticks.size() <= most; ++k) {
    time_t at = 0;
    bool newDay = true;
    if (step.months > 0) {
      at = localMidnight(parts, 0, k * step.months);
    } else if (step.days > 0) {
      at = localMidnight(parts, k, 0);
      struct tm that;
      localtime_r(&at, &that);
      if ((step.days == 7 && that.tm_wday != 1) || (step.days == 2 && that.tm_yday % 2 != 0)) continue;
    } else {
      // Within each day from its midnight, so that marks stay round across a clock change.
      at = day + (k * step.seconds) % 86400;
      newDay = (k * step.seconds) % 86400 == 0;
      if (newDay && k > 0) {
        struct tm that;
        localtime_r(&day, &that);
        day = localMidnight(that, 1, 0);
        at = day;
      }
    }
    if (at > to) break;
    if (at >= from) ticks.push_back({at, format(at, step.format), newDay});
    if (k > 1000000) break;
  }
  return ticks;
}

}  // namespace

std::vector<Tick> timeAxis(time_t from, time_t to, double width, double perCharacter) {
  if (to <= from || width <= 0) return {};
  for (const Step& step : kSteps) {
    const double span = static_cast<double>(to - from);
    const double length = step.seconds > 0 ? step.seconds : step.days > 0 ? step.days * 86400.0 : step.months * 30.4 * 86400;
    const double room = (format(from, step.format).size() + 2) * perCharacter;  // a label and a gap
    if (width * length / span < room && &step != &kSteps[std::size(kSteps) - 1]) continue;
    return marks(from, to, step, static_cast<size_t>(width / room) + 2);
  }
  return {};
}

std::string dayLabel(time_t moment) { return format(moment, Label::Weekday); }
