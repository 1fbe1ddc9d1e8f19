// Writing ".twf" bitmap fonts: from glyph tables, or from an image whose
// glyphs lie in a grid of cells in byte-code order.
#pragma once

#include <cstdint>
#include <vector>

struct ETwfGlyph {
  uint16_t left, top, right, bottom;
  int32_t baseline;
};

// The bytes of a font file. Pixels are A8R8G8B8 words, top row first;
// format 3 stores their alpha only, formats 0 and 1 the whole words.
std::vector<uint8_t> TwfWrite(const uint8_t charMap[256], const std::vector<ETwfGlyph>& glyphs, uint32_t format,
                              uint32_t width, uint32_t height, const uint32_t* pPixels);

// Glyph i is the cell i of the grid (row after row) and stands for byte code
// firstCode + i, up to 255; its rectangle is the part of its cell with
// non-zero alpha (an empty cell gives an empty rectangle at the cell's
// corner) and its baseline the cell's baseline row seen from the
// rectangle's top. Codes without a cell map to glyph 0. Empty when the
// arguments make no glyph.
std::vector<uint8_t> TwfFromGrid(const uint32_t* pPixels, uint32_t width, uint32_t height, uint32_t cellWidth,
                                 uint32_t cellHeight, uint32_t firstCode, int32_t baseline, uint32_t format);
