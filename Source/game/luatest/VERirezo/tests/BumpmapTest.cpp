// Normal maps palettised against the bump-map palette, directly and when the
// texture manager loads them with "compress_bumpmaps" on.
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Game/GameRender.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/DDS.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TextureManager.h"

namespace {

using gfxtest::CountTraces;

TEST(BumpmapNormals, TheNearestEntryStopsAtANearlyExactMatch) {
  std::vector<EVec3> table(256, EVec3(1, 0, 0));
  const EVec3 up(0, 0, 1);
  // Entry 3 is within the early-exit dot product of straight up, entry 7
  // is exact: the search stops at 3.
  table[3] = EVec3(0.004f, 0.0f, 1.0f);
  table[3].Normalize();
  table[7] = up;
  float error = -1.0f;
  EXPECT_EQ(3, EGameTextureManager::getNearestNormalTableEntry(up, table.data(), &error));
  EXPECT_NEAR(acos(table[3].z) * 57.29578, error, 1e-3);
  // Without a close entry the best dot product wins, with its angle.
  table[3] = table[7] = EVec3(1, 0, 0);
  table[9] = EVec3(0, 1, 1);
  table[9].Normalize();
  EXPECT_EQ(9, EGameTextureManager::getNearestNormalTableEntry(up, table.data(), &error));
  EXPECT_NEAR(45.0f, error, 1e-3f);
  // Nothing beats a dot product of -1: a table of only the opposite
  // direction gives no entry, 180 degrees away.
  std::vector<EVec3> down(256, EVec3(0, 0, -1));
  EXPECT_EQ(-1, EGameTextureManager::getNearestNormalTableEntry(up, down.data(), &error));
  EXPECT_NEAR(180.0f, error, 1e-3f);
}

const unsigned kCREATE = FILE_WRITE | FILE_CREATE | FILE_TRUNCATE;

class Bumpmap : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    char pattern[] = "/tmp/bumpmapXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    m_pFiles = new EFileManager;
    m_pFiles->AddReadPath(m_Dir.c_str(), true);
    m_pFiles->SetWritePath(m_Dir.c_str());
    gFile = m_pFiles;

    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    ASSERT_NE(nullptr, m_pRenderer);

    m_pManager = new EGameTextureManager();
    m_pApp->m_pGameTextureManager = m_pManager;
    HTEXTURE error = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 1, 1, 1, 0);
    m_pApp->m_idErrorTexture = m_pManager->AddProceduralTexture(error, false, "ErrorTexture");
    gfxtest::StartTraces();
  }

  void TearDown() override {
    gfxtest::StopTraces();
    delete m_pManager;
    if (m_pApp) m_pApp->m_pGameTextureManager = nullptr;
    if (m_pRenderer) {
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gGameApp = nullptr;
    delete m_pApp;
    gFile = &gFile_twutil;
    delete m_pFiles;
    if (!m_Dir.empty()) system(("rm -rf " + m_Dir).c_str());
  }

  // An 8888 texture whose texels all hold one packed colour.
  HTEXTURE Make(unsigned w, unsigned h, unsigned levels, uint32_t colour) {
    HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, w, h, levels, 0);
    for (unsigned l = 0; l < levels; ++l) {
      unsigned pitch = 0;
      uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(t, l, &pitch, false, kCUBEMAP_POSITIVE_X, true));
      unsigned lw = w >> l ? w >> l : 1, lh = h >> l ? h >> l : 1;
      for (unsigned y = 0; y < lh; ++y)
        for (unsigned x = 0; x < lw; ++x) memcpy(p + y * pitch + 4 * x, &colour, 4);
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

  std::string m_Dir;
  EFileManager* m_pFiles = nullptr;
  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  EGameTextureManager* m_pManager = nullptr;
};

TEST_F(Bumpmap, ThePaletteHoldsThePackedNormals) {
  HPALETTE pal = m_pManager->CreateBumpmapPalette();
  ASSERT_NE(0u, pal);
  uint32_t* c = m_pRenderer->LockPalette(pal);
  // Row 0 points straight up: (0, 0, 1) packs as 128, 128, 255.
  for (int i = 0; i < 16; ++i) EXPECT_EQ(0xFF8080FFu, c[i]) << i;
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(0xFFu, c[i] >> 24);
    EXPECT_EQ(NormalVectorToRGBA(GetNormalPaletteVector(i)), c[i]);
  }
  m_pRenderer->UnlockPalette(pal);
  m_pRenderer->DeletePalette(pal);
}

