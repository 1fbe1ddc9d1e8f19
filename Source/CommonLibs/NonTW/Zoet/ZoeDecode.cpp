// Frame video decoding: code choices, bundle refills and the ten block kinds.
#include "ZoeDecode.h"

#include <cstring>

#include "ZoeBitplane.h"
#include "ZoePlatform.h"
#include "ZoeTransform.h"

const uint8_t patterns[16][64] = {
    {0,  8,  16, 24, 32, 40, 48, 56, 57, 49, 41, 33, 25, 17, 9,  1,  2,  10, 18, 26, 34, 42,
     50, 58, 59, 51, 43, 35, 27, 19, 11, 3,  4,  12, 20, 28, 36, 44, 52, 60, 61, 53, 45, 37,
     29, 21, 13, 5,  6,  14, 22, 30, 38, 46, 54, 62, 63, 55, 47, 39, 31, 23, 15, 7},
    {59, 58, 57, 56, 48, 49, 50, 51, 43, 42, 41, 40, 32, 33, 34, 35, 27, 26, 25, 24, 16, 17,
     18, 19, 11, 10, 9,  8,  0,  1,  2,  3,  4,  5,  6,  7,  15, 14, 13, 12, 20, 21, 22, 23,
     31, 30, 29, 28, 36, 37, 38, 39, 47, 46, 45, 44, 52, 53, 54, 55, 63, 62, 61, 60},
    {25, 17, 18, 26, 27, 19, 11, 3,  2,  10, 9,  1,  0,  8,  16, 24, 32, 40, 48, 56, 57, 49,
     41, 42, 50, 58, 59, 51, 43, 35, 34, 33, 29, 21, 22, 30, 31, 23, 15, 7,  6,  14, 13, 5,
     4,  12, 20, 28, 36, 44, 52, 60, 61, 53, 45, 46, 54, 62, 63, 55, 47, 39, 38, 37},
    {3,  11, 2,  10, 1,  9,  0,  8,  16, 24, 17, 25, 18, 26, 19, 27, 35, 43, 34, 42, 33, 41,
     32, 40, 48, 56, 49, 57, 50, 58, 51, 59, 60, 52, 61, 53, 62, 54, 63, 55, 47, 39, 46, 38,
     45, 37, 44, 36, 28, 20, 29, 21, 30, 22, 31, 23, 15, 7,  14, 6,  13, 5,  12, 4},
    {24, 25, 16, 17, 8,  9,  0,  1,  2,  3,  10, 11, 18, 19, 26, 27, 28, 29, 20, 21, 12, 13,
     4,  5,  6,  7,  14, 15, 22, 23, 30, 31, 39, 38, 47, 46, 55, 54, 63, 62, 61, 60, 53, 52,
     45, 44, 37, 36, 35, 34, 43, 42, 51, 50, 59, 58, 57, 56, 49, 48, 41, 40, 33, 32},
    {0,  1,  2,  3,  8,  9,  10, 11, 16, 17, 18, 19, 24, 25, 26, 27, 32, 33, 34, 35, 40, 41,
     42, 43, 48, 49, 50, 51, 56, 57, 58, 59, 4,  5,  6,  7,  12, 13, 14, 15, 20, 21, 22, 23,
     28, 29, 30, 31, 36, 37, 38, 39, 44, 45, 46, 47, 52, 53, 54, 55, 60, 61, 62, 63},
    {6,  7,  15, 14, 13, 5,  12, 4,  3,  11, 2,  10, 9,  1,  0,  8,  16, 24, 17, 25, 18, 26,
     19, 27, 20, 28, 21, 29, 22, 30, 23, 31, 39, 47, 38, 46, 37, 45, 36, 44, 35, 43, 34, 42,
     33, 41, 32, 40, 49, 48, 56, 57, 58, 50, 59, 51, 60, 52, 61, 53, 54, 55, 63, 62},
    {0,  1,  2,  3,  4,  5,  6,  7,  15, 14, 13, 12, 11, 10, 9,  8,  16, 17, 18, 19, 20, 21,
     22, 23, 31, 30, 29, 28, 27, 26, 25, 24, 32, 33, 34, 35, 36, 37, 38, 39, 47, 46, 45, 44,
     43, 42, 41, 40, 48, 49, 50, 51, 52, 53, 54, 55, 63, 62, 61, 60, 59, 58, 57, 56},
    {0,  8,  9,  1,  2,  3,  11, 10, 18, 19, 27, 26, 25, 17, 16, 24, 32, 40, 41, 33, 34, 35,
     43, 42, 50, 49, 48, 56, 57, 58, 59, 51, 52, 60, 61, 62, 63, 55, 54, 53, 45, 44, 36, 37,
     38, 46, 47, 39, 31, 23, 22, 30, 29, 28, 20, 21, 13, 12, 4,  5,  6,  14, 15, 7},
    {24, 25, 16, 17, 8,  9,  0,  1,  2,  3,  10, 11, 18, 19, 26, 27, 28, 29, 20, 21, 12, 13,
     4,  5,  6,  7,  14, 15, 22, 23, 30, 31, 38, 39, 46, 47, 54, 55, 62, 63, 60, 61, 52, 53,
     44, 45, 36, 37, 34, 35, 42, 43, 50, 51, 58, 59, 56, 57, 48, 49, 40, 41, 32, 33},
    {0,  8,  1,  9,  2,  10, 3,  11, 19, 27, 18, 26, 17, 25, 16, 24, 32, 40, 33, 41, 34, 42,
     35, 43, 51, 59, 50, 58, 49, 57, 48, 56, 60, 52, 61, 53, 62, 54, 63, 55, 47, 39, 46, 38,
     45, 37, 44, 36, 31, 23, 30, 22, 29, 21, 28, 20, 12, 4,  13, 5,  14, 6,  15, 7},
    {0,  8,  16, 24, 25, 26, 27, 19, 11, 3,  2,  1,  9,  17, 18, 10, 4,  12, 20, 28, 29, 30,
     31, 23, 15, 7,  6,  5,  13, 21, 22, 14, 36, 44, 52, 60, 61, 62, 63, 55, 47, 39, 38, 37,
     45, 53, 54, 46, 32, 40, 48, 56, 57, 58, 59, 51, 43, 35, 34, 33, 41, 49, 50, 42},
    {0,  8,  9,  1,  2,  3,  11, 10, 19, 27, 26, 18, 17, 16, 24, 25, 33, 32, 40, 41, 42, 34,
     35, 43, 51, 59, 58, 50, 49, 57, 56, 48, 52, 60, 61, 53, 54, 62, 63, 55, 47, 39, 38, 46,
     45, 44, 36, 37, 29, 28, 20, 21, 22, 30, 31, 23, 14, 15, 7,  6,  5,  13, 12, 4},
    {24, 16, 8,  0,  1,  2,  3,  11, 19, 27, 26, 25, 17, 10, 9,  18, 28, 20, 12, 4,  5,  6,
     7,  15, 23, 31, 30, 29, 21, 14, 13, 22, 60, 52, 44, 36, 37, 38, 39, 47, 55, 63, 62, 61,
     53, 46, 45, 54, 56, 48, 40, 32, 33, 34, 35, 43, 51, 59, 58, 57, 49, 42, 41, 50},
    {0,  8,  9,  1,  2,  10, 18, 17, 16, 24, 25, 26, 27, 19, 11, 3,  7,  6,  14, 15, 23, 22,
     21, 13, 5,  4,  12, 20, 28, 29, 30, 31, 63, 62, 54, 55, 47, 46, 45, 53, 61, 60, 52, 44,
     36, 37, 38, 39, 56, 48, 49, 57, 58, 50, 42, 41, 40, 32, 33, 34, 35, 43, 51, 59},
    {0,  1,  8,  9,  16, 17, 24, 25, 32, 33, 40, 41, 48, 49, 56, 57, 58, 59, 50, 51, 42, 43,
     34, 35, 26, 27, 18, 19, 10, 11, 2,  3,  4,  5,  12, 13, 20, 21, 28, 29, 36, 37, 44, 45,
     52, 53, 60, 61, 62, 63, 54, 55, 46, 47, 38, 39, 30, 31, 22, 23, 14, 15, 6,  7}};

