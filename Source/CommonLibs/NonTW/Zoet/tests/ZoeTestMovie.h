// Frame buffers, bundle buffers and map of a test movie, guarded by canary
// bytes behind every buffer, and helpers to assemble frame video data.
#pragma once

#include <cstring>
#include <vector>

#include "TWUtil/ByteOrder.h"
#include "ZoeDecode.h"

namespace zoetest {

const int kCanary = 64;

struct Guarded {
  std::vector<uint8_t> bytes;
  size_t size = 0;
  void Reset(size_t n, uint8_t fill) {
    size = n;
    bytes.assign(n + kCanary, 0xCD);
    memset(bytes.data(), fill, n);
  }
  bool Intact() const {
    for (size_t i = size; i < bytes.size(); i++)
      if (bytes[i] != 0xCD) return false;
    return true;
  }
  uint8_t* data() { return bytes.data(); }
};

struct TestMovie {
  FrameBufferSet fbs{};
  Guarded planes[2][4];  // Y, cR, cB, A
  Guarded bundles[9];
  uint8_t* bundlePtrs[9];
  Guarded map;
  uint32_t mapPitch;

  TestMovie(uint32_t width, uint32_t height, bool twoSets = true, bool alpha = false) {
    fbs.totalFrames = twoSets ? 2 : 1;
    fbs.lumaWidth = (width + 7) & ~7u;
    fbs.lumaHeight = (height + 7) & ~7u;
    fbs.chromaWidth = (((width + 1) / 2) + 7) & ~7u;
    fbs.chromaHeight = (((height + 1) / 2) + 7) & ~7u;
    fbs.frameNum = 0;
    for (int s = 0; s < (twoSets ? 2 : 1); s++) {
      PlaneBuffer* p[4] = {&fbs.frames[s].Y, &fbs.frames[s].cR, &fbs.frames[s].cB, &fbs.frames[s].A};
      for (int k = 0; k < 4; k++) {
        if (k == 3 && !alpha) continue;
        bool chroma = k == 1 || k == 2;
        uint32_t w = chroma ? fbs.chromaWidth : fbs.lumaWidth, h = chroma ? fbs.chromaHeight : fbs.lumaHeight;
        planes[s][k].Reset((size_t)w * h, 0);
        p[k]->buffer = planes[s][k].data();
        p[k]->pitch = w;
      }
    }
    uint32_t sizes[9];
    ExpandBundleSizes(sizes, (width + 15) & ~15u);
    for (int i = 0; i < 9; i++) {
      bundles[i].Reset(sizes[i], 0);
      bundlePtrs[i] = bundles[i].data();
    }
    mapPitch = (fbs.lumaWidth + 15) / 16;
    map.Reset((size_t)mapPitch * ((fbs.lumaHeight + 15) / 16), 0);
  }

  uint32_t Decode(const std::vector<uint8_t>& data, uint32_t flags, uint32_t header = 0) {
    std::vector<uint32_t> words((data.size() + 3) / 4 + 1);
    if (!data.empty()) memcpy(words.data(), data.data(), data.size());
    memset(map.data(), 0, map.size);
    return ExpandZoet(&fbs, map.data(), mapPitch, words.data(), (uint32_t)data.size(), 0, bundlePtrs, flags, header);
  }

  // Plane k (0 Y, 1 cR, 2 cB, 3 A) of the current (latest) or the other set.
  uint8_t* Current(int k) { return planes[fbs.frameNum & 1][k].data(); }
  uint8_t* Other(int k) { return planes[(fbs.frameNum & 1) ^ (fbs.totalFrames == 2)][k].data(); }

  bool Intact() const {
    for (const auto& s : planes)
      for (const auto& p : s)
        if (!p.Intact()) return false;
    for (const auto& b : bundles)
      if (!b.Intact()) return false;
    return map.Intact();
  }
};

inline void AppendWord(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}

// Video data of a grey frame of the current format: the luma length word and the plane.
inline std::vector<uint8_t> GreyFrame(const std::vector<uint8_t>& luma) {
  std::vector<uint8_t> out;
  AppendWord(out, (uint32_t)luma.size());
  out.insert(out.end(), luma.begin(), luma.end());
  return out;
}

}  // namespace zoetest
