// Frame picture decoding from hand-made streams: every block kind, bundle
// refills, code choices, frame sections and damaged data.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "ZoeBitplane.h"
#include "ZoeDecode.h"
#include "ZoeEncode.h"
#include "ZoeTestMovie.h"
#include "ZoeTransform.h"

namespace {

using zoeenc::BitWriter;
using zoeenc::CodeChoice;
using zoeenc::PlaneBuilder;
using zoetest::GreyFrame;
using zoetest::TestMovie;

const uint32_t kGrey = ZOE_DECODE_GREY;

uint8_t PrevPixel(int x, int y) { return (uint8_t)(x * 7 + y * 13); }

void FillPrevious(TestMovie& m, int k, uint32_t w, uint32_t h) {
  // the latest frame is read by the next one, which is written to the other set
  uint8_t* p = m.Current(k);
  for (uint32_t y = 0; y < h; y++)
    for (uint32_t x = 0; x < w; x++) p[y * w + x] = PrevPixel((int)x, (int)y);
  memset(m.Other(k), 0x77, (size_t)w * h);
}

void PrevBlock(int x, int y, uint8_t out[64]) {
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++) out[r * 8 + c] = PrevPixel(x + c, y + r);
}

struct KindCase {
  const char* name;
  std::function<void(PlaneBuilder&)> write;
  std::function<void(uint8_t out[64])> expect;  // the block at (8, 8)
};

int16_t gCoefs[64];
int8_t gResidue[64], gResidueBudget0[64];

