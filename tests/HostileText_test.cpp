// Hostile text in the phone's files through every phonesim command that prints it: no control
// character reaches the terminal, output is UTF-8, rows keep their columns, JSON and SVG parse.
#include <gtest/gtest.h>

#include <sstream>

#include "phonesim/text/PrintableText.h"
#include "tests/support/Phone.h"

namespace {

struct Hostile {
  const char* name;
  std::string text;
};

void PrintTo(const Hostile& hostile, std::ostream* out) { *out << hostile.name; }

// What a terminal would act on: a control byte other than the line ends, or bytes that are no
// UTF-8 (nlohmann refuses to write those).
std::string terminalFault(const std::string& output) {
  for (unsigned char c : output) if ((c < 0x20 && c != '\n') || c == 0x7F) return "control byte " + std::to_string(c);
  try {
    (void)json(output).dump();
  } catch (const json::exception& failure) {
    return failure.what();
  }
  // C1 controls and the noncharacter, as UTF-8.
  for (const char* c1 : {"\xC2\x9B", "\xC2\x85", "\xEF\xBF\xBE", "\xE2\x80\xA8"}) if (contains(output, c1)) return "an unprintable character";
  return "";
}

class HostileText : public testing::TestWithParam<Hostile> {};

TEST_P(HostileText, EveryCommandPrintsItAsOneLineOfText) {
  const std::string& text = GetParam().text;
  Phone phone;
  const time_t start = localTime("2026-12-07 09:00:00");
  // The title of the event and of its calendar as raw bytes; the notes hold them too.
  std::ostringstream hex;
  for (unsigned char c : text) hex << std::hex << (c < 16 ? "0" : "") << static_cast<int>(c);
  phone.addEvent({start, start + 3600, 0, text, 2});
  phone.sql("UPDATE CalendarItem SET summary = CAST(X'" + hex.str() + "' AS TEXT); UPDATE calendar SET title = CAST(X'" +
            hex.str() + "' AS TEXT) WHERE rowid = 2");
  phone.set({{kCalendarID, 2}});
  auto springboard = phone.plist(kSpringBoardPreferencesPath);
  springboard->setString("ringtone", text);
  phone.writePlist(kSpringBoardPreferencesPath, *springboard);
  phone.write("/private/var/log/syslog", "2026-12-07 09:00:00.000 Mutarod[7:7] " + text + "\n");

  const std::string root = phone.root(), svg = phone.at("/timeline.svg");
  // Each command line and the status it ends with; JSON must parse and the SVG must be XML.
  const std::vector<std::pair<std::vector<std::string>, int>> lines = {
      {{"event", root, "--start", "+1h", "--end", "+2h", "--title", text, "--calendar", "2"}, 0},
      {{"explain", root, "--at", "09:30"}, 0}, {{"explain", root, "--json"}, 0}, {{"log", root}, 0},
      {{"timeline", root, "--from", "08:00", "--to", "11:00"}, 0}, {{"timeline", root, "--from", "08:00", "--to", "11:00", "--svg", svg}, 0},
      {{"status", root, "--summary"}, 0}, {{"status", root, "--json"}, 0},
      {{"set", root, std::string(kVolume) + "=" + text}, 0}, {{"set", root, text + "=1"}, 2}};
  for (const auto& [line, status] : lines) {
    std::vector<std::string> argv = {"phonesim"};
    argv.insert(argv.end(), line.begin(), line.end());
    Outcome outcome = phone.run(argv, {.clock = clockAt("2026-12-07 09:30:00"), .environment = {{"COLUMNS", "100"}}});
    EXPECT_TRUE(outcome.exited(status)) << line[0] << ": " << outcome.err;
    const bool asJson = line.back() == "--json";
    EXPECT_EQ(asJson ? (json::accept(outcome.out) ? "" : "no JSON") : terminalFault(outcome.out), "") << line[0] << ":\n" << outcome.out;
    EXPECT_EQ(terminalFault(outcome.err), "") << line[0] << ":\n" << outcome.err;
    if (line.back() == svg) EXPECT_TRUE(runProgram({"xmllint", "--noout", svg}).exited(0)) << phone.read("/timeline.svg");
    if (line[0] != "timeline") continue;
    // Each row's label keeps to its columns (the axis above them is not a row).
    for (const std::string& row : linesOf(outcome.out)) if (!row.empty() && row[0] != ' ') EXPECT_LE(columns(row), 100) << row;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Titles, HostileText,
    testing::Values(Hostile{"TerminalTitle", "\x1b]0;owned\x07 Standup"}, Hostile{"ClearAndColour", "\x1b[2J\x1b[31mred"},
                    Hostile{"Newline", "two\nlines 2026-12-07 03:00:00.000 Mutarodh[1:1] Do work"},
                    Hostile{"InvalidUtf8", "caf\xe9 \xff\xc0\x80"}, Hostile{"Noncharacter", "a\xef\xbf\xbe" "b\xc2\x9b"},
                    Hostile{"TenThousand", std::string(10000, 'w')}, Hostile{"Emoji", "🎉 party 👩‍💻 time"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
