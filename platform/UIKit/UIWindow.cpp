#include "platform/UIKit/UIWindow.h"

#include "platform/UIKit/UIApplication.h"

UIWindow::~UIWindow() {
  if (UIApplication* application = UIApplication::sharedApplication()) {
    if (application->keyWindow() == this) application->setKeyWindow(nullptr);
  }
}

void UIWindow::makeKeyAndVisible() {
  setHidden(false);
  if (UIApplication* application = UIApplication::sharedApplication()) application->setKeyWindow(this);
}

bool UIWindow::isKeyWindow() const {
  UIApplication* application = UIApplication::sharedApplication();
  return application && application->keyWindow() == this;
}
