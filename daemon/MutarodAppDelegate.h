#pragma once
// The daemon's application object: its only work is the power thread that holds a
// no-idle-sleep assertion while the daemon runs.
#include <memory>

#include "platform/Foundation/NSTimer.h"
#include "platform/IOKit/IOPMLib.h"

class MutarodAppDelegate {
 public:
  // No assertion held.
  static constexpr IOPMAssertionID kNoAssertion = static_cast<IOPMAssertionID>(-1);

  // Starts the power thread and returns at once.
  void applicationDidFinishLaunching(void* application);

  // The power thread's body: takes the assertion, serves this thread's timers for at most
  // 300 seconds, then ends. The assertion stays held until the process exits.
  void powerCheckThread(void* argument);

  // With true, makes sure the assertion is held: true on success, false when it cannot be
  // created. With false, releases a held assertion and stops the renewal timer.
  bool setPowerAlive(bool alive);

  // The renewal timer's action: releases the assertion and takes it again.
  void handlePMTimer(NSTimer* timer);

  // Fields as a freshly allocated object has them; the power thread sets them up.
  IOPMAssertionID _ioPMAssertion = 0;
  std::shared_ptr<NSTimer> _ioPMTimer;
};
