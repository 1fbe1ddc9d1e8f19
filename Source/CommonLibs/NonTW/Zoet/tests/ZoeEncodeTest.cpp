// Round trips through the encoder library: the decoder rebuilds exactly the
// encoder's own reconstruction, frame after frame.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ZoeEncode.h"
#include "ZoeTestMovie.h"

namespace {

using zoeenc::EncodeOptions;
using zoeenc::EncodeStats;
using zoeenc::FrameEncoder;
using zoetest::TestMovie;

struct Film {
  uint32_t lw, lh, cw, ch;
  std::vector<uint8_t> y, cr, cb, a;
  std::mt19937 rng{77};
  Film(const FrameEncoder& e) : lw(e.lumaWidth), lh(e.lumaHeight), cw(e.chromaWidth), ch(e.chromaHeight) {
    y.resize(lw * lh);
    a.resize(lw * lh);
    cr.resize(cw * ch);
    cb.resize(cw * ch);
  }
  // Gradient background, a flat patch, a noisy patch and a textured square moving 2 pixels a frame.
  void Make(int t) {
    for (uint32_t j = 0; j < lh; j++)
      for (uint32_t i = 0; i < lw; i++) {
        int v = 40 + (int)i * 2 + (int)j;
        if (i >= 48 && j < 16) v = 90;                                           // flat
        if (i < 16 && j >= 24) v = 96 + (int)((i * 7919 + j * 104729) % 23) + (t % 3 && (i + j) % 5 == 0);  // noise
        if (i >= 56 && j >= 24) v = (i * j) % 7 < 3 ? 20 : 220;                   // two colours
        int sx = 4 + 2 * t, sy = 8 + (t % 5);
        if ((int)i >= sx && (int)i < sx + 16 && (int)j >= sy && (int)j < sy + 16)
          v = ((i - sx) / 4 + (j - sy) / 4) % 2 ? 200 : 30 + (int)((i - sx) * 3 + (j - sy) * 5) % 40;
        y[j * lw + i] = (uint8_t)v;
        a[j * lw + i] = (uint8_t)(i < lw / 2 ? 255 : (i * 4 + t) & 255);
      }
    for (uint32_t j = 0; j < ch; j++)
      for (uint32_t i = 0; i < cw; i++) {
        cr[j * cw + i] = (uint8_t)(128 + (int)i - (int)j + (t > 15 ? 3 : 0));
        cb[j * cw + i] = (uint8_t)(i < cw / 2 ? 110 : 140 + (int)(j * 2));
      }
  }
};

double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
  double se = 0;
  for (size_t i = 0; i < n; i++) se += (double)(a[i] - b[i]) * (a[i] - b[i]);
  if (se == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * (double)n / se);
}

void RoundTrip(bool lossless, bool grey, bool alpha, EncodeStats* total) {
  FrameEncoder enc(70, 38, grey, alpha);
  Film film(enc);
  TestMovie movie(70, 38, true, alpha);
  uint32_t flags = (grey ? ZOE_DECODE_GREY : 0) | (alpha ? ZOE_DECODE_ALPHA : 0);
  for (int t = 0; t < 30; t++) {
    SCOPED_TRACE(t);
    film.Make(t);
    EncodeOptions o;
    o.keyFrame = t % 10 == 0;
    o.lossless = lossless;
    o.quant = 0;
    EncodeStats stats;
    std::vector<uint8_t> data =
        enc.Encode(film.y.data(), film.cr.data(), film.cb.data(), film.a.data(), o, &stats);
    for (int k = 0; k < 10; k++) total->blocks[k] += stats.blocks[k];
    uint32_t skip = movie.Decode(data, flags, alpha ? ZOE_HEADER_ALPHA : 0);
    EXPECT_EQ(skip, stats.skipStatistic);
    for (size_t i = 0; i < film.y.size(); i++)
      ASSERT_EQ(movie.Current(0)[i], enc.recon[0][i]) << "luma pixel " << i % film.lw << "," << i / film.lw;
    if (!grey) {
      ASSERT_EQ(0, memcmp(movie.Current(1), enc.recon[1].data(), film.cr.size()));
      ASSERT_EQ(0, memcmp(movie.Current(2), enc.recon[2].data(), film.cb.size()));
    }
    if (alpha) {
      ASSERT_EQ(0, memcmp(movie.Current(3), enc.recon[3].data(), film.a.size()));
    }
    ASSERT_EQ(0, memcmp(movie.map.data(), enc.map.data(), enc.map.size()));
    if (lossless) {
      ASSERT_EQ(enc.recon[0], film.y);
      if (!grey) {
        ASSERT_EQ(enc.recon[1], film.cr);
        ASSERT_EQ(enc.recon[2], film.cb);
      }
    } else {
      EXPECT_GE(Psnr(enc.recon[0].data(), film.y.data(), film.y.size()), 36.0);
      if (!grey) {
        EXPECT_GE(Psnr(enc.recon[1].data(), film.cr.data(), film.cr.size()), 36.0);
      }
    }
    EXPECT_TRUE(movie.Intact());
  }
}

TEST(ZoeEncodeRoundTrip, LosslessKindsRebuildTheSourceExactly) {
  EncodeStats total;
  RoundTrip(true, false, false, &total);
  for (int k : {SkipBlock, MotionBlock, RunBlock, ResidueBlock, FillBlock, PatternBlock, RawBlock})
    EXPECT_GT(total.blocks[k], 0u) << "kind " << k;
}

TEST(ZoeEncodeRoundTrip, DctFramesKeepTheirQualityAtQuantiserZero) {
  EncodeStats total;
  RoundTrip(false, false, false, &total);
  EXPECT_GT(total.blocks[IntraBlock], 0u);
  EXPECT_GT(total.blocks[InterBlock], 0u);
}

TEST(ZoeEncodeRoundTrip, GreyAndAlphaMovies) {
  EncodeStats total;
  RoundTrip(true, true, false, &total);
  RoundTrip(false, false, true, &total);
}

TEST(ZoeEncodeRoundTrip, CoarseQuantisersStillDecodeToTheReconstruction) {
  FrameEncoder enc(64, 32);
  Film film(enc);
  TestMovie movie(64, 32);
  for (int t = 0; t < 6; t++) {
    film.Make(t);
    EncodeOptions o;
    o.keyFrame = t == 0;
    o.lossless = false;
    o.preferDct = true;
    o.quant = 3 * t;
    std::vector<uint8_t> data = enc.Encode(film.y.data(), film.cr.data(), film.cb.data(), nullptr, o);
    movie.Decode(data, 0);
    ASSERT_EQ(0, memcmp(movie.Current(0), enc.recon[0].data(), film.y.size())) << t;
  }
}

TEST(ZoeEncodeCodes, ChosenCodesFavourFrequentSymbols) {
  uint32_t counts[16] = {};
  counts[9] = 1000;
  counts[3] = 10;
  zoeenc::CodeChoice c = zoeenc::ChooseCode(counts);
  EXPECT_NE(c.code, 0);
  EXPECT_EQ(c.map[0], 9);
  EXPECT_EQ(zoeenc::CodeWordLength(c.code, 0), 1);
  uint32_t flat[16];
  for (auto& v : flat) v = 50;
  EXPECT_EQ(zoeenc::ChooseCode(flat).code, 0);
}

}  // namespace
