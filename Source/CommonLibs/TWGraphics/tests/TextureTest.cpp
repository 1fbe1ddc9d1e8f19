// Textures: creation, locks with read-back, drawing every format, mip
// chains, reduction, alpha scans, memory counters, resets and the texture
// stages with their cache.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Texture.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/ErrorManager.h"

using rtest::hooks;

namespace {

using gfxtest::CountTraces;

const int kSize = 64;

class Texture : public rtest::RendererFixture {
protected:
  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Start(kSize, kSize));
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    rtest::RendererFixture::TearDown();
  }

  // Fills one surface with a repeated texel or block.
  void Fill(HTEXTURE h, unsigned level, const std::vector<uint8_t>& unit, CUBEMAPFACE face = (CUBEMAPFACE)-1) {
    unsigned pitch = 0;
    uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(h, level, &pitch, false, face, true));
    ASSERT_NE(nullptr, p);
    unsigned size = SurfaceBytes(h, level);
    for (unsigned i = 0; i < size; ++i) p[i] = unit[i % unit.size()];
    m_pRenderer->UnlockTexture(h, level, false, face);
  }

  unsigned SurfaceBytes(HTEXTURE h, unsigned level) {
    ETexture* t = m_pRenderer->m_pTextures->ElementGet(h);
    unsigned w = std::max(1u, t->m_dwWidth >> level), hh = std::max(1u, t->m_dwHeight >> level);
    unsigned d = std::max(1u, t->m_dwDepth >> level);
    if (TextureFormatCompressed(t->m_eFormat))
      return ((w + 3) / 4) * ((hh + 3) / 4) * (t->m_eFormat == kTEXTUREFORMAT_DXT1 ? 8 : 16);
    return w * hh * d * TextureFormatBytesPerPixel(t->m_eFormat);
  }

  std::vector<uint8_t> ReadSurface(HTEXTURE h, unsigned level, CUBEMAPFACE face = (CUBEMAPFACE)-1) {
    uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(h, level, nullptr, true, face, false));
    std::vector<uint8_t> out(p, p + SurfaceBytes(h, level));
    m_pRenderer->UnlockTexture(h, level, true, face);
    return out;
  }

  // Draws the texture over the window through stage 0 and reads the centre.
  void DrawCentre(HTEXTURE h, unsigned char rgba[4]) {
    SetFlatState();
    ETextureStageState st;
    st.m_hTexture = h;
    st.m_eFilterMode = kFILTERMODE_POINT;
    st.m_eMipFilterMode = kFILTERMODE_NONE;
    m_pRenderer->SetTextureStages(&st, 1);
    m_Draw.ClearColor(0, 0, 0, 0);
    m_Draw.Clear(GL_COLOR_BUFFER_BIT);
    m_Draw.TexturedQuad();
    m_Draw.Pixel(kSize / 2 + 3, kSize / 2 + 3, rgba);
    m_pRenderer->SetTextureStages(nullptr, 0);
  }

  GLint LevelParameter(GLenum bindTarget, GLenum target, GLuint tex, int level, GLenum pname) {
    auto bind = reinterpret_cast<void (*)(GLenum, GLuint)>(SDL_GL_GetProcAddress("glBindTexture"));
    auto get =
        reinterpret_cast<void (*)(GLenum, GLint, GLenum, GLint*)>(SDL_GL_GetProcAddress("glGetTexLevelParameteriv"));
    GLint v = -1;
    bind(bindTarget, tex);
    get(target, level, pname, &v);
    bind(bindTarget, 0);
    return v;
  }

  ETexture* Record(HTEXTURE h) { return m_pRenderer->m_pTextures->ElementGet(h); }
};

// One texel (or block) of each format, the colour it draws with and its
// bytes when read back.
struct FormatCase {
  TEXTUREFORMAT format;
  std::vector<uint8_t> texel;
  unsigned char rgba[4];
  int tolerance;
  std::vector<uint8_t> readBack;  // empty: as written
};

