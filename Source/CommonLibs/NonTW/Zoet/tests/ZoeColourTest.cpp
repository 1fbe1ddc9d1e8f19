// Colour results and run contracts of the lane and table converters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ZoeBlit.h"
#include "ZoeColour.h"
#include "ZoePlatform.h"
#include "ZoeTestFrames.h"

using namespace zoe_test;

namespace {

struct ColourCase {
  Family family;
  uint32_t format;
  uint8_t y, u, v;
  uint32_t col, row;
  std::vector<uint8_t> bytes;
};

// Converts a frame of constant samples and returns the bytes of one pixel.
std::vector<uint8_t> ConvertConstant(Family family, uint32_t format, uint8_t y, uint8_t u, uint8_t v, uint32_t col,
                                     uint32_t row) {
  UseFamily(family);
  TestFrame frame(8, 4, false, 1);
  frame.FillConstant(y, u, v);
  const uint32_t bpp = FormatBytes(format);
  std::vector<uint8_t> dest(8 * 4 * bpp, kGuard);
  EXPECT_NE(YUV_init(0x80000000u | format, 0), 0u);
  YUV_blit(dest.data(), 0, 0, 8 * bpp, 4, &frame.planes, 0, 0, 8, 4, 0x80000000u | format);
  const uint8_t* p = dest.data() + row * 8 * bpp + col * bpp;
  return std::vector<uint8_t>(p, p + bpp);
}

class ZoeColourCases : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ZoeColourCases, GivesTheWorkedBytes) {
  const ColourCase& c = GetParam();
  EXPECT_EQ(ConvertConstant(c.family, c.format, c.y, c.u, c.v, c.col, c.row), c.bytes);
}

const ColourCase kColourCases[] = {
    // Lane family, format 3 (blue, green, red, 0).
    {Family::Lane, 3, 235, 128, 128, 0, 0, {254, 255, 254, 0}},
    {Family::Lane, 3, 16, 128, 128, 1, 0, {0, 1, 0, 0}},
    {Family::Lane, 3, 128, 128, 128, 0, 1, {129, 131, 130, 0}},
    {Family::Lane, 3, 81, 90, 240, 0, 0, {0, 1, 255, 0}},
    {Family::Lane, 3, 41, 240, 110, 0, 0, {255, 0, 0, 0}},
    {Family::Lane, 4, 81, 90, 240, 0, 0, {255, 1, 0, 0}},
    {Family::Lane, 1, 235, 128, 128, 0, 0, {254, 255, 254}},
    {Family::Lane, 2, 128, 128, 128, 0, 0, {130, 131, 129}},
    // Lane format 10: red 16, green 32 (+32 lane units on an odd column of
    // an even row gives 33), blue 16.
    {Family::Lane, 10, 128, 128, 128, 0, 0, {0x10, 0x84}},
    {Family::Lane, 10, 128, 128, 128, 1, 0, {0x30, 0x84}},
    // Table family, format 3.
    {Family::Table, 3, 235, 128, 128, 0, 0, {254, 255, 253, 0}},
    {Family::Table, 3, 16, 128, 128, 1, 0, {0, 1, 0, 0}},
    {Family::Table, 3, 128, 128, 128, 0, 1, {129, 131, 128, 0}},
    // Blue index -261 clamps like -256.
    {Family::Table, 3, 0, 0, 128, 0, 0, {0, 53, 0, 0}},
    {Family::Table, 4, 235, 128, 128, 0, 0, {253, 255, 254, 0}},
};

INSTANTIATE_TEST_SUITE_P(Worked, ZoeColourCases, ::testing::ValuesIn(kColourCases));

// Every format against the reference formulas at the extremes of the sample
// range and in both column and row parities: no channel ever wraps into its
// neighbour and no clamp index leaves the table.
class ZoeColourExtremes : public ::testing::TestWithParam<Family> {};

