#include "platform/UIKit/ScreenReader.h"

#include <gtest/gtest.h>

#include "platform/UIKit/HeadlessFrontEnd.h"
#include "platform/UIKit/UIKit.h"

namespace {

// The second screen: its view comes from the interface file "Detail".
class DetailScreen : public UITableViewController {
 public:
  DetailScreen() : UITableViewController("Detail", nullptr) {}
  void viewDidLoad() override { setTitle("Detail"); }
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override { return 1; }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*, const NSIndexPath&) override {
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
    cell->textLabel()->setText("Only row");
    cell->setAccessoryType(UITableViewCellAccessoryCheckmark);
    return cell;
  }
};

// The first screen: a switch row titled by a label of its own, a disabled switch row and a
// row that opens the detail screen.
class MainScreen : public UITableViewController {
 public:
  void viewDidLoad() override { setTitle("Main"); ++loads; }
  NSInteger numberOfSectionsInTableView(UITableView*) override { return 2; }
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger section) override {
    return section == 0 ? 3 : 0;
  }
  std::string tableViewTitleForHeaderInSection(UITableView*, NSInteger section) override {
    return section == 1 ? "Empty section" : "";
  }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override {
    auto cell = std::make_shared<UITableViewCell>(CGRectZero, "Else");
    auto label = std::make_shared<UILabel>(CGRectMake(10, 10, 150, 20));
    cell->contentView()->addSubview(label);
    if (indexPath.row() == 2) {
      label->setText("Open");
      cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
      return cell;
    }
    label->setText(indexPath.row() == 0 ? "Live" : "Greyed");
    auto control = std::make_shared<UISwitch>(CGRectMake(200, 8, 27, 7));
    control->setOn(switchOn);
    control->setEnabled(indexPath.row() == 0);
    control->addTargetActionForControlEvents(this, &MainScreen::switchChanged, UIControlEventValueChanged);
    cell->contentView()->addSubview(control);
    return cell;
  }
  void tableViewDidSelectRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override {
    if (indexPath.row() == 2) navigationController()->pushViewControllerAnimated(std::make_shared<DetailScreen>(), true);
  }
  void switchChanged(UISwitch* sender) {
    switchOn = sender->isOn();
    tableView()->reloadData();
  }

  bool switchOn = false;
  int loads = 0;
};

class TestDelegate : public UIApplicationDelegate {
 public:
  void applicationDidFinishLaunching(UIApplication*) override { window->addSubview(tabs->view()); }
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<UITabBarController> tabs;
  MainScreen* main = nullptr;
};

class ScreenReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    registerInterfaceFile("MainWindow", [](UIResponder* owner) {
      auto delegate = std::make_shared<TestDelegate>();
      auto main = std::make_shared<MainScreen>();
      delegate->main = main.get();
      delegate->window = std::make_shared<UIWindow>();
      delegate->tabs = std::make_shared<UITabBarController>();
      delegate->tabs->setViewControllers({std::make_shared<UINavigationController>(main)});
      delegate->window->makeKeyAndVisible();
      static_cast<UIApplication*>(owner)->setDelegate(delegate);
    });
    registerInterfaceFile("Detail", [](UIResponder* owner) {
      auto* controller = dynamic_cast<UITableViewController*>(owner);
      auto table = std::make_shared<UITableView>(CGRectZero, UITableViewStyleGrouped);
      table->setDataSource(controller);
      table->setDelegate(controller);
      controller->setView(table);
    });
  }
};

TEST_F(ScreenReaderTest, ReadsTheShownScreenAsTheUserSeesIt) {
  HeadlessFrontEnd ui;
  ASSERT_TRUE(ui.launched());
  EXPECT_EQ(ui.navigationTitle(), "Main");
  EXPECT_FALSE(ui.content().canGoBack);
  EXPECT_EQ(ui.sectionHeaders(), (std::vector<std::string>{"", "Empty section"}));
  EXPECT_EQ(ui.rowTitles(), (std::vector<std::string>{"Live", "Greyed", "Open"}));
  auto live = ui.row("Live");
  ASSERT_TRUE(live);
  EXPECT_TRUE(live->hasSwitch && live->switchEnabled && !live->switchOn);
  EXPECT_FALSE(ui.row("Greyed")->switchEnabled);
  EXPECT_FALSE(ui.row("Open")->hasSwitch);
  EXPECT_EQ(ui.row("Open")->accessory, UITableViewCellAccessoryDisclosureIndicator);
  EXPECT_FALSE(ui.row("Missing"));
}

TEST_F(ScreenReaderTest, TapsSwitchesButNotDisabledOnesAndReadsTheRebuiltRows) {
  HeadlessFrontEnd ui;
  EXPECT_TRUE(ui.tapSwitch("Live"));
  EXPECT_TRUE(ui.row("Live")->switchOn);
  EXPECT_TRUE(ui.row("Greyed")->switchOn);  // rebuilt by the reload
  EXPECT_FALSE(ui.tapSwitch("Greyed"));
  EXPECT_FALSE(ui.tapSwitch("Open"));
  EXPECT_FALSE(ui.tapSwitch("Missing"));
  EXPECT_TRUE(ui.row("Live")->switchOn);
}

TEST_F(ScreenReaderTest, SelectingPushesAScreenAndGoingBackReturns) {
  HeadlessFrontEnd ui;
  auto* delegate = static_cast<TestDelegate*>(ui.application()->delegate());
  EXPECT_FALSE(ui.goBack());
  EXPECT_TRUE(ui.selectRow("Open"));
  EXPECT_EQ(ui.navigationTitle(), "Detail");
  EXPECT_TRUE(ui.content().canGoBack);
  ASSERT_EQ(ui.visibleRows().size(), 1u);
  EXPECT_EQ(ui.visibleRows()[0].title, "Only row");
  EXPECT_EQ(ui.visibleRows()[0].accessory, UITableViewCellAccessoryCheckmark);
  EXPECT_TRUE(ui.goBack());
  EXPECT_EQ(ui.navigationTitle(), "Main");
  EXPECT_EQ(delegate->main->loads, 1);
  EXPECT_FALSE(ui.selectRow(NSIndexPath::indexPathForRowInSection(0, 1)));
}

TEST_F(ScreenReaderTest, NothingShowsUntilTheDelegatePutsAViewInTheWindowAndNoMainFileMeansNoLaunch) {
  registerInterfaceFile("MainWindow", [](UIResponder* owner) {
    auto delegate = std::make_shared<TestDelegate>();
    delegate->window = std::make_shared<UIWindow>();
    delegate->window->makeKeyAndVisible();
    static_cast<UIApplication*>(owner)->setDelegate(delegate);
    delegate->tabs = std::make_shared<UITabBarController>();
  });
  {
    HeadlessFrontEnd ui;
    ASSERT_TRUE(ui.launched());
    EXPECT_EQ(ScreenReader(ui.application()).topViewController(), nullptr);  // the tab bar has no tabs
    EXPECT_TRUE(ui.visibleRows().empty());
    EXPECT_FALSE(ui.goBack());
  }
  registerInterfaceFile("MainWindow", nullptr);
  HeadlessFrontEnd ui;
  EXPECT_FALSE(ui.launched());
  EXPECT_TRUE(ui.content().sections.empty());
}

}  // namespace
