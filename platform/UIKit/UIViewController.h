#pragma once
// A controller of one screen. Its view is made the first time it is asked for: loadView()
// builds it (from the interface file named at creation, when there is one), then
// viewDidLoad() runs.
#include <memory>
#include <string>

#include "platform/Foundation/NSBundle.h"
#include "platform/UIKit/UIResponder.h"
#include "platform/UIKit/UIView.h"

class UINavigationController;

class UIViewController : public UIResponder {
 public:
  UIViewController() = default;
  // `nibName` names the interface file that builds the view; `bundle` is where it lives
  // (every interface file of this process is known by name, so it only documents the call).
  UIViewController(const std::string& nibName, NSBundle* bundle);
  ~UIViewController() override;
  UIViewController(const UIViewController&) = delete;
  UIViewController& operator=(const UIViewController&) = delete;

  UIView* view();
  bool isViewLoaded() const { return view_ != nullptr; }
  void setView(std::shared_ptr<UIView> view);
  const std::string& nibName() const { return nibName_; }

  // The title the navigation bar shows while this screen is on top.
  const std::string& title() const { return title_; }
  void setTitle(const std::string& title) { title_ = title; }

  // The navigation controller whose stack holds this screen; null when none does.
  UINavigationController* navigationController() const { return navigationController_; }

  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void didReceiveMemoryWarning() {}

 private:
  friend class UINavigationController;
  std::string nibName_;
  std::shared_ptr<UIView> view_;
  std::string title_;
  UINavigationController* navigationController_ = nullptr;
  bool loadingView_ = false;
};
