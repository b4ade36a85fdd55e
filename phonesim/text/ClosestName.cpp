#include "phonesim/text/ClosestName.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace {

size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> previous(b.size() + 1), current(b.size() + 1);
  std::iota(previous.begin(), previous.end(), 0);
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) == std::tolower(static_cast<unsigned char>(b[j - 1]));
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
    }
    std::swap(previous, current);
  }
  return previous[b.size()];
}

}  // namespace

std::string closestName(const std::string& word, const std::vector<std::string>& names) {
  std::string best;
  size_t bestDistance = std::max<size_t>(2, word.size() / 3) + 1;
  for (const std::string& name : names) {
    size_t distance = editDistance(word, name);
    if (distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  return best;
}
