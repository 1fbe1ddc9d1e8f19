#include "VERirezo/FontWriter.h"

#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "VERirezo/Font.h"

std::vector<uint8_t> TwfWrite(const uint8_t charMap[256], const std::vector<ETwfGlyph>& glyphs, uint32_t format,
                              uint32_t width, uint32_t height, const uint32_t* pPixels) {
  const size_t pixels = (size_t)width * height;
  std::vector<uint8_t> out(12 + 256 + glyphs.size() * 12 + 12 + pixels * (format == 3 ? 1 : 4));
  uint8_t* p = out.data();
  PutLE32(p, kTWF_MAGIC);
  PutLE32(p + 4, 0);
  PutLE32(p + 8, (uint32_t)glyphs.size());
  memcpy(p + 12, charMap, 256);
  p += 12 + 256;
  for (const ETwfGlyph& g : glyphs) {
    PutLE16(p, g.left);
    PutLE16(p + 2, g.top);
    PutLE16(p + 4, g.right);
    PutLE16(p + 6, g.bottom);
    PutLE32(p + 8, (uint32_t)g.baseline);
    p += 12;
  }
  PutLE32(p, format);
  PutLE32(p + 4, width);
  PutLE32(p + 8, height);
  p += 12;
  for (size_t i = 0; i < pixels; ++i) {
    if (format == 3) {
      *p++ = (uint8_t)(pPixels[i] >> 24);
    } else {
      PutLE32(p, pPixels[i]);
      p += 4;
    }
  }
  return out;
}

std::vector<uint8_t> TwfFromGrid(const uint32_t* pPixels, uint32_t width, uint32_t height, uint32_t cellWidth,
                                 uint32_t cellHeight, uint32_t firstCode, int32_t baseline, uint32_t format) {
  if (!cellWidth || !cellHeight || cellWidth > width || cellHeight > height || firstCode > 255 || width > 0xFFFF ||
      height > 0xFFFF)
    return {};
  const uint32_t columns = width / cellWidth, rows = height / cellHeight;
  uint32_t cells = columns * rows;
  if (cells > 256 - firstCode) cells = 256 - firstCode;
  uint8_t map[256] = {};
  std::vector<ETwfGlyph> glyphs;
  for (uint32_t i = 0; i < cells; ++i) {
    const uint32_t x0 = (i % columns) * cellWidth, y0 = (i / columns) * cellHeight;
    uint32_t left = x0 + cellWidth, top = y0 + cellHeight, right = x0, bottom = y0;
    for (uint32_t y = y0; y < y0 + cellHeight; ++y)
      for (uint32_t x = x0; x < x0 + cellWidth; ++x)
        if (pPixels[(size_t)y * width + x] >> 24) {
          if (x < left) left = x;
          if (x + 1 > right) right = x + 1;
          if (y < top) top = y;
          if (y + 1 > bottom) bottom = y + 1;
        }
    if (right <= left) left = right = x0, top = bottom = y0;
    glyphs.push_back(ETwfGlyph{(uint16_t)left, (uint16_t)top, (uint16_t)right, (uint16_t)bottom,
                               baseline - (int32_t)(top - y0)});
    map[firstCode + i] = (uint8_t)i;
  }
  return TwfWrite(map, glyphs, format, width, height, pPixels);
}
