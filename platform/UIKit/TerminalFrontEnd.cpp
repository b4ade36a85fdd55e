#include "platform/UIKit/TerminalFrontEnd.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/Foundation/DevicePath.h"
#include "platform/UIKit/UIApplication.h"

namespace {

struct Marks {
  const char* disclosure;
  const char* checkmark;
  const char* rule;
  const char* back;
  const char* help;
};

constexpr Marks kUnicodeMarks{"›", "✓", "─", "‹ Back",
                              "↑/↓ move   Space/Enter toggle or open   ←/Esc back   q quit"};
constexpr Marks kAsciiMarks{">", "*", "-", "< Back",
                            "Up/Down move   Space/Enter toggle or open   Left/Esc back   q quit"};

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The first `columns` characters of `text`.
std::string leftColumns(const std::string& text, int columns) {
  size_t end = 0;
  for (int taken = 0; end < text.size(); ++end) {
    if (!isContinuationByte(text[end]) && taken++ == columns) break;
  }
  return text.substr(0, end);
}

std::string spaces(int count) { return std::string(std::max(count, 0), ' '); }

std::string repeated(const char* mark, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += mark;
  return text;
}

// Word wrap; a word longer than a line is cut.
std::vector<std::string> wrap(const std::string& text, int columns) {
  std::vector<std::string> lines;
  std::string line;
  size_t position = 0;
  while (position < text.size()) {
    size_t end = text.find(' ', position);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(position, end - position);
    position = end + 1;
    if (word.empty()) continue;
    if (!line.empty() && displayWidth(line) + 1 + displayWidth(word) > columns) {
      lines.push_back(line);
      line.clear();
    }
    while (displayWidth(word) > columns) {
      lines.push_back(leftColumns(word, columns));
      word = word.substr(lines.back().size());
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

std::string rowMarks(const VisibleRow& row, const Marks& marks) {
  std::string right;
  if (row.hasSwitch) {
    right = row.switchOn ? "[ON]" : "[OFF]";
    if (!row.switchEnabled) right += " (disabled)";
  }
  const char* accessory = nullptr;
  if (row.accessory == UITableViewCellAccessoryDisclosureIndicator ||
      row.accessory == UITableViewCellAccessoryDetailDisclosureButton) {
    accessory = marks.disclosure;
  } else if (row.accessory == UITableViewCellAccessoryCheckmark) {
    accessory = marks.checkmark;
  }
  if (accessory) right += std::string(right.empty() ? "" : " ") + accessory;
  return right;
}

// The terminal's own output streams, kept while the program's own ones are diverted.
struct TerminalStreams {
  FILE* output = nullptr;
  FILE* input = nullptr;
  int savedStdout = -1;
  int savedStderr = -1;
};

// Log lines and printed lines would draw over the screen: standard error, when it is the
// terminal, goes to the program's log file, and standard output follows standard error.
void divertOutputFromTerminal(TerminalStreams* streams) {
  std::fflush(stdout);
  std::fflush(stderr);
  streams->savedStdout = dup(STDOUT_FILENO);
  streams->savedStderr = dup(STDERR_FILENO);
  if (isatty(STDERR_FILENO)) {
    std::string logPath = devicePath("/private/var/log/" + std::string(program_invocation_short_name) + ".log");
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(logPath).parent_path(), ignored);
    int log = open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (log < 0) log = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (log >= 0) {
      dup2(log, STDERR_FILENO);
      close(log);
    }
  }
  if (isatty(STDOUT_FILENO)) dup2(STDERR_FILENO, STDOUT_FILENO);
}

void restoreOutput(TerminalStreams* streams) {
  std::fflush(stdout);
  std::fflush(stderr);
  if (streams->savedStdout >= 0) {
    dup2(streams->savedStdout, STDOUT_FILENO);
    close(streams->savedStdout);
  }
  if (streams->savedStderr >= 0) {
    dup2(streams->savedStderr, STDERR_FILENO);
    close(streams->savedStderr);
  }
}

void draw(const TerminalPage& page, int focus, int* scrollTop) {
  int height = LINES;
  int bodyHeight = std::max(height - 3, 1);
  int focusLine = -1;
  for (size_t i = 0; i < page.body.size(); ++i) {
    if (page.body[i].rowIndex == focus) focusLine = static_cast<int>(i);
  }
  if (focus <= 0) *scrollTop = 0;  // the first row shows the headers above it
  if (focusLine >= 0 && focusLine < *scrollTop) *scrollTop = focusLine;
  if (focusLine >= *scrollTop + bodyHeight) *scrollTop = focusLine - bodyHeight + 1;

  erase();
  attron(A_BOLD);
  mvaddstr(0, 0, page.titleLine.c_str());
  attroff(A_BOLD);
  mvaddstr(1, 0, page.ruleLine.c_str());
  for (int line = 0; line < bodyHeight; ++line) {
    size_t index = static_cast<size_t>(*scrollTop + line);
    if (index >= page.body.size()) break;
    const TerminalLine& shown = page.body[index];
    attr_t attributes = A_NORMAL;
    if (shown.isHeader) attributes |= A_BOLD;
    if (shown.dimmed) attributes |= A_DIM;
    if (shown.rowIndex >= 0 && shown.rowIndex == focus) attributes |= A_REVERSE;
    attron(attributes);
    mvaddstr(2 + line, 0, shown.text.c_str());
    attroff(attributes);
  }
  attron(A_DIM);
  mvaddstr(height - 1, 0, page.helpLine.c_str());
  attroff(A_DIM);
  refresh();
}

}  // namespace

int displayWidth(const std::string& text) {
  return static_cast<int>(std::count_if(text.begin(), text.end(),
                                        [](char c) { return !isContinuationByte(c); }));
}

TerminalPage layOutPage(const ScreenContent& content, int width, bool unicode) {
  const Marks& marks = unicode ? kUnicodeMarks : kAsciiMarks;
  width = std::max(width, 20);
  int usable = width - 1;  // the last column stays empty so no line wraps by itself
  TerminalPage page;

  std::string title = leftColumns(content.navigationTitle, usable);
  int titleStart = std::max((usable - displayWidth(title)) / 2, 0);
  page.titleLine = spaces(titleStart) + title;
  if (content.canGoBack && titleStart > displayWidth(marks.back) + 1) {
    page.titleLine = marks.back + page.titleLine.substr(displayWidth(marks.back));
  }
  page.ruleLine = repeated(marks.rule, usable);
  page.helpLine = leftColumns(marks.help, usable);

  int rowIndex = 0;
  for (size_t section = 0; section < content.sections.size(); ++section) {
    const VisibleSection& shown = content.sections[section];
    if (shown.header.empty() && shown.rows.empty()) continue;
    if (!page.body.empty()) page.body.push_back(TerminalLine{});
    if (!shown.header.empty()) {
      for (const std::string& line : wrap(shown.header, usable - 1)) {
        page.body.push_back(TerminalLine{" " + line, -1, true, false});
      }
    }
    for (const VisibleRow& row : shown.rows) {
      std::string right = rowMarks(row, marks);
      int rightWidth = displayWidth(right);
      int titleRoom = std::max(usable - 2 - rightWidth - 2, 1);
      std::string rowTitle = leftColumns(row.title, titleRoom);
      std::string text = "  " + rowTitle;
      text += spaces(usable - displayWidth(text) - rightWidth) + right;
      page.body.push_back(TerminalLine{text, rowIndex++, false, row.hasSwitch && !row.switchEnabled});
    }
  }
  return page;
}

int runTerminalFrontEnd(UIApplication* application) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    std::fprintf(stderr, "%s: the terminal front end needs a terminal\n", program_invocation_short_name);
    return 1;
  }
  std::setlocale(LC_ALL, "");
  bool unicode = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;

