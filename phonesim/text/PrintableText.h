#pragma once
// Text from the phone's files (titles, notes, settings values, log lines) on its way to a
// terminal, an SVG picture or JSON. Whatever bytes it holds, it stays one line of plain text:
// control characters and bytes that are no UTF-8 show escaped as the application's screen
// shows them ("\n", "\t", "\x1b"), and widths are counted in terminal columns, not bytes.
#include <string>

// `text` with every control character (C0, DEL, C1), line or paragraph separator, bidi
// override, noncharacter (U+FFFE) and byte that is no UTF-8 escaped: "\n", "\t", "\r",
// "\xNN" for a byte, "\u{NNNN}" for a character.
std::string terminalText(const std::string& text);

// Columns that terminalText(text) takes: wide (CJK, emoji) characters two, combining marks none.
int columns(const std::string& text);

// terminalText(text) cut to at most `width` columns ("…" marks a cut), whole characters only.
std::string clipColumns(const std::string& text, int width);
// The same, padded with blanks to exactly `width` columns.
std::string fitColumns(const std::string& text, int width);

// `text` as character data or an attribute value of XML: & < > " ' as entities; bytes that are
// no UTF-8 and characters XML cannot hold (controls, U+FFFE, U+FFFF) as U+FFFD, tabs and line
// breaks as blanks.
std::string xmlText(const std::string& text);
