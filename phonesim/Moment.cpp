#include "phonesim/Moment.h"

#include <cstdlib>

std::optional<time_t> parseMoment(const std::string& text, time_t now) {
  if (text == "now") return now;
  char* end = nullptr;
  long long number = std::strtoll(text.c_str(), &end, 10);
  if (!text.empty() && end != text.c_str() && *end == '\0') {
    return text[0] == '+' || text[0] == '-' ? now + static_cast<time_t>(number) : static_cast<time_t>(number);
  }
  struct tm parts = {};
  localtime_r(&now, &parts);
  for (const char* pattern : {"%Y-%m-%d %H:%M:%S", "%Y-%m-%d %H:%M", "%H:%M:%S", "%H:%M"}) {
    struct tm parsed = parts;
    parsed.tm_sec = 0;
    const char* rest = strptime(text.c_str(), pattern, &parsed);
    if (rest != nullptr && *rest == '\0') {
      parsed.tm_isdst = -1;
      return mktime(&parsed);
    }
  }
  return std::nullopt;
}

time_t startOfDay(time_t moment) {
  struct tm parts;
  localtime_r(&moment, &parts);
  parts.tm_hour = parts.tm_min = parts.tm_sec = 0;
  parts.tm_isdst = -1;
  return mktime(&parts);
}
