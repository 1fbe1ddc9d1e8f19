// Dequantisation tables, the integer inverse DCTs and the Fourier and cosine
// transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "ZoeTransform.h"

namespace {

TEST(ZoeDequantTables, TellingRows) {
  const uint32_t intraRow0[8] = {65536, 90901, 85627, 91511, 65536, 61146, 48768, 24862};
  const uint32_t interRow0[8] = {65536, 96582, 90979, 86695, 73728, 57928, 42118, 21472};
  for (int c = 0; c < 8; c++) {
    EXPECT_EQ(ZoeIntraDequant()[0][c], intraRow0[c]) << c;
    EXPECT_EQ(ZoeInterDequant()[0][c], interRow0[c]) << c;
  }
  EXPECT_EQ(ZoeIntraDequant()[15][0], 2883584u);
  EXPECT_EQ(ZoeIntraDequant()[15][1], 3999646u);
  EXPECT_EQ(ZoeIntraDequant()[15][2], 3767584u);
}

uint8_t DcPixel(int v, uint32_t d0) { return (uint8_t)((((int32_t)(v * (int64_t)d0) >> 11) + 127) >> 8); }

TEST(ZoeInverseDct, DcOnlyBlocksWrapInsteadOfClamping) {
  struct Case {
    int q, dc;
  } cases[] = {{0, 0}, {0, 8}, {0, 800}, {0, 2040}, {15, 100}, {7, 300}, {3, -20}};
  for (const Case& c : cases) {
    int16_t coefs[64] = {};
    coefs[0] = (int16_t)c.dc;
    uint8_t out[8 * 10];
    memset(out, 0xAA, sizeof(out));
    FastIDCT8x8(out, 10, coefs, c.q);
    uint8_t want = DcPixel(c.dc, ZoeIntraDequant()[c.q][0]);
    for (int y = 0; y < 8; y++) {
      for (int x = 0; x < 8; x++) EXPECT_EQ(out[y * 10 + x], want) << c.q << " " << c.dc;
      EXPECT_EQ(out[y * 10 + 8], 0xAA);
    }
  }
  // intra q15, DC 100: (100 x 2883584 >> 11 = 140800, + 127) >> 8 = 550, stored as 38
  int16_t coefs[64] = {};
  coefs[0] = 100;
  uint8_t out[64];
  FastIDCT8x8(out, 8, coefs, 15);
  EXPECT_EQ(out[0], 38);
}

TEST(ZoeInverseDct, MotionAddsToReferenceModulo256) {
  uint8_t ref[64];
  for (int i = 0; i < 64; i++) ref[i] = (uint8_t)(i * 5 + 200);
  int16_t zero[64] = {};
  uint8_t out[64];
  FastmIDCT8x8WithMotion(out, 8, zero, 4, ref, 8);
  EXPECT_EQ(0, memcmp(out, ref, 64));
  int16_t dc[64] = {};
  dc[0] = 8;  // 8 x 65536 >> 11 = 256, a result byte of 1
  FastmIDCT8x8WithMotion(out, 8, dc, 0, ref, 8);
  for (int i = 0; i < 64; i++) EXPECT_EQ(out[i], (uint8_t)(ref[i] + 1));
}

TEST(ZoeInverseDct, DoubledWritesEachPixelAsATwoByTwoSquare) {
  int16_t coefs[64] = {};
  coefs[0] = 400;
  coefs[1] = -37;
  coefs[9] = 12;
  coefs[63] = 5;
  uint8_t plain[64], doubled[16 * 16];
  FastIDCT8x8(plain, 8, coefs, 2);
  FastIDCT8x8d(doubled, 16, coefs, 2);
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) EXPECT_EQ(doubled[y * 16 + x], plain[(y / 2) * 8 + x / 2]);
}

