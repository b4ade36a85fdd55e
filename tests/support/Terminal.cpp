#include "tests/support/Terminal.h"

#include <unistd.h>

#include "tests/support/Process.h"

Terminal::Terminal(const std::string& command, int columns, int rows) : server_("mutaro-test-" + std::to_string(getpid())) {
  tmux("new-session -d -s app -x " + std::to_string(columns) + " -y " + std::to_string(rows) +
       " -e LANG=C.UTF-8 -e LC_ALL=C.UTF-8 '" + command + "'");
}

Terminal::~Terminal() { tmux("kill-server"); }

std::string Terminal::tmux(const std::string& arguments) const {
  return runProgram({"/bin/sh", "-c", "env -u TMUX LC_ALL=C.UTF-8 tmux -L " + server_ + " -f /dev/null -u " + arguments}).out;
}

std::string Terminal::screen() const { return tmux("capture-pane -p -t app"); }

void Terminal::keys(const std::string& keys) const { tmux("send-keys -t app " + keys); }

void Terminal::resize(int columns, int rows) const {
  tmux("resize-window -t app -x " + std::to_string(columns) + " -y " + std::to_string(rows));
}

std::string Terminal::waitFor(const std::string& text) const {
  std::string shown;
  eventually(10, [&] { return contains(shown = screen(), text); });
  return shown;
}

std::string lineOf(const std::string& screen, const std::string& title) {
  size_t start = screen.find("  " + title);
  if (start == std::string::npos) return "";
  return screen.substr(start, screen.find('\n', start) - start);
}