const char* const zoe_code_words[16][16] = {
    {"0000", "1000", "0100", "1100", "0010", "1010", "0110", "1110", "0001", "1001", "0101", "1101", "0011",
     "1011", "0111", "1111"},
    {"0", "1000", "11000", "10100", "11100", "10010", "11010", "10110", "11110", "11001", "10101", "11101",
     "10011", "11011", "10111", "11111"},
    {"00", "01", "1000", "1001", "10100", "10101", "10110", "10111", "11000", "11001", "11010", "11011",
     "11100", "11101", "11110", "11111"},
    {"00", "010", "011", "1000", "1001", "1010", "10110", "10111", "11000", "11001", "11010", "11011",
     "11100", "11101", "11110", "11111"},
    {"000", "001", "010", "011", "1000", "1001", "1010", "1011", "11000", "11001", "11010", "11011",
     "11100", "11101", "11110", "11111"},
    {"000", "001", "0100", "0101", "0110", "0111", "1000", "1001", "1010", "1011", "1100", "1101", "11100",
     "11101", "11110", "11111"},
    {"00", "0100", "0101", "0110", "0111", "1000", "1001", "1010", "1011", "1100", "11010", "11011", "11100",
     "11101", "11110", "11111"},
    {"0", "100", "101", "11000", "11001", "11010", "110110", "110111", "111000", "111001", "111010",
     "111011", "111100", "111101", "111110", "111111"},
    {"0", "10", "11000", "11001", "110100", "110101", "110110", "110111", "111000", "111001", "111010",
     "111011", "111100", "111101", "111110", "111111"},
    {"0", "100", "1010", "1011", "11000", "11001", "11010", "11011", "111000", "111001", "111010", "111011",
     "111100", "111101", "111110", "111111"},
    {"00", "01", "100", "1010", "1011", "11000", "11001", "11010", "11011", "11100", "111010", "111011",
     "111100", "111101", "111110", "111111"},
    {"0", "1000", "1001", "1010", "1011", "11000", "11001", "11010", "11011", "11100", "111010", "111011",
     "111100", "111101", "111110", "111111"},
    {"00", "01", "10", "11000", "11001", "11010", "110110", "110111", "111000", "111001", "111010",
     "111011", "111100", "111101", "111110", "111111"},
    {"0", "100", "101", "110", "111000", "111001", "111010", "111011", "1111000", "1111001", "1111010",
     "1111011", "1111100", "1111101", "1111110", "1111111"},
    {"0", "100", "101", "110", "11100", "111010", "1110110", "1110111", "1111000", "1111001", "1111010",
     "1111011", "1111100", "1111101", "1111110", "1111111"},
    {"00", "01", "100", "101", "110", "111000", "111001", "111010", "111011", "111100", "1111010",
     "1111011", "1111100", "1111101", "1111110", "1111111"}};

