#pragma once
// Points and rectangles of the interface.

struct CGRect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

inline CGRect CGRectMake(double x, double y, double width, double height) {
  return CGRect{x, y, width, height};
}

constexpr CGRect CGRectZero{};
