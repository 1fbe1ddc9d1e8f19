// Checks a movie file image the way opening does: the header, then (when it
// passes) the frame index, then every frame's packets by their lengths; and
// opens and closes the image as a movie in memory, loading every frame.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "NonTW/Zoet/ZoeMovie.h"
#include "NonTW/Zoet/ZoeOpen.h"
#include "TWUtil/ByteOrder.h"

namespace {

// A movie in memory is read as far as its size field says: the image is
// opened only when it holds that many bytes. The copy is 32-bit aligned.
void ZoeFuzzOpenFromMemory(const uint8_t* data, size_t size) {
  if ((uint64_t)GetLE32(data + 4) + 8 > size) return;
  std::vector<uint32_t> image((size + 3) / 4);
  memcpy(image.data(), data, size);
  // Frame buffers of the largest pictures would pass the fuzzer's memory limit.
  const uint64_t pixels = (uint64_t)GetLE32(data + 20) * GetLE32(data + 24);
  ZoetMovie* m = ZoetOpen(image.data(), OpenFromMemory | (pixels > (1u << 22) ? OpenNoFrameBuffers : 0u));
  if (!m) return;
  volatile uint32_t sum = 0;
  for (uint32_t f = 1; f <= m->frameCount && f <= 64; f++)
    if (ZoeLoadFrame(m, f) && m->frameBytes) sum = sum + m->frameData[0] + m->frameData[m->frameBytes - 1];
  ZoetClose(m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < ZOE_HEADER_BYTES) return 0;
  ZoeFuzzOpenFromMemory(data, size);
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
