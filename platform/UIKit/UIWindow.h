#pragma once
// The view at the root of everything shown. The application's key window is the one the
// front ends show.
#include "platform/UIKit/UIView.h"

class UIWindow : public UIView {
 public:
  using UIView::UIView;
  ~UIWindow() override;

  void makeKeyAndVisible();
  bool isKeyWindow() const;
};
