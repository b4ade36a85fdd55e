#pragma once
// The switches screen: the master switch, "Disable Event", the calendar row, "Enable
// Profiles" (systems before 5 only) and the eight sound switches of the profile. Every
// switch writes its settings key the moment it changes.
#include <memory>

#include "platform/UIKit/UIKit.h"

class MutaroViewController : public UITableViewController {
 public:
  using UITableViewController::UITableViewController;

  void viewDidLoad() override;
  void didReceiveMemoryWarning() override;

  NSInteger numberOfSectionsInTableView(UITableView* tableView) override;
  NSInteger tableViewNumberOfRowsInSection(UITableView* tableView, NSInteger section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* tableView,
                                                                  const NSIndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;

  void switchChanged(UISwitch* sender);

 private:
  std::shared_ptr<UITableViewCell> calendarCell();
  std::shared_ptr<UITableViewCell> switchRowCell(const NSIndexPath& indexPath);
  void disableEventChanged(UISwitch* sender);
  void enableProfilesChanged(UISwitch* sender);

  // Point into the cell being built, and only while it is built.
  UISwitch* switchCell = nullptr;
  UILabel* calLabel = nullptr;
  UILabel* regLabel = nullptr;
  // The table last asked for a cell; reloaded when the profile switch changes.
  UITableView* tv = nullptr;
};
