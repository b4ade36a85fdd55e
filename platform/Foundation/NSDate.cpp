#include "NSDate.h"

std::string localTimeStamp(time_t when) {
  struct tm local;
  localtime_r(&when, &local);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

namespace {

std::string utcText(time_t when, const char* pattern) {
  struct tm utc;
  char text[40];
  if (gmtime_r(&when, &utc) == nullptr || strftime(text, sizeof text, pattern, &utc) == 0) {
    return std::to_string(static_cast<long long>(when));
  }
  return text;
}

}  // namespace

std::string dateDescription(time_t when) { return utcText(when, "%Y-%m-%d %H:%M:%S +0000"); }

std::string iso8601(time_t when) { return utcText(when, "%Y-%m-%dT%H:%M:%SZ"); }
