// measure-run [--cwd DIR] [--log FILE] [--env NAME=VALUE]... -- COMMAND ARGS...: runs one
// process, with the given variables added to its environment only, and prints
// "WALL_MS MAX_RSS_KB STATUS CPU_MS" on one line. Wall time is from fork to the end of the wait;
// the peak resident set size is the kernel's for the process and the children it waited for.
// STATUS is the exit status, or 128 + the signal that ended it; CPU_MS is user plus system
// time, which a busy machine disturbs less than the wall time. The command's own output goes
// to FILE (default /dev/null) so that printing does not weigh on the figure.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double monotonicMilliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

int usage() {
  std::fprintf(stderr, "usage: measure-run [--cwd DIR] [--log FILE] [--env NAME=VALUE]... -- COMMAND ARGS...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory;
  std::string log = "/dev/null";
  std::vector<std::string> environment;
  int first = 1;
  for (; first < argc; ++first) {
    std::string argument = argv[first];
    if (argument == "--") {
      ++first;
      break;
    }
    if (argument == "--cwd" && first + 1 < argc) {
      directory = argv[++first];
    } else if (argument == "--log" && first + 1 < argc) {
      log = argv[++first];
    } else if (argument == "--env" && first + 1 < argc && std::strchr(argv[first + 1], '=') != nullptr) {
      environment.push_back(argv[++first]);
    } else {
      return usage();
    }
  }
  if (first >= argc) return usage();

  int output = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (output < 0) {
    std::perror(log.c_str());
    return 1;
  }

  double started = monotonicMilliseconds();
  pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 1;
  }
  if (child == 0) {
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    // Only the measured process gets these (a clock sped up by faketime, say), not this timer.
    for (std::string& variable : environment) putenv(variable.data());
    execvp(argv[first], argv + first);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    return 1;
  }
  double elapsed = monotonicMilliseconds() - started;
  int result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  std::printf("%.3f %ld %d %.3f\n", elapsed, usage.ru_maxrss, result, cpu);
  return 0;
}
