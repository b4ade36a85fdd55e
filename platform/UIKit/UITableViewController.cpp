#include "platform/UIKit/UITableViewController.h"

UITableView* UITableViewController::tableView() { return dynamic_cast<UITableView*>(view()); }

void UITableViewController::loadView() {
  UIViewController::loadView();
  if (isViewLoaded()) return;
  auto table = std::make_shared<UITableView>(CGRectZero, style_);
  table->setDataSource(this);
  table->setDelegate(this);
  setView(table);
}