TEST(ZoeInverseDct, ForwardThenInverseRebuildsSmoothBlocks) {
  uint8_t px[64];
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) px[y * 8 + x] = (uint8_t)(60 + 9 * x + 5 * y);
  int32_t f[64];
  FastFDCT8x8(f, px);
  EXPECT_EQ(f[0], 64 * 256 * (60 + (9 * 7 + 5 * 7) / 2));  // the sum of the samples x 256 (mean 109)
  // quantise by the intra q0 factors (DC becomes 8 x the mean), then back
  int16_t c[64];
  for (int i = 0; i < 64; i++) c[i] = (int16_t)std::lround(f[i] / (ZoeDequantFactor(0, 0, i) * 2048.0));
  EXPECT_EQ(c[0], 8 * 109);
  uint8_t out[64];
  FastIDCT8x8(out, 8, c, 0);
  for (int i = 0; i < 64; i++) EXPECT_NEAR(out[i], px[i], 2) << i;
}

// Double-precision sums the transforms must match.
std::vector<double> RdftReference(const std::vector<float>& a, int dir) {
  int n = (int)a.size();
  std::vector<double> out(n);
  if (dir >= 0) {
    for (int k = 0; k <= n / 2; k++) {
      double re = 0, im = 0;
      for (int j = 0; j < n; j++) {
        re += a[j] * cos(2 * M_PI * j * k / n);
        im += a[j] * sin(2 * M_PI * j * k / n);
      }
      if (k == 0) out[0] = re;
      else if (k == n / 2) out[1] = re;
      else {
        out[2 * k] = re;
        out[2 * k + 1] = im;
      }
    }
  } else {
    for (int k = 0; k < n; k++) {
      double s = (a[0] + a[1] * cos(M_PI * k)) / 2;
      for (int j = 1; j < n / 2; j++)
        s += a[2 * j] * cos(2 * M_PI * j * k / n) + a[2 * j + 1] * sin(2 * M_PI * j * k / n);
      out[k] = s;
    }
  }
  return out;
}

std::vector<double> DdctReference(const std::vector<float>& a, int dir) {
  int n = (int)a.size();
  std::vector<double> out(n);
  for (int k = 0; k < n; k++) {
    double s = 0;
    for (int j = 0; j < n; j++)
      s += dir >= 0 ? a[j] * cos(M_PI * j * (k + 0.5) / n) : a[j] * cos(M_PI * (j + 0.5) * k / n);
    out[k] = s;
  }
  return out;
}

void ExpectClose(const std::vector<float>& got, const std::vector<double>& want, const char* what, int n) {
  double scale = 0, err = 0;
  for (size_t i = 0; i < want.size(); i++) {
    scale = std::max(scale, std::fabs(want[i]));
    err = std::max(err, std::fabs(got[i] - want[i]));
  }
  EXPECT_LE(err, 1e-3 * scale) << what << " n=" << n;
}

TEST(ZoeAudioTransforms, MatchTheirSumsForAllSizes) {
  // One pair of work areas per transform, reused from small to large and back.
  std::vector<int> ip(2 + 64, 0), ipd(2 + 64, 0);
  std::vector<float> w(4096 / 2), wd(5 * 4096 / 4);
  unsigned seed = 7;
  auto rnd = [&]() {
    seed = seed * 1103515245u + 12345u;
    return ((seed >> 8) & 0xFFFF) / 32768.0f - 1.0f;
  };
  const int sizes[] = {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 256, 4};
  for (int n : sizes) {
    std::vector<float> a(n);
    for (float& v : a) v = rnd();
    for (int dir : {1, -1}) {
      std::vector<float> r = a;
      zoe_rdft(n, dir, r.data(), ip.data(), w.data());
      ExpectClose(r, RdftReference(a, dir), dir >= 0 ? "rdft forward" : "rdft inverse", n);
      std::vector<float> c = a;
      zoe_ddct(n, dir, c.data(), ipd.data(), wd.data());
      ExpectClose(c, DdctReference(a, dir), dir >= 0 ? "ddct inverse form" : "ddct forward form", n);
    }
  }
}

TEST(ZoeAudioTransforms, TwoPointRealTransform) {
  int ip[4] = {};
  float w[2];
  float a[2] = {3, 5};
  zoe_rdft(2, 1, a, ip, w);
  EXPECT_FLOAT_EQ(a[0], 8);
  EXPECT_FLOAT_EQ(a[1], -2);
  zoe_rdft(2, -1, a, ip, w);
  EXPECT_FLOAT_EQ(a[0], 3);
  EXPECT_FLOAT_EQ(a[1], 5);
}

}  // namespace
