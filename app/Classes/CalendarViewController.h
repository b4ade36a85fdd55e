#pragma once
// The calendar chooser: "All Calendars" and one row per listed calendar; the checkmark marks
// the calendar watched, and a tap stores the new choice in "CalendarID" at once.
#include <memory>
#include <optional>
#include <string>

#include "platform/UIKit/UIKit.h"

class CalendarViewController : public UITableViewController {
 public:
  using UITableViewController::UITableViewController;

  void viewDidLoad() override;
  NSInteger numberOfSectionsInTableView(UITableView* tableView) override;
  NSInteger tableViewNumberOfRowsInSection(UITableView* tableView, NSInteger section) override;
  std::string tableViewTitleForHeaderInSection(UITableView* tableView, NSInteger section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* tableView,
                                                                  const NSIndexPath& indexPath) override;
  void tableViewDidSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;

 private:
  // The row that shows the checkmark now, if any.
  std::optional<NSIndexPath> checkIndexPath;
};