std::vector<KindCase> KindCases() {
  for (int i = 0; i < 64; i++) gCoefs[i] = 0;
  gCoefs[0] = 900;
  gCoefs[1] = -40;
  gCoefs[8] = 25;
  gCoefs[18] = 7;
  gCoefs[63] = -3;
  for (int i = 0; i < 64; i++) gResidue[i] = (int8_t)((i * 37) % 23 - 11);
  BitWriter probe;
  zoeenc::WriteResidue(probe, gResidue, 0, gResidueBudget0);
  std::vector<KindCase> cases;
  cases.push_back({"skip", [](PlaneBuilder& b) { b.Skip(); }, [](uint8_t* o) { PrevBlock(8, 8, o); }});
  cases.push_back({"motion", [](PlaneBuilder& b) { b.Motion(-3, 5); }, [](uint8_t* o) { PrevBlock(5, 13, o); }});
  cases.push_back({"fill", [](PlaneBuilder& b) { b.Fill(0x42); }, [](uint8_t* o) { memset(o, 0x42, 64); }});
  cases.push_back({"pattern",
                   [](PlaneBuilder& b) {
                     const uint8_t rows[8] = {0x01, 0x80, 0xFF, 0x00, 0x55, 0xAA, 0x0F, 0xF0};
                     b.Pattern(10, 200, rows);
                   },
                   [](uint8_t* o) {
                     const uint8_t rows[8] = {0x01, 0x80, 0xFF, 0x00, 0x55, 0xAA, 0x0F, 0xF0};
                     for (int i = 0; i < 64; i++) o[i] = (rows[i / 8] >> (i % 8)) & 1 ? 200 : 10;
                   }});
  cases.push_back({"raw",
                   [](PlaneBuilder& b) {
                     uint8_t px[64];
                     for (int i = 0; i < 64; i++) px[i] = (uint8_t)(i * 3 + 1);
                     b.Raw(px);
                   },
                   [](uint8_t* o) {
                     for (int i = 0; i < 64; i++) o[i] = (uint8_t)(i * 3 + 1);
                   }});
  auto runPixels = [](int p, uint8_t* px) {
    for (int i = 0; i < 64; i++) px[patterns[p][i]] = (uint8_t)(i < 20 ? 50 + i / 5 : i < 40 ? i : 90);
  };
  cases.push_back({"run", [runPixels](PlaneBuilder& b) {
                     uint8_t px[64];
                     runPixels(2, px);
                     b.Run(2, px);
                   },
                   [runPixels](uint8_t* o) { runPixels(2, o); }});
  auto run63 = [](uint8_t* px) {  // runs of 16, 16, 16, 15 and a 64th colour
    for (int i = 0; i < 64; i++) px[patterns[7][i]] = (uint8_t)(i < 63 ? 9 : 200);
  };
  cases.push_back({"run totalling 63", [run63](PlaneBuilder& b) {
                     uint8_t px[64];
                     run63(px);
                     b.Run(7, px);
                   },
                   run63});
  auto run64 = [](uint8_t* px) {  // runs of 16 x 4: no further colour
    for (int i = 0; i < 64; i++) px[patterns[11][i]] = (uint8_t)(1 + i / 16);
  };
  cases.push_back({"run totalling 64", [run64](PlaneBuilder& b) {
                     uint8_t px[64];
                     run64(px);
                     b.Run(11, px);
                   },
                   run64});
  cases.push_back({"residue", [](PlaneBuilder& b) { b.Residue(2, -4, 127, gResidue); },
                   [](uint8_t* o) {
                     PrevBlock(10, 4, o);
                     for (int i = 0; i < 64; i++) o[i] = (uint8_t)(o[i] + gResidue[i]);
                   }});
  cases.push_back({"residue with budget 0", [](PlaneBuilder& b) { b.Residue(0, 0, 0, gResidue); },
                   [](uint8_t* o) {
                     PrevBlock(8, 8, o);
                     for (int i = 0; i < 64; i++) o[i] = (uint8_t)(o[i] + gResidueBudget0[i]);
                   }});
  cases.push_back({"intra", [](PlaneBuilder& b) { b.Intra(gCoefs, 3); },
                   [](uint8_t* o) { FastIDCT8x8(o, 8, gCoefs, 3); }});
  cases.push_back({"inter", [](PlaneBuilder& b) { b.Inter(1, -1, gCoefs, 2); },
                   [](uint8_t* o) {
                     uint8_t ref[64];
                     PrevBlock(9, 7, ref);
                     FastmIDCT8x8WithMotion(o, 8, gCoefs, 2, ref, 8);
                   }});
  for (int t = 10; t < 12; t++)  // 12-15 only stand as types in a filled refill
    cases.push_back({"untouched", [t](PlaneBuilder& b) { b.Untouched(t); }, [](uint8_t* o) { memset(o, 0x77, 64); }});
  return cases;
}

TEST(ZoeDecodeBlocks, EveryKindRebuildsItsBlock) {
  for (const KindCase& c : KindCases()) {
    SCOPED_TRACE(c.name);
    TestMovie m(32, 32);
    FillPrevious(m, 0, 32, 32);
    PlaneBuilder pb(32);
    for (int row = 0; row < 4; row++) {
      pb.BeginRow();
      for (int col = 0; col < 4; col++) {
        if (row == 1 && col == 1) {
          c.write(pb);
        } else if (row == 1 && col == 2) {
          pb.Fill(0x5E);  // read after the subject: its data must end in the right place
        } else if (row == 2 && col == 0) {
          pb.Intra(gCoefs, 9);
        } else {
          pb.Skip();
        }
      }
    }
    m.Decode(GreyFrame(pb.Finish()), kGrey);
    ASSERT_EQ(m.fbs.frameNum, 1u);
    const uint8_t* out = m.Current(0);
    uint8_t want[64], intra[64];
    c.expect(want);
    FastIDCT8x8(intra, 8, gCoefs, 9);
    for (int y = 0; y < 32; y++)
      for (int x = 0; x < 32; x++) {
        uint8_t expect = PrevPixel(x, y);
        if (y >= 8 && y < 16 && x >= 8 && x < 16) expect = want[(y - 8) * 8 + x - 8];
        if (y >= 8 && y < 16 && x >= 16 && x < 24) expect = 0x5E;
        if (y >= 16 && y < 24 && x < 8) expect = intra[(y - 16) * 8 + x];
        ASSERT_EQ(out[y * 32 + x], expect) << x << "," << y;
      }
    EXPECT_TRUE(m.Intact());
  }
}