TEST_F(Bumpmap, EachTexelTakesItsNearestPaletteNormal) {
  // Straight up, and the palette's own entry 40: both match exactly.
  const uint32_t entry40 = NormalVectorToRGBA(GetNormalPaletteVector(40));
  struct Case {
    uint32_t texel;
    int index;
  } cases[] = {{0xFF8080FFu, 0}, {entry40, 40}, {entry40 & 0x00FFFFFFu, 40}};  // alpha ignored
  for (const Case& c : cases) {
    HTEXTURE src = Make(4, 2, 3, c.texel);
    float average = -1, largest = -1;
    HTEXTURE p8 = m_pManager->PalettizeBumpmap(src, &average, &largest);
    ASSERT_NE(0u, p8);
    EXPECT_EQ(kTEXTUREFORMAT_P8, m_pRenderer->GetTextureFormat(p8));
    EXPECT_EQ(3u, m_pRenderer->GetTextureLevelCount(p8));
    // Every level is filled, the 1 x 1 one after the height reached 0 too.
    for (unsigned l = 0; l < 3; ++l)
      for (uint8_t i : Indices(p8, l)) EXPECT_EQ(c.index, i) << "level " << l;
    EXPECT_LT(average, 0.5f);
    EXPECT_LT(largest, 0.5f);
    EXPECT_GE(average, 0.0f);
    m_pRenderer->DeleteTexture(p8, true);
    m_pRenderer->DeleteTexture(src, true);
  }
  // A normal between entries reports its angle to the chosen one.
  HTEXTURE src = Make(2, 2, 1, NormalVectorToRGBA(EVec3(0.6f, 0.0f, 0.8f)));
  float average = 0, largest = 0;
  HTEXTURE p8 = m_pManager->PalettizeBumpmap(src, &average, &largest);
  ASSERT_NE(0u, p8);
  EXPECT_GT(largest, 0.0f);
  EXPECT_FLOAT_EQ(largest, average);
  EXPECT_LT(largest, 15.0f);
}

TEST_F(Bumpmap, TheManagerPalettisesNormalMapsAndSavesACopy) {
  m_pApp->m_DebugHooks.CompressBumpmaps = true;
  m_pApp->m_hBumpmapPalette = m_pManager->CreateBumpmapPalette();
  // A normal map in a folder, loaded by name.
  ETextureImage image;
  image.m_eFormat = kTEXTUREFORMAT_8888;
  image.m_dwWidth = 8;
  image.m_dwHeight = 8;
  image.m_dwLevels = 4;
  image.Allocate();
  for (std::vector<uint8_t>& s : image.m_aSurfaces)
    for (size_t i = 0; i + 3 < s.size(); i += 4) {
      s[i + 0] = 0xFF;  // blue
      s[i + 1] = 0x80;  // green
      s[i + 2] = 0x80;  // red
      s[i + 3] = 0xFF;
    }
  ASSERT_EQ(0, system(("mkdir -p " + m_Dir + "/walls").c_str()));
  {
    EFileWriter w(EWin32File::Open((m_Dir + "/walls/brick_norm.dds").c_str(), kCREATE), kAUTOCLOSE_Yes);
    ASSERT_NE(nullptr, w.GetFile());
    WriteDDSImage(w, image);
  }
  int before = m_pRenderer->StatsGetUsedTextures();
  unsigned id = m_pManager->AddTexture("walls\\brick_norm.dds", 0, nullptr);
  ASSERT_NE(m_pApp->m_idErrorTexture, id);
  HTEXTURE h = m_pManager->GetTextureHandle(id);
  EXPECT_EQ(kTEXTUREFORMAT_P8, m_pRenderer->GetTextureFormat(h));
  for (uint8_t i : Indices(h, 0)) EXPECT_EQ(0, i);
  // The 32-bit texture is gone: one texture more than before, not two.
  EXPECT_EQ(before + 1, m_pRenderer->StatsGetUsedTextures());
  EXPECT_EQ(1, CountTraces("Palettized bumpmap texture 'walls\\brick_norm.dds' in 0.0 seconds (avg err"));
  // The copy is saved under the bare name in the write folder, with the
  // palette, and loads back as the same indices.
  HPALETTE loadedPalette = 0;
  HTEXTURE copy = m_pRenderer->LoadTextureFromDDS("brick_norm.dds", 0, &loadedPalette);
  ASSERT_NE(0u, copy);
  EXPECT_EQ(kTEXTUREFORMAT_P8, m_pRenderer->GetTextureFormat(copy));
  EXPECT_EQ(Indices(h, 0), Indices(copy, 0));
  ASSERT_NE(0u, loadedPalette);
  EXPECT_EQ(0xFF8080FFu, m_pRenderer->LockPalette(loadedPalette)[0]);
  m_pRenderer->UnlockPalette(loadedPalette);
}

}  // namespace
