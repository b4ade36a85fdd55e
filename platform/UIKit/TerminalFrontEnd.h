#pragma once
// The front end for people: the shown screen drawn in the terminal with ncurses. The
// navigation title on top; each section's header as written, wrapped where the terminal is
// narrower; one line per row with its title, its switch as [ON] or [OFF] (marked when the
// switch is disabled) and its accessory ("›" disclosure, "✓" checkmark). Up/Down or k/j move
// the focus over every row; Space or Enter toggles the focused row's switch or selects the
// row; Left, Backspace or Esc go back; q quits. Every screen shown starts with the focus on
// its first row.
#include <string>
#include <vector>

#include "platform/UIKit/ScreenReader.h"

class UIApplication;

// Runs until the user quits; the exit status (1 when there is no terminal to draw on).
// Meanwhile the process's standard output and error, when they lead to the terminal, go to
// the log file "/private/var/log/NAME.log" of the device (NAME: the program's name).
int runTerminalFrontEnd(UIApplication* application);

// One line of the screen body.
struct TerminalLine {
  std::string text;
  int rowIndex = -1;     // the row (counted over all sections) this line shows; -1 for none
  bool isHeader = false;
  bool dimmed = false;   // a row whose switch is disabled
};

struct TerminalPage {
  std::string titleLine;
  std::string ruleLine;
  std::vector<TerminalLine> body;
  std::string helpLine;
};

// The page for `content` on a terminal `width` columns wide; `unicode` says whether the
// terminal takes UTF-8 (otherwise the marks are plain ASCII).
TerminalPage layOutPage(const ScreenContent& content, int width, bool unicode);

// Columns a UTF-8 text takes (one per character).
int displayWidth(const std::string& text);
