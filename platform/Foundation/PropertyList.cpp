#include "PropertyList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "DevicePath.h"
#include "FileWrites.h"
#include "NSDate.h"
#include "PlistNesting.h"

namespace {

// Property-list files of the phone are small; anything larger is not one of them.
constexpr size_t kLargestPropertyList = 64 * 1024 * 1024;

}  // namespace

bool readWholeFile(const std::string& realPath, std::string* contents) {
  // Without O_NONBLOCK a FIFO would hold the open until some writer came along.
  int fd = open(realPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<size_t>(info.st_size) > kLargestPropertyList) {
    close(fd);
    return false;
  }
  std::string data;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return false;
    }
    if (got == 0) break;
    data.append(buffer, static_cast<size_t>(got));
    if (data.size() > kLargestPropertyList) {
      close(fd);
      return false;
    }
  }
  close(fd);
  *contents = std::move(data);
  return true;
}

bool canBeOpenedForReading(const std::string& realPath) {
  int fd = open(realPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

PlistPtr propertyListFromData(const std::string& data, std::string* error) {
  if (data.empty() || data.size() > UINT32_MAX) {
    if (error) *error = "The data couldn't be read because it is empty or too large.";
    return nullptr;
  }
  // Checked before the parser sees it: the parser recurses once per level of nesting.
  if (!nestingWithinLimit(data)) {
    if (error) *error = "The data couldn't be read because it is nested too deeply or irregularly.";
    return nullptr;
  }
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
  if (root == nullptr) {
    if (error) *error = "The data couldn't be read because it isn't in the correct format.";
    return nullptr;
  }
  return PlistPtr(root);
}

PlistPtr readPropertyListFile(const std::string& phonePath, std::string* error) {
  std::string data;
  if (!readWholeFile(devicePath(phonePath), &data)) {
    if (error) *error = "The file \"" + phonePath + "\" couldn't be opened: " + std::strerror(errno ? errno : EIO);
    return nullptr;
  }
  return propertyListFromData(data, error);
}

bool writePropertyListFileAtomically(plist_t root, const std::string& phonePath) {
  if (root == nullptr) return false;
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  if (xml == nullptr) return false;

  std::string target = devicePath(phonePath);
  bool ok = replaceFile(target, existingModeOr(target, 0666),
                        [&](int fd) { return writeFully(fd, xml, length); });
  plist_to_xml_free(xml);
  return ok;
}

plist_t newPlistDate(time_t unixSeconds) {
  // The XML reader takes any year; the text is the one the XML writer gives such a date.
  struct tm utc = {};
  char xml[160];
  if (gmtime_r(&unixSeconds, &utc) != nullptr &&
      snprintf(xml, sizeof xml, "<plist version=\"1.0\"><date>%04d-%02d-%02dT%02d:%02d:%02dZ</date></plist>",
               utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec) > 0) {
    plist_t date = nullptr;
    plist_from_xml(xml, static_cast<uint32_t>(strlen(xml)), &date);
    if (date != nullptr && plist_get_node_type(date) == PLIST_DATE) return date;
    plist_free(date);
  }
  return plist_new_date(0, 0);
}

time_t plistDateUnixSeconds(plist_t date) {
  // A lone date in the binary form is "bplist00", then the marker 0x33 and the seconds from 2001
  // as a big-endian double, exactly as the node holds them.
  char* binary = nullptr;
  uint32_t length = 0;
  plist_to_bin(date, &binary, &length);
  double seconds = 0;
  if (binary != nullptr && length >= 17 && static_cast<unsigned char>(binary[8]) == 0x33) {
    uint64_t bits = 0;
    for (int index = 9; index < 17; ++index) bits = bits << 8 | static_cast<unsigned char>(binary[index]);
    std::memcpy(&seconds, &bits, sizeof seconds);
  }
  if (binary != nullptr) plist_to_bin_free(binary);
  if (!(seconds > -1e15 && seconds < 1e15)) return kReferenceDateOffset;  // NaN or absurd
  return static_cast<time_t>(std::floor(seconds)) + kReferenceDateOffset;
}
