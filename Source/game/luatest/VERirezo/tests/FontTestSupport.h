// A small synthetic font for the font, text and sprite tests, written with
// the engine's own ".twf" writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "VERirezo/FontWriter.h"

namespace fonttest {

// 64 x 32 bitmap. Glyph 0 is the fallback (width 5); 'm' and 'M' are 10
// wide (M 12 high, baseline 10); '/' is 4 wide; every other code uses
// glyph 1: 6 wide, 10 high, baseline 8, opaque white.
inline std::vector<uint8_t> MakeFontBytes(uint32_t format = 0) {
  std::vector<ETwfGlyph> glyphs = {
      {0, 0, 5, 10, 8},     // 0 fallback
      {10, 0, 16, 10, 8},   // 1 ordinary
      {20, 0, 30, 10, 8},   // 2 'm'
      {32, 0, 42, 12, 10},  // 3 'M'
      {50, 0, 54, 10, 8},   // 4 '/'
  };
  uint8_t map[256];
  memset(map, 1, sizeof(map));
  map[(uint8_t)'m'] = 2;
  map[(uint8_t)'M'] = 3;
  map[(uint8_t)'/'] = 4;
  std::vector<uint32_t> pixels(64 * 32, 0);
  for (const ETwfGlyph& g : glyphs)
    for (int y = g.top; y < g.bottom; ++y)
      for (int x = g.left; x < g.right; ++x) pixels[(size_t)y * 64 + x] = 0xFFFFFFFFu;
  return TwfWrite(map, glyphs, format, 64, 32, pixels.data());
}

}  // namespace fonttest
