#pragma once
// What the soak holds a lived plan to: the phone's state as observed on its clock, checked
// against the plan's qualifying spans, the actions played and their disturbance windows.
#include <string>
#include <vector>

#include "soak/SoakPlan.h"

struct Observation {
  time_t at = 0;
  bool marker = false;
  bool silenced = false;   // the volume at 0, or a sound file or preference not the user's own
  bool assertion = false;  // a no-idle-sleep assertion held
};

// An action as it was played; a release that took effect must keep the phone unsilenced over
// [releasedFrom, releasedUntil] (none when releasedUntil is 0).
struct Played {
  Action action;
  std::string outcome;
  bool tookEffect = false;
  time_t releasedFrom = 0, releasedUntil = 0;
};

struct Failure {
  time_t at = 0;
  std::string what;
};

struct Verdict {
  std::vector<Failure> failures;
  int checkedSpans = 0, disturbedSpans = 0;
  std::vector<int> silenceDelays, releaseDelays;  // phone seconds after a checked span's start, end
};

// Silenced within 15 s of each undisturbed span's start and until its end; the revert begun
// within 15 s of its end and done within its own length; the marker exactly while silenced,
// outside disturbance; releases hold; the sleep assertion never held over two minutes away from
// a boundary.
Verdict checkLived(const std::vector<Span>& spans, const std::vector<Observation>& observations,
                   const std::vector<Played>& played);

// A failure's context: the span at (or last before) its moment and the last action before it.
std::string describe(const Failure& failure, const std::vector<Span>& spans, const std::vector<Played>& played);
