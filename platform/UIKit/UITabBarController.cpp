#include "platform/UIKit/UITabBarController.h"

void UITabBarController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> viewControllers) {
  tabs_ = std::move(viewControllers);
  selectedIndex_ = 0;
}

UIViewController* UITabBarController::selectedViewController() const {
  return selectedIndex_ < tabs_.size() ? tabs_[selectedIndex_].get() : nullptr;
}

void UITabBarController::setSelectedIndex(size_t index) {
  if (index < tabs_.size()) selectedIndex_ = index;
}
