#include "phonesim/boot/Launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "phonesim/boot/ClockWatch.h"
#include "phonesim/boot/LaunchJob.h"
#include "platform/AppSupport/CPWake.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/SimState/SimState.h"
#include "platform/notify/notify.h"

namespace {

constexpr long kPollMilliseconds = 500;  // on the phone's clock (faketime speeds it up too)
// A database write touches its files more than once (journal, pages, journal again): a change
// of the watched paths starts the daemon once they have stood still for a poll, or after this
// many seconds of changes without a pause.
constexpr double kLongestSettle = 2;

pid_t startDaemon(const std::string& root, const LaunchJob& job) {
  std::string program = devicePath(job.program);
  std::string directory = job.workingDirectory.empty() ? "" : devicePath(job.workingDirectory);
  std::string console = devicePath(kDaemonConsolePath);
  std::vector<char*> argv;
  for (const std::string& argument : job.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  // A group of its own: the daemon's shell and switcher can be ended with it.
  setpgid(0, 0);
  // The daemon starts with no signal blocked, whatever the launcher's thread blocks.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int out = openForAppending(console.c_str(), 0644);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
  }
  int in = open("/dev/null", O_RDONLY);
  if (in >= 0) dup2(in, STDIN_FILENO);
  setenv("MUTARO_DEVICE_ROOT", root.c_str(), 1);
  if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(127);
  execv(program.c_str(), argv.data());
  _exit(127);
}

void waitForNextPoll() {
  struct timespec wait = {0, kPollMilliseconds * 1000000};
  nanosleep(&wait, nullptr);
}

// Reaps what has ended in the daemons' groups, and forgets the groups that are gone. The
// daemon's own wait status goes to *daemonStatus.
void reapGroups(std::vector<pid_t>* groups, pid_t daemon, int* daemonStatus) {
  std::erase_if(*groups, [&](pid_t group) {
    pid_t ended;
    int status = 0;
    while ((ended = waitpid(-group, &status, WNOHANG)) > 0) {
      if (ended == daemon) *daemonStatus = status;
    }
    return ended < 0 && errno == ECHILD;  // none of the group is left
  });
}

// Ends a daemon's whole group and waits until none of it is left.
void endGroup(pid_t group) {
  kill(-group, SIGTERM);
  while (waitpid(-group, nullptr, 0) > 0 || errno == EINTR) {
  }
}

// Changes to the job's watched paths and to the notification journal, through inotify on their
// folders (a watched file may not exist yet, or be replaced by a rename).
class ChangeWatch {
 public:
  ChangeWatch(const std::vector<std::string>& watchPaths, const std::string& journalPath) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const std::string& path : watchPaths) add(devicePath(path), false);
    add(devicePath(journalPath), true);
  }
  ~ChangeWatch() {
    if (fd_ >= 0) close(fd_);
  }
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  // What changed since the last call: a watched path, the journal.
  void drain(bool* pathChanged, bool* journalChanged) {
    alignas(inotify_event) char buffer[8192];
    ssize_t length;
    while (fd_ >= 0 && (length = read(fd_, buffer, sizeof buffer)) > 0) {
      for (char* at = buffer; at < buffer + length;) {
        auto* event = reinterpret_cast<inotify_event*>(at);
        at += sizeof(inotify_event) + event->len;
        if (event->len == 0) continue;
        auto folder = names_.find(event->wd);
        if (folder == names_.end()) continue;
        auto name = folder->second.find(event->name);
        if (name == folder->second.end()) continue;
        (name->second ? *journalChanged : *pathChanged) = true;
      }
    }
  }

 private:
  void add(const std::string& path, bool journal) {
    if (fd_ < 0) return;
    std::filesystem::path file(path);
    makeDirectories(file.parent_path().string());
    // A reader of a database changes nothing; a writer modifies the file or renames over it.
    int wd = inotify_add_watch(fd_, file.parent_path().c_str(), IN_MODIFY | IN_MOVED_TO | IN_CREATE);
    if (wd >= 0) names_[wd][file.filename().string()] = journal;
  }
  int fd_ = -1;
  std::map<int, std::map<std::string, bool>> names_;  // folder -> file name -> is the journal
};

