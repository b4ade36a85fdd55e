#include "tests/support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/FakeClock.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The test's environment without its own clock, plus the program's clock and extras.
std::vector<std::string> childEnvironment(const RunOptions& options) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  variables.erase("LD_PRELOAD");
  variables.erase("FAKETIME");
  // The stand-ins a test preloads into every program it runs (kTestPreload), and the clock.
  std::string preload = variables.count(kTestPreload) != 0 ? variables[kTestPreload] : "";
  if (!options.clock.empty()) {
    preload += (preload.empty() ? "" : ":") + std::string(kFakeTimeLibrary);
    variables["FAKETIME"] = options.clock;
  }
  if (!preload.empty()) {
    variables["LD_PRELOAD"] = preload;
    // A sanitized program must accept libraries loaded ahead of its runtime.
    std::string& sanitizer = variables["ASAN_OPTIONS"];
    sanitizer += (sanitizer.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
  }
  for (const auto& [name, value] : options.environment) variables[name] = value;
  std::vector<std::string> result;
  for (const auto& [name, value] : variables) result.push_back(name + "=" + value);
  return result;
}

// Forks `argv` as the leader of a new process group, its input /dev/null, its output on `out`
// and `err`.
pid_t spawn(const std::vector<std::string>& argv, const RunOptions& options, int out, int err) {
  // Orphans (a switcher whose daemon was killed) come back to the test, which reaps them.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  std::vector<std::string> environment = childEnvironment(options);
  std::vector<char*> args;
  for (const auto& word : argv) args.push_back(const_cast<char*>(word.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    setpgid(0, 0);
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(126);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  setpgid(pid, pid);
  return pid;
}

void killGroup(pid_t leader) {
  kill(-leader, SIGKILL);
  while (waitpid(-leader, nullptr, 0) > 0) continue;
}

}  // namespace

std::string clockAt(const std::string& localTime, int speed) {
  return "@" + localTime + (speed == 1 ? "" : " x" + std::to_string(speed));
}

Outcome runProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  char directory[] = "/tmp/mutaro-run-XXXXXX";
  if (mkdtemp(directory) == nullptr) throw std::runtime_error("mkdtemp failed");
  const std::string out = std::string(directory) + "/out", err = std::string(directory) + "/err";
  Outcome outcome;
  {
    Process process(argv, options, out, err);
    int status = 0;
    outcome.timedOut = !process.wait(options.timeout, &status);
    if (!outcome.timedOut && WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    if (!outcome.timedOut && WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  }
  outcome.out = readFile(out);
  outcome.err = readFile(err);
  std::filesystem::remove_all(directory);
  return outcome;
}

Process::Process(const std::vector<std::string>& argv, const RunOptions& options, const std::string& outputPath,
                 const std::string& errorPath) {
  int output = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  int error = errorPath.empty() ? output : open(errorPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (output < 0 || error < 0) throw std::runtime_error("cannot open " + outputPath);
  pid_ = spawn(argv, options, output, error);
  close(output);
  if (error != output) close(error);
}

// The group's wait reaps the leader too.
Process::~Process() { killGroup(pid_); }

void Process::signal(int number) const { kill(pid_, number); }

bool Process::wait(double seconds, int* status) {
  return eventually(seconds, [&] {
    if (reaped_) return true;
    int result = 0;
    if (waitpid(pid_, &result, WNOHANG) != pid_) return false;
    reaped_ = true;
    if (status != nullptr) *status = result;
    return true;
  });
}

bool Process::waitGroup(double seconds) {
  bool ended = eventually(seconds, [&] {
    pid_t reaped = waitpid(-pid_, nullptr, WNOHANG);
    if (reaped == pid_) reaped_ = true;
    return reaped < 0 && errno == ECHILD;
  });
  if (!ended) killGroup(pid_);
  reaped_ = true;
  return ended;
}

bool eventually(double seconds, const std::function<bool()>& condition) {
  auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
