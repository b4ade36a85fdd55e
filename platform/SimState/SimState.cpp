#include "platform/SimState/SimState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/Foundation/PropertyList.h"

namespace {

constexpr const char* kSimStateDirectory = "/private/var/sim";

// mkdir -p for the state directory. Every process of the phone writes here, whoever made it.
bool makeStateDirectory() { return makeDirectories(devicePath(kSimStateDirectory), 0777); }

std::string recordLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += '\t';
    for (char c : fields[i]) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  }
  line += '\n';
  return line;
}

std::vector<std::string> splitRecord(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

}  // namespace

std::string simStatePath(const std::string& name) {
  return std::string(kSimStateDirectory) + "/" + name;
}

void simAppend(const std::string& journal, const std::vector<std::string>& fields) {
  if (!makeStateDirectory()) return;
  int fd = openForAppending(devicePath(simStatePath(journal)).c_str(), 0666);
  if (fd < 0) return;
  // One write(2) per record: with O_APPEND the kernel places it whole at the end, so
  // records of concurrent processes never interleave.
  std::string line = recordLine(fields);
  ssize_t written;
  do {
    written = write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  close(fd);
}

std::vector<std::vector<std::string>> simRead(const std::string& journal) {
  std::vector<std::vector<std::string>> records;
  std::string contents;
  if (!readWholeFile(devicePath(simStatePath(journal)), &contents)) return records;
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) break;  // a record still being written has no line end yet
    records.push_back(splitRecord(contents.substr(start, end - start)));
    start = end + 1;
  }
  return records;
}

bool simReadValue(const std::string& name, std::string* value) {
  return readWholeFile(devicePath(simStatePath(name)), value);
}

void simWriteValue(const std::string& name, const std::string& value) {
  if (makeStateDirectory()) replaceFile(devicePath(simStatePath(name)), 0666, value);
}
