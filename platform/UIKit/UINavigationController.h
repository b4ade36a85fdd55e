#pragma once
// A stack of screens: the one on top is shown, a pushed screen goes on top, going back pops
// it. The stack holds its screens.
#include <memory>
#include <vector>

#include "platform/UIKit/UIViewController.h"

class UINavigationController : public UIViewController {
 public:
  explicit UINavigationController(std::shared_ptr<UIViewController> rootViewController);
  ~UINavigationController() override;

  // The pushed screen's view is loaded now, so that its viewDidLoad runs before it shows.
  void pushViewControllerAnimated(std::shared_ptr<UIViewController> viewController, bool animated);
  // Takes the top screen off the stack and hands it back; the root stays (null then).
  std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);

  UIViewController* topViewController() const;
  const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return stack_; }

 private:
  std::vector<std::shared_ptr<UIViewController>> stack_;
};