std::vector<FormatCase> FormatCases() {
  auto u16 = [](unsigned v) { return std::vector<uint8_t>{(uint8_t)(v & 0xFF), (uint8_t)(v >> 8)}; };
  std::vector<uint8_t> dxt3 = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE0, 0x07, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> dxt5 = {0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0, 0, 0, 0, 0, 0};
  return {
      {kTEXTUREFORMAT_8888, {0x40, 0x80, 0xC0, 0xFF}, {0xC0, 0x80, 0x40, 0xFF}, 1, {}},
      {kTEXTUREFORMAT_0888, {0x40, 0x80, 0xC0, 0x00}, {0xC0, 0x80, 0x40, 0xFF}, 1, {0x40, 0x80, 0xC0, 0xFF}},
      {kTEXTUREFORMAT_4444, u16(0xF80F), {255, 136, 0, 255}, 2, {}},
      {kTEXTUREFORMAT_1555, u16(0xF83F), {255, 0, 255, 255}, 2, {}},
      {kTEXTUREFORMAT_0555, u16(0x07C0), {0, 255, 0, 255}, 2, u16(0x07C1)},
      {kTEXTUREFORMAT_565, u16(0x001F), {0, 0, 255, 255}, 2, {}},
      {kTEXTUREFORMAT_A8, {0x80}, {255, 255, 255, 0x80}, 1, {}},
      {kTEXTUREFORMAT_L8, {0x80}, {0x80, 0x80, 0x80, 255}, 1, {}},
      {kTEXTUREFORMAT_AL8, {0x40}, {0x40, 0x40, 0x40, 255}, 1, {}},
      {kTEXTUREFORMAT_DXT1, {0x00, 0xF8, 0x00, 0x00, 0, 0, 0, 0}, {255, 0, 0, 255}, 2, {}},
      {kTEXTUREFORMAT_DXT3, dxt3, {0, 255, 0, 255}, 2, {}},
      {kTEXTUREFORMAT_DXT5, dxt5, {0, 0, 255, 255}, 2, {}},
      {kTEXTUREFORMAT_V8U8, {0x40, 0xC0}, {0x40, 0x40, 0x40, 0xC0}, 1, {}},
      {kTEXTUREFORMAT_V16U16, {0x00, 0x80, 0xFF, 0xFF}, {0x80, 0x80, 0x80, 0xFF}, 1, {}},
      {kTEXTUREFORMAT_P8, {0x80}, {0x80, 0, 0, 255}, 1, {}},
  };
}

TEST_F(Texture, EveryFormatIsFilledDrawnAndReadBack) {
  for (const FormatCase& c : FormatCases()) {
    SCOPED_TRACE("format " + std::to_string((int)c.format));
    HTEXTURE h = m_pRenderer->CreateBitmapTexture(c.format, 8, 8, 1, 0);
    ASSERT_NE(0u, h);
    Fill(h, 0, c.texel);
    unsigned char px[4];
    DrawCentre(h, px);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(c.rgba[i], px[i], c.tolerance) << "channel " << i;
    std::vector<uint8_t> back = ReadSurface(h, 0);
    const std::vector<uint8_t>& unit = c.readBack.empty() ? c.texel : c.readBack;
    for (size_t i = 0; i < back.size(); ++i) ASSERT_EQ(unit[i % unit.size()], back[i]) << "byte " << i;
    m_pRenderer->DeleteTexture(h, true);
  }
  EXPECT_EQ(0, m_pRenderer->StatsGetUsedTextures());
  EXPECT_EQ(0u, m_pRenderer->StatsGetTotalTextureMemory());
}

TEST_F(Texture, CubeFacesAndVolumeSlicesKeepTheirOwnTexels) {
  HTEXTURE cube = m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, 4, 0, 0);
  EXPECT_EQ(3u, m_pRenderer->GetTextureLevelCount(cube));
  for (int f = 0; f < 6; ++f) Fill(cube, 1, {(uint8_t)(f + 1), 0, 0, 0}, (CUBEMAPFACE)f);
  for (int f = 0; f < 6; ++f) EXPECT_EQ(f + 1, ReadSurface(cube, 1, (CUBEMAPFACE)f)[0]) << "face " << f;
  // An unwritten face of the same level reads as zeros.
  EXPECT_EQ(0, ReadSurface(cube, 0, kCUBEMAP_NEGATIVE_Z)[0]);

  HTEXTURE vol = m_pRenderer->CreateVolumeTexture(kTEXTUREFORMAT_L8, 4, 2, 8, 0, 0);
  EXPECT_EQ(4u, m_pRenderer->GetTextureLevelCount(vol));  // from the depth of 8
  unsigned pitch = 0;
  uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(vol, 0, &pitch, false, (CUBEMAPFACE)-1, true));
  EXPECT_EQ(4u, pitch);
  for (int i = 0; i < 4 * 2 * 8; ++i) p[i] = (uint8_t)i;
  m_pRenderer->UnlockTexture(vol, 0, false, (CUBEMAPFACE)-1);
  std::vector<uint8_t> back = ReadSurface(vol, 0);
  ASSERT_EQ(64u, back.size());
  for (int i = 0; i < 64; ++i) EXPECT_EQ(i, back[i]);
}

