#pragma once
// An on/off switch. The user's toggle changes it and sends UIControlEventValueChanged;
// changing it from code sends nothing.
#include "platform/UIKit/UIControl.h"

class UISwitch : public UIControl {
 public:
  using UIControl::UIControl;

  bool isOn() const { return on_; }
  void setOn(bool on) { on_ = on; }
  void setOnAnimated(bool on, bool /*animated*/) { on_ = on; }

  // What a touch of the user does: nothing while the switch is disabled, otherwise it flips
  // and tells its targets. True when it flipped.
  bool toggleByUser();

 private:
  bool on_ = false;
};