TEST(ZoeDecodeBlocks, ScaledBlocksCoverSixteenPixelsAndSkipTheirLowerRow) {
  TestMovie m(48, 32);
  FillPrevious(m, 0, 48, 32);
  uint8_t raw[64];
  for (int i = 0; i < 64; i++) raw[i] = (uint8_t)(255 - i * 2);
  const uint8_t rows[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  PlaneBuilder pb(48);
  pb.BeginRow();
  pb.ScaledFill(0x31);
  pb.ScaledRaw(raw);
  pb.ScaledPattern(5, 250, rows);
  pb.BeginRow();
  pb.ScaledLower();
  pb.ScaledLower();
  pb.ScaledLower();
  pb.BeginRow();
  pb.ScaledIntra(gCoefs, 1);
  pb.ScaledOther(InterBlock);  // not decoded inside a scaled block: area untouched
  pb.ScaledRun(0, raw);
  pb.BeginRow();
  pb.ScaledLower();
  pb.ScaledLower();
  pb.ScaledLower();
  m.Decode(GreyFrame(pb.Finish()), kGrey);
  const uint8_t* out = m.Current(0);
  uint8_t intra[256];
  FastIDCT8x8d(intra, 16, gCoefs, 1);
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 48; x++) {
      int bx = x % 16, by = y % 16, i = (by / 2) * 8 + bx / 2;
      uint8_t expect;
      if (y < 16) expect = x < 16 ? 0x31 : x < 32 ? raw[i] : ((rows[i / 8] >> (i % 8)) & 1 ? 250 : 5);
      else expect = x < 16 ? intra[by * 16 + bx] : x < 32 ? 0x77 : raw[i];
      ASSERT_EQ(out[y * 48 + x], expect) << x << "," << y;
    }
  // every 16x16 area was touched
  for (int i = 0; i < 6; i++) EXPECT_EQ(m.map.data()[i], 1) << i;
}

// A plane written field by field with chosen code choices.
struct HandPlane {
  BitWriter w;
  CodeChoice codes[25];
  void Choices() {
    static const int order[] = {0, 1, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 2, 3, 4, 5, 8};
    for (int c : order) zoeenc::WriteCodeChoice(w, codes[c]);
  }
  void Sym(int ctx, int s) {
    for (int i = 0; i < 16; i++)
      if (codes[ctx].map[i] == s) return zoeenc::PutCodeWord(w, codes[ctx].code, i);
  }
  std::vector<uint8_t> Bytes() const { return w.Bytes(); }
};

// One row of 60 blocks whose types use the run escapes 12-15.
std::vector<uint8_t> EscapeRow(const CodeChoice& types) {
  HandPlane h;
  h.codes[0] = types;
  h.Choices();
  h.w.Put(60, ZoeCountBits(60));  // block types
  h.w.Put(0, 1);
  h.Sym(0, 6);
  h.Sym(0, 15);  // 32 more fills
  h.Sym(0, 0);
  h.Sym(0, 12);  // 4 more skips
  h.Sym(0, 6);
  h.Sym(0, 13);  // 8 more fills
  h.Sym(0, 0);
  h.Sym(0, 14);  // 12 more skips
  h.w.Put(0, ZoeCountBits(30));  // sub-block types: closed
  h.w.Put(42, ZoeCountBits(64 * 60));
  h.w.Put(1, 1);  // one colour for all 42
  h.Sym(9, 0xA);
  h.Sym(2, 0x7);
  h.w.Put(0, ZoeCountBits(8 * 60));
  for (int i = 0; i < 4; i++) h.w.Put(0, ZoeCountBits(60));
  h.w.Put(0, ZoeCountBits(48 * 60));
  return h.Bytes();
}

