// Texel and colour conversions, HSV colours, the bump-map palette normals,
// cube-map directions, and palettising textures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "RendererTestSupport.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Palette.h"
#include "TWGraphics/Renderer.h"

namespace {

void ExpectVec4(const EVec4& expected, const EVec4& actual, float tolerance = 1e-6f) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
  EXPECT_NEAR(expected.w, actual.w, tolerance);
}

void ExpectVec3(const EVec3& expected, const EVec3& actual, float tolerance = 1e-5f) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

TEST(Color, TexelsReadAsColourVectors) {
  struct Case {
    unsigned texel;
    TEXTUREFORMAT format;
    EVec4 expected;
  } cases[] = {
      {0x80FF0000u, kTEXTUREFORMAT_8888, EVec4(1, 0, 0, 128.0f / 255.0f)},
      {0x80FF0000u, kTEXTUREFORMAT_0888, EVec4(1, 0, 0, 0)},
      {0xF00Fu, kTEXTUREFORMAT_4444, EVec4(0, 0, 1, 1)},
      {0x8000u, kTEXTUREFORMAT_1555, EVec4(0, 0, 0, 1)},
      {0xFC1Fu, kTEXTUREFORMAT_0555, EVec4(1, 0, 1, 0)},  // bit 15 is not alpha here
      {0x07E0u, kTEXTUREFORMAT_565, EVec4(0, 1, 0, 0)},
      {0x0011u, kTEXTUREFORMAT_565, EVec4(0, 0, 17.0f / 31.0f, 0)},
      {0x33u, kTEXTUREFORMAT_A8, EVec4(1, 1, 1, 0x33 / 255.0f)},
      {0x33u, kTEXTUREFORMAT_L8, EVec4(0x33 / 255.0f, 0x33 / 255.0f, 0x33 / 255.0f, 1)},
      {0x33u, kTEXTUREFORMAT_AL8, EVec4(0x33 / 255.0f, 0x33 / 255.0f, 0x33 / 255.0f, 0x33 / 255.0f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.texel << " format " << (int)c.format);
    ExpectVec4(c.expected, ColorVectorFromPixel(c.texel, c.format));
  }
}

TEST(Color, ColourVectorsPackIntoTexels) {
  const EVec4 white(1, 1, 1, 1);
  EXPECT_EQ(0x7FFFu, ColorVectorToPixel(white, kTEXTUREFORMAT_0555));
  EXPECT_EQ(0xFFFFu, ColorVectorToPixel(white, kTEXTUREFORMAT_565));
  EXPECT_EQ(0xFFFFu, ColorVectorToPixel(white, kTEXTUREFORMAT_4444));
  EXPECT_EQ(0xFFFFu, ColorVectorToPixel(white, kTEXTUREFORMAT_1555));
  EXPECT_EQ(0xFFFFFFFFu, ColorVectorToPixel(white, kTEXTUREFORMAT_8888));
  EXPECT_EQ(0x00FFFFFFu, ColorVectorToPixel(white, kTEXTUREFORMAT_0888));
  // Components are truncated to 8 bits before they are narrowed.
  const EVec4 c(0.5f, 0.25f, 1.0f, 0.2f);
  EXPECT_EQ(0x337F3FFFu, ColorVectorToPixel(c, kTEXTUREFORMAT_8888));
  EXPECT_EQ((0x7Fu >> 3) << 11 | (0x3Fu >> 2) << 5 | 0xFFu >> 3, ColorVectorToPixel(c, kTEXTUREFORMAT_565));
  EXPECT_EQ(0x33u, ColorVectorToPixel(c, kTEXTUREFORMAT_A8));
  EXPECT_EQ(0x7Fu, ColorVectorToPixel(c, kTEXTUREFORMAT_L8));
  EXPECT_EQ(0x7Fu, ColorVectorToPixel(c, kTEXTUREFORMAT_AL8));
  // Every format of the table goes back and forth for its extreme values.
  const TEXTUREFORMAT formats[] = {kTEXTUREFORMAT_8888, kTEXTUREFORMAT_4444, kTEXTUREFORMAT_1555};
  for (TEXTUREFORMAT f : formats) ExpectVec4(white, ColorVectorFromPixel(ColorVectorToPixel(white, f), f));
}

TEST(ColorDeathTest, OutOfRangeComponentsAndOtherFormatsAreFatal) {
  EXPECT_DEATH(ColorVectorToPixel(EVec4(1.5f, 0, 0, 1), kTEXTUREFORMAT_8888), "v.x >= 0.0f && v.x <= 1.0f");
  EXPECT_DEATH(ColorVectorToPixel(EVec4(0, 0, 0, 1), kTEXTUREFORMAT_DXT1), "Unsupported texture format: 9");
  EXPECT_DEATH(ColorVectorFromPixel(0, kTEXTUREFORMAT_P8), "Unsupported texture format: 14");
  EXPECT_DEATH(GetCubemapNormal((CUBEMAPFACE)6, 0.5f, 0.5f), "Unknown cubemap face in GetCubemapNormal");
}

TEST(Color, HSVColours) {
  struct Case {
    float h, s, v;
    EVec4 expected;
  } cases[] = {
      {0.0f, 1.0f, 1.0f, EVec4(1, 0, 0, 1)},
      {1.0f, 1.0f, 1.0f, EVec4(1, 0, 0, 1)},  // hue 1 wraps to red
      {1.0f / 3.0f, 1.0f, 1.0f, EVec4(0, 1, 0, 1)},
      {2.0f / 3.0f, 1.0f, 1.0f, EVec4(0, 0, 1, 1)},
      {0.5f, 0.5f, 0.8f, EVec4(0.4f, 0.8f, 0.8f, 1)},
      {0.75f, 0.0f, 0.3f, EVec4(0.3f, 0.3f, 0.3f, 1)},      // no saturation: grey
      {-2.0f, 2.0f, 5.0f, EVec4(1, 0, 0, 1)},             // clamped
      {std::nanf(""), 1.0f, 1.0f, EVec4(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.h << " " << c.s << " " << c.v);
    ExpectVec4(c.expected, ColorVectorFromHSV(c.h, c.s, c.v), 1e-5f);
  }
}

TEST(Color, NormalPaletteRowsDescendFromStraightUp) {
  for (int i = 0; i < 16; ++i) {
    EVec3 n = GetNormalPaletteVector(i);
    EXPECT_EQ(0.0f, n.x);
    EXPECT_EQ(0.0f, n.y);
    EXPECT_EQ(1.0f, n.z);
  }
  // Entry 16: row 1, column 0, turned half a step (11.25 degrees).
  const double kRad = 3.14159265358979323846 / 180.0;
  double elevation = (1.0 - pow(1.0 / 16.0, 1.5)) * 90.0;
  EVec3 expected((float)(-sin(11.25 * kRad) * cos(elevation * kRad)),
                 (float)(-cos(11.25 * kRad) * cos(elevation * kRad)), (float)sin(elevation * kRad));
  ExpectVec3(expected, GetNormalPaletteVector(16));
  // An odd row's last column comes back into -180..180: 348.75 is -11.25.
  EVec3 last = GetNormalPaletteVector(16 + 15);
  EXPECT_NEAR(-sin(-11.25 * kRad) * cos(elevation * kRad), last.x, 1e-5);
  // Every entry is a unit vector of the upper hemisphere.
  for (int i = 0; i < 256; ++i) {
    EVec3 n = GetNormalPaletteVector(i);
    EXPECT_NEAR(1.0f, sqrtf(n.x * n.x + n.y * n.y + n.z * n.z), 1e-5f) << i;
    EXPECT_GT(n.z, 0.0f) << i;
  }
}

TEST(Color, CubeMapDirectionsAndCoordinatesAreInverse) {
  ExpectVec3(EVec3(1, 0, 0), GetCubemapNormal(kCUBEMAP_POSITIVE_X, 0.5f, 0.5f));
  ExpectVec3(EVec3(0, -1, 0), GetCubemapNormal(kCUBEMAP_NEGATIVE_Y, 0.5f, 0.5f));
  // The top-left texel of +Z looks up and left: (-1, 1, 1) normalised.
  float k = 1.0f / sqrtf(3.0f);
  ExpectVec3(EVec3(-k, k, k), GetCubemapNormal(kCUBEMAP_POSITIVE_Z, 0.0f, 0.0f));
  const float coords[] = {0.1f, 0.5f, 0.8f};
  for (int face = 0; face < 6; ++face) {
    for (float u : coords) {
      for (float v : coords) {
        SCOPED_TRACE(::testing::Message() << "face " << face << " u " << u << " v " << v);
        float u2 = -1, v2 = -1;
        EXPECT_EQ(face, GetCubemapLocation(GetCubemapNormal((CUBEMAPFACE)face, u, v), u2, v2));
        EXPECT_NEAR(u, u2, 1e-5f);
        EXPECT_NEAR(v, v2, 1e-5f);
      }
    }
  }
  // On the edge between +X and +Y the first test wins.
  float u, v;
  EXPECT_EQ(kCUBEMAP_POSITIVE_X, GetCubemapLocation(EVec3(2, 2, 0), u, v));
  EXPECT_FLOAT_EQ(0.5f, u);
  EXPECT_FLOAT_EQ(0.0f, v);
}

TEST(Color, NamedColoursAndTextureFrames) {
  ExpectVec4(EVec4(1, 0, 1, 1), cg_vMagenta);
  ExpectVec4(EVec4(0, 0, 0, 1), cg_vBlack);
  ExpectVec4(EVec4(1, 1, 0, 1), cg_vYellow);
  // Flipped frames keep their corners as given.
  EXPECT_EQ(1.0f, cg_TexFrameFlipY.vMin.y);
  EXPECT_EQ(0.0f, cg_TexFrameFlipY.vMax.y);
  EXPECT_EQ(1.0f, cg_TexFrameFlipXY.vMin.x);
  EXPECT_EQ(0.0f, cg_TexFrameFlipX.vMax.x);
}

// ---------------------------------------------------------------------------
// Palettising

class Palettize : public rtest::RendererFixture {
protected:
  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Start(32, 32));
  }

  // An 8888 texture filled level by level from a function of x, y and the
  // level's width.
  template <class F>
  HTEXTURE Make(unsigned w, unsigned h, unsigned levels, F colour) {
    HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, w, h, levels, 0);
    for (unsigned l = 0; l < levels; ++l) {
      unsigned pitch = 0;
      uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(t, l, &pitch, false, kCUBEMAP_POSITIVE_X, true));
      unsigned lw = w >> l ? w >> l : 1, lh = h >> l ? h >> l : 1;
      for (unsigned y = 0; y < lh; ++y)
        for (unsigned x = 0; x < lw; ++x) {
          uint32_t c = colour(x, y, lw);
          memcpy(p + y * pitch + x * 4, &c, 4);
        }
      m_pRenderer->UnlockTexture(t, l, false, kCUBEMAP_POSITIVE_X);
    }
    return t;
  }

  std::vector<uint8_t> Indices(HTEXTURE t, unsigned level) {
    unsigned pitch = 0, w = 0, h = 0;
    m_pRenderer->GetTextureDimensions(t, w, h);
    w = w >> level ? w >> level : 1;
    h = h >> level ? h >> level : 1;
    uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(t, level, &pitch, true, kCUBEMAP_POSITIVE_X, false));
    std::vector<uint8_t> out;
    for (unsigned y = 0; y < h; ++y) out.insert(out.end(), p + y * pitch, p + y * pitch + w);
    m_pRenderer->UnlockTexture(t, level, true, kCUBEMAP_POSITIVE_X);
    return out;
  }

  std::vector<uint32_t> Palette(HPALETTE pal) {
    uint32_t* c = m_pRenderer->LockPalette(pal);
    std::vector<uint32_t> out(c, c + 256);
    m_pRenderer->UnlockPalette(pal);
    return out;
  }
};

