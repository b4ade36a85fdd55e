#include "platform/UIKit/TerminalFrontEnd.h"

#include <curses.h>
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/FileWrites.h"
#include "platform/UIKit/UIApplication.h"

namespace {

struct Marks {
  const char* disclosure;
  const char* checkmark;
  const char* rule;
  const char* back;
  // Longest first; the first that fits is shown, and each keeps "back" and "quit".
  std::array<const char*, 4> helps;
};

constexpr Marks kUnicodeMarks{"›", "✓", "─", "‹ Back",
                              {"↑/↓ move   Space/Enter toggle or open   ←/Esc back   r refresh   q quit",
                               "↑/↓ move   Enter toggle/open   ← back   q quit", "↑↓ Enter   ← back   q quit",
                               "← back  q quit"}};
constexpr Marks kAsciiMarks{">", "*", "-", "< Back",
                            {"Up/Down move   Space/Enter toggle or open   Left/Esc back   r refresh   q quit",
                             "Up/Down move   Enter toggle/open   Esc back   q quit", "Enter   Esc back   q quit",
                             "Esc back  q quit"}};

constexpr int kMinimumColumns = 20;
constexpr int kMinimumRows = 4;
// How long the screen waits for a key before it looks whether the watched file changed.
constexpr int kIdleCheckMilliseconds = 2000;

// One character of a text: its bytes and the columns it takes (0 for a combining mark; -1 for
// a control character, or a byte that starts no character).
struct Glyph {
  size_t length;
  int width;
};

Glyph glyphAt(const std::string& text, size_t at) {
  std::mbstate_t state{};
  wchar_t character = 0;
  size_t length = std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
  if (length == 0 || length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2)) return {1, -1};
  return {length, wcwidth(character)};
}