TEST_F(Texture, FullMipChainsCountHalvingsOfTheLargestSide) {
  struct Case {
    unsigned w, h, d;
    int type;
    unsigned levels;
  } cases[] = {
      {256, 64, 1, 0, 9}, {1, 1, 1, 0, 1}, {3, 5, 1, 0, 3}, {16, 16, 1, 1, 5}, {4, 4, 32, 2, 6},
  };
  for (const Case& c : cases) {
    HTEXTURE h = c.type == 0   ? m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, c.w, c.h, 0, 0)
                 : c.type == 1 ? m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, c.w, 0, 0)
                               : m_pRenderer->CreateVolumeTexture(kTEXTUREFORMAT_8888, c.w, c.h, c.d, 0, 0);
    EXPECT_EQ(c.levels, m_pRenderer->GetTextureLevelCount(h)) << c.w << "x" << c.h << "x" << c.d;
  }
  // The last two levels of 256 x 64 are 2 x 1 and 1 x 1.
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 256, 64, 0, 0);
  GLuint tex = Record(h)->m_texture;
  EXPECT_EQ(2, LevelParameter(GL_TEXTURE_2D, GL_TEXTURE_2D, tex, 7, GL_TEXTURE_WIDTH));
  EXPECT_EQ(1, LevelParameter(GL_TEXTURE_2D, GL_TEXTURE_2D, tex, 7, GL_TEXTURE_HEIGHT));
  EXPECT_EQ(1, LevelParameter(GL_TEXTURE_2D, GL_TEXTURE_2D, tex, 8, GL_TEXTURE_WIDTH));
}

TEST_F(Texture, BlockFormatsLockWholeBlocks) {
  struct Case {
    TEXTUREFORMAT f;
    unsigned w, h, level, pitch, size;
  } cases[] = {
      {kTEXTUREFORMAT_DXT1, 16, 16, 3, 8, 8},   {kTEXTUREFORMAT_DXT5, 16, 16, 3, 16, 16},
      {kTEXTUREFORMAT_DXT3, 16, 16, 0, 64, 256}, {kTEXTUREFORMAT_DXT1, 12, 8, 0, 24, 48},
  };
  for (const Case& c : cases) {
    HTEXTURE h = m_pRenderer->CreateBitmapTexture(c.f, c.w, c.h, 0, 0);
    unsigned pitch = 0;
    m_pRenderer->LockTexture(h, c.level, &pitch, false, (CUBEMAPFACE)-1, false);
    EXPECT_EQ(c.pitch, pitch);
    EXPECT_EQ(c.size, SurfaceBytes(h, c.level));
    m_pRenderer->UnlockTexture(h, c.level, false, (CUBEMAPFACE)-1);
  }
}

TEST_F(Texture, ALockReadsBackOnlyWrittenSurfacesUnlessDiscarded) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, 0);
  std::vector<uint8_t> first = ReadSurface(h, 0);
  for (uint8_t b : first) EXPECT_EQ(0, b);
  EXPECT_EQ(0, CountTraces("Doing a texture readback for locking!"));
  Fill(h, 0, {1, 2, 3, 4});
  EXPECT_EQ(0, CountTraces("Doing a texture readback for locking!"));  // Fill discards
  EXPECT_EQ(3, ReadSurface(h, 0)[2]);
  EXPECT_EQ(1, CountTraces("Doing a texture readback for locking!"));
  // The frame-buffer handles lock as nothing.
  EXPECT_EQ(nullptr, m_pRenderer->LockTexture(HTEXTURE_BACKBUFFER, 0, nullptr, false, (CUBEMAPFACE)-1, false));
  EXPECT_EQ(nullptr, m_pRenderer->LockTexture(HTEXTURE_BACKBUFFER2, 0, nullptr, false, (CUBEMAPFACE)-1, false));
}

