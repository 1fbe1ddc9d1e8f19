// Textures saved to and loaded from DDS files and pack records through the
// renderer, on the test display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "RendererTestSupport.h"
#include "TWGraphics/DDS.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

using ::testing::HasSubstr;

namespace {

using gfxtest::AllTraces;
using gfxtest::VecWriter;

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  int c;
  while ((c = fgetc(f)) != EOF) bytes.push_back((uint8_t)c);
  fclose(f);
  return bytes;
}

ETextureImage MakeImage(TEXTUREFORMAT format, TEXTURETYPE type, unsigned width, unsigned height, unsigned levels) {
  ETextureImage image;
  image.m_eFormat = format;
  image.m_eType = type;
  image.m_dwWidth = width;
  image.m_dwHeight = type == kTEXTURETYPE_CUBEMAP ? width : height;
  image.m_dwLevels = levels;
  image.Allocate();
  for (size_t s = 0; s < image.m_aSurfaces.size(); ++s)
    for (size_t i = 0; i < image.m_aSurfaces[s].size(); ++i) image.m_aSurfaces[s][i] = (uint8_t)(s * 29 + i * 3 + 5);
  return image;
}

class DDSTexture : public rtest::RendererFixture {
protected:
  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(Start(64, 64));
    char pattern[] = "/tmp/ddstexXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    gFile->AddReadPath(m_Dir.c_str(), true);
    gFile->SetWritePath(m_Dir.c_str());
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    if (!m_Dir.empty()) system(("rm -rf " + m_Dir).c_str());
    rtest::RendererFixture::TearDown();
  }

  std::string Path(const char* name) const { return m_Dir + "/" + name; }

  std::string m_Dir;
};

}  // namespace

TEST_F(DDSTexture, SavedFilesLoadAndSaveAgainByteForByte) {
  struct Case {
    TEXTUREFORMAT format;
    TEXTURETYPE type;
    unsigned width, height, levels;
  } cases[] = {
      {kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 256, 64, 9}, {kTEXTUREFORMAT_565, kTEXTURETYPE_BITMAP, 16, 16, 5},
      {kTEXTUREFORMAT_4444, kTEXTURETYPE_BITMAP, 8, 32, 6},   {kTEXTUREFORMAT_L8, kTEXTURETYPE_BITMAP, 32, 8, 1},
      {kTEXTUREFORMAT_DXT1, kTEXTURETYPE_BITMAP, 16, 16, 5},  {kTEXTUREFORMAT_DXT5, kTEXTURETYPE_BITMAP, 32, 8, 6},
      {kTEXTUREFORMAT_8888, kTEXTURETYPE_CUBEMAP, 8, 8, 4},   {kTEXTUREFORMAT_P8, kTEXTURETYPE_BITMAP, 8, 8, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " type " << c.type);
    HTEXTURE h = m_pRenderer->CreateTextureFromImage(MakeImage(c.format, c.type, c.width, c.height, c.levels));
    ASSERT_NE(0u, h);
    HPALETTE pal = 0;
    if (c.format == kTEXTUREFORMAT_P8) {
      pal = m_pRenderer->CreatePalette();
      uint32_t* p = m_pRenderer->LockPalette(pal);
      for (unsigned i = 0; i < 256; ++i) p[i] = 0xFF000000u | (i << 16) | (7 * i & 0xFF);
      m_pRenderer->UnlockPalette(pal);
    }
    ASSERT_TRUE(m_pRenderer->SaveTextureAsDDS(h, pal, "first.dds"));
    HPALETTE loadedPal = 0;
    HTEXTURE back = m_pRenderer->LoadTextureFromDDS("first.dds", 0, &loadedPal);
    ASSERT_NE(0u, back) << AllTraces();
    EXPECT_EQ(m_pRenderer->GetTextureType(back), c.type);
    EXPECT_EQ(m_pRenderer->GetTextureLevelCount(back), c.levels);
    EXPECT_EQ(loadedPal != 0, c.format == kTEXTUREFORMAT_P8);
    ASSERT_TRUE(m_pRenderer->SaveTextureAsDDS(back, loadedPal, "second.dds"));
    std::vector<uint8_t> first = FileBytes(Path("first.dds")), second = FileBytes(Path("second.dds"));
    EXPECT_GT(first.size(), 128u);
    EXPECT_EQ(first, second);
    if (pal) m_pRenderer->DeletePalette(pal);
    if (loadedPal) m_pRenderer->DeletePalette(loadedPal);
    m_pRenderer->DeleteTexture(h, true);
    m_pRenderer->DeleteTexture(back, true);
  }
}

TEST_F(DDSTexture, SmallLevelsOfAWideTextureAreNotLeftBlack) {
  HTEXTURE h = m_pRenderer->CreateTextureFromImage(MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 256, 64, 9));
  ASSERT_TRUE(m_pRenderer->SaveTextureAsDDS(h, 0, "wide.dds"));
  HTEXTURE back = m_pRenderer->LoadTextureFromDDS("wide.dds", 0, nullptr);
  ASSERT_NE(0u, back);
  std::vector<uint8_t> level6(16);
  memcpy(level6.data(), m_pRenderer->LockTexture(back, 6, nullptr, true, (CUBEMAPFACE)-1, false), 16);
  m_pRenderer->UnlockTexture(back, 6, true, (CUBEMAPFACE)-1);
  const uint8_t* l8 = static_cast<const uint8_t*>(m_pRenderer->LockTexture(back, 8, nullptr, true, (CUBEMAPFACE)-1, false));
  EXPECT_EQ(0, memcmp(l8, level6.data(), 4));
  m_pRenderer->UnlockTexture(back, 8, true, (CUBEMAPFACE)-1);
}

