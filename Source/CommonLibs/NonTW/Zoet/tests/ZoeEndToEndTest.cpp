// Movie frames from the encoder's lossless block kinds, decoded and converted
// to 32-bit pixels, come back close to the pictures they were made from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ZoeBlit.h"
#include "ZoeEncode.h"
#include "ZoeTestFrames.h"
#include "ZoeTestMovie.h"

using namespace zoe_test;

namespace {

// Copies the w x h window at (x0, y0) (both even) of a larger picture into
// tight planes of the encoder's plane sizes, the edges repeated into the padding.
struct WindowPlanes {
  std::vector<uint8_t> y, cr, cb;
  WindowPlanes(const zoeenc::FrameEncoder& e, const SquarePicture& p, uint32_t x0, uint32_t y0, uint32_t w,
               uint32_t h) {
    y.resize(e.lumaWidth * e.lumaHeight);
    cr.resize(e.chromaWidth * e.chromaHeight);
    cb.resize(cr.size());
    for (uint32_t r = 0; r < e.lumaHeight; r++)
      for (uint32_t x = 0; x < e.lumaWidth; x++)
        y[r * e.lumaWidth + x] = p.y[(y0 + std::min(r, h - 1)) * p.w + x0 + std::min(x, w - 1)];
    const uint32_t cw = p.w / 2;
    for (uint32_t r = 0; r < e.chromaHeight; r++)
      for (uint32_t x = 0; x < e.chromaWidth; x++) {
        const uint32_t at = (y0 / 2 + std::min(r, h / 2 - 1)) * cw + x0 / 2 + std::min(x, w / 2 - 1);
        cr[r * e.chromaWidth + x] = p.cr[at];
        cb[r * e.chromaWidth + x] = p.cb[at];
      }
  }
};

// The window of the picture as its own picture (for comparing the output).
SquarePicture Window(const SquarePicture& p, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
  SquarePicture out(w, h, 0);
  for (uint32_t r = 0; r < h; r++)
    std::memcpy(&out.rgb[r * w * 3], &p.rgb[((y0 + r) * p.w + x0) * 3], w * 3);
  return out;
}

// Largest channel error of each family's format 3 conversion of the current
// frame, whole and from an odd position into a guarded destination.
void ExpectClose(zoetest::TestMovie& movie, const SquarePicture& source) {
  const FramePlaneSet* planes = &movie.fbs.frames[movie.fbs.frameNum & 1];
  const uint32_t w = source.w, h = source.h;
  for (Family family : {Family::Lane, Family::Table}) {
    SCOPED_TRACE(family == Family::Lane ? "lane" : "table");
    UseFamily(family);
    ASSERT_EQ(YUV_init(0x80000003u, 0), 1u);
    // The table converters' chroma table holds whole steps of about 0.4 per
    // chroma level, rounded down, and red and blue take 4 and 5 of them: over
    // every colour of the cube they land up to 10 (red), 6 (green) and 9
    // (blue) from the source. The lane converters keep 16-bit precision.
    const int tolerance = family == Family::Lane ? 4 : 10;

    std::vector<uint8_t> whole(w * h * 4, kGuard);
    YUV_blit(whole.data(), 0, 0, w * 4, h, planes, 0, 0, w, h, 0x80000003u);
    EXPECT_LE(source.LargestError(whole.data(), w * 4), tolerance);

    // A rectangle from an odd column and row lands at (2, 1) of a larger
    // surface; nothing around it changes.
    const uint32_t sx = 3, sy = 5, sw = w - 8, sh = h - 10, pitch = (w + 4) * 4;
    std::vector<uint8_t> part(pitch * (h + 2), kGuard);
    YUV_blit(part.data(), 2, 1, pitch, h + 2, planes, sx, sy, sw, sh, 0x80000003u);
    EXPECT_LE(Window(source, sx, sy, sw, sh).LargestError(&part[pitch + 8], pitch), tolerance);
    for (uint32_t r = 0; r < h + 2; r++)
      for (uint32_t i = 0; i < pitch; i++) {
        const bool inside = r >= 1 && r < 1 + sh && i >= 8 && i < 8 + sw * 4;
        if (!inside) {
          ASSERT_EQ(part[r * pitch + i], kGuard) << "row " << r << " byte " << i;
        }
      }
  }
}

TEST(ZoeEndToEnd, LosslessFramesComeBackWithinTheConvertersPrecision) {
  // 72 x 40 is not a multiple of 16, and its chroma planes (36 x 20) are padded.
  const uint32_t w = 72, h = 40, shift = 6;
  const SquarePicture picture(w + shift, h, 5);
  zoeenc::FrameEncoder enc(w, h);
  zoetest::TestMovie movie(w, h);
  zoeenc::EncodeStats total;
  for (int t = 0; t < 3; t++) {
    SCOPED_TRACE(t);
    // The window moves 2 pixels a frame, so later frames also use motion blocks.
    const uint32_t x0 = 2 * (uint32_t)t;
    const WindowPlanes src(enc, picture, x0, 0, w, h);
    zoeenc::EncodeOptions o;
    o.keyFrame = t == 0;
    o.lossless = true;
    zoeenc::EncodeStats stats;
    const std::vector<uint8_t> data = enc.Encode(src.y.data(), src.cr.data(), src.cb.data(), nullptr, o, &stats);
    for (int k = 0; k < 10; k++) total.blocks[k] += stats.blocks[k];
    EXPECT_EQ(movie.Decode(data, 0), stats.skipStatistic);
    ASSERT_EQ(0, std::memcmp(movie.Current(0), src.y.data(), src.y.size()));
    ASSERT_EQ(0, std::memcmp(movie.Current(1), src.cr.data(), src.cr.size()));
    ASSERT_EQ(0, std::memcmp(movie.Current(2), src.cb.data(), src.cb.size()));
    ASSERT_TRUE(movie.Intact());
    ExpectClose(movie, Window(picture, x0, 0, w, h));
  }
  EXPECT_EQ(total.blocks[IntraBlock] + total.blocks[InterBlock], 0u);
  EXPECT_GT(total.blocks[MotionBlock], 0u);
}

}  // namespace