const uint8_t zoe_code_width[16] = {4, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 7, 7, 7};

namespace ZoeDec {

// Lookup tables indexed by the next `width` bits: length << 4 | word index.
struct CodeTables {
  uint8_t t[16][128];
  CodeTables() {
    for (int c = 0; c < 16; c++) {
      int width = zoe_code_width[c];
      for (int v = 0; v < (1 << width); v++) t[c][v] = (uint8_t)(width << 4);
      for (int i = 0; i < 16; i++) {
        const char* w = zoe_code_words[c][i];
        int len = (int)strlen(w), bits = 0;
        for (int j = 0; j < len; j++)
          if (w[j] == '1') bits |= 1 << j;
        for (int v = 0; v < (1 << width); v++)
          if ((v & ((1 << len) - 1)) == bits) t[c][v] = (uint8_t)(len << 4 | i);
      }
    }
  }
};

const CodeTables& Codes() {
  static const CodeTables tables;
  return tables;
}

struct CodeChoice {
  const uint8_t* table;
  uint32_t width;
  uint8_t map[16];
};

inline uint32_t DecodeSymbol(ZoeBitReader& r, const CodeChoice& c) {
  uint8_t e = c.table[ZoePeekBits(r, c.width)];
  ZoeSkipBits(r, e >> 4);
  return c.map[e & 15];
}

// Merges a and b (b the later list) into out, one bit per choice while both have elements.
void MergeLists(ZoeBitReader& r, const uint8_t* a, int na, const uint8_t* b, int nb, uint8_t* out) {
  int i = 0, j = 0, o = 0;
  while (i < na && j < nb) out[o++] = ZoeReadBit(r) ? b[j++] : a[i++];
  while (i < na) out[o++] = a[i++];
  while (j < nb) out[o++] = b[j++];
}

void ReadCodeChoice(ZoeBitReader& r, CodeChoice& c) {
  uint32_t code = ZoeReadBits(r, 4);
  c.table = Codes().t[code];
  c.width = zoe_code_width[code];
  if (code == 0) {
    for (int i = 0; i < 16; i++) c.map[i] = (uint8_t)i;
    return;
  }
  if (ZoeReadBit(r)) {
    int k = (int)ZoeReadBits(r, 3);
    bool used[16] = {};
    int o = 0;
    for (int i = 0; i <= k; i++) {
      uint8_t s = (uint8_t)ZoeReadBits(r, 4);
      c.map[o++] = s;
      used[s] = true;
    }
    for (int s = 0; s < 16 && o < 16; s++)
      if (!used[s]) c.map[o++] = (uint8_t)s;
    while (o < 16) c.map[o++] = 0;  // a list with repeated symbols
    return;
  }
  int depth = (int)ZoeReadBits(r, 2);
  uint8_t cur[16], next[16];
  for (int i = 0; i < 16; i += 2) {
    bool swap = ZoeReadBit(r) != 0;
    cur[i] = (uint8_t)(swap ? i + 1 : i);
    cur[i + 1] = (uint8_t)(swap ? i : i + 1);
  }
  for (int level = 0, run = 2; level < depth; level++, run *= 2) {
    for (int i = 0; i < 16; i += 2 * run) MergeLists(r, cur + i, run, cur + i + run, run, next + i);
    memcpy(cur, next, 16);
  }
  memcpy(c.map, cur, 16);
}

struct Bundle {
  uint8_t* buffer;
  uint32_t cur, end;  // element indices; cur > end marks a closed bundle
  uint32_t cap;       // elements the buffer holds
  uint32_t countBits;
  CodeChoice code;
};

const uint8_t kRunEscape[4] = {4, 8, 12, 32};

class PlaneDecoder {
 public:
  ZoeBitReader r;
  Bundle b[ZOE_BUNDLE_COUNT];
  CodeChoice highNibble[16];
  uint32_t lastHigh;
  uint32_t flags;

