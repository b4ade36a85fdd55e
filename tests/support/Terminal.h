#pragma once
// A terminal for the programs that draw on one: a tmux server of the test's own with one pane,
// driven by keys and read from the screen.
#include <string>

class Terminal {
 public:
  Terminal(const std::string& command, int columns = 100, int rows = 30);
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  std::string screen() const;
  void keys(const std::string& keys) const;  // tmux key names, separated by blanks
  void resize(int columns, int rows) const;
  // The screen once it shows `text`, or as it is after 10 seconds.
  std::string waitFor(const std::string& text) const;

 private:
  std::string tmux(const std::string& arguments) const;
  std::string server_;
};

// The line of a screen that holds `title` after its two-blank indent; "" when none does.
std::string lineOf(const std::string& screen, const std::string& title);
