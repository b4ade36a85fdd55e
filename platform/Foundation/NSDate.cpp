#include "NSDate.h"

std::string localTimeStamp(time_t when) {
  struct tm local;
  localtime_r(&when, &local);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string dateDescription(time_t when) {
  struct tm utc;
  gmtime_r(&when, &utc);
  char text[40];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
  return text;
}

std::string iso8601(time_t when) {
  std::string description = dateDescription(when);  // "YYYY-MM-DD HH:MM:SS +0000"
  return description.substr(0, 10) + "T" + description.substr(11, 8) + "Z";
}
