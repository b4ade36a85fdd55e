#pragma once
// A view the user acts on. It sends its actions to their targets for the control events
// they were added for.
#include <functional>
#include <vector>

#include "platform/UIKit/UIView.h"

using UIControlEvents = unsigned long;
constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;  // 4096

class UIControl : public UIView {
 public:
  using UIView::UIView;

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // `action` is a member function of `target` that takes the control as its sender; the
  // target must outlive the control.
  template <class Target, class Sender>
  void addTargetActionForControlEvents(Target* target, void (Target::*action)(Sender*),
                                       UIControlEvents controlEvents) {
    targetActions_.push_back(TargetAction{
        [target, action](UIControl* sender) { (target->*action)(dynamic_cast<Sender*>(sender)); },
        controlEvents});
  }

  // Sends every action added for any of `controlEvents`, in the order they were added. The
  // control stays alive until the last action returns, even when an action makes its owner
  // drop it (a table reloading its cells).
  void sendActionsForControlEvents(UIControlEvents controlEvents);

 private:
  struct TargetAction {
    std::function<void(UIControl*)> send;
    UIControlEvents controlEvents;
  };
  bool enabled_ = true;
  std::vector<TargetAction> targetActions_;
};
