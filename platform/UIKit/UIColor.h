#pragma once
// A colour as red, green, blue and alpha between 0 and 1.
struct UIColor {
  float red = 0;
  float green = 0;
  float blue = 0;
  float alpha = 1;

  static UIColor clearColor() { return UIColor{0, 0, 0, 0}; }
  static UIColor blackColor() { return UIColor{0, 0, 0, 1}; }
  static UIColor whiteColor() { return UIColor{1, 1, 1, 1}; }

  bool operator==(const UIColor&) const = default;
};