TEST_F(Palettize, TexturesOf512TexelsOrFewerAreRefused) {
  HTEXTURE small = Make(16, 32, 1, [](unsigned, unsigned, unsigned) { return 0xFF808080u; });
  HTEXTURE tex = 77, pal = 88;
  int textures = m_pRenderer->StatsGetUsedTextures();
  EXPECT_FALSE(m_pRenderer->PalettizeTexture(small, tex, pal));
  EXPECT_EQ(77u, tex);
  EXPECT_EQ(88u, pal);
  EXPECT_EQ(textures, m_pRenderer->StatsGetUsedTextures());
  HTEXTURE big = Make(32, 32, 1, [](unsigned, unsigned, unsigned) { return 0xFF808080u; });
  EXPECT_TRUE(m_pRenderer->PalettizeTexture(big, tex, pal));
  EXPECT_EQ(kTEXTUREFORMAT_P8, m_pRenderer->GetTextureFormat(tex));
  EXPECT_NE(0u, pal);
}

TEST_F(Palettize, OneColourMapsEveryTexelToItsEntry) {
  HTEXTURE src = Make(32, 32, 1, [](unsigned, unsigned, unsigned) { return 0x20C86432u; });  // r 200, g 100, b 50
  HTEXTURE tex = 0, pal = 0;
  ASSERT_TRUE(m_pRenderer->PalettizeTexture(src, tex, pal));
  std::vector<uint8_t> idx = Indices(tex, 0);
  std::set<uint8_t> used(idx.begin(), idx.end());
  ASSERT_EQ(1u, used.size());
  std::vector<uint32_t> colours = Palette(pal);
  uint32_t c = colours[*used.begin()];
  EXPECT_NEAR(200, (int)((c >> 16) & 0xFF), 2);
  EXPECT_NEAR(100, (int)((c >> 8) & 0xFF), 2);
  EXPECT_NEAR(50, (int)(c & 0xFF), 2);
  // Every entry is opaque whatever the source's alpha.
  for (uint32_t e : colours) EXPECT_EQ(0xFFu, e >> 24);
}

