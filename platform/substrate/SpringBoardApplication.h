#pragma once
// SpringBoard's application object. Its status-bar images go to the simulated phone's
// "statusbar" journal, one record per call, ["add", NAME] or ["remove", NAME], which
// `phonesim status` replays.
#include <string>

#include "platform/substrate/ObjCRuntime.h"

class SpringBoardApplication : public objc_object {
 public:
  void addStatusBarImageNamed(const std::string& name);
  void removeStatusBarImageNamed(const std::string& name);
};

// The one application object of the SpringBoard process; the host sets its class.
extern SpringBoardApplication* const UIApp;
