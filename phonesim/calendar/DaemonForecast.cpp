#include "phonesim/calendar/DaemonForecast.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "daemon/CalendarRow.h"
#include "daemon/DaemonState.h"
#include "daemon/EventDetection.h"
#include "daemon/NextWake.h"
#include "platform/Foundation/SystemVersion.h"
#include "settings-store/SettingsPaths.h"

namespace fs = std::filesystem;

DaemonForecast::DaemonForecast(const std::string& phoneRoot) : phoneRoot_(phoneRoot) {
  VersionMajor = std::atoi(systemVersionText().c_str());
  char pattern[] = "/tmp/phonesim-forecast-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return;
  scratch_ = pattern;
  std::error_code ignored;
  fs::create_directories(scratch_ + "/private/var/mobile/Library/Calendar", ignored);
  fs::create_directories(scratch_ + "/private/var/mobile/Library/Preferences", ignored);
  fs::create_directory_symlink("private/var", scratch_ + "/var", ignored);
  fs::copy_file(phoneRoot_ + kSettingsPath, scratch_ + kSettingsPath, ignored);
  fs::create_symlink(phoneRoot_ + kCalendarDatabasePath, scratch_ + kCalendarDatabasePath, ignored);
}

DaemonForecast::~DaemonForecast() {
  std::error_code ignored;
  if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
}

void DaemonForecast::quietly(const std::function<void()>& work) {
  std::fflush(nullptr);
  int out = dup(STDOUT_FILENO), err = dup(STDERR_FILENO), nowhere = open("/dev/null", O_WRONLY);
  dup2(nowhere, STDOUT_FILENO);
  dup2(nowhere, STDERR_FILENO);
  setenv("MUTARO_DEVICE_ROOT", scratch_.c_str(), 1);
  calendarBusy = false;
  work();
  locked_ = locked_ || calendarBusy;
  std::fflush(nullptr);
  setenv("MUTARO_DEVICE_ROOT", phoneRoot_.c_str(), 1);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  for (int fd : {out, err, nowhere}) close(fd);
}

bool DaemonForecast::eventRunning(time_t at) {
  bool running = false;
  quietly([&] { running = runningEvent(at); });
  return running;
}

time_t DaemonForecast::nextWake(time_t at, bool inEvent) {
  time_t wake = 0;
  quietly([&] {
    setMiddleOfEvent(inEvent);
    wake = getWakeUpDate(at, true);
  });
  return wake;
}
