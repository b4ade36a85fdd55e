#include "platform/UIKit/UIViewController.h"

#include "platform/UIKit/InterfaceFile.h"

UIViewController::UIViewController(const std::string& nibName, NSBundle*) : nibName_(nibName) {}

UIViewController::~UIViewController() {
  if (view_) view_->viewController_ = nullptr;
}

UIView* UIViewController::view() {
  if (!view_ && !loadingView_) {
    loadingView_ = true;
    loadView();
    if (!view_) setView(std::make_shared<UIView>());
    loadingView_ = false;
    viewDidLoad();
  }
  return view_.get();
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
  if (view_) view_->viewController_ = nullptr;
  view_ = std::move(view);
  if (view_) view_->viewController_ = this;
}

void UIViewController::loadView() {
  if (!nibName_.empty()) loadInterfaceFile(nibName_, this);
}
