#pragma once
// A font: the system font in a size, plain or bold. The terminal shows bold text in bold.
struct UIFont {
  float pointSize = 17;
  bool bold = false;

  static UIFont systemFontOfSize(float size) { return UIFont{size, false}; }
  static UIFont boldSystemFontOfSize(float size) { return UIFont{size, true}; }

  bool operator==(const UIFont&) const = default;
};