// The two clocks read as close together as the machine allows: of three tries, the one least
// spread out.
bool clockStep(ClockWatch* watch) {
  double bestSpread = 1e9, bestWall = 0, bestMonotonic = 0;
  for (int attempt = 0; attempt < 3 && bestSpread > 0.002; ++attempt) {
    double before = machineMonotonicSeconds();
    double wall = wallSeconds();
    double after = machineMonotonicSeconds();
    if (after - before < bestSpread) {
      bestSpread = after - before;
      bestWall = wall;
      bestMonotonic = (before + after) / 2;
    }
  }
  return clockJumped(watch, bestWall, bestMonotonic);
}

}  // namespace

void runLauncher(const std::string& root, const volatile std::sig_atomic_t* stop) {
  std::string error;
  std::optional<LaunchJob> job = readLaunchJob(kDaemonJobPath, &error);
  if (!job) {
    std::fprintf(stderr, "phonesim boot: no daemon job at %s (%s); the daemon is never started\n",
                 devicePath(kDaemonJobPath).c_str(), error.c_str());
  }
  ChangeWatch changes(job ? job->watchPaths : std::vector<std::string>{}, simStatePath(kNotifyPostJournal));
  size_t postsSeen = simulatedNotifyPosts().size();
  ClockWatch clock;
  clockStep(&clock);
  // Wakes that fell due before the boot were missed while the phone was off; the start at load
  // stands for them.
  time_t wakesCheckedTo = time(nullptr);
  std::optional<double> lastStart;  // on the steady clock
  bool pathPending = false;  // a change of the watched paths not yet started for, since:
  double pathSince = 0;
  std::string trigger = job && job->runAtLoad ? "load" : "";
  pid_t daemon = -1;

  std::vector<pid_t> groups;  // the daemons' process groups, which may outlive their daemon
  while (!*stop && job) {
    int daemonStatus = 0;
    reapGroups(&groups, daemon, &daemonStatus);
    // Until reaped the daemon stays, a zombie, and kill() finds it.
    if (daemon > 0 && kill(daemon, 0) != 0) {
      daemon = -1;
      bool successful = WIFEXITED(daemonStatus) && WEXITSTATUS(daemonStatus) == 0;
      if (job->restartUnlessSuccessful && !successful && trigger.empty()) trigger = "keepalive";
    }

    if (clockStep(&clock)) {
      // The platform posts this when the clock is set; the wakes are judged from the new time.
      notify_post(kClockSetNotification);
      wakesCheckedTo = time(nullptr);
    }
    time_t now = time(nullptr);
    for (const ScheduledWake& wake : simulatedWakes()) {
      // A wake that comes while the daemon runs finds the phone awake: the daemon, which stays
      // only while a boundary is less than a minute ahead, handles it itself.
      if (wake.time > wakesCheckedTo && wake.time <= now && daemon < 0 && trigger.empty()) trigger = "wake";
    }
    wakesCheckedTo = std::max(wakesCheckedTo, now);

    bool pathChanged = false, journalChanged = false;
    changes.drain(&pathChanged, &journalChanged);
    if (pathChanged && !pathPending) {
      pathPending = true;
      pathSince = clock.steady;
    }
    if (pathPending && trigger.empty() && (!pathChanged || clock.steady - pathSince >= kLongestSettle)) trigger = "path";
    if (journalChanged) {
      auto posts = simulatedNotifyPosts();
      for (size_t i = postsSeen; i < posts.size(); ++i) {
        const auto& names = job->notifications;
        if (trigger.empty() && std::find(names.begin(), names.end(), posts[i].first) != names.end()) {
          trigger = posts[i].first;
        }
      }
      postsSeen = posts.size();
    }

    if (!trigger.empty() && daemon < 0 && (!lastStart || clock.steady - *lastStart >= job->throttleInterval)) {
      daemon = startDaemon(root, *job);
      groups.push_back(daemon);
      lastStart = clock.steady;
      simAppend(kDaemonStartsJournal, {std::to_string(now), trigger});
      trigger.clear();
      pathPending = false;
    }
    waitForNextPoll();
  }

  for (pid_t group : groups) endGroup(group);
}
