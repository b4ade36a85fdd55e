#include "phonesim/history/SettingsJournal.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "phonesim/text/PlistJson.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/SimState/SimState.h"
#include "settings-store/SettingsPaths.h"

namespace {

// How often the loop looks at the stop flag, or, without inotify, at the files themselves.
constexpr int kPollMilliseconds = 250;

// The phone's clock to the millisecond (faketime's, when the phone runs on one).
std::string stamp() {
  struct timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03ld", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000000);
  return text;
}

// The settings as one JSON line ("null" when unreadable) and whether the marker is there.
std::string snapshot() {
  std::string settings = "null";
  if (PlistPtr values = readPropertyListFile(kSettingsPath)) {
    settings = jsonFromPlist(static_cast<plist_t>(values.get())).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  }
  struct stat marker;
  return settings + (lstat(devicePath(kMarkerPath).c_str(), &marker) == 0 ? "\tmarker" : "\tno marker");
}

void record(const std::string& kind, const std::string& state) {
  std::string settings = state.substr(0, state.find('\t')), marker = state.substr(state.find('\t') + 1);
  simAppend(kSettingsJournal, {stamp(), kind, settings, marker});
}

}  // namespace

std::string recordBoot() {
  std::string state = snapshot();
  record("boot", state);
  return state;
}

void recordSettingsChanges(std::string last, const volatile std::sig_atomic_t* stop) {
  // The settings file is replaced by a rename and the marker created and removed: the folder's
  // events wake the loop at once. The first look, after the watch is set, catches what changed
  // since the boot was recorded.
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  std::string folder = devicePath(kSettingsPath);
  folder.erase(folder.rfind('/'));
  if (watch >= 0) {
    inotify_add_watch(watch, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE);
  }
  for (bool look = true; !*stop;) {
    if (look) {
      std::string now = snapshot();
      if (now != last) record("change", now);
      last = now;
    }
    struct pollfd events = {watch, POLLIN, 0};
    if (watch < 0) {
      usleep(kPollMilliseconds * 1000);
    } else if ((look = poll(&events, 1, kPollMilliseconds) > 0)) {
      char drained[4096];
      while (read(watch, drained, sizeof drained) > 0) {
      }
    }
  }
  if (watch >= 0) close(watch);
  record("off", last);
}