TEST_F(Palettize, FewColoursAreReproducedAndSmallLevelsStayEmpty) {
  // Four colour bands on a 64 x 16 texture with all 7 levels.
  const uint32_t bands[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  HTEXTURE src = Make(64, 16, 7, [&](unsigned x, unsigned, unsigned w) { return bands[(x * 4 / w) & 3]; });
  HTEXTURE tex = 0, pal = 0;
  ASSERT_TRUE(m_pRenderer->PalettizeTexture(src, tex, pal));
  EXPECT_EQ(7u, m_pRenderer->GetTextureLevelCount(tex));
  std::vector<uint32_t> colours = Palette(pal);
  std::vector<uint8_t> top = Indices(tex, 0);
  for (unsigned x = 0; x < 64; ++x) {
    uint32_t want = bands[x * 4 / 64], got = colours[top[x]];
    for (int shift = 0; shift < 24; shift += 8)
      EXPECT_NEAR((int)((want >> shift) & 0xFF), (int)((got >> shift) & 0xFF), 8) << "x " << x;
  }
  // Level 4 is 4 x 1 and filled; levels 5 and 6 shift a side to 0 and keep
  // zeros.
  std::vector<uint8_t> l4 = Indices(tex, 4);
  for (unsigned x = 0; x < 4; ++x) {
    uint32_t got = colours[l4[x]];
    EXPECT_NEAR((int)((bands[x] >> 16) & 0xFF), (int)((got >> 16) & 0xFF), 8) << x;
  }
  EXPECT_EQ(std::vector<uint8_t>(2, 0), Indices(tex, 5));
  EXPECT_EQ(std::vector<uint8_t>(1, 0), Indices(tex, 6));
}

// The quantiser alone: a picture whose byte length is divisible by 499
// steps by 3 x 491 and still visits every pixel.
TEST(NeuQuant, LearnsEveryColourOfAPictureWhoseLengthDivides499) {
  const int pixels = 499 * 2;
  std::vector<unsigned char> picture(3 * pixels);
  for (int i = 0; i < pixels; ++i) {
    bool dark = (i % 2) == 0;
    picture[3 * i + 0] = dark ? 10 : 240;
    picture[3 * i + 1] = dark ? 20 : 230;
    picture[3 * i + 2] = dark ? 30 : 220;
  }
  ASSERT_EQ(0u, picture.size() % 499);
  initnet(picture.data(), (int)picture.size(), 1);
  learn();
  unbiasnet();
  unsigned char map[768];
  writecolourmap(map);
  inxbuild();
  int dark = inxsearch(10, 20, 30), light = inxsearch(240, 230, 220);
  ASSERT_GE(dark, 0);
  ASSERT_GE(light, 0);
  EXPECT_NEAR(10, map[3 * dark + 2], 3);
  EXPECT_NEAR(30, map[3 * dark + 0], 3);
  EXPECT_NEAR(240, map[3 * light + 2], 3);
  EXPECT_NEAR(220, map[3 * light + 0], 3);
}

}  // namespace
