// Bit reader of the video library and the bit-plane coefficient readers of
// the video decoder.
#pragma once

#include <cstdint>

#include "TWUtil/ByteOrder.h"

// Reads fields least significant bit first from 32-bit little-endian words.
// Words past `end` read as zero, and `next` never passes `end`.
struct ZoeBitReader {
  uint32_t bits;        // unconsumed bits of the current word, next bit in bit 0
  uint32_t avail;       // valid bits in `bits` (0-31)
  const uint8_t* next;  // next word to load
  const uint8_t* end;   // one past the last byte of the data
};

inline void ZoeBitReaderInit(ZoeBitReader& r, const uint8_t* data, const uint8_t* end) {
  r.bits = 0;
  r.avail = 0;
  r.next = data < end ? data : end;
  r.end = end;
}

inline uint32_t ZoeBitPeekWord(const ZoeBitReader& r) {
  if (r.end - r.next >= 4) return GetLE32(r.next);
  uint32_t w = 0;
  for (int i = 0; r.next + i < r.end; i++) w |= (uint32_t)r.next[i] << (8 * i);
  return w;
}

inline uint32_t ZoeBitLoadWord(ZoeBitReader& r) {
  uint32_t w = ZoeBitPeekWord(r);
  r.next = r.end - r.next >= 4 ? r.next + 4 : r.end;
  return w;
}

// n = 1 to 31.
inline uint32_t ZoeReadBits(ZoeBitReader& r, uint32_t n) {
  uint32_t mask = (1u << n) - 1;
  if (r.avail >= n) {
    uint32_t v = r.bits & mask;
    r.bits >>= n;
    r.avail -= n;
    return v;
  }
  uint32_t w = ZoeBitLoadWord(r);
  uint32_t v = (r.bits | (w << r.avail)) & mask;
  r.bits = w >> (n - r.avail);
  r.avail += 32 - n;
  return v;
}

inline uint32_t ZoeReadBit(ZoeBitReader& r) { return ZoeReadBits(r, 1); }

// The next n bits (1 to 31) without consuming them.
inline uint32_t ZoePeekBits(const ZoeBitReader& r, uint32_t n) {
  uint32_t mask = (1u << n) - 1;
  if (r.avail >= n) return r.bits & mask;
  return (r.bits | (ZoeBitPeekWord(r) << r.avail)) & mask;
}

// Consumes n bits (1 to 31) after a peek.
inline void ZoeSkipBits(ZoeBitReader& r, uint32_t n) {
  if (n <= r.avail) {
    r.bits >>= n;
    r.avail -= n;
    return;
  }
  uint32_t w = ZoeBitLoadWord(r);
  r.bits = w >> (n - r.avail);
  r.avail += 32 - n;
}

// Scan index -> raster position in the 8x8 block.
extern const uint8_t zigzag[64];

// Bit length of 0 to 128.
extern const uint8_t _bitlevels[129];

// DCT coefficients 1-63 into block (raster order); block[0] is left alone.
void ReadBPLossless(int16_t block[64], ZoeBitReader& r);

// A residue with a coefficient budget (0-127) added to the reference block.
void ReadBPLossyWithMotion(uint8_t* dst, int dstPitch, ZoeBitReader& r, int budget, const uint8_t* ref,
                           int refPitch);

// The same residue stored in raster order.
void ReadBPLossy(int8_t out[64], ZoeBitReader& r, int budget);