  // Returns false when the bundle is closed.
  bool StartRefill(Bundle& bd, uint32_t& n) {
    if (bd.cur != bd.end) return false;
    n = ZoeReadBits(r, bd.countBits);
    if (n == 0) {
      bd.cur = 4;
      bd.end = 0;
      return false;
    }
    if (n > bd.cap) n = bd.cap;
    bd.cur = 0;
    bd.end = n;
    return true;
  }

  void RefillTypes(Bundle& bd) {
    uint32_t n;
    if (!StartRefill(bd, n)) return;
    uint8_t* out = bd.buffer;
    if (ZoeReadBit(r)) {
      memset(out, (int)ZoeReadBits(r, 4), n);
      return;
    }
    uint8_t last = 0;
    for (uint32_t i = 0; i < n;) {
      uint32_t s = DecodeSymbol(r, bd.code);
      if (s < 12) {
        out[i++] = (uint8_t)s;
        last = (uint8_t)s;
      } else {
        uint32_t rep = kRunEscape[s - 12];
        if (rep > n - i) rep = n - i;
        memset(out + i, last, rep);
        i += rep;
      }
    }
  }

  uint8_t DecodeColour() {
    uint32_t h = DecodeSymbol(r, highNibble[lastHigh]);
    uint32_t l = DecodeSymbol(r, b[ZOE_BUNDLE_COLOURS].code);
    lastHigh = h;
    uint32_t v = h * 16 + l;
    if (flags & ZOE_DECODE_OLD_COLOURS) v = v < 128 ? 128 + (v & 127) : 128 - (v & 127);
    return (uint8_t)v;
  }

  void RefillColours(Bundle& bd) {
    uint32_t n;
    if (!StartRefill(bd, n)) return;
    if (ZoeReadBit(r)) {
      memset(bd.buffer, DecodeColour(), n);
    } else {
      for (uint32_t i = 0; i < n; i++) bd.buffer[i] = DecodeColour();
    }
  }

  void RefillPatterns(Bundle& bd) {
    uint32_t n;
    if (!StartRefill(bd, n)) return;
    for (uint32_t i = 0; i < n; i++) {
      uint32_t lo = DecodeSymbol(r, bd.code);
      uint32_t hi = DecodeSymbol(r, bd.code);
      bd.buffer[i] = (uint8_t)(hi << 4 | lo);
    }
  }