TEST_F(DDSTexture, PackRecordsThroughTheRenderer) {
  HTEXTURE cube = m_pRenderer->CreateTextureFromImage(MakeImage(kTEXTUREFORMAT_DXT1, kTEXTURETYPE_CUBEMAP, 8, 8, 4));
  HTEXTURE p8 = m_pRenderer->CreateTextureFromImage(MakeImage(kTEXTUREFORMAT_P8, kTEXTURETYPE_BITMAP, 4, 4, 3));
  HPALETTE pal = m_pRenderer->CreatePalette();
  uint32_t* p = m_pRenderer->LockPalette(pal);
  for (unsigned i = 0; i < 256; ++i) p[i] = 0x01020304u * i;
  m_pRenderer->UnlockPalette(pal);

  VecWriter w;
  EXPECT_EQ(1, m_pRenderer->WriteTextureToPackFile(cube, w, nullptr));
  EXPECT_EQ(1, m_pRenderer->WriteTextureToPackFile(p8, w, &pal));
  EXPECT_EQ(1, m_pRenderer->WriteTextureToPackFile(p8, w, nullptr));
  EXPECT_EQ(m_pRenderer->GetTextureDataSize(cube), 6u * (32 + 8 + 8 + 8));

  EMemReader r(w.m_Bytes.data(), (unsigned)w.m_Bytes.size());
  HPALETTE* palettes = nullptr;
  HTEXTURE a = m_pRenderer->ReadTextureFromPackFile(r, &palettes);
  ASSERT_NE(0u, a);
  EXPECT_EQ(nullptr, palettes);
  EXPECT_EQ(m_pRenderer->GetTextureType(a), kTEXTURETYPE_CUBEMAP);
  HTEXTURE b = m_pRenderer->ReadTextureFromPackFile(r, &palettes);
  ASSERT_NE(0u, b);
  ASSERT_NE(nullptr, palettes);
  EXPECT_EQ(0, memcmp(m_pRenderer->LockPalette(palettes[0]), p, 1024));
  m_pRenderer->UnlockPalette(palettes[0]);
  HPALETTE* none = nullptr;
  HTEXTURE c = m_pRenderer->ReadTextureFromPackFile(r, &none);
  ASSERT_NE(0u, c);
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(r.GetPos(), w.m_Bytes.size());

  // Written again, the records are the same bytes but for their handles.
  VecWriter again;
  m_pRenderer->WriteTextureToPackFile(a, again, nullptr);
  m_pRenderer->WriteTextureToPackFile(b, again, palettes);
  m_pRenderer->WriteTextureToPackFile(c, again, nullptr);
  ASSERT_EQ(again.m_Bytes.size(), w.m_Bytes.size());
  std::vector<uint8_t> x = w.m_Bytes, y = again.m_Bytes;
  size_t second = 44 + 6 * (32 + 8 + 8 + 8), third = second + 44 + 2 + 1024 + 16 + 4 + 1;
  for (size_t at : {(size_t)0, second, third}) {
    memset(&x[at], 0, 4);
    memset(&y[at], 0, 4);
  }
  EXPECT_EQ(x, y);
  m_pRenderer->DeletePalette(palettes[0]);
  delete[] palettes;
}

TEST_F(DDSTexture, BadFilesYieldNoTexture) {
  EXPECT_EQ(0u, m_pRenderer->LoadTextureFromDDS("missing.dds", 0, nullptr));
  EXPECT_THAT(AllTraces(), HasSubstr("LoadTextureFromDDS: couldn't open file missing.dds"));

  HTEXTURE h = m_pRenderer->CreateTextureFromImage(MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 4, 4, 1));
  ASSERT_TRUE(m_pRenderer->SaveTextureAsDDS(h, 0, "zero.dds"));
  std::vector<uint8_t> f = FileBytes(Path("zero.dds"));
  memset(&f[16], 0, 4);  // width 0
  FILE* out = fopen(Path("zero.dds").c_str(), "wb");
  fwrite(f.data(), 1, f.size(), out);
  fclose(out);
  int used = m_pRenderer->StatsGetUsedTextures();
  EXPECT_EQ(0u, m_pRenderer->LoadTextureFromDDS("zero.dds", 0, nullptr));
  EXPECT_EQ(used, m_pRenderer->StatsGetUsedTextures());
  EXPECT_THAT(AllTraces(), HasSubstr("invalid texture size 0x4 in zero.dds"));
}

TEST_F(DDSTexture, NonPowerOfTwoFilesLoadWithOneLevel) {
  HTEXTURE h = m_pRenderer->CreateTextureFromImage(MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 100, 64, 1));
  ASSERT_TRUE(m_pRenderer->SaveTextureAsDDS(h, 0, "npot.dds"));
  std::vector<uint8_t> f = FileBytes(Path("npot.dds"));
  f[28] = 7;
  FILE* out = fopen(Path("npot.dds").c_str(), "wb");
  fwrite(f.data(), 1, f.size(), out);
  fclose(out);
  HTEXTURE back = m_pRenderer->LoadTextureFromDDS("npot.dds", 0, nullptr);
  ASSERT_NE(0u, back);
  EXPECT_EQ(m_pRenderer->GetTextureLevelCount(back), 1u);
  EXPECT_EQ(m_pRenderer->GetTextureFlags(back) & kTEXTUREFLAG_LINEAR, 0u);
  EXPECT_THAT(AllTraces(), HasSubstr("ignoring mip maps in a linear (non power-of-two) texture npot.dds"));
}