TEST_F(Texture, SizesAndMemoryCountersCountEveryFaceAndSlice) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 256, 256, 9, 0x4 | (3 << 16));
  EXPECT_EQ(90112u, m_pRenderer->GetTextureSize(h, -1));  // 87381 rounded up to 4096
  EXPECT_EQ(64u * 64u, m_pRenderer->GetTextureSize(h, 2));
  EXPECT_EQ(0u, m_pRenderer->GetTextureFlags(h) & 0x4);  // the linear bit is cleared
  EXPECT_EQ(90112u, m_pRenderer->StatsGetTotalTextureMemory(3 << 16));
  EXPECT_EQ(0u, m_pRenderer->StatsGetLinearTextureMemory());

  HTEXTURE cube = m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, 64, 1, 0x4);
  EXPECT_EQ(6u * 64 * 64, m_pRenderer->GetTextureSize(cube, 0));
  EXPECT_EQ(6u * 64 * 64, m_pRenderer->StatsGetLinearTextureMemory());
  HTEXTURE vol = m_pRenderer->CreateVolumeTexture(kTEXTUREFORMAT_L8, 16, 16, 16, 2, 1 << 16);
  EXPECT_EQ(8u * 8 * 8, m_pRenderer->GetTextureSize(vol, 1));
  EXPECT_EQ(8192u, m_pRenderer->GetTextureSize(vol, -1));  // 4096 + 512 rounded up
  EXPECT_EQ(8192u, m_pRenderer->StatsGetTotalTextureMemory(1 << 16));
  HTEXTURE depth = m_pRenderer->CreateDepthTexture(32, 32, 16);
  EXPECT_EQ(90112u + 6 * 64 * 64 + 8192, m_pRenderer->StatsGetTotalTextureMemory());

  for (HTEXTURE t : {h, cube, vol, depth}) m_pRenderer->DeleteTexture(t, true);
  EXPECT_EQ(0u, m_pRenderer->StatsGetTotalTextureMemory());
}

TEST_F(Texture, FrameBufferHandlesAnswerForTheWindow) {
  EXPECT_EQ(kTEXTURETYPE_DEPTHBUFFER, m_pRenderer->GetTextureType(HTEXTURE_DEPTHBUFFER));
  EXPECT_EQ(kTEXTURETYPE_BITMAP, m_pRenderer->GetTextureType(HTEXTURE_BACKBUFFER2));
  EXPECT_EQ(0x4u, m_pRenderer->GetTextureFlags(HTEXTURE_BACKBUFFER));
  EXPECT_EQ(0u, m_pRenderer->GetTextureLevelCount(HTEXTURE_BACKBUFFER2));
  EXPECT_EQ(kTEXTUREFORMAT_8888, m_pRenderer->GetTextureFormat(HTEXTURE_DEPTHBUFFER));
  unsigned w = 0, h = 0;
  m_pRenderer->GetTextureDimensions(HTEXTURE_BACKBUFFER, w, h);
  EXPECT_EQ((unsigned)kSize, w);
  EXPECT_EQ((unsigned)kSize, h);
  EXPECT_EQ((unsigned)(kSize * kSize * 4), m_pRenderer->GetTextureSize(HTEXTURE_BACKBUFFER, -1));
  EXPECT_TRUE(TextureIsFrameBuffer(0xFFFFFFFDu));
  EXPECT_FALSE(TextureIsFrameBuffer(0xFFFFFFFCu));
}

TEST_F(Texture, ReduceKeepsTheHandleAndDropsTheTopLevels) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 16, 16, 0, 2 << 16);
  ASSERT_EQ(5u, m_pRenderer->GetTextureLevelCount(h));
  for (unsigned l = 0; l < 5; ++l) Fill(h, l, {(uint8_t)(10 + l), 0, 0, 0xFF});
  const int used = m_pRenderer->StatsGetUsedTextures();
  ASSERT_TRUE(m_pRenderer->ReduceTexture(h, 1));
  EXPECT_EQ(used, m_pRenderer->StatsGetUsedTextures());
  unsigned w = 0, hh = 0;
  m_pRenderer->GetTextureDimensions(h, w, hh);
  EXPECT_EQ(8u, w);
  EXPECT_EQ(8u, hh);
  ASSERT_EQ(4u, m_pRenderer->GetTextureLevelCount(h));
  for (unsigned l = 0; l < 4; ++l) EXPECT_EQ(11 + l, ReadSurface(h, l)[0]) << "level " << l;
  EXPECT_EQ(m_pRenderer->GetTextureSize(h, -1), m_pRenderer->StatsGetTotalTextureMemory(2 << 16));
  // More than there is drops all but the last level; then nothing is left.
  ASSERT_TRUE(m_pRenderer->ReduceTexture(h, 20));
  EXPECT_EQ(1u, m_pRenderer->GetTextureLevelCount(h));
  EXPECT_EQ(14, ReadSurface(h, 0)[0]);
  EXPECT_FALSE(m_pRenderer->ReduceTexture(h, 1));
  HTEXTURE cube = m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, 8, 0, 0);
  EXPECT_FALSE(m_pRenderer->ReduceTexture(cube, 1));
  EXPECT_FALSE(m_pRenderer->ReduceTexture(HTEXTURE_BACKBUFFER, 1));
}