  void RefillRuns(Bundle& bd) {
    uint32_t n;
    if (!StartRefill(bd, n)) return;
    if (ZoeReadBit(r)) {
      memset(bd.buffer, (int)ZoeReadBits(r, 4), n);
    } else {
      for (uint32_t i = 0; i < n; i++) bd.buffer[i] = (uint8_t)DecodeSymbol(r, bd.code);
    }
  }

  void RefillOffsets(Bundle& bd) {
    uint32_t n;
    if (!StartRefill(bd, n)) return;
    if (ZoeReadBit(r)) {
      int v = (int)ZoeReadBits(r, 4);
      if (v && ZoeReadBit(r)) v = -v;
      memset(bd.buffer, (uint8_t)(int8_t)v, n);
    } else {
      for (uint32_t i = 0; i < n; i++) {
        int v = (int)DecodeSymbol(r, bd.code);
        if (v && ZoeReadBit(r)) v = -v;
        bd.buffer[i] = (uint8_t)(int8_t)v;
      }
    }
  }

  void RefillDC(Bundle& bd, bool inter) {
    uint32_t n;
    if (!StartRefill(bd, n)) return;
    int16_t* out = (int16_t*)bd.buffer;
    int16_t value;
    if (inter) {
      int m = (int)ZoeReadBits(r, 10);
      if (m && ZoeReadBit(r)) m = -m;
      value = (int16_t)m;
    } else {
      value = (int16_t)ZoeReadBits(r, 11);
    }
    out[0] = value;
    for (uint32_t i = 1; i < n;) {
      uint32_t group = n - i < 8 ? n - i : 8;
      uint32_t w = ZoeReadBits(r, 4);
      for (uint32_t g = 0; g < group; g++) {
        if (w) {
          int d = (int)ZoeReadBits(r, w);
          if (d && ZoeReadBit(r)) d = -d;
          value = (int16_t)(uint16_t)((uint32_t)(uint16_t)value + (uint32_t)d);
        }
        out[i++] = value;
      }
    }
  }

