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
