#pragma once
// Notices when the phone's wall clock is set, the way a launcher that owns a monotonic clock
// does: between two readings the wall clock should advance as the monotonic one does. The
// phone's clock may run faster than the machine's (faketime) while the monotonic reading is
// the machine's own, so the ratio of the two is learnt from the readings themselves (the
// median of recent steady steps) and a step that departs from it by more than a few phone
// seconds is a jump.
#include <deque>

struct ClockWatch {
  double lastWall = 0;      // the phone's wall clock at the last reading, seconds
  double lastMonotonic = 0; // the machine's monotonic clock then, seconds
  bool started = false;
  std::deque<double> rates; // phone seconds per monotonic second, of recent steady steps
  double steady = 0;        // phone seconds elapsed since the first reading, jumps left out
};

// Phone seconds a step may depart from the learnt rate before it counts as a jump: on a phone
// clock 30 times fast, a second of the machine's time between two readings.
constexpr double kClockJumpSeconds = 30;

// Takes one reading; true when the wall clock jumped since the last one. `watch->steady`
// advances by the step's phone time, without the jump.
bool clockJumped(ClockWatch* watch, double wall, double monotonic);

// The two clocks now: the phone's wall clock, and the machine's monotonic clock read past
// any clock the phone's processes are given.
double wallSeconds();
double machineMonotonicSeconds();