void ExpectEscapeRow(TestMovie& m) {
  const uint8_t* out = m.Current(0);
  for (int x = 0; x < 480; x++) {
    int b = x / 8;
    bool fill = b < 33 || (b >= 38 && b < 47);
    for (int y = 0; y < 8; y++) ASSERT_EQ(out[y * 480 + x], fill ? 0xA7 : PrevPixel(x, y)) << x;
  }
}

TEST(ZoeDecodeBundles, RunEscapesRepeatTheLastType) {
  TestMovie m(480, 8);
  FillPrevious(m, 0, 480, 8);
  m.Decode(GreyFrame(EscapeRow(CodeChoice())), kGrey);
  ExpectEscapeRow(m);
  EXPECT_TRUE(m.Intact());
}

TEST(ZoeDecodeBundles, ListedAndMergeBuiltSymbolMaps) {
  struct MapCase {
    int code;
    uint8_t map[16];
    CodeChoice::Form form;
    int depth;
  } cases[] = {
      {5, {6, 0, 15, 12, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 13, 14}, CodeChoice::Listed, 0},
      {9, {14, 13, 12, 6, 0, 15, 3, 9, 1, 2, 4, 5, 7, 8, 10, 11}, CodeChoice::Listed, 0},
      {2, {1, 0, 2, 3, 5, 4, 7, 6, 8, 9, 11, 10, 12, 13, 15, 14}, CodeChoice::Merged, 0},
      {13, {2, 0, 3, 1, 6, 4, 5, 7, 8, 11, 10, 9, 15, 14, 13, 12}, CodeChoice::Merged, 1},
      {7, {6, 0, 5, 2, 1, 3, 4, 7, 15, 14, 13, 12, 8, 9, 10, 11}, CodeChoice::Merged, 2},
      {15, {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, CodeChoice::Merged, 3},
      {11, {0, 6, 8, 15, 1, 12, 2, 9, 13, 3, 4, 10, 5, 14, 7, 11}, CodeChoice::Merged, 3},
  };
  for (const MapCase& c : cases) {
    CodeChoice choice;
    choice.code = c.code;
    memcpy(choice.map, c.map, 16);
    choice.form = c.form;
    choice.depth = c.depth;
    if (c.form == CodeChoice::Merged) ASSERT_LE(zoeenc::MergeDepth(c.map), c.depth);
    else ASSERT_GT(zoeenc::ListedCount(c.map), 0);
    TestMovie m(480, 8);
    FillPrevious(m, 0, 480, 8);
    m.Decode(GreyFrame(EscapeRow(choice)), kGrey);
    SCOPED_TRACE(c.code);
    ExpectEscapeRow(m);
  }
}

TEST(ZoeDecodeBundles, FilledTypesOf12To15StandAsTypes) {
  TestMovie m(32, 16);
  FillPrevious(m, 0, 32, 16);
  PlaneBuilder pb(32);
  pb.BeginRow();
  for (int i = 0; i < 4; i++) pb.Untouched(13);  // one uniform refill: the fill form with the raw value
  pb.BeginRow();
  for (int i = 0; i < 4; i++) pb.Fill(0x10);
  uint32_t skips = m.Decode(GreyFrame(pb.Finish()), kGrey);
  EXPECT_EQ(skips, 0u);
  for (int x = 0; x < 32; x++) {
    EXPECT_EQ(m.Current(0)[x], 0x77);
    EXPECT_EQ(m.Current(0)[8 * 32 + x], 0x10);
  }
  EXPECT_EQ(m.map.data()[0], 1);  // filled by row 1
}

TEST(ZoeDecodeBundles, ClosedBundlesReadNoMoreCounts) {
  // colours are used in rows 0 and 3 only: one refill covers rows 1-3;
  // offsets only in row 0 and are closed from row 1 on.
  TestMovie m(16, 40);
  FillPrevious(m, 0, 16, 40);
  PlaneBuilder pb(16);
  pb.useFill = false;
  pb.BeginRow();
  pb.Fill(1);
  pb.Motion(0, 8);
  for (int r = 1; r < 5; r++) {
    pb.BeginRow();
    if (r == 3) {
      pb.Fill(3);
      pb.Fill(4);
    } else {
      pb.Skip();
      pb.Skip();
    }
  }
  m.Decode(GreyFrame(pb.Finish()), kGrey);
  const uint8_t* out = m.Current(0);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[8], PrevPixel(8, 8));
  EXPECT_EQ(out[3 * 8 * 16], 3);
  EXPECT_EQ(out[3 * 8 * 16 + 8], 4);
  EXPECT_EQ(out[4 * 8 * 16 + 15], PrevPixel(15, 32));
}

