#pragma once
// The position of a row in a table: its section and its row within the section.

using NSInteger = long;

class NSIndexPath {
 public:
  NSIndexPath() = default;
  static NSIndexPath indexPathForRowInSection(NSInteger row, NSInteger section) {
    NSIndexPath path;
    path.section_ = section;
    path.row_ = row;
    return path;
  }

  NSInteger section() const { return section_; }
  NSInteger row() const { return row_; }

  bool operator==(const NSIndexPath&) const = default;

 private:
  NSInteger section_ = 0;
  NSInteger row_ = 0;
};
