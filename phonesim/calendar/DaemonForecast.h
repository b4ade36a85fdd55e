#pragma once
// The daemon's own answers at a moment, its detection and its next-wake search, run in this
// process on a scratch device root that holds a copy of the phone's settings and system version
// beside a link to its calendar: nothing of the phone is written, nothing is logged to it.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

class DaemonForecast {
 public:
  explicit DaemonForecast(const std::string& phoneRoot);  // the phone's root must be in use
  ~DaemonForecast();
  DaemonForecast(const DaemonForecast&) = delete;
  DaemonForecast& operator=(const DaemonForecast&) = delete;

  bool eventRunning(time_t at);                // what the daemon's detection answers
  time_t nextWake(time_t at, bool inEvent);    // the wake it would schedule; 0 for none
  bool calendarLocked() const { return locked_; }  // a writer held the calendar meanwhile

 private:
  void quietly(const std::function<void()>& work);
  std::string phoneRoot_;
  std::string scratch_;
  bool locked_ = false;
};
