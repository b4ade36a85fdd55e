#include "platform/UIKit/UIView.h"

#include <algorithm>

UIView::~UIView() {
  // A subview kept alive elsewhere no longer has this superview.
  for (auto& subview : subviews_) subview->superview_ = nullptr;
}

void UIView::addSubview(std::shared_ptr<UIView> view) {
  if (!view || isDescendantOf(view.get())) return;
  view->removeFromSuperview();
  view->superview_ = this;
  subviews_.push_back(std::move(view));
}

void UIView::addSubview(UIView* view) {
  if (view) addSubview(view->shared_from_this());
}

void UIView::removeFromSuperview() {
  if (!superview_) return;
  auto keepAlive = shared_from_this();
  auto& siblings = superview_->subviews_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), keepAlive), siblings.end());
  superview_ = nullptr;
}

UIView* UIView::viewWithTag(NSInteger tag) {
  if (tag_ == tag) return this;
  for (auto& subview : subviews_) {
    if (UIView* found = subview->viewWithTag(tag)) return found;
  }
  return nullptr;
}

bool UIView::isDescendantOf(const UIView* view) const {
  for (const UIView* ancestor = this; ancestor; ancestor = ancestor->superview_) {
    if (ancestor == view) return true;
  }
  return false;
}
