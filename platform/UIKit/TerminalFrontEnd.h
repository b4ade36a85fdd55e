#pragma once
// The front end for people: the shown screen drawn in the terminal with ncurses. The
// navigation title on top; each section's header as written, wrapped where the terminal is
// narrower; one line per row with its title, its switch as [ON] or [OFF] (marked when the
// switch is disabled) and its accessory ("›" disclosure, "✓" checkmark). Up/Down or k/j move
// the focus over every row, PgUp/PgDn a page, Home/End to the first and last row; Space or
// Enter toggles the focused row's switch or selects the row; Left, Backspace or Esc go back;
// r reads the shown screen anew; q quits. Every screen shown starts with the focus on its
// first row. Texts are measured in terminal columns (wide and combining characters count as
// the terminal draws them) and control characters show escaped ("\n"), so every row stays one
// line. A terminal under 20 columns or 4 rows shows only that it is too small.
#include <string>
#include <vector>

#include "platform/UIKit/ScreenReader.h"

class UIApplication;

// Takes the terminal before the program does any other work. False, after saying so on
// standard error, when standard input or output is not a terminal. From then on the process's
// standard output and error, when they lead to the terminal, go to the log file
// "/private/var/log/NAME.log" of the device (NAME: the program's name) until the front end
// ends, so that no log line lands on the screen. runTerminalFrontEnd() takes it if no one did.
bool claimTerminal();

// While the shown screen sits idle, it is read anew whenever this file (a phone path) has
// changed; it is also read anew on r and on coming back to it from a deeper screen.
void refreshTerminalWhenChanged(const std::string& phonePath);

// Runs until the user quits; the exit status (1 when there is no terminal to draw on). While
// the application ignores interaction events, the screen shows its message and keys typed
// meanwhile are dropped.
int runTerminalFrontEnd(UIApplication* application);

// One line of the screen body.
struct TerminalLine {
  std::string text;
  int rowIndex = -1;      // the row (counted over all sections) this line shows; -1 for none
  bool isHeader = false;
  bool dimmed = false;    // a row whose switch is disabled
  int sectionStart = 0;   // the body line where this line's section begins (its header)
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

// Columns a text takes on the terminal, in the character set of the current locale.
int displayWidth(const std::string& text);
// The text with every control character and every byte that is no character escaped
// ("\n", "\t", "\x1b"), so that it shows on one line as it is.
std::string printableText(const std::string& text);