TEST_F(Texture, GeneratedMipLevelsReadBackTheirTexels) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 16, 16, 0, 0);
  Fill(h, 0, {0x20, 0x40, 0x60, 0xFF});
  m_pRenderer->FilterTexture(h, false);
  std::vector<uint8_t> level3 = ReadSurface(h, 3);
  ASSERT_EQ(16u, level3.size());
  EXPECT_EQ(0x20, level3[0]);
  EXPECT_EQ(0x60, level3[14]);
}

TEST_F(Texture, AlphaAnswersFollowTheFormat) {
  const bool hasAlpha[kNUM_TEXTUREFORMATS] = {true,  false, true, true,  false, false, true, false,
                                              true,  false, true, true,  false, false, false};
  for (int f = 0; f < kNUM_TEXTUREFORMATS; ++f) {
    HTEXTURE h = m_pRenderer->CreateBitmapTexture((TEXTUREFORMAT)f, 4, 4, 1, 0);
    EXPECT_EQ(hasAlpha[f], m_pRenderer->ContainsAlpha(h)) << "format " << f;
  }
}

TEST_F(Texture, TheDXT1ScanFindsTransparentBlocksOfEveryShape) {
  const std::vector<uint8_t> opaque = {0x00, 0xF8, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};   // c0 > c1
  const std::vector<uint8_t> equal = {0x00, 0x10, 0x00, 0x10, 0xFF, 0xFF, 0xFF, 0xFF};    // c0 == c1
  const std::vector<uint8_t> clear = {0x00, 0x00, 0x00, 0xF8, 0x00, 0x00, 0xC0, 0x00};    // one index 3
  struct Case {
    unsigned w, h;
    std::vector<std::vector<uint8_t>> blocks;
    bool expected;
  } cases[] = {
      {2, 2, {clear}, true},                 // smaller than a block
      {8, 4, {opaque, clear}, true},         // the second block
      {4, 12, {opaque, opaque, clear}, true},
      {6, 6, {opaque, opaque, opaque, clear}, true},  // sides not multiples of 4
      {8, 8, {opaque, equal, opaque, opaque}, false},
  };
  for (const Case& c : cases) {
    HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_DXT1, c.w, c.h, 1, 0);
    uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)-1, true));
    for (size_t b = 0; b < c.blocks.size(); ++b) memcpy(p + 8 * b, c.blocks[b].data(), 8);
    m_pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1);
    EXPECT_EQ(c.expected, m_pRenderer->ContainsBinaryAlpha(h)) << c.w << "x" << c.h;
    EXPECT_EQ(c.expected ? 0x60u : 0x20u, m_pRenderer->GetTextureFlags(h) & 0x60u);
    EXPECT_EQ(c.expected, m_pRenderer->ContainsAlpha(h));
  }
  // Asked again, the flags answer without a lock.
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_DXT1, 4, 4, 1, 0);
  Fill(h, 0, clear);
  EXPECT_TRUE(m_pRenderer->ContainsBinaryAlpha(h));
  Fill(h, 0, opaque);
  gfxtest::Traces().clear();
  EXPECT_TRUE(m_pRenderer->ContainsBinaryAlpha(h));
  EXPECT_EQ(0, CountTraces("readback"));
}