TEST(ZoeDecodeBundles, OldFormatsMapColoursAroundTheMiddle) {
  const int values[4] = {0x05, 0x85, 0x80, 0xFF};
  const uint8_t stored[4] = {133, 123, 128, 1};
  TestMovie m(32, 8);
  PlaneBuilder pb(32);
  pb.BeginRow();
  for (int v : values) pb.Fill((uint8_t)v);
  // formats 'f'-'h': no luma length word
  m.Decode(pb.Finish(), kGrey | ZOE_DECODE_OLD_COLOURS);
  for (int i = 0; i < 4; i++) EXPECT_EQ(m.Current(0)[i * 8 + 3], stored[i]);
}

TEST(ZoeDecodeFrame, GreyFramesReturnTheLumaSkipCountOverFour) {
  TestMovie m(32, 32);
  FillPrevious(m, 0, 32, 32);
  PlaneBuilder pb(32);
  for (int r = 0; r < 4; r++) {
    pb.BeginRow();
    for (int c = 0; c < 4; c++) (r == 3 && c == 0) ? pb.Fill(9) : pb.Skip();
  }
  // area (0,1): the fill comes after the skips at (0,2) (1,2) (0,3)... (1,3) is after it
  EXPECT_EQ(m.Decode(GreyFrame(pb.Finish()), kGrey), (12u + 3u) / 4);
  EXPECT_EQ(m.map.data()[0], 0);
  EXPECT_EQ(m.map.data()[2], 1);
  EXPECT_EQ(m.map.data()[3], 0);
}

struct ColourFrame {
  std::vector<uint8_t> y, cr, cb;
};

ColourFrame SmallColourFrame() {
  ColourFrame f;
  PlaneBuilder y(16), cr(8), cb(8);
  y.BeginRow();
  y.Fill(20);
  y.Fill(30);
  y.BeginRow();
  y.Skip();
  y.Fill(40);
  cr.BeginRow();
  cr.Fill(100);
  cb.BeginRow();
  cb.Skip();
  f.y = y.Finish();
  f.cr = cr.Finish();
  f.cb = cb.Finish();
  return f;
}

TEST(ZoeDecodeFrame, ChromaStartsWhereTheLumaLengthWordSays) {
  ColourFrame f = SmallColourFrame();
  std::vector<uint8_t> data;
  zoetest::AppendWord(data, (uint32_t)f.y.size() + 8);  // luma section padded by two words
  data.insert(data.end(), f.y.begin(), f.y.end());
  zoetest::AppendWord(data, 0xFFFFFFFF);
  zoetest::AppendWord(data, 0xFFFFFFFF);
  data.insert(data.end(), f.cr.begin(), f.cr.end());
  data.insert(data.end(), f.cb.begin(), f.cb.end());
  TestMovie m(16, 16);
  EXPECT_EQ(m.Decode(data, 0), 0u);  // the cB skip shares its area with luma fills
  EXPECT_EQ(m.Current(0)[0], 20);
  EXPECT_EQ(m.Current(0)[15 * 16 + 15], 40);
  for (int i = 0; i < 64; i++) EXPECT_EQ(m.Current(1)[i], 100);

  // old formats continue at the first word the luma decoder did not load
  std::vector<uint8_t> old = f.y;
  old.insert(old.end(), f.cr.begin(), f.cr.end());
  old.insert(old.end(), f.cb.begin(), f.cb.end());
  TestMovie o(16, 16);
  o.Decode(old, ZOE_DECODE_OLD_COLOURS);
  EXPECT_EQ(o.Current(1)[0], 128 + 100);  // and the old colour mapping
}

