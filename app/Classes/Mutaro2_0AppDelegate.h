#pragma once
// The application's delegate: it loads the calendar list when launching has finished and
// puts the tab bar into the window.
#include <sqlite3.h>

#include <memory>
#include <vector>

#include "app/Classes/CalendarArray.h"
#include "platform/UIKit/UIKit.h"

class Mutaro2_0AppDelegate : public UIApplicationDelegate, public UITabBarControllerDelegate {
 public:
  Mutaro2_0AppDelegate() = default;
  ~Mutaro2_0AppDelegate() override;
  Mutaro2_0AppDelegate(const Mutaro2_0AppDelegate&) = delete;
  Mutaro2_0AppDelegate& operator=(const Mutaro2_0AppDelegate&) = delete;

  void applicationDidFinishLaunching(UIApplication* application) override;
  // Opens the calendar database and lists its calendars.
  void initializeDatabase();

  UIWindow* window() const { return window_.get(); }
  void setWindow(std::shared_ptr<UIWindow> window) { window_ = std::move(window); }
  UITabBarController* tabBarController() const { return tabBarController_.get(); }
  void setTabBarController(std::shared_ptr<UITabBarController> controller) {
    tabBarController_ = std::move(controller);
  }
  const std::vector<std::shared_ptr<CalendarArray>>& calendarArray() const { return calendarArray_; }
  void setCalendarArray(std::vector<std::shared_ptr<CalendarArray>> calendars) {
    calendarArray_ = std::move(calendars);
  }

 private:
  std::shared_ptr<UIWindow> window_;
  std::shared_ptr<UITabBarController> tabBarController_;
  // Opened at launch and kept open; the calendars' shared statement lives on it.
  sqlite3* database = nullptr;
  std::vector<std::shared_ptr<CalendarArray>> calendarArray_;
};