TEST_F(Texture, AResetRebuildsDynamicAndDepthTexturesAsTheyWereMade) {
  HTEXTURE stat = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, 0);
  Fill(stat, 0, {9, 9, 9, 9});
  HTEXTURE cube = m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, 8, 1, kTEXTUREFLAG_DYNAMIC);
  Fill(cube, 0, {7, 7, 7, 7}, kCUBEMAP_POSITIVE_Y);
  HTEXTURE vol = m_pRenderer->CreateVolumeTexture(kTEXTUREFORMAT_8888, 4, 4, 4, 1, kTEXTUREFLAG_DYNAMIC);
  HTEXTURE depth = m_pRenderer->CreateDepthTexture(16, 8, 16);
  GLuint depthTex = Record(depth)->m_texture;
  EXPECT_EQ(16, LevelParameter(GL_TEXTURE_2D, GL_TEXTURE_2D, depthTex, 0, GL_TEXTURE_DEPTH_SIZE));

  ASSERT_TRUE(m_pRenderer->Reset(0));
  SDL_WM_GrabInput(SDL_GRAB_OFF);

  EXPECT_EQ(9, ReadSurface(stat, 0)[0]);
  gfxtest::Traces().clear();
  EXPECT_EQ(0, ReadSurface(cube, 0, kCUBEMAP_POSITIVE_Y)[0]);  // emptied, not read back
  EXPECT_EQ(0, CountTraces("readback"));
  // Still a cube map and a volume: each face and slice can be written again.
  GLuint cubeTex = Record(cube)->m_texture;
  EXPECT_EQ(8, LevelParameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, cubeTex, 0, GL_TEXTURE_WIDTH));
  Fill(cube, 0, {5, 5, 5, 5}, kCUBEMAP_NEGATIVE_Z);
  EXPECT_EQ(5, ReadSurface(cube, 0, kCUBEMAP_NEGATIVE_Z)[0]);
  GLuint volTex = Record(vol)->m_texture;
  EXPECT_EQ(4, LevelParameter(GL_TEXTURE_3D, GL_TEXTURE_3D, volTex, 0, GL_TEXTURE_DEPTH));
  depthTex = Record(depth)->m_texture;
  EXPECT_NE(0u, depthTex);
  EXPECT_EQ(16, LevelParameter(GL_TEXTURE_2D, GL_TEXTURE_2D, depthTex, 0, GL_TEXTURE_DEPTH_SIZE));
}

// ---------------------------------------------------------------------------
// Texture stages

TEST_F(Texture, WrapStagesFollowTheTexturesAddressFlags) {
  struct Case {
    unsigned flags;
    TEXTUREADDRESSMODE given, expected;
  } cases[] = {
      {0x0, kTEXTUREADDRESS_WRAP, kTEXTUREADDRESS_WRAP},
      {0x1, kTEXTUREADDRESS_WRAP, kTEXTUREADDRESS_MIRROR},
      {0x3, kTEXTUREADDRESS_WRAP, kTEXTUREADDRESS_CLAMP},
      {0x2, kTEXTUREADDRESS_WRAP, kTEXTUREADDRESS_CLAMP},
      {0x1, kTEXTUREADDRESS_BORDER, kTEXTUREADDRESS_BORDER},  // only wrap stages change
  };
  for (const Case& c : cases) {
    HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, c.flags);
    ETextureStageState st;
    st.m_hTexture = h;
    st.m_eAddressMode = c.given;
    m_pRenderer->SetTextureStages(&st, 1);
    EXPECT_EQ(c.expected, st.m_eAddressMode) << "flags " << c.flags;
    EXPECT_EQ(c.expected, m_pRenderer->GetCachedTextureStage(0).m_eAddressMode);
  }
  // A frame-buffer handle always clamps.
  ETextureStageState st;
  st.m_hTexture = HTEXTURE_BACKBUFFER2;
  m_pRenderer->SetTextureStages(&st, 1);
  EXPECT_EQ(kTEXTUREADDRESS_CLAMP, st.m_eAddressMode);
}