TEST(ZoeDecodeFrame, ColourSkipStatisticCountsUnchangedAreas) {
  PlaneBuilder y(32), cr(16), cb(16);
  y.BeginRow();
  y.Skip(); y.Skip(); y.Skip(); y.Fill(1);
  y.BeginRow();
  for (int i = 0; i < 4; i++) y.Skip();
  cr.BeginRow();
  cr.Skip();
  cr.Skip();
  cb.BeginRow();
  cb.Skip();
  cb.Skip();
  std::vector<uint8_t> data;
  std::vector<uint8_t> yb = y.Finish(), rb = cr.Finish(), bb = cb.Finish();
  zoetest::AppendWord(data, (uint32_t)yb.size());
  data.insert(data.end(), yb.begin(), yb.end());
  data.insert(data.end(), rb.begin(), rb.end());
  data.insert(data.end(), bb.begin(), bb.end());
  TestMovie m(32, 16);
  EXPECT_EQ(m.Decode(data, 0), 1u);
  EXPECT_EQ(m.map.data()[0], 0);
  EXPECT_EQ(m.map.data()[1], 1);
}

TEST(ZoeDecodeFrame, AlphaSectionIsSkippedUnlessAsked) {
  PlaneBuilder a(16);
  a.BeginRow();
  a.Fill(0xAA);
  a.Fill(0xAB);
  a.BeginRow();
  a.Fill(0xAC);
  a.Fill(0xAD);
  std::vector<uint8_t> ab = a.Finish();
  PlaneBuilder y(16);
  y.BeginRow();
  y.Fill(1);
  y.Fill(2);
  y.BeginRow();
  y.Fill(3);
  y.Fill(4);
  std::vector<uint8_t> yb = y.Finish();
  std::vector<uint8_t> data;
  zoetest::AppendWord(data, (uint32_t)ab.size() + 4);
  data.insert(data.end(), ab.begin(), ab.end());
  std::vector<uint8_t> grey = GreyFrame(yb);
  data.insert(data.end(), grey.begin(), grey.end());
  {
    TestMovie m(16, 16, true, true);
    memset(m.Current(3), 0x55, 256);
    memset(m.Other(3), 0x55, 256);
    m.Decode(data, kGrey, ZOE_HEADER_ALPHA);
    EXPECT_EQ(m.Current(0)[0], 1);
    EXPECT_EQ(m.Current(0)[255], 4);
    for (int i = 0; i < 256; i++) ASSERT_EQ(m.Current(3)[i], 0x55);
  }
  {
    TestMovie m(16, 16, true, true);
    m.Decode(data, kGrey | ZOE_DECODE_ALPHA, ZOE_HEADER_ALPHA);
    EXPECT_EQ(m.Current(0)[255], 4);
    EXPECT_EQ(m.Current(3)[0], 0xAA);
    EXPECT_EQ(m.Current(3)[255], 0xAD);
  }
}

TEST(ZoeDecodeFrame, SinglePlaneSetReadsAndWritesTheSameBuffers) {
  TestMovie m(16, 8, false);
  for (int i = 0; i < 128; i++) m.Current(0)[i] = (uint8_t)i;
  PlaneBuilder pb(16);
  pb.BeginRow();
  pb.Skip();
  pb.Motion(-8, 0);  // copies the left block onto the right one
  m.Decode(GreyFrame(pb.Finish()), kGrey);
  EXPECT_EQ(m.fbs.frameNum, 0u);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) EXPECT_EQ(m.Current(0)[y * 16 + 8 + x], y * 16 + x);
}

