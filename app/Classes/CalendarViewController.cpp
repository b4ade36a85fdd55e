#include "app/Classes/CalendarViewController.h"

#include <exception>
#include <vector>

#include "app/Classes/CalendarArray.h"
#include "app/Classes/Mutaro2_0AppDelegate.h"
#include "platform/Foundation/NSLog.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsChanged.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

namespace {

// The calendar list of the shared application's delegate.
const std::vector<std::shared_ptr<CalendarArray>>& calendarArray() {
  static const std::vector<std::shared_ptr<CalendarArray>> none;
  UIApplication* application = UIApplication::sharedApplication();
  auto* appDelegate = application ? dynamic_cast<Mutaro2_0AppDelegate*>(application->delegate()) : nullptr;
  return appDelegate ? appDelegate->calendarArray() : none;
}

}  // namespace

void CalendarViewController::viewDidLoad() {
  UITableViewController::viewDidLoad();
  setTitle("Select Calendar");
}

NSInteger CalendarViewController::numberOfSectionsInTableView(UITableView*) {
  NSLog("numberOfSectionsInTableView");
  return 2;
}

NSInteger CalendarViewController::tableViewNumberOfRowsInSection(UITableView*, NSInteger section) {
  NSLog("numberOfRowsInSection");
  if (section == 0) return 1;
  return static_cast<NSInteger>(calendarArray().size());
}

std::string CalendarViewController::tableViewTitleForHeaderInSection(UITableView*, NSInteger section) {
  NSLog("titleForHeaderInSection");
  if (section == 0) return "ALL Calendars - Mutaro will check for new events on ALL calendars";
  if (section == 1) return "Select a specific calendar - Mutaro will check for new events only in that calendar";
  return "";
}

std::shared_ptr<UITableViewCell> CalendarViewController::tableViewCellForRowAtIndexPath(
    UITableView*, const NSIndexPath& indexPath) {
  NSLog("Format cell");
  auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
  try {
    if (indexPath.section() == 0) {
      cell->textLabel()->setText("All Calendars");
      if (readPlistInt(kCalendarID) == 0) {
        cell->setAccessoryType(UITableViewCellAccessoryCheckmark);
        checkIndexPath = indexPath;
      }
    } else if (indexPath.section() == 1) {
      const CalendarArray& calendar = *calendarArray().at(indexPath.row());
      cell->textLabel()->setText(calendar.calendarName());
      if (calendar.calendarID() == readPlistInt(kCalendarID)) {
        cell->setAccessoryType(UITableViewCellAccessoryCheckmark);
        checkIndexPath = indexPath;
      }
    }
  } catch (const std::exception& exception) {
    NSLog("%s", exception.what());
  }
  return cell;
}

void CalendarViewController::tableViewDidSelectRowAtIndexPath(UITableView* tableView,
                                                              const NSIndexPath& indexPath) {
  NSLog("didSelectRowAtIndexPath");
  if (checkIndexPath) {
    if (UITableViewCell* checked = tableView->cellForRowAtIndexPath(*checkIndexPath)) {
      checked->setAccessoryType(UITableViewCellAccessoryNone);
    }
  }
  if (UITableViewCell* tapped = tableView->cellForRowAtIndexPath(indexPath)) {
    tapped->setAccessoryType(UITableViewCellAccessoryCheckmark);
  }
  checkIndexPath = indexPath;
  tableView->deselectRowAtIndexPathAnimated(indexPath, true);
  if (indexPath.section() == 0) {
    updatePlistNumber(kCalendarID, 0);
  } else if (indexPath.section() == 1 && indexPath.row() >= 0 &&
             indexPath.row() < static_cast<NSInteger>(calendarArray().size())) {
    updatePlistNumber(kCalendarID, calendarArray()[indexPath.row()]->calendarID());
  } else {
    return;
  }
  notify_post(kSettingsChangedNotification);
}
