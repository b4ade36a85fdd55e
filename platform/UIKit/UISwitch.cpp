#include "platform/UIKit/UISwitch.h"

bool UISwitch::toggleByUser() {
  if (!isEnabled()) return false;
  setOn(!isOn());
  sendActionsForControlEvents(UIControlEventValueChanged);
  return true;
}
