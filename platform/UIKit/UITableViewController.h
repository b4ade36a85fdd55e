#pragma once
// A screen that is one table: the controller is the table's data source and delegate.
#include <memory>
#include <string>

#include "platform/UIKit/UITableView.h"
#include "platform/UIKit/UIViewController.h"

class UITableViewController : public UIViewController,
                              public UITableViewDataSource,
                              public UITableViewDelegate {
 public:
  explicit UITableViewController(UITableViewStyle style = UITableViewStylePlain) : style_(style) {}
  // The interface file builds the table; without one the controller makes its own.
  UITableViewController(const std::string& nibName, NSBundle* bundle)
      : UIViewController(nibName, bundle) {}

  // The screen's table (its view); null only when an interface file gave it another view.
  UITableView* tableView();

  void loadView() override;

  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override { return 0; }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*,
                                                                  const NSIndexPath&) override {
    return nullptr;
  }

 private:
  UITableViewStyle style_ = UITableViewStylePlain;
};
