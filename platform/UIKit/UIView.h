#pragma once
// A rectangle of the interface with a tag and subviews. Views are held by shared_ptr: a
// superview keeps its subviews, a view controller keeps its view.
#include <memory>
#include <vector>

#include "platform/UIKit/NSIndexPath.h"
#include "platform/UIKit/UIColor.h"
#include "platform/UIKit/UIGeometry.h"
#include "platform/UIKit/UIResponder.h"

class UIViewController;

class UIView : public UIResponder, public std::enable_shared_from_this<UIView> {
 public:
  explicit UIView(CGRect frame = CGRectZero) : frame_(frame) {}
  ~UIView() override;

  const CGRect& frame() const { return frame_; }
  void setFrame(CGRect frame) { frame_ = frame; }
  NSInteger tag() const { return tag_; }
  void setTag(NSInteger tag) { tag_ = tag; }
  const UIColor& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(UIColor color) { backgroundColor_ = color; }
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden) { hidden_ = hidden; }

  // Adds `view` on top of the subviews, taking it from its former superview. A view cannot
  // become a subview of itself or of one of its own subviews; such a call does nothing.
  void addSubview(std::shared_ptr<UIView> view);
  // The same for a view already held elsewhere by shared_ptr (a controller's view).
  void addSubview(UIView* view);
  void removeFromSuperview();
  UIView* superview() const { return superview_; }
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }

  // This view when it carries `tag`, otherwise the first subview that does, depth first;
  // null when none does.
  UIView* viewWithTag(NSInteger tag);

  // The view controller whose view this is; null for any other view.
  UIViewController* viewController() const { return viewController_; }

 private:
  friend class UIViewController;
  bool isDescendantOf(const UIView* view) const;

  CGRect frame_;
  NSInteger tag_ = 0;
  UIColor backgroundColor_ = UIColor::clearColor();
  bool hidden_ = false;
  UIView* superview_ = nullptr;
  std::vector<std::shared_ptr<UIView>> subviews_;
  UIViewController* viewController_ = nullptr;
};