// The longest start of `text` that takes at most `columns` columns; the combining marks of
// its last character stay with it.
std::string leftColumns(const std::string& text, int columns) {
  size_t end = 0;
  for (int taken = 0; end < text.size();) {
    Glyph glyph = glyphAt(text, end);
    taken += glyph.width < 0 ? 1 : glyph.width;
    if (taken > columns) break;
    end += glyph.length;
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
      std::string head = leftColumns(word, columns);
      if (head.empty()) head = word.substr(0, glyphAt(word, 0).length);  // wider than a line
      lines.push_back(head);
      word = word.substr(head.size());
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

// The terminal, taken by claimTerminal(): its own streams for ncurses, and the process's
// standard output and error as they were before they were diverted.
struct ClaimedTerminal {
  bool claimed = false;
  FILE* output = nullptr;
  FILE* input = nullptr;
  int savedStdout = -1;
  int savedStderr = -1;
};
ClaimedTerminal terminal;
std::string watchedFile;

FILE* duplicateStream(int fd, const char* mode) {
  int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  FILE* stream = copy >= 0 ? fdopen(copy, mode) : nullptr;
  if (stream == nullptr && copy >= 0) close(copy);
  return stream;
}

// Log lines and printed lines would draw over the screen: standard error, when it is the
// terminal, goes to the program's log file, and standard output follows standard error.
void divertOutputFromTerminal() {
  std::fflush(stdout);
  std::fflush(stderr);
  terminal.savedStdout = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  terminal.savedStderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  if (isatty(STDERR_FILENO)) {
    std::string logPath = devicePath("/private/var/log/" + std::string(program_invocation_short_name) + ".log");
    makeDirectories(std::filesystem::path(logPath).parent_path().string());
    int log = openForAppending(logPath.c_str(), 0644);
    if (log < 0) log = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (log >= 0) {
      dup2(log, STDERR_FILENO);
      close(log);
    }
  }
  if (isatty(STDOUT_FILENO)) dup2(STDERR_FILENO, STDOUT_FILENO);
}

void releaseTerminal() {
  std::fflush(stdout);
  std::fflush(stderr);
  for (auto [saved, fd] : {std::pair{&terminal.savedStdout, STDOUT_FILENO}, {&terminal.savedStderr, STDERR_FILENO}}) {
    if (*saved >= 0) {
      dup2(*saved, fd);
      close(*saved);
      *saved = -1;
    }
  }
  for (FILE** stream : {&terminal.output, &terminal.input}) {
    if (*stream) std::fclose(*stream);
    *stream = nullptr;
  }
  terminal.claimed = false;
}

// What tells that a file changed: its identity, size and modification time.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  time_t seconds = 0;
  long nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& phonePath) {
  FileStamp stamp;
  struct stat info;
  if (phonePath.empty() || stat(devicePath(phonePath).c_str(), &info) != 0) return stamp;
  return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

void drawTooSmall() {
  erase();
  mvaddstr(0, 0, leftColumns(COLS >= 18 ? "terminal too small" : "too small", COLS).c_str());
  refresh();
}

// Over the help line, while the application makes the user wait.
void drawMessage(const std::string& message) {
  if (COLS < kMinimumColumns || LINES < kMinimumRows) return;
  move(LINES - 1, 0);
  clrtoeol();
  attron(A_REVERSE | A_BOLD);
  mvaddstr(LINES - 1, 0, leftColumns(" " + printableText(message) + " ", COLS - 1).c_str());
  attroff(A_REVERSE | A_BOLD);
  refresh();
}

void draw(const TerminalPage& page, int focus, int* scrollTop) {
  int height = LINES;
  int bodyHeight = height - 3;
  int focusLine = -1;
  for (size_t i = 0; i < page.body.size(); ++i) {
    if (page.body[i].rowIndex == focus) focusLine = static_cast<int>(i);
  }
  // The focused row in view, with its section's header when both fit, and no empty lines
  // below the last one when the page could fill them.
  if (focusLine >= 0) {
    *scrollTop = std::clamp(*scrollTop, focusLine - bodyHeight + 1, focusLine);
    int sectionStart = page.body[focusLine].sectionStart;
    if (focusLine - sectionStart < bodyHeight) *scrollTop = std::min(*scrollTop, sectionStart);
  }
  *scrollTop = std::clamp(*scrollTop, 0, std::max(static_cast<int>(page.body.size()) - bodyHeight, 0));

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
  int width = 0;
  for (size_t at = 0; at < text.size();) {
    Glyph glyph = glyphAt(text, at);
    width += glyph.width < 0 ? 1 : glyph.width;
    at += glyph.length;
  }
  return width;
}

std::string printableText(const std::string& text) {
  std::string shown;
  for (size_t at = 0; at < text.size();) {
    Glyph glyph = glyphAt(text, at);
    if (glyph.width >= 0) {
      shown.append(text, at, glyph.length);
      at += glyph.length;
      continue;
    }
    for (size_t end = at + glyph.length; at < end; ++at) {
      unsigned char byte = static_cast<unsigned char>(text[at]);
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : byte == '\r' ? "\\r" : escaped;
    }
  }
  return shown;
}

TerminalPage layOutPage(const ScreenContent& content, int width, bool unicode) {
  const Marks& marks = unicode ? kUnicodeMarks : kAsciiMarks;
  width = std::max(width, kMinimumColumns);
  int usable = width - 1;  // the last column stays empty so no line wraps by itself
  TerminalPage page;

  std::string title = leftColumns(printableText(content.navigationTitle), usable);
  int titleStart = std::max((usable - displayWidth(title)) / 2, 0);
  page.titleLine = spaces(titleStart) + title;
  if (content.canGoBack && titleStart > displayWidth(marks.back) + 1) {
    page.titleLine = marks.back + page.titleLine.substr(displayWidth(marks.back));
  }
  page.ruleLine = repeated(marks.rule, usable);
  page.helpLine = leftColumns(marks.helps.back(), usable);
  for (const char* help : marks.helps) {
    if (displayWidth(help) <= usable) {
      page.helpLine = help;
      break;
    }
  }

  int rowIndex = 0;
  for (size_t section = 0; section < content.sections.size(); ++section) {
    const VisibleSection& shown = content.sections[section];
    if (shown.header.empty() && shown.rows.empty()) continue;
    if (!page.body.empty()) page.body.push_back(TerminalLine{});
    const int sectionStart = static_cast<int>(page.body.size());
    if (!shown.header.empty()) {
      for (const std::string& line : wrap(printableText(shown.header), usable - 1)) {
        page.body.push_back(TerminalLine{" " + line, -1, true, false, sectionStart});
      }
    }
    for (const VisibleRow& row : shown.rows) {
      std::string right = rowMarks(row, marks);
      int rightWidth = displayWidth(right);
      int titleRoom = std::max(usable - 2 - rightWidth - 2, 1);
      std::string rowTitle = leftColumns(printableText(row.title), titleRoom);
      std::string text = "  " + rowTitle;
      text += spaces(usable - displayWidth(text) - rightWidth) + right;
      page.body.push_back(TerminalLine{text, rowIndex++, false, row.hasSwitch && !row.switchEnabled, sectionStart});
    }
  }
  return page;
}

bool claimTerminal() {
  if (terminal.claimed) return true;
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    std::fprintf(stderr, "%s: needs a terminal to draw on; its standard input or output is not one\n",
                 program_invocation_short_name);
    return false;
  }
  // The character set only: numbers keep the C locale's decimal point.
  std::setlocale(LC_CTYPE, "");
  terminal.output = duplicateStream(STDOUT_FILENO, "w");
  terminal.input = duplicateStream(STDIN_FILENO, "r");
  divertOutputFromTerminal();
  terminal.claimed = true;
  return true;
}

void refreshTerminalWhenChanged(const std::string& phonePath) { watchedFile = phonePath; }

int runTerminalFrontEnd(UIApplication* application) {
  if (!claimTerminal()) return 1;
  bool unicode = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  SCREEN* screen = (terminal.output && terminal.input) ? newterm(nullptr, terminal.output, terminal.input) : nullptr;
  if (!screen) {
    releaseTerminal();
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
  timeout(kIdleCheckMilliseconds);

  bool dropTypedKeys = false;
  application->setInteractionObserver([&dropTypedKeys](bool ignoring, const std::string& message) {
    if (ignoring) {
      drawMessage(message);
    } else {
      dropTypedKeys = true;
    }
  });

  ScreenReader reader(application);
  const UIViewController* shownScreen = nullptr;
  size_t shownDepth = 0;
  int focus = 0;
  int scrollTop = 0;
  int failedReads = 0;
  FileStamp watched = stampOf(watchedFile);
  for (bool quit = false; !quit;) {
    if (reader.topViewController() != shownScreen || reader.depth() != shownDepth) {
      // A screen come back to may show what changed while it was covered.
      if (reader.depth() < shownDepth) reader.reload();
      shownScreen = reader.topViewController();
      shownDepth = reader.depth();
      focus = 0;
      scrollTop = 0;
    }
    ScreenContent content = reader.content();
    std::vector<VisibleRow> rows;
    for (const VisibleSection& section : content.sections) {
      rows.insert(rows.end(), section.rows.begin(), section.rows.end());
    }
    const int lastRow = std::max(static_cast<int>(rows.size()) - 1, 0);
    focus = std::clamp(focus, 0, lastRow);
    if (COLS < kMinimumColumns || LINES < kMinimumRows) {
      drawTooSmall();
    } else {
      draw(layOutPage(content, COLS, unicode), focus, &scrollTop);
    }

    auto asked = std::chrono::steady_clock::now();
    int key = getch();
    if (key == ERR) {
      auto waited = std::chrono::steady_clock::now() - asked;
      if (waited < std::chrono::milliseconds(kIdleCheckMilliseconds / 2)) {
        // Input is gone (the terminal closed): stop rather than spin.
        if (++failedReads > 100) quit = true;
        continue;
      }
      failedReads = 0;
      // Idle: the shown state follows the file it comes from; reading never writes it.
      if (FileStamp now = stampOf(watchedFile); !(now == watched)) {
        watched = now;
        reader.reload();
      }
      continue;
    }
    failedReads = 0;
    const int pageRows = std::max(LINES - 5, 1);
    switch (key) {
      case KEY_UP:
      case 'k':
        if (focus > 0) --focus;
        break;
      case KEY_DOWN:
      case 'j':
        if (focus < lastRow) ++focus;
        break;
      case KEY_PPAGE:
        focus = std::max(focus - pageRows, 0);
        break;
      case KEY_NPAGE:
        focus = std::min(focus + pageRows, lastRow);
        break;
      case KEY_HOME:
        focus = 0;
        break;
      case KEY_END:
        focus = lastRow;
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
      case 'r':
      case 'R':
        reader.reload();
        break;
      case 'q':
      case 'Q':
      case 3:  // Ctrl-C, which raw mode delivers as a key
        quit = true;
        break;
      default:  // KEY_RESIZE among them: the next drawing takes the new size
        break;
    }
    if (dropTypedKeys) {
      flushinp();
      dropTypedKeys = false;
    }
  }
  application->setInteractionObserver(nullptr);
  endwin();
  delscreen(screen);
  releaseTerminal();
  return 0;
}
