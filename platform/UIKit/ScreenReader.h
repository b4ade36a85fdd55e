#pragma once
// What the application's key window shows, read the way a user sees it, and the touches a
// user makes on it. Both front ends go through here. The screen shown is the top of the
// navigation stack in the selected tab of the window's topmost controller's view; a table
// screen shows its table, which loads itself the first time it is read.
#include <string>
#include <vector>

#include "platform/UIKit/NSIndexPath.h"
#include "platform/UIKit/UITableViewCell.h"

class UIApplication;
class UINavigationController;
class UITableView;
class UIViewController;

struct VisibleRow {
  NSIndexPath indexPath;
  std::string title;  // the cell's text label, else the first label of its content view
  bool hasSwitch = false;
  bool switchOn = false;
  bool switchEnabled = false;
  UITableViewCellAccessoryType accessory = UITableViewCellAccessoryNone;
  bool selected = false;
};

struct VisibleSection {
  std::string header;  // "" when the section has none
  std::vector<VisibleRow> rows;
};

struct ScreenContent {
  std::string navigationTitle;
  bool canGoBack = false;
  std::vector<VisibleSection> sections;
};

class ScreenReader {
 public:
  explicit ScreenReader(UIApplication* application) : application_(application) {}

  // The screen shown now (its view loaded); null when the window shows none.
  UIViewController* topViewController() const;
  // How many screens deep the shown one is (1 for a navigation root).
  size_t depth() const;
  ScreenContent content() const;
  // Has the shown table ask its data source for everything anew, as when it is redrawn.
  void reload();

  // The user's touches. Each is false when there is nothing to touch there: no such row, no
  // switch in it, a disabled switch, no screen to go back to.
  bool tapSwitch(const NSIndexPath& indexPath);
  bool selectRow(const NSIndexPath& indexPath);
  bool goBack();

 private:
  UINavigationController* shownNavigationController() const;
  UITableView* shownTableView() const;

  UIApplication* application_;
};
