#include "app/Resources/InterfaceFiles.h"

void registerInterfaceFiles() {
  registerMainWindow();
  registerCalendarView();
}
