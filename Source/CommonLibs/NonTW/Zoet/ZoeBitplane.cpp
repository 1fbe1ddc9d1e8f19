// Bit-plane readers: a coding list of pending groups and single coefficients
// decides, one bit per entry and pass, which coefficients become significant.
#include "ZoeBitplane.h"

#include <cstring>

const uint8_t zigzag[64] = {0,  1,  8,  9,  2,  3,  10, 11, 4,  5,  12, 13, 6,  7,  14, 15,
                            20, 21, 28, 29, 22, 23, 30, 31, 16, 17, 24, 25, 32, 33, 40, 41,
                            34, 35, 42, 43, 48, 49, 56, 57, 50, 51, 58, 59, 18, 19, 26, 27,
                            36, 37, 44, 45, 38, 39, 46, 47, 52, 53, 60, 61, 54, 55, 62, 63};

const uint8_t _bitlevels[129] = {
    0, 1, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 6,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8};

namespace ZoeBitplaneList {

// The coding list: entries index x 4 + mode, 0 = dead. Entries put in front
// go below `start`; at most 64 go in front and 9 are appended behind the
// initial ones, so the array never overflows.
struct List {
  uint8_t e[96];
  int start, end;
  void Init(const uint8_t* initial, int n) {
    start = end = 72;
    for (int i = 0; i < n; i++) e[end++] = initial[i];
  }
};

const uint8_t kDctInitial[6] = {4 * 4, 24 * 4, 44 * 4, 1 * 4 + 3, 2 * 4 + 3, 3 * 4 + 3};
const uint8_t kResidueInitial[4] = {4 * 4, 24 * 4, 44 * 4, 0 * 4 + 2};

// Runs one pass of the list machine. Value(k) reads coefficient k's value and
// returns false to stop the whole read at once.
template <class ValueFn>
bool Walk(List& l, ZoeBitReader& r, ValueFn&& value) {
  for (int pos = l.start; pos < l.end; pos++) {
    uint8_t e = l.e[pos];
    if (e == 0) continue;
    for (;;) {
      if (!ZoeReadBit(r)) break;
      int k = e >> 2, mode = e & 3;
      if (mode == 3) {
        l.e[pos] = 0;
        if (!value(k)) return false;
        break;
      }
      if (mode == 1) {
        e = (uint8_t)(k * 4 + 2);
        l.e[pos] = e;
        l.e[l.end++] = (uint8_t)((k + 4) * 4 + 2);
        l.e[l.end++] = (uint8_t)((k + 8) * 4 + 2);
        l.e[l.end++] = (uint8_t)((k + 12) * 4 + 2);
        continue;
      }
      // modes 0 and 2 code the group k..k+3
      for (int j = k; j < k + 4; j++) {
        if (ZoeReadBit(r)) {
          l.e[--l.start] = (uint8_t)(j * 4 + 3);
        } else if (!value(j)) {
          return false;
        }
      }
      if (mode == 2) {
        l.e[pos] = 0;
        break;
      }
      e = (uint8_t)((k + 4) * 4 + 1);
      l.e[pos] = e;
    }
  }
  return true;
}

// Residue in scan order.
void ReadResidueFrom(int8_t res[64], ZoeBitReader& r, int budget) {
  memset(res, 0, 64);
  int c = (int)ZoeReadBits(r, 3);
  List l;
  l.Init(kResidueInitial, 4);
  uint8_t sig[64];
  int nsig = 0, counter = 0;
  int m = 1 << c;
  auto apply = [&]() {
    if (counter == budget) return false;
    counter++;
    return true;
  };
  auto value = [&](int k) {
    sig[nsig++] = (uint8_t)k;
    res[k] = (int8_t)(uint8_t)(ZoeReadBit(r) ? -m : m);
    return apply();
  };
  for (int pass = 0; pass <= c; pass++, m >>= 1) {
    for (int s = 0; s < nsig; s++) {
      if (ZoeReadBit(r)) {
        int k = sig[s];
        res[k] = (int8_t)(uint8_t)(res[k] >= 0 ? res[k] + m : res[k] - m);
        if (!apply()) return;
      }
    }
    if (!Walk(l, r, value)) return;
  }
}

void ReadResidue(int8_t res[64], ZoeBitReader& reader, int budget) {
  ZoeBitReader r = reader;
  ReadResidueFrom(res, r, budget);
  reader = r;
}

}  // namespace ZoeBitplaneList

void ReadBPLossless(int16_t block[64], ZoeBitReader& reader) {
  ZoeBitReader r = reader;  // a local copy stays in registers across the list's byte stores
  int16_t val[64];
  memset(val, 0, sizeof(val));
  int planes = (int)ZoeReadBits(r, 4);
  if (planes) {
    ZoeBitplaneList::List l;
    l.Init(ZoeBitplaneList::kDctInitial, 6);
    for (int i = planes; i >= 1; i--) {
      uint32_t half = 1u << (i - 1);
      ZoeBitplaneList::Walk(l, r, [&](int k) {
        uint32_t v = ZoeReadBits(r, (uint32_t)i);
        int mag = (int)(half + (v & (half - 1)));
        val[k] = (int16_t)((v & half) ? -mag : mag);
        return true;
      });
    }
  }
  for (int k = 1; k < 64; k++) block[zigzag[k]] = val[k];
  reader = r;
}

void ReadBPLossyWithMotion(uint8_t* dst, int dstPitch, ZoeBitReader& r, int budget, const uint8_t* ref,
                           int refPitch) {
  int8_t res[64];
  ZoeBitplaneList::ReadResidue(res, r, budget);
  int8_t raster[64];
  for (int k = 0; k < 64; k++) raster[zigzag[k]] = res[k];
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++)
      dst[y * dstPitch + x] = (uint8_t)(ref[y * refPitch + x] + (uint8_t)raster[y * 8 + x]);
}

void ReadBPLossy(int8_t out[64], ZoeBitReader& r, int budget) {
  int8_t res[64];
  ZoeBitplaneList::ReadResidue(res, r, budget);
  for (int k = 0; k < 64; k++) out[zigzag[k]] = res[k];
}
