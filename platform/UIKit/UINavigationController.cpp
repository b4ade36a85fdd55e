#include "platform/UIKit/UINavigationController.h"

UINavigationController::UINavigationController(std::shared_ptr<UIViewController> rootViewController) {
  if (rootViewController) pushViewControllerAnimated(std::move(rootViewController), false);
}

UINavigationController::~UINavigationController() {
  for (auto& viewController : stack_) viewController->navigationController_ = nullptr;
}

void UINavigationController::pushViewControllerAnimated(
    std::shared_ptr<UIViewController> viewController, bool) {
  if (!viewController || viewController.get() == this || viewController->navigationController_) return;
  viewController->navigationController_ = this;
  stack_.push_back(viewController);
  if (stack_.size() > 1) viewController->view();
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool) {
  if (stack_.size() < 2) return nullptr;
  std::shared_ptr<UIViewController> popped = stack_.back();
  stack_.pop_back();
  popped->navigationController_ = nullptr;
  return popped;
}

UIViewController* UINavigationController::topViewController() const {
  return stack_.empty() ? nullptr : stack_.back().get();
}
