// "CalendarView": the calendar chooser's view, a grouped table whose data source and
// delegate are the file's owner.
#include <memory>

#include "app/Resources/InterfaceFiles.h"
#include "platform/UIKit/UIKit.h"

namespace {

void loadCalendarView(UIResponder* owner) {
  auto* controller = dynamic_cast<UITableViewController*>(owner);
  if (!controller) return;
  auto table = std::make_shared<UITableView>(CGRectMake(0, 0, 320, 367), UITableViewStyleGrouped);
  table->setDataSource(controller);
  table->setDelegate(controller);
  controller->setView(table);
}

}  // namespace

void registerCalendarView() { registerInterfaceFile("CalendarView", loadCalendarView); }