TEST_F(Texture, MirrorAndClampSampleDifferently) {
  // A 2 x 1 texture, black then white, drawn with coordinates 0..2.
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 2, 1, 1, 0);
  uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)-1, true));
  const uint8_t texels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
  memcpy(p, texels, 8);
  m_pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1);
  auto drawAt = [&](TEXTUREADDRESSMODE mode, int x) {
    SetFlatState();
    ETextureStageState st;
    st.m_hTexture = h;
    st.m_eAddressMode = mode;
    st.m_eFilterMode = kFILTERMODE_POINT;
    st.m_eMipFilterMode = kFILTERMODE_NONE;
    m_pRenderer->SetTextureStages(&st, 1);
    m_Draw.Color4f(1, 1, 1, 1);
    m_Draw.Begin(GL_QUADS);
    m_Draw.TexCoord2f(0, 0);
    m_Draw.Vertex3f(-1, -1, 0);
    m_Draw.TexCoord2f(2, 0);
    m_Draw.Vertex3f(1, -1, 0);
    m_Draw.TexCoord2f(2, 1);
    m_Draw.Vertex3f(1, 1, 0);
    m_Draw.TexCoord2f(0, 1);
    m_Draw.Vertex3f(-1, 1, 0);
    m_Draw.End();
    unsigned char px[4];
    m_Draw.Pixel(x, kSize / 2, px);
    return (int)px[0];
  };
  // The quarter from 1.0 to 1.5 of the coordinates.
  const int x = kSize / 2 + kSize / 8;
  EXPECT_EQ(0, drawAt(kTEXTUREADDRESS_WRAP, x));
  EXPECT_EQ(255, drawAt(kTEXTUREADDRESS_MIRROR, x));
  EXPECT_EQ(255, drawAt(kTEXTUREADDRESS_CLAMP, x));
}

TEST_F(Texture, AnUnchangedStageReachesOpenGLOnlyOnce) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, 0);
  ETextureStageState st[2];
  st[0].m_hTexture = h;
  st[1].m_hTexture = h;
  st[1].m_fMipLODBias = NAN;
  m_pRenderer->SetTextureStages(st, 2);
  hooks().textureCalls = 0;
  hooks().lodBiasCalls = 0;
  hooks().activeTextureCalls = 0;
  m_pRenderer->SetTextureStages(st, 2);
  const bool samplers = m_pRenderer->GetGLRenderer()->supports_GL_ARB_sampler_objects();
  if (samplers) {
    // Only stage 1's NaN bias is applied again, besides the unit changes.
    EXPECT_EQ(1, hooks().textureCalls);
    EXPECT_EQ(1, hooks().lodBiasCalls);
  } else {
    EXPECT_GT(hooks().textureCalls, 2);
  }
  EXPECT_EQ(3, hooks().activeTextureCalls);  // units 0, 1 and back to 4
  EXPECT_EQ((GLenum)GL_TEXTURE4, hooks().lastActiveTexture);

  // After invalidation every setting goes out again.
  m_pRenderer->invalidateRenderStates();
  hooks().textureCalls = 0;
  m_pRenderer->SetTextureStages(st, 2);
  EXPECT_GT(hooks().textureCalls, 10);
}

TEST_F(Texture, FewerStagesEmptyTheOnesAbove) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, 0);
  ETextureStageState st[4];
  for (ETextureStageState& s : st) s.m_hTexture = h;
  m_pRenderer->SetTextureStages(st, 4);
  m_pRenderer->SetTextureStages(st, 2);
  EXPECT_EQ(h, m_pRenderer->GetCachedTextureStage(1).m_hTexture);
  EXPECT_EQ(0u, m_pRenderer->GetCachedTextureStage(2).m_hTexture);
  EXPECT_EQ(0u, m_pRenderer->GetCachedTextureStage(3).m_hTexture);
  EXPECT_EQ((GLenum)GL_TEXTURE4, hooks().lastActiveTexture);
  // Deleting any texture empties every stage.
  HTEXTURE other = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, 0);
  m_pRenderer->DeleteTexture(other, true);
  for (unsigned s = 0; s < 4; ++s) EXPECT_EQ(0u, m_pRenderer->GetCachedTextureStage(s).m_hTexture);
  // A deleted handle names nothing any more; deleting it again is ignored.
  m_pRenderer->DeleteTexture(other, true);
  EXPECT_EQ(nullptr, Record(other));
}

TEST_F(Texture, AnisotropyIsSetOnlyForAnisotropicFilters) {
  if (!m_pRenderer->GetGLRenderer()->supports_GL_EXT_texture_filter_anisotropic())
    GTEST_SKIP() << "no anisotropic filtering here";
  m_pRenderer->setFilterMode(0, kFILTERMODE_ANISOTROPIC, kFILTERMODE_LINEAR, 8);
  EXPECT_EQ(8.0f, hooks().lastAnisotropy);
  m_pRenderer->setFilterMode(0, kFILTERMODE_LINEAR, kFILTERMODE_LINEAR, 8);
  EXPECT_EQ(1.0f, hooks().lastAnisotropy);
}