  // Elements; an exhausted or closed bundle gives nothing (the fallback).
  uint8_t Take(int which, uint8_t fallback) {
    Bundle& bd = b[which];
    if (bd.cur >= bd.end) return fallback;
    return bd.buffer[bd.cur++];
  }
  int16_t TakeDC(int which) {
    Bundle& bd = b[which];
    if (bd.cur >= bd.end) return 0;
    int16_t v;
    memcpy(&v, bd.buffer + 2 * bd.cur++, 2);
    return v;
  }
  int TakeOffset(int which) { return (int8_t)Take(which, 0); }
};

uint32_t BitLength(uint32_t v) {
  if (v <= 128) return _bitlevels[v];
  if (v < 256) return 8;
  if (v < 512) return 9;
  if (v < 1024) return 10;
  if (v < 2048) return 11;
  if (v < 4096) return 12;
  if (v < 8192) return 13;
  if (v < 16384) return 14;
  return 15;
}

struct PlaneArgs {
  uint8_t* dst;
  const uint8_t* prev;
  uint32_t width, height, pitch;
  uint8_t* map;
  uint32_t mapPitch, mapCols, mapRows;
  int kind;  // 1 luma or alpha, 2 chroma
  uint8_t** bundles;
  const uint32_t* caps;  // buffer sizes in bytes
  uint32_t flags;
};

inline void CopyBlock(uint8_t* dst, const uint8_t* src, uint32_t pitch) {
  if (dst == src) return;
  for (int y = 0; y < 8; y++) memmove(dst + y * pitch, src + y * pitch, 8);
}

// One 8x8 block of the colour-based kinds into px (raster order); false for
// kinds that this does not decode.
bool DecodeColourBlock(PlaneDecoder& d, int kind, uint8_t px[64]) {
  switch (kind) {
    case RunBlock: {
      const uint8_t* order = patterns[ZoeReadBits(d.r, 4)];
      int i = 0;
      while (i < 63) {
        bool same = ZoeReadBit(d.r) != 0;
        int run = d.Take(ZOE_BUNDLE_RUNS, 0) + 1;
        if (run > 64 - i) run = 64 - i;
        if (same) {
          uint8_t c = d.Take(ZOE_BUNDLE_COLOURS, 0);
          for (int k = 0; k < run; k++) px[order[i + k]] = c;
        } else {
          for (int k = 0; k < run; k++) px[order[i + k]] = d.Take(ZOE_BUNDLE_COLOURS, 0);
        }
        i += run;
      }
      if (i == 63) px[order[63]] = d.Take(ZOE_BUNDLE_COLOURS, 0);
      return true;
    }
    case FillBlock:
      memset(px, d.Take(ZOE_BUNDLE_COLOURS, 0), 64);
      return true;
    case PatternBlock: {
      uint8_t c[2];
      c[0] = d.Take(ZOE_BUNDLE_COLOURS, 0);
      c[1] = d.Take(ZOE_BUNDLE_COLOURS, 0);
      for (int y = 0; y < 8; y++) {
        uint8_t bits = d.Take(ZOE_BUNDLE_PATTERNS, 0);
        for (int x = 0; x < 8; x++) px[y * 8 + x] = c[(bits >> x) & 1];
      }
      return true;
    }
    case RawBlock:
      for (int i = 0; i < 64; i++) px[i] = d.Take(ZOE_BUNDLE_COLOURS, 0);
      return true;
    default:
      return false;
  }
}

const uint8_t* DecodePlane(const uint8_t* data, const uint8_t* dataEnd, const PlaneArgs& a, uint32_t* skipOut) {
  PlaneDecoder d;
  ZoeBitReaderInit(d.r, data, dataEnd);
  d.flags = a.flags;
  uint32_t blocks = a.width / 8;
  const uint32_t counts[ZOE_BUNDLE_COUNT] = {blocks,     a.width / 16, 64 * blocks, 8 * blocks, blocks,
                                             blocks,     blocks,       blocks,      48 * blocks};
  for (int i = 0; i < ZOE_BUNDLE_COUNT; i++) {
    Bundle& bd = d.b[i];
    bd.buffer = a.bundles[i];
    bd.cur = bd.end = 0;
    bd.countBits = BitLength(counts[i] + 511);
    bd.cap = (i == ZOE_BUNDLE_INTRA_DC || i == ZOE_BUNDLE_INTER_DC) ? a.caps[i] / 2 : a.caps[i];
  }
  uint32_t skips = 0;

  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_TYPES].code);
  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_SUBTYPES].code);
  for (int h = 0; h < 16; h++) ReadCodeChoice(d.r, d.highNibble[h]);
  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_COLOURS].code);
  d.lastHigh = 0;
  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_PATTERNS].code);
  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_XOFF].code);
  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_YOFF].code);
  ReadCodeChoice(d.r, d.b[ZOE_BUNDLE_RUNS].code);

  const uint32_t pitch = a.pitch;
  const int shift = a.kind == 1 ? 4 : 3;  // pixels per map byte, as a shift
  alignas(16) int16_t coefs[64];
  uint8_t scratch[16 * 16];

  for (uint32_t row = 0; row + 8 <= a.height; row += 8) {
    d.RefillTypes(d.b[ZOE_BUNDLE_TYPES]);
    d.RefillTypes(d.b[ZOE_BUNDLE_SUBTYPES]);
    d.RefillColours(d.b[ZOE_BUNDLE_COLOURS]);
    d.RefillPatterns(d.b[ZOE_BUNDLE_PATTERNS]);
    d.RefillOffsets(d.b[ZOE_BUNDLE_XOFF]);
    d.RefillOffsets(d.b[ZOE_BUNDLE_YOFF]);
    d.RefillDC(d.b[ZOE_BUNDLE_INTRA_DC], false);
    d.RefillDC(d.b[ZOE_BUNDLE_INTER_DC], true);
    d.RefillRuns(d.b[ZOE_BUNDLE_RUNS]);

    uint32_t mapRow = row >> shift;
    uint8_t* mapLine = mapRow < a.mapRows ? a.map + (size_t)mapRow * a.mapPitch : nullptr;
    auto mark = [&](uint32_t x) {
      uint32_t col = x >> shift;
      if (mapLine && col < a.mapCols) mapLine[col] = 1;
    };
    uint8_t* dstRow = a.dst + (size_t)row * pitch;
    const uint8_t* prevRow = a.prev + (size_t)row * pitch;

    for (uint32_t x = 0; x + 8 <= a.width;) {
      uint8_t* dst = dstRow + x;
      const uint8_t* prev = prevRow + x;
      int kind = d.Take(ZOE_BUNDLE_TYPES, 15);
      // reference of displaced kinds: null when it would leave the plane
      auto displaced = [&]() -> const uint8_t* {
        int dx = d.TakeOffset(ZOE_BUNDLE_XOFF);
        int dy = d.TakeOffset(ZOE_BUNDLE_YOFF);
        int64_t sx = (int64_t)x + dx, sy = (int64_t)row + dy;
        if (sx < 0 || sy < 0 || sx + 8 > a.width || sy + 8 > a.height) return nullptr;
        return a.prev + (size_t)sy * pitch + (size_t)sx;
      };
      switch (kind) {
        case SkipBlock: {
          CopyBlock(dst, prev, pitch);
          uint32_t col = x >> shift;
          if (mapLine && col < a.mapCols && mapLine[col] == 0) skips++;
          x += 8;
          continue;
        }
        case ScaledBlock: {
          mark(x);
          mark(x + 8);
          if (!(row & 8)) {
            bool fits = x + 16 <= a.width && row + 16 <= a.height;
            uint8_t* out = fits ? dst : scratch;
            uint32_t outPitch = fits ? pitch : 16;
            int sub = d.Take(ZOE_BUNDLE_SUBTYPES, 15);
            if (sub == IntraBlock) {
              coefs[0] = d.TakeDC(ZOE_BUNDLE_INTRA_DC);
              ReadBPLossless(coefs, d.r);
              FastIDCT8x8d(out, (int)outPitch, coefs, (int)ZoeReadBits(d.r, 4));
            } else {
              uint8_t px[64];
              if (DecodeColourBlock(d, sub, px)) {
                for (int y = 0; y < 8; y++) {
                  uint8_t line[16];
                  for (int i = 0; i < 8; i++) line[2 * i] = line[2 * i + 1] = px[y * 8 + i];
                  memcpy(out + (2 * y) * outPitch, line, 16);
                  memcpy(out + (2 * y + 1) * outPitch, line, 16);
                }
              }
            }
          }
          x += 16;
          continue;
        }
        case MotionBlock: {
          mark(x);
          const uint8_t* ref = displaced();
          if (ref) CopyBlock(dst, ref, pitch);
          break;
        }
        case ResidueBlock: {
          mark(x);
          const uint8_t* ref = displaced();
          int budget = (int)ZoeReadBits(d.r, 7);
          if (ref && ref != dst) {
            ReadBPLossyWithMotion(dst, (int)pitch, d.r, budget, ref, (int)pitch);
          } else {
            // the reference is outside the plane, or is the block itself
            uint8_t copy[64];
            static const uint8_t zeros[64] = {};
            for (int y = 0; ref && y < 8; y++) memcpy(copy + 8 * y, ref + y * pitch, 8);
            ReadBPLossyWithMotion(ref ? dst : scratch, ref ? (int)pitch : 8, d.r, budget, ref ? copy : zeros,
                                  8);
          }
          break;
        }
        case IntraBlock:
          mark(x);
          coefs[0] = d.TakeDC(ZOE_BUNDLE_INTRA_DC);
          ReadBPLossless(coefs, d.r);
          FastIDCT8x8(dst, (int)pitch, coefs, (int)ZoeReadBits(d.r, 4));
          break;
        case InterBlock: {
          mark(x);
          const uint8_t* ref = displaced();
          coefs[0] = d.TakeDC(ZOE_BUNDLE_INTER_DC);
          ReadBPLossless(coefs, d.r);
          int q = (int)ZoeReadBits(d.r, 4);
          if (ref) {
            uint8_t copy[64];
            for (int y = 0; y < 8; y++) memcpy(copy + 8 * y, ref + y * pitch, 8);
            FastmIDCT8x8WithMotion(dst, (int)pitch, coefs, q, copy, 8);
          }
          break;
        }
        case RunBlock:
        case FillBlock:
        case PatternBlock:
        case RawBlock: {
          mark(x);
          uint8_t px[64];
          DecodeColourBlock(d, kind, px);
          for (int y = 0; y < 8; y++) memcpy(dst + y * pitch, px + 8 * y, 8);
          break;
        }
        default:
          break;  // 10-15: untouched
      }
      x += 8;
    }
  }
  *skipOut = skips;
  return d.r.next;
}

}  // namespace ZoeDec

