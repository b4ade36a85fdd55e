#pragma once
// Suggestions for misspelt names.
#include <string>
#include <vector>

// The name of `names` nearest to `word` (fewest single-letter edits, case aside), or "" when
// none is near enough to be what was meant.
std::string closestName(const std::string& word, const std::vector<std::string>& names);
