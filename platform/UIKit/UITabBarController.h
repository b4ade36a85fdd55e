#pragma once
// Tabs of screens; the selected tab's screen is shown.
#include <memory>
#include <vector>

#include "platform/UIKit/UIViewController.h"

// Its methods are all optional; none is called here.
class UITabBarControllerDelegate {
 public:
  virtual ~UITabBarControllerDelegate() = default;
};

class UITabBarController : public UIViewController {
 public:
  void setViewControllers(std::vector<std::shared_ptr<UIViewController>> viewControllers);
  const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return tabs_; }
  // Null when there are no tabs.
  UIViewController* selectedViewController() const;
  size_t selectedIndex() const { return selectedIndex_; }
  void setSelectedIndex(size_t index);

  UITabBarControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(UITabBarControllerDelegate* delegate) { delegate_ = delegate; }

 private:
  std::vector<std::shared_ptr<UIViewController>> tabs_;
  size_t selectedIndex_ = 0;
  UITabBarControllerDelegate* delegate_ = nullptr;
};
