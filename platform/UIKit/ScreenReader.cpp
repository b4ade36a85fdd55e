#include "platform/UIKit/ScreenReader.h"

#include "platform/UIKit/UIApplication.h"
#include "platform/UIKit/UINavigationController.h"
#include "platform/UIKit/UISwitch.h"
#include "platform/UIKit/UITabBarController.h"
#include "platform/UIKit/UITableView.h"
#include "platform/UIKit/UITableViewController.h"
#include "platform/UIKit/UIWindow.h"

namespace {

// The controller of the topmost visible subview of the window that belongs to one.
UIViewController* rootViewController(UIApplication* application) {
  if (!application || !application->keyWindow()) return nullptr;
  const auto& subviews = application->keyWindow()->subviews();
  for (auto view = subviews.rbegin(); view != subviews.rend(); ++view) {
    if (!(*view)->isHidden() && (*view)->viewController()) return (*view)->viewController();
  }
  return nullptr;
}

// Tabs lead to their selected screen, navigation stacks to their top screen.
UIViewController* shownController(UIViewController* controller) {
  while (controller) {
    if (auto* tabs = dynamic_cast<UITabBarController*>(controller)) {
      controller = tabs->selectedViewController();
    } else if (auto* navigation = dynamic_cast<UINavigationController*>(controller)) {
      controller = navigation->topViewController();
    } else {
      return controller;
    }
  }
  return nullptr;
}

UISwitch* firstSwitch(UIView* view) {
  if (auto* found = dynamic_cast<UISwitch*>(view)) return found;
  for (auto& subview : view->subviews()) {
    if (UISwitch* found = firstSwitch(subview.get())) return found;
  }
  return nullptr;
}

const UILabel* firstLabelWithText(const UIView* view) {
  if (auto* label = dynamic_cast<const UILabel*>(view); label && !label->text().empty()) return label;
  for (auto& subview : view->subviews()) {
    if (const UILabel* found = firstLabelWithText(subview.get())) return found;
  }
  return nullptr;
}

VisibleRow readRow(UITableViewCell* cell, const NSIndexPath& indexPath) {
  VisibleRow row;
  row.indexPath = indexPath;
  if (cell->existingTextLabel() && !cell->existingTextLabel()->text().empty()) {
    row.title = cell->existingTextLabel()->text();
  } else if (const UILabel* label = firstLabelWithText(cell->contentView())) {
    row.title = label->text();
  }
  if (UISwitch* control = firstSwitch(cell->contentView())) {
    row.hasSwitch = true;
    row.switchOn = control->isOn();
    row.switchEnabled = control->isEnabled();
  }
  row.accessory = cell->accessoryType();
  row.selected = cell->isSelected();
  return row;
}

}  // namespace

UINavigationController* ScreenReader::shownNavigationController() const {
  UIViewController* shown = topViewController();
  return shown ? shown->navigationController() : nullptr;
}

UIViewController* ScreenReader::topViewController() const {
  UIViewController* shown = shownController(rootViewController(application_));
  if (shown) shown->view();
  return shown;
}

size_t ScreenReader::depth() const {
  UINavigationController* navigation = shownNavigationController();
  return navigation ? navigation->viewControllers().size() : (topViewController() ? 1 : 0);
}

UITableView* ScreenReader::shownTableView() const {
  UIViewController* shown = topViewController();
  auto* table = shown ? dynamic_cast<UITableView*>(shown->view()) : nullptr;
  if (table) table->layoutIfNeeded();
  return table;
}

ScreenContent ScreenReader::content() const {
  ScreenContent content;
  UIViewController* shown = topViewController();
  if (!shown) return content;
  content.navigationTitle = shown->title();
  content.canGoBack = depth() > 1;
  UITableView* table = shownTableView();
  if (!table) return content;
  for (NSInteger section = 0; section < table->numberOfSections(); ++section) {
    VisibleSection visible;
    visible.header = table->titleForHeaderInSection(section);
    for (NSInteger row = 0; row < table->numberOfRowsInSection(section); ++row) {
      auto indexPath = NSIndexPath::indexPathForRowInSection(row, section);
      visible.rows.push_back(readRow(table->cellForRowAtIndexPath(indexPath), indexPath));
    }
    content.sections.push_back(std::move(visible));
  }
  return content;
}

void ScreenReader::reload() {
  if (UITableView* table = shownTableView()) table->reloadData();
}

bool ScreenReader::tapSwitch(const NSIndexPath& indexPath) {
  UITableView* table = shownTableView();
  UITableViewCell* cell = table ? table->cellForRowAtIndexPath(indexPath) : nullptr;
  UISwitch* control = cell ? firstSwitch(cell->contentView()) : nullptr;
  return control && control->toggleByUser();
}

bool ScreenReader::selectRow(const NSIndexPath& indexPath) {
  UITableView* table = shownTableView();
  return table && table->selectRowByUser(indexPath);
}

bool ScreenReader::goBack() {
  UINavigationController* navigation = shownNavigationController();
  return navigation && navigation->popViewControllerAnimated(true) != nullptr;
}