// Without sampler objects the settings go to the bound texture, every time.
class TextureWithoutSamplers : public rtest::RendererFixture {};

TEST_F(TextureWithoutSamplers, StagesSetTheBoundTextureEveryTime) {
  hooks().extensionsToHide = "GL_ARB_sampler_objects";
  ASSERT_TRUE(Start(kSize, kSize));
  ASSERT_FALSE(m_pRenderer->GetGLRenderer()->supports_GL_ARB_sampler_objects());
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 2, 1, 1, kTEXTUREFLAG_MIRROR);
  uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)-1, true));
  const uint8_t texels[8] = {0, 0, 0, 255, 255, 255, 255, 255};
  memcpy(p, texels, 8);
  m_pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1);
  ETextureStageState st;
  st.m_hTexture = h;
  st.m_eFilterMode = kFILTERMODE_POINT;
  st.m_eMipFilterMode = kFILTERMODE_NONE;
  m_pRenderer->SetTextureStages(&st, 1);
  hooks().textureCalls = 0;
  m_pRenderer->SetTextureStages(&st, 1);
  EXPECT_GE(hooks().textureCalls, 5);  // binding, wrap S, T, R, filters
  // The mirror flag reached the texture object: coordinates 1..2 read back
  // the texture mirrored, white first.
  SetFlatState();
  m_Draw.Color4f(1, 1, 1, 1);
  m_Draw.Begin(GL_QUADS);
  m_Draw.TexCoord2f(0, 0);
  m_Draw.Vertex3f(-1, -1, 0);
  m_Draw.TexCoord2f(2, 0);
  m_Draw.Vertex3f(1, -1, 0);
  m_Draw.TexCoord2f(2, 1);
  m_Draw.Vertex3f(1, 1, 0);
  m_Draw.TexCoord2f(0, 1);
  m_Draw.Vertex3f(-1, 1, 0);
  m_Draw.End();
  unsigned char px[4];
  m_Draw.Pixel(kSize / 2 + kSize / 8, kSize / 2, px);
  EXPECT_EQ(255, px[0]);
}

class TextureDeathTest : public Texture {
protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Texture::SetUp();
    // Fatal reports must reach standard error.
    gfxtest::StopTraces();
  }
};

TEST_F(TextureDeathTest, LockMisuseIsFatal) {
  HTEXTURE h = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 4, 4, 1, 0);
  EXPECT_EXIT(m_pRenderer->LockTexture(HTEXTURE_DEPTHBUFFER, 0, nullptr, false, (CUBEMAPFACE)-1, false),
              ::testing::ExitedWithCode(255), "hTexture != HTEXTURE_DEPTHBUFFER");
  EXPECT_EXIT(m_pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1), ::testing::ExitedWithCode(255),
              "pTexture->m_dwLockCount");
  m_pRenderer->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)-1, false);
  EXPECT_EXIT(m_pRenderer->DeleteTexture(h, true), ::testing::ExitedWithCode(255), "!pTexture->m_dwLockCount");
  EXPECT_EXIT(m_pRenderer->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)-1, false),
              ::testing::ExitedWithCode(255), "pTexture->m_dwLockCount == 0");
  m_pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1);
}

TEST_F(TextureDeathTest, BadArgumentsAreFatal) {
  EXPECT_EXIT(m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 0, 4, 1, 0), ::testing::ExitedWithCode(255),
              "dwWidth && dwHeight");
  EXPECT_EXIT(TextureFormatBytesPerPixel(kTEXTUREFORMAT_DXT1), ::testing::ExitedWithCode(255),
              "Unknown or compressed texture format: 9");
  EXPECT_EXIT(m_pRenderer->SetTextureStages(nullptr, 5), ::testing::ExitedWithCode(255),
              "dwStageCount <= kMAX_TEXTURE_STAGES");
  EXPECT_EXIT(m_pRenderer->setFilterMode(0, kFILTERMODE_NONE, kFILTERMODE_LINEAR, 1), ::testing::ExitedWithCode(255),
              "eMode != kFILTERMODE_NONE");
  ETextureStageState st;
  st.m_eAddressMode = (TEXTUREADDRESSMODE)5;
  EXPECT_EXIT(m_pRenderer->SetTextureStages(&st, 1), ::testing::ExitedWithCode(255),
              "Unknown texture address mode: 5");
}

}  // namespace
