// Checks a movie file image the way opening does: the header, then (when it
// passes) the frame index, then every frame's packets by their lengths.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "NonTW/Zoet/ZoeOpen.h"
#include "TWUtil/ByteOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < ZOE_HEADER_BYTES) return 0;
  ZoeFileHeader h;
  if (ZoeParseHeader(data, &h)) return 0;
  // The header's size field must describe this image.
  if ((uint64_t)h.sizeField + 8 != size) return 0;
  const size_t at = ZOE_HEADER_BYTES + 12 * (size_t)h.trackCount;
  std::vector<uint32_t> index(h.indexFrames + 1);
  for (size_t k = 0; k < index.size(); k++) index[k] = GetLE32(data + at + 4 * k);
  if (ZoeCheckIndex(h, index.data())) return 0;
  volatile uint32_t sum = 0;
  for (uint32_t k = 0; k < h.frameCount; k++) {
    size_t p = index[k] & ~1u, end = index[k + 1] & ~1u;
    for (uint32_t t = 0; t < h.trackCount && p + 4 <= end; t++) {
      uint32_t length = GetLE32(data + p);
      if (length > end - p - 4) break;
      if (length >= 4) sum = sum + GetLE32(data + p + 4);
      p += 4 + length;
    }
  }
  return 0;
}
