// Whole blits: converter selection, rectangles at odd offsets, scale and
// field modes, chroma options, the changed-block walk and guard bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZoeBlit.h"
#include "ZoeColour.h"
#include "ZoeTestFrames.h"

using namespace zoe_test;

namespace {

struct BlitRect {
  uint32_t srcx, srcy, srcw, srch, destx, desty;
};

std::vector<uint8_t> PixelReference(Family family, uint32_t format, TestFrame& f, uint32_t x, uint32_t r,
                                    bool alpha_conv, uint32_t dither_row) {
  const uint8_t a = f.a.empty() ? 0 : f.A(x, r);
  return family == Family::Lane
             ? LaneReference(format, f.Y(x, r), f.CB(x, r), f.CR(x, r), a, x, dither_row, alpha_conv)
             : TableReference(format, f.Y(x, r), f.CB(x, r), f.CR(x, r), a, x, dither_row, alpha_conv);
}

// A destination of `rows` rows of `pitch` bytes, all guard bytes, with the
// source rectangle's reference pixels placed as the scale mode places them
// (modes 0-5 and 7, formats 0-14; packed YUV only unscaled in width).
std::vector<uint8_t> ExpectedImage(Family family, uint32_t format, bool alpha_conv, TestFrame& f, const BlitRect& r,
                                   uint32_t pitch, uint32_t rows, uint32_t mode) {
  std::vector<uint8_t> out(pitch * rows, kGuard);
  const uint32_t bpp = FormatBytes(format);
  const bool wide = mode == ScaleWidth2x || mode == ScaleBoth2x || mode == ScaleWidth2xInterlaced;
  const bool two_rows = mode == ScaleHeight2x || mode == ScaleBoth2x;
  const bool spaced = two_rows || mode == ScaleHeight2xInterlaced || mode == ScaleWidth2xInterlaced;
  for (uint32_t j = 0; j < r.srch; j++)
    for (uint32_t i = 0; i < r.srcw; i++) {
      auto px = PixelReference(family, format, f, r.srcx + i, r.srcy + j, alpha_conv, r.srcy + j);
      for (uint32_t dy = 0; dy < (two_rows ? 2u : 1u); dy++)
        for (uint32_t dx = 0; dx < (wide ? 2u : 1u); dx++) {
          uint32_t row = r.desty + (spaced ? 2 * j : j) + dy;
          uint32_t col = r.destx + (wide ? 2 * i : i) + dx;
          std::memcpy(&out[row * pitch + col * bpp], px.data(), bpp);
        }
    }
  return out;
}

bool AlphaConverter(uint32_t format, uint32_t has_alpha) {
  return has_alpha && format >= 5 && format <= 8;
}

class ZoeBlitFamilies : public ::testing::TestWithParam<Family> {
protected:
  void SetUp() override { UseFamily(GetParam()); }
};

TEST_P(ZoeBlitFamilies, GameFlagsSelectTheFamilysThirtyTwoBitConverter) {
  ASSERT_EQ(YUV_init(0x80000003u, 0), 1u);
  EXPECT_EQ(BlitS.row_converter, GetParam() == Family::Lane ? &rgb32_row_mmx : &rgb32_row);
  EXPECT_EQ(BlitS.row_function, BlitS.row_converter);
  EXPECT_EQ(BlitS.bytes_per_pixel, 4u);
  EXPECT_EQ(BlitS.two_pass, 0u);
  TestFrame f(9, 3, false, 2);
  std::vector<uint8_t> dest(9 * 3 * 4, kGuard);
  YUV_blit(dest.data(), 0, 0, 36, 3, &f.planes, 0, 0, 9, 3, 0x80000003u);
  EXPECT_EQ(dest, ExpectedImage(GetParam(), 3, false, f, {0, 0, 9, 3, 0, 0}, 36, 3, 0));
}

TEST_P(ZoeBlitFamilies, SetupsInstallTheirMembers) {
  const bool lane = GetParam() == Family::Lane;
  struct Want {
    uint32_t format, has_alpha;
    ZoeRowFunction lane_conv, table_conv;
    uint32_t bpp, two_pass;
  };
  const Want kWant[] = {
      {0, 0, rgb8_row_mmx, rgb8_row, 1, 0},     {1, 0, rgb32_row_mmx, rgb32_row, 3, 1},
      {2, 1, rgb32_row_mmx, rgb32_row, 3, 1},   {5, 0, rgb32_row_mmx, rgb32_row, 4, 0},
      {6, 1, argb32_row_mmx, argb32_row, 4, 0}, {7, 1, argb16_row_mmx, argb16_row, 2, 0},
      {8, 0, rgb16_row_mmx, rgb16_row, 2, 0},   {9, 1, rgb16_row_mmx, rgb16_row, 2, 0},
      {12, 0, rgb16_row_mmx, rgb16_row, 2, 0},  {13, 0, yuyv_row_mmx, yuyv_row, 2, 0},
      {14, 0, uyvy_row_mmx, uyvy_row, 2, 0},    {15, 0, yv12_row, yv12_row, 1, 0},
  };
  for (const Want& w : kWant) {
    SCOPED_TRACE(w.format);
    ASSERT_EQ(YUV_init(w.format, w.has_alpha), 1u);
    EXPECT_EQ(BlitS.row_converter, lane ? w.lane_conv : w.table_conv);
    EXPECT_EQ(BlitS.bytes_per_pixel, w.bpp);
    EXPECT_EQ(BlitS.two_pass, w.two_pass);
  }
  ASSERT_EQ(YUV_init(1, 0), 1u);
  EXPECT_EQ(BlitS.post_process, lane ? &pack24_mmx : &pack24);
  ASSERT_EQ(YUV_init(ScaleHeight2x | 1, 0), 1u);
  EXPECT_EQ(BlitS.post_process, &Height_2x_post);
  EXPECT_EQ(BlitS.saved_post_process, lane ? &pack24_mmx : &pack24);
  ASSERT_EQ(YUV_init(ScaleHeight2x | 3, 0), 1u);
  EXPECT_EQ(BlitS.row_function, &Height_2x);
  ASSERT_EQ(YUV_init(ScaleBoth2x | 10, 0), 1u);
  EXPECT_EQ(BlitS.post_process, &WidthHeight_2x_post);
  EXPECT_EQ(BlitS.out_bytes_per_pixel, 4u);
  EXPECT_EQ(BlitS.two_pass, 1u);
  ASSERT_EQ(YUV_init(ScaleWidth2x | 15, 0), 1u);
  EXPECT_EQ(BlitS.row_converter, &yv12_row_double);
  EXPECT_EQ(BlitS.out_bytes_per_pixel, 2u);
}

// Every format, rectangles at odd and even offsets: the written rectangle
// holds the reference pixels (dither by absolute source row and column,
// odd start columns with their pair's chroma) and nothing else changes.
TEST_P(ZoeBlitFamilies, RectanglesMatchTheReferenceAndTouchNothingElse) {
  const BlitRect kRects[] = {{0, 0, 37, 5, 0, 0}, {1, 1, 20, 4, 3, 2}, {3, 2, 1, 3, 1, 1},
                             {5, 3, 2, 1, 0, 4},  {6, 0, 31, 7, 2, 0}, {7, 5, 9, 6, 5, 3}};
  TestFrame f(40, 12, true, 21);
  for (uint32_t format = 0; format <= 14; format++)
    for (uint32_t has_alpha = 0; has_alpha < 2; has_alpha++)
      for (const BlitRect& r : kRects) {
        SCOPED_TRACE(::testing::Message() << "format " << format << " alpha " << has_alpha << " rect " << r.srcx << ","
                                          << r.srcy << " " << r.srcw << "x" << r.srch);
        const uint32_t bpp = FormatBytes(format);
        const uint32_t pitch = (r.destx + r.srcw) * bpp + 5, rows = r.desty + r.srch + 2;
        std::vector<uint8_t> dest(pitch * rows, kGuard);
        ASSERT_EQ(YUV_init(format, has_alpha), 1u);
        YUV_blit(dest.data(), r.destx, r.desty, pitch, rows, &f.planes, r.srcx, r.srcy, r.srcw, r.srch, format);
        ASSERT_EQ(dest, ExpectedImage(GetParam(), format, AlphaConverter(format, has_alpha), f, r, pitch, rows, 0));
      }
}

// Scale modes against the 1:1 reference, with rows longer than the scratch
// row (formats 1 and 2 go through it in every mode).
TEST_P(ZoeBlitFamilies, ScaleModesPlaceRowsAndPixels) {
  const uint32_t kModes[] = {ScaleNone,    ScaleHeight2x, ScaleHeight2xInterlaced,
                             ScaleWidth2x, ScaleBoth2x,   ScaleWidth2xInterlaced,
                             0x70000000u};
  const uint32_t kFormats[] = {0, 1, 2, 3, 6, 7, 10, 12, 13, 14};
  const BlitRect kRects[] = {{3, 1, 150, 3, 1, 1}, {0, 0, 17, 4, 0, 0}, {5, 2, 2, 1, 2, 1}};
  TestFrame f(160, 6, true, 4);
  for (uint32_t format : kFormats)
    for (uint32_t mode : kModes) {
      const bool wide = mode == ScaleWidth2x || mode == ScaleBoth2x || mode == ScaleWidth2xInterlaced;
      if (wide && format >= 13) continue;  // pair doubling checked on its own
      for (const BlitRect& r : kRects) {
        SCOPED_TRACE(::testing::Message()
                     << "format " << format << " mode " << std::hex << mode << std::dec << " width " << r.srcw);
        const uint32_t bpp = FormatBytes(format);
        const uint32_t pitch = (r.destx + 2 * r.srcw) * bpp + 3, rows = r.desty + 2 * r.srch + 2;
        std::vector<uint8_t> dest(pitch * rows, kGuard);
        const uint32_t flags = mode | format | CopyAllPixels;
        ASSERT_EQ(YUV_init(flags, 1), 1u);
        YUV_blit(dest.data(), r.destx, r.desty, pitch, rows, &f.planes, r.srcx, r.srcy, r.srcw, r.srch, flags);
        ASSERT_EQ(dest, ExpectedImage(GetParam(), format, AlphaConverter(format, 1), f, r, pitch, rows, mode));
      }
    }
}

TEST_P(ZoeBlitFamilies, WidthDoublingOfPackedYuvRepeatsLumaWithThePairsChroma) {
  TestFrame f(12, 2, false, 8);
  for (uint32_t format : {SurfaceYUYV, SurfaceUYVY}) {
    const uint32_t flags = ScaleWidth2x | format;
    std::vector<uint8_t> dest(2 * 7 * 2 + 4, kGuard);
    ASSERT_EQ(YUV_init(flags, 0), 1u);
    YUV_blit(dest.data(), 0, 0, 40, 1, &f.planes, 2, 0, 7, 1, flags);
    const uint32_t lum = format == SurfaceYUYV ? 0 : 1;
    for (uint32_t i = 0; i < 7; i++) {
      const uint32_t x = 2 + i;
      const uint8_t* p = &dest[i * 4];
      EXPECT_EQ(p[lum], f.Y(x, 0)) << i;
      EXPECT_EQ(p[lum + 2], f.Y(x, 0)) << i;
      EXPECT_EQ(p[1 - lum], f.CB(x, 0)) << i;
      // The last pixel is converted alone: its group (luma and U) is
      // written twice.
      EXPECT_EQ(p[3 - lum], i == 6 ? f.CB(x, 0) : f.CR(x, 0)) << i;
    }
    EXPECT_EQ(dest[28], kGuard);
  }
}

TEST_P(ZoeBlitFamilies, FieldModeReadsEveryOtherRow) {
  TestFrame f(20, 12, false, 12);
  const uint32_t flags = ScaleField | CopyGray | 3;
  const uint32_t pitch = 20 * 4, rows = 12;
  std::vector<uint8_t> dest(pitch * rows, kGuard);
  ASSERT_EQ(YUV_init(flags, 0), 1u);
  YUV_blit(dest.data(), 0, 0, pitch, rows, &f.planes, 0, 3, 20, 1, flags);
  EXPECT_EQ(dest, std::vector<uint8_t>(pitch * rows, kGuard));

  YUV_blit(dest.data(), 2, 1, pitch, rows, &f.planes, 1, 3, 15, 8, flags);
  std::vector<uint8_t> want(pitch * rows, kGuard);
  // Start row 3 / 2 = 1 of the field, i.e. source rows 2, 4, 6, 8.
  for (uint32_t j = 0; j < 4; j++)
    for (uint32_t i = 0; i < 15; i++) {
      auto px = (GetParam() == Family::Lane ? LaneReference : TableReference)(3, f.Y(1 + i, 2 + 2 * j), 128, 128, 0,
                                                                              1 + i, 0, false);
      std::memcpy(&want[(1 + 2 * j) * pitch + (2 + i) * 4], px.data(), 4);
    }
  EXPECT_EQ(dest, want);
}

TEST_P(ZoeBlitFamilies, GrayEqualsNeutralChromaAndSwapExchangesThePlanes) {
  TestFrame f(300, 5, false, 31);
  TestFrame neutral(300, 5, false, 31);
  std::fill(neutral.cr.begin(), neutral.cr.end(), 128);
  std::fill(neutral.cb.begin(), neutral.cb.end(), 128);
  TestFrame swapped(300, 5, false, 31);
  std::swap(swapped.cr, swapped.cb);
  swapped.Repoint();
  for (uint32_t format : {0u, 1u, 3u, 10u, 13u, 14u, 15u})
    for (uint32_t mode : {ScaleNone, ScaleWidth2x}) {
      SCOPED_TRACE(::testing::Message() << "format " << format << " mode " << std::hex << mode);
      const uint32_t pitch = 2 * 300 * 4, rows = 5;
      const size_t size = pitch * rows * 2;
      std::vector<uint8_t> a(size, kGuard), b(size, kGuard);
      YUV_init(mode | format, 0);
      YUV_blit(a.data(), 1, 0, pitch, rows, &f.planes, 1, 0, 299, 5, mode | format | CopyGray);
      YUV_init(mode | format, 0);
      YUV_blit(b.data(), 1, 0, pitch, rows, &neutral.planes, 1, 0, 299, 5, mode | format);
      EXPECT_EQ(a, b);
      std::fill(a.begin(), a.end(), kGuard);
      std::fill(b.begin(), b.end(), kGuard);
      YUV_init(mode | format, 0);
      YUV_blit(a.data(), 0, 0, pitch, rows, &f.planes, 0, 1, 300, 4, mode | format | CopySwapChroma);
      YUV_init(mode | format, 0);
      YUV_blit(b.data(), 0, 0, pitch, rows, &swapped.planes, 0, 1, 300, 4, mode | format);
      EXPECT_EQ(a, b);
    }
}

TEST_P(ZoeBlitFamilies, AlphaAsLumaExchangesTheLumaAndAlphaPlanes) {
  TestFrame f(18, 4, true, 41);
  TestFrame g(18, 4, true, 41);
  std::swap(g.y, g.a);
  g.Repoint();
  for (uint32_t format : {3u, 6u, 8u}) {
    std::vector<uint8_t> a(18 * 4 * 4, kGuard), b(18 * 4 * 4, kGuard);
    YUV_init(format, 1);
    YUV_blit(a.data(), 0, 0, 72, 4, &f.planes, 0, 0, 18, 4, format | CopyAlphaAsLuma);
    YUV_init(format, 1);
    YUV_blit(b.data(), 0, 0, 72, 4, &g.planes, 0, 0, 18, 4, format);
    EXPECT_EQ(a, b) << format;
  }
}

TEST_P(ZoeBlitFamilies, RepeatedSixteenBitBlitsAreIdentical) {
  TestFrame f(33, 12, false, 51);
  const uint32_t pitch = 33 * 2;
  std::vector<uint8_t> first(pitch * 12, kGuard), again(pitch * 12, kGuard), other(pitch * 12);
  for (uint32_t format : {0u, 7u, 10u}) {
    YUV_init(format, 0);
    YUV_blit(first.data(), 0, 0, pitch, 12, &f.planes, 1, 3, 30, 5, format);
    for (uint32_t h : {1u, 2u, 3u}) {
      YUV_init(format, 0);
      YUV_blit(other.data(), 0, 0, pitch, 12, &f.planes, 0, 0, 33, h, format);
      std::fill(again.begin(), again.end(), kGuard);
      YUV_init(format, 0);
      YUV_blit(again.data(), 0, 0, pitch, 12, &f.planes, 1, 3, 30, 5, format);
      EXPECT_EQ(first, again) << format << " after height " << h;
    }
  }
}

// YV12: luma rows, then the two chroma planes at dest + pitch x destheight,
// written only on even source rows; doubled in the scale modes.
TEST_P(ZoeBlitFamilies, Yv12WritesChromaOnEvenRowsBelowTheLumaPlane) {
  TestFrame f(24, 10, false, 61);
  const BlitRect kRects[] = {{0, 0, 24, 10, 0, 0}, {3, 1, 15, 6, 2, 2}, {2, 3, 7, 4, 4, 0}};
  for (uint32_t mode : {ScaleNone, ScaleHeight2x, ScaleWidth2x, ScaleBoth2x})
    for (const BlitRect& r : kRects) {
      SCOPED_TRACE(::testing::Message() << "mode " << std::hex << mode << std::dec << " rect " << r.srcx << ","
                                        << r.srcy);
      const bool wide = mode == ScaleWidth2x || mode == ScaleBoth2x;
      const bool two_rows = mode == ScaleHeight2x || mode == ScaleBoth2x;
      const uint32_t pitch = 2 * (r.destx + r.srcw) + 4, destheight = 2 * (r.desty + r.srch) + 2;
      const uint32_t half = pitch / 2;
      std::vector<uint8_t> dest(pitch * destheight + 2 * (destheight / 2) * half + 8, kGuard);
      std::vector<uint8_t> want = dest;
      for (uint32_t j = 0; j < r.srch; j++)
        for (uint32_t i = 0; i < r.srcw; i++)
          for (uint32_t dy = 0; dy < (two_rows ? 2u : 1u); dy++)
            for (uint32_t dx = 0; dx < (wide ? 2u : 1u); dx++)
              want[(r.desty + (two_rows ? 2 * j : j) + dy) * pitch + r.destx + (wide ? 2 * i : i) + dx] =
                  f.Y(r.srcx + i, r.srcy + j);
      const size_t plane1 = pitch * destheight + (r.desty / 2) * half + r.destx / 2;
      const size_t plane2 = plane1 + (destheight / 2) * half;
      uint32_t m = 0;
      for (uint32_t s = r.srcy; s < r.srcy + r.srch; s++) {
        if (s & 1) continue;
        for (uint32_t k = 0; k < (r.srcw + 1) / 2; k++)
          for (uint32_t dy = 0; dy < (two_rows ? 2u : 1u); dy++)
            for (uint32_t dx = 0; dx < (wide ? 2u : 1u); dx++) {
              const size_t at = ((two_rows ? 2 * m : m) + dy) * half + (wide ? 2 * k : k) + dx;
              want[plane1 + at] = f.cr[(s / 2) * f.planes.cR.pitch + r.srcx / 2 + k];
              want[plane2 + at] = f.cb[(s / 2) * f.planes.cB.pitch + r.srcx / 2 + k];
            }
        m++;
      }
      ASSERT_EQ(YUV_init(mode | SurfaceYV12, 0), 1u);
      YUV_blit(dest.data(), r.destx, r.desty, pitch, destheight, &f.planes, r.srcx, r.srcy, r.srcw, r.srch,
               mode | SurfaceYV12);
      EXPECT_EQ(dest, want);
    }
}

// The changed-block walk, with rectangles starting and ending inside blocks.
TEST_P(ZoeBlitFamilies, MaskBlitConvertsExactlyTheMarkedBlocks) {
  TestFrame f(70, 40, true, 71);
  const uint32_t map_pitch = 6;
  const BlitRect kRects[] = {{5, 3, 40, 30, 1, 2}, {0, 0, 70, 40, 0, 0}, {17, 14, 3, 5, 0, 0}, {2, 15, 60, 2, 3, 0}};
  uint32_t seed = 99;
  for (uint32_t format = 0; format <= 15; format++)
    for (uint32_t mode :
         std::initializer_list<uint32_t>{ScaleNone, ScaleWidth2x, ScaleHeight2x, ScaleHeight2x | CopyGray})
      for (const BlitRect& r : kRects) {
        SCOPED_TRACE(::testing::Message() << "format " << format << " flags " << std::hex << mode << std::dec
                                          << " rect " << r.srcx << "," << r.srcy);
        const uint32_t flags = mode | format;
        const uint32_t bpp = FormatBytes(format);
        const uint32_t pitch = (r.destx + 2 * r.srcw) * bpp + 4, rows = 2 * (r.desty + 2 * r.srch) + 2;
        std::vector<uint8_t> full(pitch * rows * 2, kGuard), masked = full;
        YUV_init(flags, 1);
        YUV_blit(full.data(), r.destx, r.desty, pitch, rows, &f.planes, r.srcx, r.srcy, r.srcw, r.srch, flags);

        std::vector<uint8_t> zeros(map_pitch * 3, 0), ones(map_pitch * 3, 1);
        YUV_init(flags, 1);
        YUV_blit_mask(masked.data(), r.destx, r.desty, pitch, rows, zeros.data(), map_pitch, &f.planes, r.srcx, r.srcy,
                      r.srcw, r.srch, flags);
        ASSERT_EQ(masked, std::vector<uint8_t>(masked.size(), kGuard));
        YUV_init(flags, 1);
        YUV_blit_mask(masked.data(), r.destx, r.desty, pitch, rows, ones.data(), map_pitch, &f.planes, r.srcx, r.srcy,
                      r.srcw, r.srch, flags);
        ASSERT_EQ(masked, full);

        if (format == 15 || mode != ScaleNone) continue;
        // A random map: marked blocks as the full blit, the rest untouched.
        std::vector<uint8_t> map(map_pitch * 3);
        for (uint8_t& m : map) m = ((seed = seed * 1103515245u + 12345u) >> 16) & 1 ? 0 : 0x40;
        std::fill(masked.begin(), masked.end(), kGuard);
        YUV_init(flags, 1);
        YUV_blit_mask(masked.data(), r.destx, r.desty, pitch, rows, map.data(), map_pitch, &f.planes, r.srcx, r.srcy,
                      r.srcw, r.srch, flags);
        std::vector<uint8_t> want(masked.size(), kGuard);
        for (uint32_t j = 0; j < r.srch; j++)
          for (uint32_t i = 0; i < r.srcw; i++) {
            const uint32_t sx = r.srcx + i, sy = r.srcy + j;
            if (!map[(sy >> 4) * map_pitch + (sx >> 4)]) continue;
            const size_t at = (r.desty + j) * pitch + (r.destx + i) * bpp;
            std::memcpy(&want[at], &full[at], bpp);
          }
        ASSERT_EQ(masked, want);
      }
}

TEST_P(ZoeBlitFamilies, NothingHappensWithoutWidthHeightOrConverter) {
  TestFrame f(8, 8, false, 1);
  std::vector<uint8_t> dest(8 * 8 * 4, kGuard);
  YUV_init(3, 0);
  YUV_blit(dest.data(), 0, 0, 32, 8, &f.planes, 0, 0, 0, 8, 3);
  YUV_blit(dest.data(), 0, 0, 32, 8, &f.planes, 0, 0, 8, 0, 3);
  BlitS.row_function = nullptr;
  YUV_blit(dest.data(), 0, 0, 32, 8, &f.planes, 0, 0, 8, 8, 3);
  EXPECT_EQ(dest, std::vector<uint8_t>(dest.size(), kGuard));
  // Format 5 without an alpha plane is served by the plain 32-bit member.
  EXPECT_EQ(YUV_init(5, 0), 1u);
  EXPECT_EQ(BlitS.row_function, GetParam() == Family::Lane ? &rgb32_row_mmx : &rgb32_row);
}

INSTANTIATE_TEST_SUITE_P(Families, ZoeBlitFamilies, ::testing::Values(Family::Lane, Family::Table),
                         [](const ::testing::TestParamInfo<Family>& info) {
                           return std::string(info.param == Family::Lane ? "Lane" : "Table");
                         });

TEST(ZoePostProcessors, LaneTwinsGiveTheSameBytes) {
  uint8_t src[64];
  for (int i = 0; i < 64; i++) src[i] = static_cast<uint8_t>(i * 37 + 1);
  const ZoePostProcess kPairs[][2] = {
      {double32, double32_mmx},      {double16, double16_mmx},           {double8, double8_mmx},
      {pack24, pack24_mmx},          {pack24_double, pack24_double_mmx}, {double_yuyv, double_yuyv_mmx},
      {double_uyvy, double_uyvy_mmx}};
  for (auto& pair : kPairs)
    for (int len : {0, 2, 4, 6, 12, 62, 64}) {
      uint8_t a[160], b[160];
      std::memset(a, kGuard, sizeof(a));
      std::memset(b, kGuard, sizeof(b));
      uint8_t* ea = pair[0](nullptr, a, src, src + len);
      uint8_t* eb = pair[1](nullptr, b, src, src + len);
      EXPECT_EQ(ea - a, eb - b);
      EXPECT_EQ(0, std::memcmp(a, b, sizeof(a)));
    }
  uint8_t out[16];
  const uint8_t yuyv[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(double_yuyv(nullptr, out, yuyv, yuyv + 6), out + 12);
  const uint8_t want[12] = {1, 2, 1, 4, 3, 2, 3, 4, 5, 6, 5, 6};
  EXPECT_EQ(0, std::memcmp(out, want, 12));
  EXPECT_EQ(double_uyvy(nullptr, out, yuyv, yuyv + 4), out + 8);
  const uint8_t want_uyvy[8] = {1, 2, 3, 2, 1, 4, 3, 4};
  EXPECT_EQ(0, std::memcmp(out, want_uyvy, 8));
  const uint8_t px[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  EXPECT_EQ(pack24(nullptr, out, px, px + 8), out + 6);
  const uint8_t want24[6] = {10, 20, 30, 50, 60, 70};
  EXPECT_EQ(0, std::memcmp(out, want24, 6));
}

}  // namespace
