#include "PlistNesting.h"

#include <plist/plist.h>

#include <cstdint>
#include <vector>

namespace {

// ---- XML ----
//
// Every '<' opens markup that ends at the next '>'. Where a reader could see the end
// elsewhere (a '>' inside quotes, a comment or CDATA holding '<' or '>', a declaration with
// an internal subset, a processing instruction not closed by "?>"), the list is refused:
// tags hidden there could otherwise nest deeper than counted.

bool startsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.compare(at, prefix.size(), prefix) == 0;
}

bool quotesClosed(std::string_view markup) {
  char quote = 0;
  for (char c : markup) {
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (c == quote) {
      quote = 0;
    }
  }
  return quote == 0;
}

// A comment or CDATA section from `at`: false when its body holds markup characters.
bool skipSection(std::string_view text, size_t* at, std::string_view open, std::string_view close) {
  size_t end = text.find(close, *at + open.size());
  if (end == std::string_view::npos) return false;
  std::string_view body = text.substr(*at + open.size(), end - *at - open.size());
  if (body.find_first_of("<>") != std::string_view::npos) return false;
  *at = end + close.size();
  return true;
}

bool xmlWithinLimit(std::string_view text) {
  std::vector<std::string_view> open;  // names of the elements enclosing the scan
  int containers = 0;                  // arrays and dictionaries among them
  size_t at = 0;
  while ((at = text.find('<', at)) != std::string_view::npos) {
    if (startsWith(text, at, "<!--")) {
      if (!skipSection(text, &at, "<!--", "-->")) return false;
      continue;
    }
    if (startsWith(text, at, "<![CDATA[")) {
      if (!skipSection(text, &at, "<![CDATA[", "]]>")) return false;
      continue;
    }
    size_t end = text.find('>', at + 1);
    if (end == std::string_view::npos) return false;
    std::string_view markup = text.substr(at + 1, end - at - 1);
    at = end + 1;
    if (markup.empty() || markup.find('<') != std::string_view::npos || !quotesClosed(markup)) return false;
    if (markup[0] == '?') {
      if (markup.size() < 2 || markup.back() != '?') return false;
      continue;
    }
    if (markup[0] == '!') {
      if (!startsWith(markup, 0, "!DOCTYPE") || markup.find('[') != std::string_view::npos) return false;
      continue;
    }
    bool closing = markup[0] == '/';
    std::string_view name = markup.substr(closing ? 1 : 0);
    name = name.substr(0, name.find_first_of(" \t\r\n\v\f/"));
    if (name.empty()) return false;
    bool container = name == "array" || name == "dict";
    if (closing) {
      if (open.empty() || open.back() != name) return false;
      open.pop_back();
      containers -= container ? 1 : 0;
      continue;
    }
    // The plist element and a value's own element come on top of the containers.
    if (containers + (container ? 1 : 0) > kDeepestPropertyList ||
        open.size() + 1 > static_cast<size_t>(kDeepestPropertyList) + 2) {
      return false;
    }
    if (markup.back() == '/') continue;  // empty element
    open.push_back(name);
    containers += container ? 1 : 0;
  }
  return true;
}

// ---- Binary ----
//
// "bplist00", the objects, a table of their offsets and a 32-byte trailer. Arrays (0xA),
// ordered sets (0xB), sets (0xC) and dictionaries (0xD, keys then values) refer to their
// members by index. The parser copies a member for every reference to it, so a container
// that two references share would be copied twice, and a few shared levels would make it
// build more values than there are atoms in the world: a list whose containers do not form
// a tree is refused. Leaves (strings, numbers) may be shared. The walk keeps its own stack of
// the containers from the top object down.

