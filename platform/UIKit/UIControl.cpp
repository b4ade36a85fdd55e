#include "platform/UIKit/UIControl.h"

#include <memory>

void UIControl::sendActionsForControlEvents(UIControlEvents controlEvents) {
  std::shared_ptr<UIView> keepAlive = weak_from_this().lock();
  const std::vector<TargetAction> actions = targetActions_;
  for (const TargetAction& targetAction : actions) {
    if (targetAction.controlEvents & controlEvents) targetAction.send(this);
  }
}