  TerminalStreams streams;
  streams.output = fdopen(dup(STDOUT_FILENO), "w");
  streams.input = fdopen(dup(STDIN_FILENO), "r");
  divertOutputFromTerminal(&streams);
  SCREEN* screen = (streams.output && streams.input) ? newterm(nullptr, streams.output, streams.input) : nullptr;
  if (!screen) {
    restoreOutput(&streams);
    if (streams.output) std::fclose(streams.output);
    if (streams.input) std::fclose(streams.input);
    std::fprintf(stderr, "%s: cannot draw on this terminal (TERM=%s)\n", program_invocation_short_name,
                 getenv("TERM") ? getenv("TERM") : "");
    return 1;
  }
  set_term(screen);
  raw();
  noecho();
  keypad(stdscr, TRUE);
  curs_set(0);
  set_escdelay(25);

  ScreenReader reader(application);
  const UIViewController* shownScreen = nullptr;
  size_t shownDepth = 0;
  int focus = 0;
  int scrollTop = 0;
  int failedReads = 0;
  for (bool quit = false; !quit;) {
    ScreenContent content = reader.content();
    if (reader.topViewController() != shownScreen || reader.depth() != shownDepth) {
      shownScreen = reader.topViewController();
      shownDepth = reader.depth();
      focus = 0;
      scrollTop = 0;
    }
    std::vector<VisibleRow> rows;
    for (const VisibleSection& section : content.sections) {
      rows.insert(rows.end(), section.rows.begin(), section.rows.end());
    }
    focus = rows.empty() ? 0 : std::clamp(focus, 0, static_cast<int>(rows.size()) - 1);
    draw(layOutPage(content, COLS, unicode), focus, &scrollTop);

    int key = getch();
    if (key == ERR) {
      // Input is gone (the terminal closed): stop rather than spin.
      if (++failedReads > 100) quit = true;
      continue;
    }
    failedReads = 0;
    switch (key) {
      case KEY_UP:
      case 'k':
        if (focus > 0) --focus;
        break;
      case KEY_DOWN:
      case 'j':
        if (focus + 1 < static_cast<int>(rows.size())) ++focus;
        break;
      case ' ':
      case '\n':
      case '\r':
      case KEY_ENTER:
        if (!rows.empty()) {
          const VisibleRow& row = rows[focus];
          if (row.hasSwitch) {
            reader.tapSwitch(row.indexPath);
          } else {
            reader.selectRow(row.indexPath);
          }
        }
        break;
      case KEY_LEFT:
      case KEY_BACKSPACE:
      case 127:
      case 8:
      case 27:
        reader.goBack();
        break;
      case 'q':
      case 'Q':
      case 3:  // Ctrl-C, which raw mode delivers as a key
        quit = true;
        break;
      default:
        break;
    }
  }
  endwin();
  delscreen(screen);
  std::fclose(streams.output);
  std::fclose(streams.input);
  restoreOutput(&streams);
  return 0;
}