uint64_t bigEndian(const unsigned char* bytes, size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

class BinaryList {
 public:
  explicit BinaryList(std::string_view data)
      : bytes_(reinterpret_cast<const unsigned char*>(data.data())), size_(data.size()) {}

  bool withinLimit() {
    if (size_ < 8 + 32) return false;
    const unsigned char* trailer = bytes_ + size_ - 32;
    offsetSize_ = trailer[6];
    refSize_ = trailer[7];
    objects_ = bigEndian(trailer + 8, 8);
    uint64_t top = bigEndian(trailer + 16, 8);
    table_ = bigEndian(trailer + 24, 8);
    end_ = size_ - 32;
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
    if (table_ < 8 || table_ > end_ || objects_ == 0 || objects_ > (end_ - table_) / offsetSize_) return false;
    if (top >= objects_) return false;
    seen_.assign(objects_, kUnseen);
    if (!visit(top)) return false;
    while (!path_.empty()) {
      Container& container = path_.back();
      if (container.next == container.members) {
        path_.pop_back();
        continue;
      }
      uint64_t member = bigEndian(bytes_ + container.firstRef + container.next * refSize_, refSize_);
      ++container.next;
      if (member >= objects_ || !visit(member)) return false;
    }
    return true;
  }

 private:
  enum Seen : uint8_t { kUnseen, kLeaf, kContainer };

  struct Container {
    uint64_t firstRef;  // byte offset of the first member reference
    uint64_t members;
    uint64_t next = 0;
  };

  // Steps into `object` from the container on top of the path (none for the top object).
  bool visit(uint64_t object) {
    if (seen_[object] == kContainer) return false;  // shared, or a cycle
    if (seen_[object] == kLeaf) return true;
    uint64_t offset = bigEndian(bytes_ + table_ + object * offsetSize_, offsetSize_);
    if (offset < 8 || offset >= end_) return false;
    unsigned type = bytes_[offset] >> 4;
    uint64_t count = 0, at = 0;
    if (type == 0x6) {
      // A UTF-16 string holding U+0000 would become a text longer than its C string, which
      // libplist asserts against (an abort) when the text is read as a key.
      if (!countOf(offset, &count, &at) || count > (end_ - at) / 2) return false;
      for (uint64_t unit = 0; unit < count; ++unit) {
        if (bytes_[at + 2 * unit] == 0 && bytes_[at + 2 * unit + 1] == 0) return false;
      }
    }
    if (type < 0xA || type > 0xD) {
      seen_[object] = kLeaf;
      return true;
    }
    if (!countOf(offset, &count, &at)) return false;
    uint64_t members = type == 0xD ? count * 2 : count;
    if ((type == 0xD && count > UINT64_MAX / 2) || members > (end_ - at) / refSize_) return false;
    if (path_.size() + 1 > static_cast<size_t>(kDeepestPropertyList)) return false;
    seen_[object] = kContainer;
    path_.push_back({at, members});
    return true;
  }

  // The count in the low half of the marker at `offset`, or after it as an integer object;
  // `at`: where the object's content begins.
  bool countOf(uint64_t offset, uint64_t* count, uint64_t* at) {
    *count = bytes_[offset] & 0x0f;
    *at = offset + 1;
    if (*count != 0x0f) return true;
    if (*at >= end_ || (bytes_[*at] >> 4) != 0x1) return false;
    size_t width = size_t{1} << (bytes_[*at] & 0x0f);
    if (width > 16 || end_ - *at - 1 < width) return false;
    for (size_t i = 0; i + 8 < width; ++i) {
      if (bytes_[*at + 1 + i] != 0) return false;
    }
    size_t low = width < 8 ? width : 8;
    *count = bigEndian(bytes_ + *at + 1 + width - low, low);
    *at += 1 + width;
    return true;
  }

  const unsigned char* bytes_;
  size_t size_;
  size_t end_ = 0;  // where the trailer begins
  unsigned offsetSize_ = 0;
  unsigned refSize_ = 0;
  uint64_t objects_ = 0;
  uint64_t table_ = 0;
  std::vector<Seen> seen_;  // per object
  std::vector<Container> path_;
};

}  // namespace

bool nestingWithinLimit(std::string_view data) {
  if (data.size() > UINT32_MAX) return false;
  if (plist_is_binary(data.data(), static_cast<uint32_t>(data.size()))) return BinaryList(data).withinLimit();
  return xmlWithinLimit(data);
}
