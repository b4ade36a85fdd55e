#pragma once
// Text measured in terminal columns: wide (East Asian, emoji) characters take two, combining
// marks none. Malformed UTF-8 counts one column a byte.
#include <string>

size_t displayColumns(const std::string& text);

// `text` cut to at most `columns` columns (a cut one ends in "…"), padded with blanks to
// exactly `columns` when `pad`.
std::string fitColumns(const std::string& text, size_t columns, bool pad = true);
