// Reads a stream of blocks with the bit-plane readers alone: DCT coefficients,
// then a residue added to a reference block, until the data runs out.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "NonTW/Zoet/ZoeBitplane.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  int budget = data[0] & 127;
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size - 1 ? size - 1 : 1]);
  memcpy(bytes.get(), data + 1, size - 1);
  ZoeBitReader r;
  ZoeBitReaderInit(r, bytes.get(), bytes.get() + (size - 1));
  uint8_t ref[64], dst[64];
  for (int i = 0; i < 64; i++) ref[i] = (uint8_t)(i * 3);
  int16_t block[64];
  int8_t residue[64];
  volatile int sum = 0;
  for (int n = 0; n < 64 && (n == 0 || r.next < r.end); n++) {
    block[0] = 0;
    ReadBPLossless(block, r);
    ReadBPLossyWithMotion(dst, 8, r, budget, ref, 8);
    ReadBPLossy(residue, r, budget);
    for (int i = 0; i < 64; i++) sum = sum + block[i] + dst[i] + residue[i];
  }
  return 0;
}