TEST(ZoeDecodeBundleSizes, FollowTheFrameWidth) {
  uint32_t s[9];
  ExpandBundleSizes(s, 640);
  const uint32_t want[9] = {592, 552, 5632, 1152, 592, 592, 1184, 1184, 4352};
  for (int i = 0; i < 9; i++) EXPECT_EQ(s[i], want[i]) << i;
  EXPECT_EQ(ZoeCountBits(80), 10u);
  EXPECT_EQ(ZoeCountBits(0), 9u);
  EXPECT_EQ(ZoeCountBits(48 * 80), 13u);
}

// Damaged data: every access stays inside the data, planes, map and bundles.
TEST(ZoeDecodeDamaged, OverlongCountsRunsAndDisplacementsStayInBounds) {
  // huge counts with the fill form, huge displacements, scaled blocks at the edge
  {
    HandPlane h;
    h.Choices();
    h.w.Put((1u << ZoeCountBits(4)) - 1, ZoeCountBits(4));  // far more types than the buffer holds
    h.w.Put(1, 1);
    h.w.Put(ScaledBlock, 4);
    TestMovie m(32, 8);
    m.Decode(GreyFrame(h.Bytes()), kGrey);
    EXPECT_TRUE(m.Intact());
  }
  {
    PlaneBuilder pb(32);
    pb.BeginRow();
    pb.Motion(15, 15);
    pb.Residue(-15, 0, 127, gResidue);
    pb.Inter(0, 15, gCoefs, 0);
    pb.Motion(-15, -15);
    TestMovie m(32, 8);
    FillPrevious(m, 0, 32, 8);
    m.Decode(GreyFrame(pb.Finish()), kGrey);
    EXPECT_TRUE(m.Intact());
    for (int x = 0; x < 32; x++) EXPECT_EQ(m.Current(0)[x], 0x77);  // all left alone
  }
  {
    // a scaled block in the last column and the last row
    PlaneBuilder pb(24);
    pb.BeginRow();
    pb.Skip();
    pb.Skip();
    pb.ScaledFill(9);
    TestMovie m(24, 8);
    FillPrevious(m, 0, 24, 8);
    m.Decode(GreyFrame(pb.Finish()), kGrey);
    EXPECT_TRUE(m.Intact());
    EXPECT_EQ(m.Current(0)[23], 0x77);
  }
}

TEST(ZoeDecodeDamaged, RandomAndTruncatedDataNeverEscape) {
  std::mt19937 rng(5);
  zoeenc::FrameEncoder enc(40, 24);
  std::vector<uint8_t> y(40 * 24), c(24 * 16);
  for (auto& v : y) v = (uint8_t)(rng() % 7 * 30);
  for (auto& v : c) v = (uint8_t)(rng() & 255);
  zoeenc::EncodeOptions o;
  o.keyFrame = true;
  std::vector<uint8_t> good = enc.Encode(y.data(), c.data(), c.data(), nullptr, o);
  for (int iter = 0; iter < 400; iter++) {
    std::vector<uint8_t> d = good;
    if (iter % 3 == 0) d.resize(rng() % (d.size() + 1));
    int flips = 1 + (int)(rng() % 8);
    for (int f = 0; f < flips && !d.empty(); f++) d[rng() % d.size()] ^= (uint8_t)(1 << (rng() % 8));
    if (iter % 7 == 0)
      for (auto& v : d) v = (uint8_t)rng();
    TestMovie m(40, 24, iter % 2 == 0, true);
    m.Decode(d, iter % 5 == 0 ? ZOE_DECODE_OLD_COLOURS : 0, iter % 4 == 0 ? ZOE_HEADER_ALPHA : 0);
    m.Decode(d, ZOE_DECODE_ALPHA, ZOE_HEADER_ALPHA);
    ASSERT_TRUE(m.Intact()) << iter;
  }
}

}  // namespace
