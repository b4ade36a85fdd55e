#include "phonesim/text/PhoneTimeZone.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/Foundation/DevicePath.h"

namespace {

constexpr const char* kZoneDatabase = "/usr/share/zoneinfo/";

// The first line of a small regular file; links are followed, FIFOs and devices never opened
// for long (no blocking read).
std::string firstLine(const std::string& path) {
  int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) return "";
  struct stat info;
  char buffer[256];
  ssize_t got = fstat(file, &info) == 0 && S_ISREG(info.st_mode) ? read(file, buffer, sizeof buffer) : -1;
  close(file);
  std::string text = got > 0 ? std::string(buffer, static_cast<size_t>(got)) : "";
  return text.substr(0, text.find('\n'));
}

}  // namespace

bool isKnownTimeZone(const std::string& name) {
  if (name.empty() || name.size() > 100 || name[0] == '/' || name.find("..") != std::string::npos) return false;
  for (unsigned char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain && c != '/' && c != '_' && c != '-' && c != '+') return false;
  }
  return firstLine(kZoneDatabase + name).rfind("TZif", 0) == 0;
}

std::string hostTimeZone() {
  if (const char* zone = std::getenv("TZ"); zone != nullptr && *zone != '\0') {
    return zone[0] == ':' ? zone + 1 : zone;
  }
  if (std::string zone = firstLine("/etc/timezone"); !zone.empty()) return zone;
  char target[PATH_MAX];
  ssize_t length = readlink("/etc/localtime", target, sizeof target - 1);
  std::string link = length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
  size_t database = link.find("zoneinfo/");
  return database != std::string::npos ? link.substr(database + 9) : "UTC";
}

std::optional<std::string> recordedTimeZone() {
  std::string zone = firstLine(devicePath(kPhoneTimeZonePath));
  if (zone.empty()) return std::nullopt;
  return zone;
}

bool usePhoneTimeZone(const char* command) {
  std::optional<std::string> zone = recordedTimeZone();
  if (!zone) return true;
  if (!isKnownTimeZone(*zone)) {
    std::fprintf(stderr, "phonesim %s: the phone's time zone \"%s\" (%s) is unknown to this machine\n", command,
                 printable(*zone).c_str(), devicePath(kPhoneTimeZonePath).c_str());
    return false;
  }
  setenv("TZ", zone->c_str(), 1);
  tzset();
  return true;
}
