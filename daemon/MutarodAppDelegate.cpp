#include "daemon/MutarodAppDelegate.h"

#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/NSRunLoop.h"
#include "platform/Foundation/NSThread.h"

void MutarodAppDelegate::applicationDidFinishLaunching(void*) {
  NSLog("+++++++++++++++++++++++++++ CREATE THREAD ++++++++++++");
  detachNewThread([this] { powerCheckThread(nullptr); });
}

void MutarodAppDelegate::powerCheckThread(void*) {
  NSLog("Not using register power");
  _ioPMAssertion = kNoAssertion;
  _ioPMTimer = nullptr;
  NSLog("-------------------~~~~~~~~~ Activate power");
  setPowerAlive(true);
  // Returns at once unless a renewal timer was scheduled.
  NSRunLoop::currentRunLoop().runUntilDate(300);
}

bool MutarodAppDelegate::setPowerAlive(bool alive) {
  if (!alive) {
    if (_ioPMTimer) _ioPMTimer->invalidate();
    _ioPMTimer = nullptr;
    if (_ioPMAssertion != kNoAssertion && IOPMAssertionRelease(_ioPMAssertion) == kIOReturnSuccess) {
      _ioPMAssertion = kNoAssertion;
    }
    return _ioPMAssertion == kNoAssertion;
  }

  if (_ioPMAssertion == kNoAssertion) {
    NSLog("create ioPMAssertion..");
    IOPMAssertionID assertion = kNoAssertion;
    if (IOPMAssertionCreate(kIOPMAssertionTypeNoIdleSleep, kIOPMAssertionLevelOn, &assertion) !=
        kIOReturnSuccess) {
      NSLog("Failed to create ioPMAssertion");
      return false;
    }
    _ioPMAssertion = assertion;
  }
  if (_ioPMTimer) {
    NSLog("Re-activate IOPM timer");
    _ioPMTimer->invalidate();
    _ioPMTimer = NSRunLoop::currentRunLoop().scheduledTimerWithTimeInterval(
        5, true, [this] { handlePMTimer(_ioPMTimer.get()); });
  }
  NSLog("IOPM active");
  return true;
}

void MutarodAppDelegate::handlePMTimer(NSTimer*) {
  NSLog("ioPMTimer fired");
  if (_ioPMAssertion == kNoAssertion) return;
  if (IOPMAssertionRelease(_ioPMAssertion) != kIOReturnSuccess) {
    NSLog("IOPM: failed to release assertion");
    return;
  }
  _ioPMAssertion = kNoAssertion;
  IOPMAssertionID assertion = kNoAssertion;
  if (IOPMAssertionCreate(kIOPMAssertionTypeNoIdleSleep, kIOPMAssertionLevelOn, &assertion) !=
      kIOReturnSuccess) {
    NSLog("IOPM: failed to renew assertion");
    return;
  }
  _ioPMAssertion = assertion;
}
