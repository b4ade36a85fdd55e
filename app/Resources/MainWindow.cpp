// "MainWindow": the application's delegate with its window and tab bar; in the tab bar a
// navigation controller whose root is the switches screen. The window is visible at launch.
#include <memory>

#include "app/Classes/Mutaro2_0AppDelegate.h"
#include "app/Classes/MutaroViewController.h"
#include "app/Resources/InterfaceFiles.h"
#include "platform/UIKit/UIKit.h"

namespace {

void loadMainWindow(UIResponder* owner) {
  auto* application = dynamic_cast<UIApplication*>(owner);
  if (!application) return;
  auto delegate = std::make_shared<Mutaro2_0AppDelegate>();

  auto switches = std::make_shared<MutaroViewController>(UITableViewStyleGrouped);
  switches->setTitle("Mutaro");
  auto navigation = std::make_shared<UINavigationController>(switches);
  navigation->setTitle("Settings");
  auto tabBarController = std::make_shared<UITabBarController>();
  tabBarController->setViewControllers({navigation});
  tabBarController->setDelegate(delegate.get());

  auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 480));
  delegate->setWindow(window);
  delegate->setTabBarController(tabBarController);
  application->setDelegate(delegate);
  window->makeKeyAndVisible();
}

}  // namespace

void registerMainWindow() { registerInterfaceFile("MainWindow", loadMainWindow); }