uint32_t ZoeCountBits(uint32_t n) { return ZoeDec::BitLength(n + 511); }

uint32_t* ExpandBundleSizes(uint32_t sizes[9], uint32_t width) {
  uint32_t b = width / 8, w16 = width / 16;
  sizes[ZOE_BUNDLE_TYPES] = (b + 515) & ~3u;
  sizes[ZOE_BUNDLE_SUBTYPES] = (w16 + 515) & ~3u;
  sizes[ZOE_BUNDLE_COLOURS] = 64 * b + 512;
  sizes[ZOE_BUNDLE_PATTERNS] = 8 * b + 512;
  sizes[ZOE_BUNDLE_XOFF] = (b + 515) & ~3u;
  sizes[ZOE_BUNDLE_YOFF] = (b + 515) & ~3u;
  sizes[ZOE_BUNDLE_INTRA_DC] = (2 * b + 1027) & ~3u;
  sizes[ZOE_BUNDLE_INTER_DC] = (2 * b + 1027) & ~3u;
  sizes[ZOE_BUNDLE_RUNS] = 48 * b + 512;
  return sizes;
}

uint32_t ExpandZoet(FrameBufferSet* buffers, uint8_t* map, uint32_t mapPitch, const uint32_t* data,
                    uint32_t dataBytes, int keyFrame, uint8_t** bundleBuffers, uint32_t decodeFlags,
                    uint32_t headerFlags) {
  (void)keyFrame;
  if (!buffers || !map || !bundleBuffers) return 0;
  uint32_t old = buffers->frameNum & 1;
  if (buffers->frames[old ^ 1].Y.buffer) buffers->frameNum = old ^ 1;
  const FramePlaneSet& cur = buffers->frames[buffers->frameNum & 1];
  const FramePlaneSet& prev = buffers->frames[old];
  CPU_check(0, 0);

  const uint8_t* p = (const uint8_t*)data;
  const uint8_t* end = p + (data ? dataBytes : 0);
  auto advance = [&](const uint8_t* from, uint32_t bytes) {
    return (uint32_t)(end - from) > bytes ? from + bytes : end;
  };
  auto word = [&](const uint8_t* at) -> uint32_t { return end - at >= 4 ? GetLE32(at) : 0; };

  uint32_t caps[9];
  ExpandBundleSizes(caps, buffers->lumaWidth);
  ZoeDec::PlaneArgs a;
  a.map = map;
  a.mapPitch = mapPitch;
  a.mapCols = (buffers->lumaWidth + 15) / 16;
  a.mapRows = (buffers->lumaHeight + 15) / 16;
  a.bundles = bundleBuffers;
  a.caps = caps;
  a.flags = decodeFlags;
  auto plane = [&](const PlaneBuffer& n, const PlaneBuffer& o, uint32_t w, uint32_t h, int kind,
                   const uint8_t* at, uint32_t* skips) -> const uint8_t* {
    *skips = 0;
    if (!n.buffer || (o.buffer && o.pitch != n.pitch)) return at;  // both sets share one layout
    a.dst = n.buffer;
    a.prev = o.buffer ? o.buffer : n.buffer;
    a.pitch = o.pitch;
    a.width = w < o.pitch ? w : o.pitch;
    a.height = h;
    a.kind = kind;
    return ZoeDec::DecodePlane(at, end, a, skips);
  };

  uint32_t skips = 0;
  if (headerFlags & ZOE_HEADER_ALPHA) {
    uint32_t len = word(p);
    if (decodeFlags & ZOE_DECODE_ALPHA)
      plane(cur.A, prev.A, buffers->lumaWidth, buffers->lumaHeight, 1, advance(p, 4), &skips);
    p = advance(p, len);
  }
  skips = 0;
  const uint8_t* next;
  if (decodeFlags & ZOE_DECODE_OLD_COLOURS) {
    next = plane(cur.Y, prev.Y, buffers->lumaWidth, buffers->lumaHeight, 1, p, &skips);
  } else {
    uint32_t len = word(p);
    p = advance(p, 4);
    plane(cur.Y, prev.Y, buffers->lumaWidth, buffers->lumaHeight, 1, p, &skips);
    next = advance(p, len);
  }
  if (decodeFlags & ZOE_DECODE_GREY) return skips / 4;
  next = plane(cur.cR, prev.cR, buffers->chromaWidth, buffers->chromaHeight, 2, next, &skips);
  plane(cur.cB, prev.cB, buffers->chromaWidth, buffers->chromaHeight, 2, next, &skips);
  return skips;
}
