// Hand-built plane sets, guarded destinations and per-pixel reference
// colours for the conversion tests.
#pragma once

#include <cstdint>
#include <vector>

#include "ZoeBlit.h"

namespace zoe_test {

enum class Family { Lane, Table };

// Makes YUV_init choose the lane family (MMX in use) or the table family.
void UseFamily(Family f);

// A frame with padded pitches; every plane is filled with its own
// per-position pattern unless set otherwise.
struct TestFrame {
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> y, cr, cb, a;
  FramePlaneSet planes{};

  TestFrame(uint32_t width, uint32_t height, bool alpha, uint32_t seed);
  uint32_t ChromaW() const { return (w + 1) / 2; }
  uint32_t ChromaH() const { return (h + 1) / 2; }
  uint8_t& Y(uint32_t x, uint32_t r) { return y[r * planes.Y.pitch + x]; }
  uint8_t& A(uint32_t x, uint32_t r) { return a[r * planes.Y.pitch + x]; }
  uint8_t& CR(uint32_t x, uint32_t r) { return cr[(r / 2) * planes.cR.pitch + x / 2]; }
  uint8_t& CB(uint32_t x, uint32_t r) { return cb[(r / 2) * planes.cB.pitch + x / 2]; }
  void FillConstant(uint8_t yv, uint8_t u, uint8_t v);
  void Repoint();
};

// Bytes of one pixel of the given format (1 for formats 0 and 15; 2 for
// YUYV/UYVY, luma/chroma byte pair) as the Parts' formulas give them.
// `alpha_conv` selects the converters that write the alpha sample.
std::vector<uint8_t> LaneReference(uint32_t format, uint32_t yv, uint32_t u, uint32_t v, uint32_t a, uint32_t col,
                                   uint32_t row, bool alpha_conv);
std::vector<uint8_t> TableReference(uint32_t format, uint32_t yv, uint32_t u, uint32_t v, uint32_t a, uint32_t col,
                                    uint32_t row, bool alpha_conv);

uint32_t FormatBytes(uint32_t format);

// A picture whose colours are constant over 2 x 2 squares: greys (black and
// white included) in the first 8 square columns, the three primaries in the
// next three, pseudo-random colours elsewhere; with the luma and chroma
// samples the studio-range colour matrix of the movies gives each square.
struct SquarePicture {
  uint32_t w, h;             // even
  std::vector<uint8_t> rgb;  // w x h pixels, red, green, blue
  std::vector<uint8_t> y;    // w x h
  std::vector<uint8_t> cb;   // (w / 2) x (h / 2)
  std::vector<uint8_t> cr;

  SquarePicture(uint32_t width, uint32_t height, uint32_t seed);
  // The largest difference of any channel between the picture and a format 3
  // image of it at dest, rows pitch bytes apart.
  int LargestError(const uint8_t* dest, uint32_t pitch) const;
};

const uint8_t kGuard = 0xA5;

}  // namespace zoe_test
