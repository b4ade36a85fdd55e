#pragma once
// The application object and its loop. Launching loads the main interface file, which makes
// the application's delegate and window; then the delegate hears that launching finished.
#include <functional>
#include <memory>
#include <string>

#include "platform/UIKit/UIResponder.h"

class UIApplication;
class UIWindow;

class UIApplicationDelegate {
 public:
  virtual ~UIApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching(UIApplication* /*application*/) {}
};

// The main interface file that the bundle's information list names.
constexpr const char* kMainInterfaceFile = "MainWindow";

class UIApplication : public UIResponder {
 public:
  // The application launched last; null before any launch.
  static UIApplication* sharedApplication();

  // The application keeps its delegate, and with it what the main interface file made.
  UIApplicationDelegate* delegate() const { return delegate_.get(); }
  void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

  UIWindow* keyWindow() const { return keyWindow_; }
  void setKeyWindow(UIWindow* window) { keyWindow_ = window; }

  // While the application does something the user has to wait for, what the user does
  // meanwhile is dropped, and the front end shows `message` (the stand-in's own addition).
  // Calls nest; the front end hears of the outermost begin and end only.
  void beginIgnoringInteractionEvents(const std::string& message);
  void endIgnoringInteractionEvents();
  bool isIgnoringInteractionEvents() const { return ignoring_ > 0; }
  using InteractionObserver = std::function<void(bool ignoring, const std::string& message)>;
  void setInteractionObserver(InteractionObserver observer) { interactionObserver_ = std::move(observer); }

 private:
  std::shared_ptr<UIApplicationDelegate> delegate_;
  UIWindow* keyWindow_ = nullptr;
  int ignoring_ = 0;
  InteractionObserver interactionObserver_;
};

// Ignores interaction events of the shared application for as long as it lives; nothing
// when no application was launched.
class IgnoringInteractionEvents {
 public:
  explicit IgnoringInteractionEvents(const std::string& message);
  ~IgnoringInteractionEvents();
  IgnoringInteractionEvents(const IgnoringInteractionEvents&) = delete;
  IgnoringInteractionEvents& operator=(const IgnoringInteractionEvents&) = delete;

 private:
  UIApplication* application_;
};

// Makes a new shared application (the previous one goes), loads the main interface file with
// the application as its owner and tells the delegate that launching finished. Null when
// there is no main interface file.
UIApplication* UIApplicationLaunch();

// Launches the application and runs its loop in the terminal until the user quits. The
// application and delegate come from the main interface file; the class names are unused.
int UIApplicationMain(int argc, char* argv[], const char* principalClassName,
                      const char* delegateClassName);