TEST_P(ZoeColourExtremes, EveryFormatMatchesTheReference) {
  const Family family = GetParam();
  const uint8_t kValues[] = {0, 1, 2, 16, 20, 128, 235, 250, 254, 255};
  const uint32_t n = sizeof(kValues);
  const uint32_t w = 2 * n * n * n, h = 2;
  TestFrame frame(w, h, true, 7);
  for (uint32_t k = 0; k < n * n * n; k++) {
    uint8_t y = kValues[k % n], u = kValues[(k / n) % n], v = kValues[k / (n * n)];
    for (uint32_t dx = 0; dx < 2; dx++)
      for (uint32_t r = 0; r < 2; r++) frame.Y(2 * k + dx, r) = y;
    frame.CB(2 * k, 0) = u;
    frame.CR(2 * k, 0) = v;
  }
  UseFamily(family);
  for (uint32_t format = 0; format <= 14; format++) {
    for (uint32_t has_alpha = 0; has_alpha < 2; has_alpha++) {
      SCOPED_TRACE(::testing::Message() << "format " << format << " alpha " << has_alpha);
      const uint32_t bpp = FormatBytes(format);
      std::vector<uint8_t> dest(w * h * bpp, kGuard);
      ASSERT_NE(YUV_init(format, has_alpha), 0u);
      YUV_blit(dest.data(), 0, 0, w * bpp, h, &frame.planes, 0, 0, w, h, format);
      const bool alpha_conv = has_alpha && format >= 5 && format <= 8;
      for (uint32_t r = 0; r < h; r++)
        for (uint32_t x = 0; x < w; x++) {
          auto ref = family == Family::Lane ? LaneReference(format, frame.Y(x, r), frame.CB(x, r), frame.CR(x, r),
                                                            frame.A(x, r), x, r, alpha_conv)
                                            : TableReference(format, frame.Y(x, r), frame.CB(x, r), frame.CR(x, r),
                                                             frame.A(x, r), x, r, alpha_conv);
          std::vector<uint8_t> got(dest.begin() + (r * w + x) * bpp, dest.begin() + (r * w + x + 1) * bpp);
          ASSERT_EQ(got, ref) << "x " << x << " row " << r << " Y " << int(frame.Y(x, r)) << " U "
                              << int(frame.CB(x, r)) << " V " << int(frame.CR(x, r));
        }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Families, ZoeColourExtremes, ::testing::Values(Family::Lane, Family::Table));

TEST(ZoeTableColour, Format10GreenKeepsBitFiveClear) {
  UseFamily(Family::Table);
  TestFrame frame(256, 2, false, 3);
  for (uint32_t x = 0; x < 256; x++)
    for (uint32_t r = 0; r < 2; r++) frame.Y(x, r) = static_cast<uint8_t>(x);
  for (uint32_t uv = 0; uv < 256; uv += 15) {
    for (uint32_t x = 0; x < 256; x += 2) {
      frame.CB(x, 0) = static_cast<uint8_t>(uv);
      frame.CR(x, 0) = static_cast<uint8_t>(255 - uv);
    }
    std::vector<uint8_t> dest(256 * 2 * 2);
    ASSERT_NE(YUV_init(SurfaceR5G6B5, 0), 0u);
    YUV_blit(dest.data(), 0, 0, 512, 2, &frame.planes, 0, 0, 256, 2, SurfaceR5G6B5);
    for (uint32_t i = 0; i < 512; i++) ASSERT_EQ(((dest[2 * i] | dest[2 * i + 1] << 8) >> 5) & 1, 0) << i;
  }
}

TEST(ZoeTableColour, ChromaTableEnds) {
  UseFamily(Family::Table);
  YUV_init(3, 0);
  EXPECT_EQ(BlitG.chroma_table[255], 51);
  EXPECT_EQ(BlitG.chroma_table[0], -52);
  EXPECT_EQ(BlitG.chroma_table[127], -1);
  EXPECT_EQ(BlitG.chroma_table[128], 0);
}

TEST(ZoeTableColour, ClampTablesRebuiltOnlyWhenTheShiftsChange) {
  UseFamily(Family::Table);
  TestFrame frame(6, 2, false, 5);
  std::vector<uint8_t> dest(6 * 2 * 4);
  YUV_init(3, 0);
  uint32_t builds = BlitS.clamp_builds;
  for (int i = 0; i < 3; i++) {
    YUV_init(0x80000003u, 0);
    YUV_blit(dest.data(), 0, 0, 24, 2, &frame.planes, 0, 0, 6, 2, 3);
  }
  EXPECT_EQ(BlitS.clamp_builds, builds);
  for (int i = 0; i < 4; i++) {
    YUV_init(i & 1 ? 3 : 4, 0);
    EXPECT_EQ(BlitS.clamp_builds, builds + i + 1);
  }
  YUV_init(3, 0);
  EXPECT_EQ(BlitS.clamp_builds, builds + 4);
}

TEST(ZoePalette, EntriesSpreadTheIndexBits) {
  uint32_t palette[256];
  ZoetGetPalette(palette);
  EXPECT_EQ(palette[0x49], 0x242455u);
  EXPECT_EQ(palette[0], 0u);
  EXPECT_EQ(palette[255], 0xFFFFFFu);
  EXPECT_EQ(palette[7], 0xFF0000u);
  EXPECT_EQ(palette[0x38], 0x00FF00u);
  EXPECT_EQ(palette[0x80], 0x0000AAu);
}

// Direct converter calls over a 32-column source row.
class ZoeRunContract : public ::testing::Test {
protected:
  ZoeRunContract() : frame(32, 2, true, 11), dest(32 * 4 + 16, kGuard) {}
  void Start(uint32_t x) {
    std::memset(&ctx, 0, sizeof(ctx));
    ctx.dest = dest.data();
    ctx.luma = &frame.Y(x, 0);
    ctx.alpha = &frame.A(x, 0);
    ctx.chroma1 = &frame.CR(x, 0);
    ctx.chroma2 = &frame.CB(x, 0);
  }
  TestFrame frame;
  std::vector<uint8_t> dest;
  BlitContext ctx;
};

TEST_F(ZoeRunContract, LaneRunsStopOnTheEightColumnGrid) {
  UseFamily(Family::Lane);
  ASSERT_NE(YUV_init(3, 0), 0u);
  ASSERT_EQ(BlitS.row_converter, &rgb32_row_mmx);
  const uint8_t* c0 = &frame.CR(2, 0);
  Start(2);
  EXPECT_EQ(rgb32_row_mmx(&ctx, 5, 2), 1u);
  EXPECT_EQ(ctx.dest - dest.data(), 16);
  EXPECT_EQ(ctx.luma - &frame.Y(2, 0), 4);
  EXPECT_EQ(ctx.chroma1 - c0, 2);
  EXPECT_EQ(dest[16], kGuard);
  // The fifth as a single pixel: it still moves the chroma on by one.
  EXPECT_EQ(rgb32_row_mmx(&ctx, 1, 6), 0u);
  EXPECT_EQ(ctx.chroma1 - c0, 3);
  EXPECT_EQ(ctx.chroma2 - &frame.CB(2, 0), 3);

  Start(3);
  EXPECT_EQ(rgb32_row_mmx(&ctx, 20, 3), 7u);
  EXPECT_EQ(ctx.luma - &frame.Y(3, 0), 13);
  EXPECT_EQ(ctx.chroma1 - &frame.CR(3, 0), 7);
  EXPECT_EQ(ctx.dest - dest.data(), 13 * 4);
  EXPECT_EQ(dest[13 * 4], kGuard);
}

TEST_F(ZoeRunContract, TableRunsEndOnTheSecondPixelOfAPair) {
  UseFamily(Family::Table);
  ASSERT_NE(YUV_init(3, 0), 0u);
  ASSERT_EQ(BlitS.row_converter, &rgb32_row);
  Start(4);
  EXPECT_EQ(rgb32_row(&ctx, 3, 4), 1u);
  EXPECT_EQ(ctx.luma - &frame.Y(4, 0), 2);
  EXPECT_EQ(ctx.chroma1 - &frame.CR(4, 0), 1);
  EXPECT_EQ(ctx.dest - dest.data(), 8);
}

TEST_F(ZoeRunContract, OnePixelYuyvRunAtAnOddColumnWritesLumaThenV) {
  for (auto fn : {&yuyv_row_mmx, &yuyv_row}) {
    Start(5);
    EXPECT_EQ(fn(&ctx, 1, 5), 0u);
    EXPECT_EQ(dest[0], frame.Y(5, 0));
    EXPECT_EQ(dest[1], frame.CR(5, 0));
    EXPECT_EQ(dest[2], kGuard);
  }
  for (auto fn : {&uyvy_row_mmx, &uyvy_row}) {
    Start(4);
    EXPECT_EQ(fn(&ctx, 1, 4), 0u);
    EXPECT_EQ(dest[0], frame.CB(4, 0));
    EXPECT_EQ(dest[1], frame.Y(4, 0));
  }
}

// Converting a span in calls as the blit does leaves the chroma addresses
// exactly the span's chroma width on.
TEST_F(ZoeRunContract, ChromaAddressesEndASpanItsChromaWidthOn) {
  struct Member {
    Family family;
    uint32_t format;
  };
  const Member kMembers[] = {{Family::Lane, 3},   {Family::Lane, 10}, {Family::Lane, 0},   {Family::Lane, 13},
                             {Family::Lane, 6},   {Family::Table, 3}, {Family::Table, 10}, {Family::Table, 0},
                             {Family::Table, 14}, {Family::Table, 8}};
  for (const Member& m : kMembers) {
    UseFamily(m.family);
    ASSERT_NE(YUV_init(m.format, 1), 0u);
    for (uint32_t x = 0; x < 10; x++)
      for (uint32_t w = 1; x + w <= 32; w++) {
        Start(x);
        uint32_t left = w, col = x;
        while (left) {
          uint32_t done = left - BlitS.row_converter(&ctx, left, col);
          ASSERT_GT(done, 0u);
          left -= done;
          col += done;
        }
        const uint32_t cw = ((x & 1) + w) / 2 + ((x + w) & 1);
        EXPECT_EQ(ctx.chroma1 - &frame.CR(x, 0), static_cast<ptrdiff_t>(cw)) << m.format << " x " << x << " w " << w;
        EXPECT_EQ(ctx.chroma2 - &frame.CB(x, 0), static_cast<ptrdiff_t>(cw));
        EXPECT_EQ(ctx.luma - &frame.Y(x, 0), static_cast<ptrdiff_t>(w));
      }
  }
}

}  // namespace

namespace {

// Pictures whose colours are constant over 2 x 2 squares, turned into planes
// with the studio-range colour matrix the movies are made with, come back
// close to their source colours.
class ZoeColourRoundTrip : public ::testing::TestWithParam<Family> {};

TEST_P(ZoeColourRoundTrip, PicturesConstantOverSquaresComeBackClose) {
  const uint32_t w = 64, h = 32;
  const SquarePicture picture(w, h, 5);
  TestFrame frame(w, h, false, 81);
  for (uint32_t r = 0; r < h; r++)
    for (uint32_t x = 0; x < w; x++) {
      frame.Y(x, r) = picture.y[r * w + x];
      frame.CB(x, r) = picture.cb[(r / 2) * (w / 2) + x / 2];
      frame.CR(x, r) = picture.cr[(r / 2) * (w / 2) + x / 2];
    }
  UseFamily(GetParam());
  std::vector<uint8_t> dest(w * h * 4);
  ASSERT_EQ(YUV_init(0x80000003u, 0), 1u);
  YUV_blit(dest.data(), 0, 0, w * 4, h, &frame.planes, 0, 0, w, h, 0x80000003u);
  // The table converters step red and blue by 4 and 5 levels per chroma
  // table step (entries rounded down), so they come back coarser.
  const int tolerance = GetParam() == Family::Lane ? 4 : 10;
  EXPECT_LE(picture.LargestError(dest.data(), w * 4), tolerance);
}

INSTANTIATE_TEST_SUITE_P(Families, ZoeColourRoundTrip, ::testing::Values(Family::Lane, Family::Table));

}  // namespace
