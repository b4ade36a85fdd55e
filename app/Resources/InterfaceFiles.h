#pragma once
// The application bundle's interface files, made known to UIKit by name: "MainWindow" (the
// window, the tab bar and the navigation controller holding the switches screen, with the
// application's delegate) and "CalendarView" (the calendar chooser's table).
void registerInterfaceFiles();

void registerMainWindow();
void registerCalendarView();
