#pragma once
// Running the phone's programs from a test: to their end with their output captured, or in the
// background as the leader of their own process group, under the real clock or a faketime one.
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// libfaketime's setting for a clock that starts at a local time of the test time zone and runs
// `speed` times faster than the real one: "@2026-12-07 09:00:00 x20".
std::string clockAt(const std::string& localTime, int speed = 1);

// Names libraries (colon-separated) to preload into every program the test runs, ahead of the
// clock's; the Phone sets it while it lives.
constexpr const char* kTestPreload = "MUTARO_TEST_PRELOAD";

struct RunOptions {
  std::string clock;      // "" keeps the real clock; otherwise a FAKETIME setting
  std::string directory;  // "" keeps the test's own
  std::map<std::string, std::string> environment;  // added to (or replacing) the test's
  double timeout = 60;    // real seconds; the whole process group is killed after it
};

struct Outcome {
  int status = -1;  // exit status when the program exited
  int signal = 0;   // the signal that ended it
  bool timedOut = false;
  std::string out;
  std::string err;
  bool exited(int expected) const { return !timedOut && signal == 0 && status == expected; }
};

Outcome runProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// A program started in the background as the leader of a new process group; whatever it
// starts stays in the group. Its output goes to `outputPath` (its errors too, unless
// `errorPath` is given). Ended (with the group) when the object goes.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const RunOptions& options, const std::string& outputPath,
          const std::string& errorPath = "");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int number) const;
  // True when the leader ended within the time; `status` as waitpid gives it.
  bool wait(double seconds, int* status = nullptr);
  // True when every process of the group ended within the time (the rest is then killed).
  bool waitGroup(double seconds);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

// Polls `condition` every few milliseconds for at most `seconds` of real time.
bool eventually(double seconds, const std::function<bool()>& condition);

// A file's bytes, "" when it cannot be read; a text's lines; whether a text holds a part.
std::string readFile(const std::string& path);
std::vector<std::string> linesOf(const std::string& text);
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
