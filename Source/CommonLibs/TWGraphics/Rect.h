// A rectangle of pixels: left, top, right, bottom.
#pragma once

#include <cstdlib>

struct ERect {
  int left, top, right, bottom;
  int Width() const { return abs(right - left); }
  int Height() const { return abs(bottom - top); }
};
