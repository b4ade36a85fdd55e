// phonesim log ROOT: prints the phone's system log, where every program's log lines go; the
// filters keep the lines of one program, from one moment on, or holding one text, and leave out
// the settings lock's lines; -f goes on printing lines as they come.
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "phonesim/Commands.h"
#include "phonesim/text/ClosestName.h"
#include "phonesim/DeviceRoot.h"
#include "phonesim/text/Moment.h"
#include "phonesim/text/PrintableText.h"
#include "phonesim/history/SystemLogFile.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/NSLog.h"

namespace {

constexpr const char* kLockMessage = "] Lock file was deleted";

// The programs that write to the phone's log, under the names they log with.
constexpr const char* kPrograms[] = {"Mutaro", "Mutarod", "Mutarodh", "CopyFile", "Vibrate", "SpringBoard", "phonesim"};

// The program's name as it logs it, whatever the case it was given in.
std::optional<std::string> programNamed(const std::string& given) {
  for (const char* name : kPrograms) {
    if (strcasecmp(name, given.c_str()) == 0) return name;
  }
  return std::nullopt;
}

volatile sig_atomic_t interrupted = 0;
void onInterrupt(int) { interrupted = 1; }

class Filter {
 public:
  Filter(const LogOptions& options, std::string since) : options_(options), since_(std::move(since)) {}

  // A line without a stamp continues the line before it and shares its fate.
  bool keeps(const std::string& line) {
    if (!hasLogStamp(line)) return keptLast_;
    keptLast_ = (since_.empty() || line.compare(0, kLogStampLength, since_) >= 0) &&
                (options_.program.empty() || line.find(" " + options_.program + "[") == kLogStampLength + 4) &&
                (options_.grep.empty() || line.find(options_.grep) != std::string::npos) &&
                !(options_.quietLocks && line.size() >= std::strlen(kLockMessage) &&
                  line.compare(line.size() - std::strlen(kLockMessage), std::string::npos, kLockMessage) == 0);
    return keptLast_;
  }

 private:
  const LogOptions& options_;
  std::string since_;
  bool keptLast_ = true;
};

// Prints the kept whole lines from the log's current place; a last line not yet ended stays in
// `partial` for the next read.
void printNewLines(std::FILE* log, Filter* filter, std::string* partial) {
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, log)) > 0) {
    partial->append(buffer, got);
    size_t start = 0;
    for (size_t end; (end = partial->find('\n', start)) != std::string::npos; start = end + 1) {
      std::string line = partial->substr(start, end - start);
      if (filter->keeps(line)) std::printf("%s\n", terminalText(line).c_str());
    }
    partial->erase(0, start);
  }
  std::clearerr(log);
  std::fflush(stdout);
}

}  // namespace

int logCommand(const LogOptions& given) {
  if (!openPhone("log", given.root)) return 1;
  LogOptions options = given;
  if (!options.program.empty()) {
    std::optional<std::string> program = programNamed(options.program);
    if (!program) {
      std::string nearest = closestName(options.program, {std::begin(kPrograms), std::end(kPrograms)});
      std::string names;
      for (const char* name : kPrograms) names += std::string(names.empty() ? "" : ", ") + name;
      std::fprintf(stderr, "phonesim log: no program of the phone is named \"%s\"%s; the programs are %s\n",
                   terminalText(options.program).c_str(), nearest.empty() ? "" : ("; did you mean " + nearest + "?").c_str(),
                   names.c_str());
      return 2;
    }
    options.program = *program;
  }
  // Stamps are the phone's local time: they compare as texts.
  std::string since;
  if (!options.since.empty()) {
    std::string error;
    std::optional<time_t> moment = parseMoment(options.since, time(nullptr), &error);
    if (!moment) {
      std::fprintf(stderr, "phonesim log: --since %s\n", error.c_str());
      return 2;
    }
    since = localTimeStamp(*moment);
  }
  const std::string path = devicePath(kSystemLogPath);
  std::string error;
  int fd = openSystemLog(&error);
  std::FILE* log = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  if (log == nullptr) {
    std::fprintf(stderr, "phonesim log: %s\n", error.c_str());
    if (fd >= 0) close(fd);
    return 1;
  }
  Filter filter(options, since);
  std::string partial;
  printNewLines(log, &filter, &partial);
  if (options.follow) {
    signal(SIGINT, onInterrupt);
    signal(SIGTERM, onInterrupt);
    while (!interrupted) {
      struct timespec pause = {0, 200 * 1000 * 1000};
      nanosleep(&pause, nullptr);
      // A log cut short (a fresh phone in the same place) is read again from its start.
      struct stat info;
      if (stat(path.c_str(), &info) == 0 && info.st_size < std::ftell(log)) {
        std::fseek(log, 0, SEEK_SET);
        partial.clear();
      }
      printNewLines(log, &filter, &partial);
    }
  }
  std::fclose(log);
  return 0;
}
