// Decodes two frames of video data into plane sets, bundle buffers and a map
// that each sit in an allocation of their exact size, so any access outside
// them is caught. Frame size and flags come from the first bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "NonTW/Zoet/ZoeDecode.h"
#include "ZoeFuzzSupport.h"

namespace {

struct Buffer {
  std::unique_ptr<uint8_t[]> p;
  explicit Buffer(size_t n) : p(new uint8_t[n]) { memset(p.get(), 0x40, n); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  uint32_t width = zoefuzz::Width(data[0]), height = zoefuzz::Height(data[1]);
  uint8_t flags = data[2];
  size_t firstBytes = (size_t)data[3] | ((size_t)data[4] << 8);
  data += 5;
  size -= 5;
  if (firstBytes > size) firstBytes = size;

  FrameBufferSet fbs{};
  fbs.lumaWidth = (width + 7) & ~7u;
  fbs.lumaHeight = (height + 7) & ~7u;
  fbs.chromaWidth = (((width + 1) / 2) + 7) & ~7u;
  fbs.chromaHeight = (((height + 1) / 2) + 7) & ~7u;
  int sets = (flags & zoefuzz::kSingleSet) ? 1 : 2;
  fbs.totalFrames = sets;
  std::vector<Buffer> keep;
  keep.reserve(16);
  for (int s = 0; s < sets; s++) {
    PlaneBuffer* p[4] = {&fbs.frames[s].Y, &fbs.frames[s].cR, &fbs.frames[s].cB, &fbs.frames[s].A};
    for (int k = 0; k < 4; k++) {
      bool chroma = k == 1 || k == 2;
      uint32_t w = chroma ? fbs.chromaWidth : fbs.lumaWidth, h = chroma ? fbs.chromaHeight : fbs.lumaHeight;
      keep.emplace_back((size_t)w * h);
      p[k]->buffer = keep.back().p.get();
      p[k]->pitch = w;
    }
  }
  uint32_t sizes[9];
  ExpandBundleSizes(sizes, (width + 15) & ~15u);
  uint8_t* bundles[9];
  for (int i = 0; i < 9; i++) {
    keep.emplace_back(sizes[i]);
    bundles[i] = keep.back().p.get();
  }
  uint32_t mapPitch = (fbs.lumaWidth + 15) / 16;
  Buffer map((size_t)mapPitch * ((fbs.lumaHeight + 15) / 16));

  uint32_t decode = ((flags & zoefuzz::kDecodeAlpha) ? ZOE_DECODE_ALPHA : 0) |
                    ((flags & zoefuzz::kGrey) ? ZOE_DECODE_GREY : 0) |
                    ((flags & zoefuzz::kOldColours) ? ZOE_DECODE_OLD_COLOURS : 0);
  uint32_t header = (flags & zoefuzz::kFileAlpha) ? ZOE_HEADER_ALPHA : 0;
  const size_t lengths[2] = {firstBytes, size - firstBytes};
  const uint8_t* starts[2] = {data, data + firstBytes};
  for (int f = 0; f < 2; f++) {
    // the decoder reads whole words: the frame sits in words of its own, read up to its byte count
    std::unique_ptr<uint32_t[]> words(new uint32_t[lengths[f] / 4 + 1]);
    if (lengths[f]) memcpy(words.get(), starts[f], lengths[f]);
    memset(map.p.get(), 0, (size_t)mapPitch * ((fbs.lumaHeight + 15) / 16));
    volatile uint32_t skips = ExpandZoet(&fbs, map.p.get(), mapPitch, words.get(), (uint32_t)lengths[f],
                                         (flags & zoefuzz::kKey) != 0, bundles, decode, header);
    (void)skips;
  }
  return 0;
}
