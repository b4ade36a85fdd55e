#include "phonesim/text/Moment.h"

#include <cerrno>
#include <cstdlib>
#include <regex>

#include "platform/Foundation/NSDate.h"

const char kMomentForms[] =
    "now, HH:MM[:SS], YYYY-MM-DD, \"YYYY-MM-DD HH:MM[:SS]\", YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM], +N/-N[s|m|h|d], @UNIX";

const char kMomentHelp[] =
    "Times (every option that takes one), in the phone's time zone:\n"
    "  now                          this moment\n"
    "  HH:MM[:SS]                   today\n"
    "  YYYY-MM-DD                   that day's midnight\n"
    "  \"YYYY-MM-DD HH:MM[:SS]\"      a day and a time\n"
    "  YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM]  ISO 8601, with an optional offset from UTC\n"
    "  +N or -N, with s m h d       from now (no unit: seconds), e.g. +90, -2h, +1d\n"
    "  @UNIX                        Unix seconds, e.g. @1796634000\n"
    "Exit status: 0 done, 1 failed, 2 misuse (an unknown option, a value that cannot be read).";

namespace {

// 0001-01-01 00:00:00 and 10000-01-01 00:00:00 UTC.
constexpr long long kFirstMoment = -62135596800LL;
constexpr long long kPastLastMoment = 253402300800LL;

std::optional<time_t> refuse(std::string* error, const std::string& why) {
  *error = why + "; give " + kMomentForms;
  return std::nullopt;
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leapYear(year) ? 29 : days[month - 1];
}

int number(const std::ssub_match& part) { return part.matched ? std::atoi(part.str().c_str()) : 0; }

std::optional<time_t> checkedRange(long long moment, const std::string& text, std::string* error) {
  if (moment < kFirstMoment || moment >= kPastLastMoment) return refuse(error, "\"" + text + "\" lies outside the years 1 to 9999");
  return static_cast<time_t>(moment);
}

// "+N" or "-N" with an optional unit.
std::optional<time_t> relative(const std::string& text, time_t now, std::string* error) {
  static const std::regex form(R"(([+-])([0-9]+)([smhd]?))");
  std::smatch parts;
  if (!std::regex_match(text, parts, form)) return refuse(error, "\"" + text + "\" is not a time");
  errno = 0;
  long long amount = std::strtoll(parts[2].str().c_str(), nullptr, 10);
  const char unit = parts[3].matched && parts[3].length() > 0 ? parts[3].str()[0] : 's';
  const long long seconds = unit == 'd' ? 86400 : unit == 'h' ? 3600 : unit == 'm' ? 60 : 1;
  long long moment = 0;
  if (errno == ERANGE || __builtin_mul_overflow(amount, seconds, &amount) ||
      __builtin_add_overflow(static_cast<long long>(now), parts[1] == "-" ? -amount : amount, &moment)) {
    return refuse(error, "\"" + text + "\" lies outside the years 1 to 9999");
  }
  return checkedRange(moment, text, error);
}

}  // namespace

std::optional<time_t> parseMoment(const std::string& text, time_t now, std::string* error) {
  if (text == "now") return now;
  if (text.empty()) return refuse(error, "no time given");
  if (text[0] == '+' || text[0] == '-') return relative(text, now, error);
  if (text[0] == '@') {
    static const std::regex unixSeconds(R"(@-?[0-9]+)");
    errno = 0;
    long long seconds = std::regex_match(text, unixSeconds) ? std::strtoll(text.c_str() + 1, nullptr, 10) : 0;
    if (!std::regex_match(text, unixSeconds) || errno == ERANGE) return refuse(error, "\"" + text + "\" is not Unix seconds");
    return checkedRange(seconds, text, error);
  }
  if (text.find_first_not_of("0123456789") == std::string::npos) {
    return refuse(error, "\"" + text + "\" is a bare number (@" + text + " for Unix seconds, " +
                             (text.size() == 4 ? text.substr(0, 2) + ":" + text.substr(2) : text + ":00") +
                             " for a time of day)");
  }

  static const std::regex clock(R"(([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?)");
  static const std::regex date(
      R"(([0-9]{4})-([0-9]{2})-([0-9]{2})(?:[ T]([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?(Z|([+-])([0-9]{2}):?([0-9]{2})?)?)?)");
  std::smatch parts;
  struct tm fields = {};
  localtime_r(&now, &fields);
  bool hasOffset = false;
  long long offset = 0;
  if (std::regex_match(text, parts, clock)) {
    fields.tm_hour = number(parts[1]);
    fields.tm_min = number(parts[2]);
    fields.tm_sec = number(parts[3]);
  } else if (std::regex_match(text, parts, date)) {
    const int year = number(parts[1]), month = number(parts[2]), day = number(parts[3]);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
      return refuse(error, "there is no day " + text.substr(0, 10));
    }
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = number(parts[4]);
    fields.tm_min = number(parts[5]);
    fields.tm_sec = number(parts[6]);
    hasOffset = parts[7].matched;
    if (parts[8].matched) {
      if (number(parts[9]) > 23 || number(parts[10]) > 59) return refuse(error, "\"" + text + "\" has no such offset");
      offset = (number(parts[9]) * 3600LL + number(parts[10]) * 60LL) * (parts[8] == "-" ? -1 : 1);
    }
  } else {
    return refuse(error, "\"" + text + "\" is not a time");
  }
  if (fields.tm_hour > 23 || fields.tm_min > 59 || fields.tm_sec > 59) {
    return refuse(error, "\"" + text + "\" names no time of day");
  }
  fields.tm_isdst = -1;
  const long long moment = hasOffset ? static_cast<long long>(timegm(&fields)) - offset : mktime(&fields);
  return checkedRange(moment, text, error);
}

bool parseSpan(const std::string& fromText, const std::string& toText, time_t now, time_t defaultFrom,
               time_t defaultTo, time_t* from, time_t* to, std::string* error) {
  std::optional<time_t> first = defaultFrom, last = defaultTo;
  if (!fromText.empty() && !(first = parseMoment(fromText, now, error))) {
    *error = "--from " + *error;
    return false;
  }
  if (!toText.empty() && !(last = parseMoment(toText, now, error))) {
    *error = "--to " + *error;
    return false;
  }
  if (*first >= *last) {
    *error = "--from " + localTimeStamp(*first) + (*first == *last ? " is" : " lies after") + " --to " +
             localTimeStamp(*last) + ": a span runs from an earlier moment to a later one";
    return false;
  }
  *from = *first;
  *to = *last;
  return true;
}

std::string outsideDaemonRange(const std::string& option, long long when) {
  if (when >= kEarliestDaemonMoment && when <= kLatestDaemonMoment) return "";
  std::string edge = when > kLatestDaemonMoment ? "after " + dateDescription(kLatestDaemonMoment)
                                                : "before " + dateDescription(kEarliestDaemonMoment);
  return option + " lies " + edge + ", beyond the years the phone's dates can hold";
}

time_t startOfDay(time_t moment) {
  struct tm parts;
  localtime_r(&moment, &parts);
  parts.tm_hour = parts.tm_min = parts.tm_sec = 0;
  parts.tm_isdst = -1;
  return mktime(&parts);
}
