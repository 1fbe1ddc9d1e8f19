// The game texture manager on the test display: names, sharing, loading
// from DDS, TGA and ".atx" files, purging, texture packs and reduction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "Game/PCGameApp.h"
#include "TWGraphics/DDS.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ETga.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TexAnim.h"
#include "VERirezo/TextureManager.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using gfxtest::AllTraces;
using gfxtest::CountTraces;

const unsigned kCREATE = FILE_WRITE | FILE_CREATE | FILE_TRUNCATE;

class TextureManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    char pattern[] = "/tmp/texmgrXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    gFile->AddReadPath(m_Dir.c_str(), true);
    gFile->SetWritePath(m_Dir.c_str());

    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pRenderer = gfxtest::StartWindowedRenderer(64, 64);
    ASSERT_NE(nullptr, m_pRenderer);

    m_pManager = new EGameTextureManager();
    m_pApp->m_pGameTextureManager = m_pManager;
    HTEXTURE error = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 1, 1, 1, 0);
    m_idError = m_pManager->AddProceduralTexture(error, false, "ErrorTexture");
    m_pApp->m_idErrorTexture = m_idError;

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
    if (!m_Dir.empty()) system(("rm -rf " + m_Dir).c_str());
  }

  std::string Path(const std::string& name) const { return m_Dir + "/" + name; }

  // A DDS file of one colour per level, written with the engine's writer.
  void WriteDDS(const std::string& name, TEXTUREFORMAT format, unsigned width, unsigned height, unsigned levels,
                uint8_t value) {
    ETextureImage image;
    image.m_eFormat = format;
    image.m_dwWidth = width;
    image.m_dwHeight = height;
    image.m_dwLevels = levels;
    image.Allocate();
    for (std::vector<uint8_t>& s : image.m_aSurfaces) std::fill(s.begin(), s.end(), value);
    EFileWriter w(EWin32File::Open(Path(name).c_str(), kCREATE), kAUTOCLOSE_Yes);
    ASSERT_NE(nullptr, w.GetFile());
    WriteDDSImage(w, image);
  }

  void WriteText(const std::string& name, const std::string& text) {
    EFile* f = EWin32File::Open(Path(name).c_str(), kCREATE);
    ASSERT_NE(nullptr, f);
    f->Write(text.data(), (int)text.size());
    f->Close();
  }

  void WriteTga(const std::string& name, long width, long height, unsigned format, uint8_t value) {
    EBitmap bitmap;
    bitmap.Init(width, height, format, nullptr, false);
    memset(bitmap.Buffer(), value, (size_t)width * height * (bitmap.Depth() / 8));
    EFile* f = EWin32File::Open(Path(name).c_str(), kCREATE);
    ASSERT_NE(nullptr, f);
    ETGAFile tga;
    ASSERT_TRUE(tga.WriteImage(f, &bitmap));
    f->Close();
  }

  // The first byte of level 0 of a game texture's current frame.
  uint8_t FirstByte(unsigned id) {
    HTEXTURE h = m_pManager->GetTextureHandle(id);
    const uint8_t* p = static_cast<const uint8_t*>(m_pRenderer->LockTexture(h, 0, nullptr, true, (CUBEMAPFACE)-1, false));
    uint8_t b = p[0];
    m_pRenderer->UnlockTexture(h, 0, true, (CUBEMAPFACE)-1);
    return b;
  }

  unsigned Width(unsigned id) {
    unsigned w = 0, h = 0;
    m_pRenderer->GetTextureDimensions(m_pManager->GetTextureHandle(id), w, h);
    return w;
  }

  std::string m_Dir;
  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  EGameTextureManager* m_pManager = nullptr;
  unsigned m_idError = 0;
};

}  // namespace

TEST(TextureNameTest, NamesAreNormalised) {
  const char* cases[][2] = {
      {"/Proj/WorkResource/Textures/Wall_HF.tga", "textures\\wall_norm.dds"},
      {"WorkResource\\Textures\\Foo.TGA", "textures\\foo.dds"},
      {"textures/foo.dds", "textures\\foo.dds"},
      {"c:/x/TestResource/A/B.png", "a\\b.dds"},
      {"/leading/slash.atx", "leading\\slash.dds"},
      {"Fonts/Big.font", "fonts\\big.font"},
      {"noext", "noext"},
      {"a.tg", "a.tg"},
      {"ab_hf.dds", "ab_norm.dds"},
      {"_hf.dds", "_hf.dds"},
      {"workresource", ""},
  };
  char out[kMAX_TEXTURE_NAME];
  for (const auto& c : cases) {
    EGameTextureManager::fixTextureFilename(out, c[0]);
    EXPECT_STREQ(out, c[1]) << c[0];
  }
  // A name longer than the buffer is cut, never overrun.
  std::string longName(6000, 'a');
  EGameTextureManager::fixTextureFilename(out, longName.c_str());
  EXPECT_EQ(strlen(out), (size_t)kMAX_TEXTURE_NAME - 1);
}

TEST(TextureNameTest, VisualImportanceByName) {
  struct Case {
    const char* name;
    unsigned flags;
    int value;
  } cases[] = {
      {"textures\\wall.dds", 0, 0},
      {"textures\\cloth_ch2.dds", 0, 10},
      {"fx\\cobweb.dds", 0, 20},
      {"textures\\detail_rock.dds", 0, 30},
      {"water\\waves.dds", 0, 40},
      {"characters\\bob\\skin.dds", 0, 50},
      {"textures\\wall.dds", kGAMETEXTURE_LOCKED, 60},
      {"characters\\ruzi\\lightmaps\\x.dds", 0, 80},
      {"textures\\ui\\button_norm.dds", 0, 0x7FFFFFFF},
      {"procedural", kGAMETEXTURE_PROCEDURAL, 0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    EGameTexture texture;
    texture.m_szName = new char[strlen(c.name) + 1];
    strcpy(texture.m_szName, c.name);
    texture.m_dwFlags = c.flags;
    EXPECT_EQ(texture.GetVisualImportance(), c.value) << c.name;
  }
}

TEST_F(TextureManagerTest, OneTexturePerNormalisedName) {
  WriteDDS("textures/foo.dds", kTEXTUREFORMAT_8888, 8, 8, 4, 0x40);
  unsigned a = m_pManager->AddTexture("WorkResource\\Textures\\Foo.TGA", 0, nullptr);
  unsigned b = m_pManager->AddTexture("textures/foo.dds", 0, nullptr);
  EXPECT_NE(a, m_idError);
  EXPECT_EQ(a, b);
  EXPECT_NE(0u, m_pManager->GetTextureHandle(a));
  EXPECT_EQ(m_pManager->FindTextureByName("TEXTURES/FOO.dds"), m_pManager->GetTexture(a));
  EXPECT_EQ(m_pManager->FindTextureByHandle(m_pManager->GetTextureHandle(a)), m_pManager->GetTexture(a));
  EXPECT_STREQ(m_pManager->GetTexture(a)->m_szName, "textures\\foo.dds");
  EXPECT_EQ(m_pManager->GetTextureHandle(0), 0u);
  EXPECT_EQ(m_pManager->GetPaletteHandle(0), 0u);
  EXPECT_EQ(FirstByte(a), 0x40);
}

TEST_F(TextureManagerTest, FailuresGiveTheErrorTextureAndKeepNoName) {
  EXPECT_EQ(m_pManager->AddTexture("textures/missing.tga", 0, nullptr), m_idError);
  EXPECT_THAT(AllTraces(), HasSubstr("Couldn't find texture: textures\\missing.dds"));
  EXPECT_EQ(m_pManager->GetNumNames(), 0u);

  // A damaged file: tried again on the next request, once it is mended.
  WriteText("textures/bad.dds", "DDS not really");
  EXPECT_EQ(m_pManager->AddTexture("textures/bad.dds", 0, nullptr), m_idError);
  WriteDDS("textures/bad.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  EXPECT_NE(m_pManager->AddTexture("textures/bad.dds", 0, nullptr), m_idError);

  // An 8-bit bitmap cannot be resized to a power of two.
  EBitmap* bitmap = new EBitmap();
  bitmap->Init(100, 60, kTEXTUREFORMAT_L8, nullptr, false);
  EXPECT_EQ(m_pManager->AddTexture("textures/gray.dds", 0, bitmap), m_idError);
  EXPECT_THAT(AllTraces(), HasSubstr("Can't resize an 8-bit texture in registerBitmap"));
  EXPECT_EQ(m_pManager->FindTextureByName("textures/gray.dds"), nullptr);
}

TEST_F(TextureManagerTest, TgaSourcesArePowersOfTwoWithAlpha) {
  WriteTga("textures/photo.tga", 100, 60, kTEXTUREFORMAT_0888, 0x80);
  unsigned id = m_pManager->AddTexture("textures/photo.tga", 0, nullptr);
  ASSERT_NE(id, m_idError);
  HTEXTURE h = m_pManager->GetTextureHandle(id);
  unsigned w = 0, hh = 0;
  m_pRenderer->GetTextureDimensions(h, w, hh);
  EXPECT_EQ(w, 64u);
  EXPECT_EQ(hh, 32u);
  EXPECT_EQ(m_pRenderer->GetTextureLevelCount(h), 7u);
  const uint8_t* p = static_cast<const uint8_t*>(m_pRenderer->LockTexture(h, 0, nullptr, true, (CUBEMAPFACE)-1, false));
  bool allOpaque = true;
  for (unsigned i = 0; i < 64 * 32; ++i) allOpaque = allOpaque && p[i * 4 + 3] == 255 && p[i * 4] == 0x80;
  m_pRenderer->UnlockTexture(h, 0, true, (CUBEMAPFACE)-1);
  EXPECT_TRUE(allOpaque);

  // Lightmaps always come from their TGA source.
  WriteDDS("lightmaps/room_lightmap.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  WriteTga("lightmaps/room_lightmap.tga", 16, 16, kTEXTUREFORMAT_8888, 2);
  unsigned lm = m_pManager->AddTexture("lightmaps/room_lightmap.dds", 0, nullptr);
  EXPECT_EQ(Width(lm), 16u);
}

TEST_F(TextureManagerTest, ABitmapReplacesAKnownName) {
  WriteDDS("textures/foo.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  unsigned old = m_pManager->AddTexture("textures/foo.dds", 0, nullptr);
  EBitmap* bitmap = new EBitmap();
  bitmap->Init(8, 8, kTEXTUREFORMAT_8888, nullptr, false);
  unsigned fresh = m_pManager->AddTexture("textures/foo.dds", 0, bitmap);
  EXPECT_NE(fresh, old);
  EXPECT_EQ(m_pManager->GetTexture(old), nullptr);
  EXPECT_EQ(Width(fresh), 8u);
  EXPECT_EQ(m_pRenderer->GetTextureLevelCount(m_pManager->GetTextureHandle(fresh)), 1u);
}

TEST_F(TextureManagerTest, LockingRulesAfterStartUp) {
  WriteDDS("textures/a.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  WriteDDS("textures/b.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  unsigned locked = m_pManager->AddTexture("textures/a.dds", kGAMETEXTURE_LOCKED, nullptr);
  EXPECT_TRUE(m_pManager->GetTexture(locked)->GetLocked());
  unsigned level = m_pManager->AddTexture("textures/b.dds", 0, nullptr);
  m_pApp->m_bStartUpComplete = true;
  gfxtest::Traces().clear();
  EXPECT_EQ(m_pManager->AddTexture("textures/a.dds", kGAMETEXTURE_LOCKED, nullptr), locked);
  EXPECT_EQ(AllTraces(), "");
  EXPECT_EQ(m_pManager->AddTexture("textures/b.dds", kGAMETEXTURE_LOCKED, nullptr), level);
  EXPECT_THAT(AllTraces(),
              HasSubstr("Texture 'textures/b.dds' being changed to Locked after startup is complete. Operation not allowed"));
  EXPECT_FALSE(m_pManager->GetTexture(level)->GetLocked());

  WriteDDS("textures/c.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  unsigned late = m_pManager->AddTexture("textures/c.dds", kGAMETEXTURE_LOCKED, nullptr);
  EXPECT_THAT(AllTraces(), HasSubstr("Texture 'textures/c.dds' added as common after startup is complete"));
  EXPECT_FALSE(m_pManager->GetTexture(late)->GetLocked());

  // Production loading refuses textures asked for once a level runs.
  m_pApp->GetPrefs().m_bProductionLoading = true;
  m_pApp->m_iLevelLoadedState = 3;
  strcpy(m_pApp->m_szFullCurrentLevelName, "levels/l1");
  WriteDDS("textures/d.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  EXPECT_EQ(m_pManager->AddTexture("textures/d.dds", 0, nullptr), m_idError);
  EXPECT_THAT(AllTraces(), HasSubstr("Texture preload error: 'textures\\d.dds' <levels/l1>"));
  m_pApp->m_DebugHooks.MakingPackfiles = true;
  EXPECT_NE(m_pManager->AddTexture("textures/d.dds", 0, nullptr), m_idError);
}

TEST_F(TextureManagerTest, PurgeFreesExactlyTheLevelTextures) {
  WriteDDS("textures/common.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  WriteDDS("textures/level1.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  WriteDDS("textures/level2.dds", kTEXTUREFORMAT_DXT1, 8, 8, 2, 1);
  unsigned common = m_pManager->AddTexture("textures/common.dds", kGAMETEXTURE_LOCKED, nullptr);
  unsigned level1 = m_pManager->AddTexture("textures/level1.dds", 0, nullptr);
  unsigned level2 = m_pManager->AddTexture("textures/level2.dds", 0, nullptr);
  unsigned keep = m_pManager->AddProceduralTexture(m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 2, 2, 1, 0),
                                                   false, "Exponent");
  unsigned scratch = m_pManager->AddProceduralTexture(
      m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 2, 2, 1, 0), true, nullptr);
  EXPECT_STREQ(m_pManager->GetTexture(scratch)->m_szName, "Procedural");
  int used = m_pRenderer->StatsGetUsedTextures();

  m_pManager->PurgeTextures(true);
  EXPECT_NE(m_pManager->GetTexture(common), nullptr);
  EXPECT_NE(m_pManager->GetTexture(keep), nullptr);
  EXPECT_NE(m_pManager->GetTexture(m_idError), nullptr);
  EXPECT_EQ(m_pManager->GetTexture(level1), nullptr);
  EXPECT_EQ(m_pManager->GetTexture(level2), nullptr);
  EXPECT_EQ(m_pManager->GetTexture(scratch), nullptr);
  EXPECT_EQ(m_pRenderer->StatsGetUsedTextures(), used - 3);
  EXPECT_EQ(m_pManager->FindTextureByName("textures/level1.dds"), nullptr);

  // A later request loads the level texture again.
  unsigned again = m_pManager->AddTexture("textures/level1.dds", 0, nullptr);
  EXPECT_NE(again, m_idError);
  m_pManager->PurgeTextures(false);
  EXPECT_EQ(m_pManager->GetTexture(common), nullptr);
  EXPECT_NE(m_pManager->GetTexture(keep), nullptr);
}

TEST_F(TextureManagerTest, TrapFiresOnce) {
  WriteDDS("textures/trap_me.dds", kTEXTUREFORMAT_8888, 4, 4, 1, 1);
  m_pManager->SetTrapTextureString("trap_me");
  m_pManager->AddTexture("Textures/Trap_Me.tga", 0, nullptr);
  EXPECT_EQ(CountTraces("*** Trap texture string hit ***"), 1);
  EXPECT_THAT(AllTraces(), HasSubstr("Texture filename: Textures/Trap_Me.tga"));
  EXPECT_THAT(AllTraces(), HasSubstr("Scene context: Unknown"));
  m_pManager->CheckTrapTextureString("textures/trap_me.dds", "scene");
  m_pManager->CreateEmptyTexture("textures/trap_me_too.dds", 0);
  EXPECT_EQ(CountTraces("*** Trap texture string hit ***"), 1);
}

TEST_F(TextureManagerTest, AnimatedTexturesFollowTheGameClock) {
  for (int i = 1; i <= 3; ++i) WriteDDS("textures/fx/fire0" + std::to_string(i) + ".dds", kTEXTUREFORMAT_8888, 4, 4, 1, (uint8_t)i);
  WriteText("textures/fx/fire.atx",
            "numframes 3\ntexture fire01.tga\ntexture fire02\ntexture fire03.dds\nframerate 10\nplaymode loop\n");
  unsigned id = m_pManager->AddTexture("textures/fx/fire.dds", 0, nullptr);
  ASSERT_NE(id, m_idError) << AllTraces();
  EGameTexture* texture = m_pManager->GetTexture(id);
  ASSERT_EQ(texture->GetNumFrames(), 3);
  EXPECT_STREQ(texture->m_szName, "textures\\fx\\fire.dds");

  const struct {
    double seconds;
    uint8_t frameByte;
  } steps[] = {{0.0, 1}, {0.1, 2}, {0.25, 3}, {0.3, 1}, {0.45, 2}};
  for (const auto& s : steps) {
    m_pApp->m_dSimElapsedTime = s.seconds;
    m_pManager->AnimateTextures();
    EXPECT_EQ(FirstByte(id), s.frameByte) << s.seconds;
  }

  // Real time plays a copy; the texture's own record stays.
  m_pApp->m_dRealElapsedTime = 0.2;
  EXPECT_EQ(m_pManager->AnimateTextureUnaffectedTime(id), texture->m_phTextures[2]);
  EXPECT_EQ(m_pManager->GetTextureHandle(id), texture->m_phTextures[1]);

  texture->SetPlayMode(kANIMTEXMODE_LOOPONCE, 1000.0f, -1);
  for (double t : {1.0, 1.1, 1.2, 1.3, 5.0}) {
    m_pApp->m_dSimElapsedTime = t;
    m_pManager->AnimateTextures();
  }
  EXPECT_EQ(texture->m_pTexAnimInfo->m_eMode, kANIMTEXMODE_STOP);
  EXPECT_EQ(FirstByte(id), 3);

  // A frame that is missing fails the whole texture and frees what loaded.
  int used = m_pRenderer->StatsGetUsedTextures();
  WriteText("textures/fx/smoke.atx", "numframes 2\ntexture fire01\ntexture nothere\n");
  EXPECT_EQ(m_pManager->AddTexture("textures/fx/smoke.dds", 0, nullptr), m_idError);
  EXPECT_EQ(m_pRenderer->StatsGetUsedTextures(), used);
  EXPECT_EQ(m_pManager->FindTextureByName("textures/fx/smoke.dds"), nullptr);
}

TEST_F(TextureManagerTest, PacksCarryLanguageVariants) {
  WriteDDS("textures/sign.dds", kTEXTUREFORMAT_8888, 4, 4, 3, 0x11);
  WriteDDS("textures/sign_french.dds", kTEXTUREFORMAT_8888, 4, 4, 3, 0x22);
  WriteDDS("textures/wall.dds", kTEXTUREFORMAT_DXT1, 8, 8, 4, 0x33);
  for (int i = 1; i <= 2; ++i) WriteDDS("textures/anim" + std::to_string(i) + ".dds", kTEXTUREFORMAT_L8, 4, 4, 1, (uint8_t)(0x40 + i));
  WriteText("textures/anim.atx", "numframes 2\ntexture anim1\ntexture anim2\nframerate 5\nplaymode oscillate\n");
  m_pApp->m_DebugHooks.MakingPackfiles = true;
  ASSERT_NE(m_pManager->AddTexture("textures/sign.dds", 0, nullptr), m_idError);
  ASSERT_NE(m_pManager->AddTexture("textures/wall.dds", 0, nullptr), m_idError);
  ASSERT_NE(m_pManager->AddTexture("textures/anim.dds", 0, nullptr), m_idError);
  ASSERT_EQ(m_pManager->m_aFrenchTextures.Num(), 1);
  EXPECT_STREQ(*m_pManager->m_aFrenchTextures[0], "textures\\sign.dds");

  for (unsigned short version : {1, 0}) {
    SCOPED_TRACE(version);
    m_pManager->WriteAllTexturesToPackFile(false, version);
    EXPECT_THAT(AllTraces(), HasSubstr("Wrote 3 textures to texture pack file 'menus.tpf'"));
    EXPECT_EQ(m_pManager->m_aFrenchTextures.Num(), 0);
    mkdir(Path("textures/pcpackfiles").c_str(), 0700);
    ASSERT_EQ(0, rename(Path("menus.tpf").c_str(), Path("textures/pcpackfiles/menus.tpf").c_str()));
    std::vector<uint8_t> head(6);
    FILE* f = fopen(Path("textures/pcpackfiles/menus.tpf").c_str(), "rb");
    ASSERT_EQ(fread(head.data(), 1, 6, f), 6u);
    fclose(f);
    if (version) EXPECT_EQ(head, (std::vector<uint8_t>{0xFD, 0xFD, 1, 0, 0xFF, 0xFF}));
    else EXPECT_EQ(head[0] | head[1] << 8, 0xFFFF);

    for (EGameLanguage language : {kLANGUAGE_English, kLANGUAGE_French, kLANGUAGE_German}) {
      SCOPED_TRACE(language);
      m_pManager->PurgeTextures(true);
      m_pApp->SetLanguage(language);
      int used = m_pRenderer->StatsGetUsedTextures();
      ASSERT_TRUE(m_pManager->ReadPackFile("menus", false));
      EGameTexture* sign = m_pManager->FindTextureByName("textures/sign.dds");
      ASSERT_NE(sign, nullptr);
      EXPECT_EQ(FirstByte(sign->m_id), language == kLANGUAGE_French ? 0x22 : 0x11);
      EGameTexture* anim = m_pManager->FindTextureByName("textures/anim.dds");
      ASSERT_NE(anim, nullptr);
      ASSERT_NE(anim->m_pTexAnimInfo, nullptr);
      EXPECT_EQ(anim->m_pTexAnimInfo->m_eMode, kANIMTEXMODE_OSCILLATE);
      EXPECT_EQ(anim->m_pTexAnimInfo->m_fFrameRate, 5.0f);
      EXPECT_EQ(m_pRenderer->GetTextureFormat(anim->m_phTextures[1]), kTEXTUREFORMAT_L8);
      EXPECT_NE(m_pManager->FindTextureByName("textures/wall.dds"), nullptr);
      EXPECT_EQ(m_pRenderer->StatsGetUsedTextures(), used + 4);  // no discarded copy left behind
      // Reading it again changes nothing.
      unsigned signId = sign->m_id;
      ASSERT_TRUE(m_pManager->ReadPackFile("menus", false));
      EXPECT_EQ(m_pManager->FindTextureByName("textures/sign.dds")->m_id, signId);
      EXPECT_EQ(m_pRenderer->StatsGetUsedTextures(), used + 4);
    }
    m_pApp->SetLanguage(kLANGUAGE_English);
    remove(Path("textures/pcpackfiles/menus.tpf").c_str());
    m_pManager->PurgeTextures(true);
    ASSERT_NE(m_pManager->AddTexture("textures/sign.dds", 0, nullptr), m_idError);
    ASSERT_NE(m_pManager->AddTexture("textures/wall.dds", 0, nullptr), m_idError);
    ASSERT_NE(m_pManager->AddTexture("textures/anim.dds", 0, nullptr), m_idError);
  }
  EXPECT_FALSE(m_pManager->ReadPackFile("nothere", false));
  EXPECT_THAT(AllTraces(), HasSubstr("Could not open texture packfile 'nothere'"));
}

TEST_F(TextureManagerTest, DamagedPacksStopCleanly) {
  WriteDDS("textures/a.dds", kTEXTUREFORMAT_8888, 16, 16, 5, 1);
  WriteDDS("textures/b.dds", kTEXTUREFORMAT_8888, 16, 16, 5, 2);
  m_pManager->AddTexture("textures/a.dds", 0, nullptr);
  m_pManager->AddTexture("textures/b.dds", 0, nullptr);
  m_pManager->WriteAllTexturesToPackFile(false, 1);
  FILE* f = fopen(Path("menus.tpf").c_str(), "rb");
  std::vector<uint8_t> pack;
  int c;
  while ((c = fgetc(f)) != EOF) pack.push_back((uint8_t)c);
  fclose(f);
  mkdir(Path("textures/pcpackfiles").c_str(), 0700);
  m_pManager->PurgeTextures(true);
  int used = m_pRenderer->StatsGetUsedTextures();

  struct Case {
    const char* what;
    size_t at;
    int value;  // -1: cut the file here
  } cases[] = {
      {"cut in the first record", 200, -1},
      {"cut in the second record", pack.size() - 10, -1},
      {"bad cookie", 6, 0x00},
      {"wrong entry size", 10, 0x7F},
      {"bad record format", 6 + 8 + 40 + 2 + 15 + 4, 0x44},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::vector<uint8_t> bad = pack;
    if (k.value < 0) bad.resize(k.at);
    else bad[k.at] = (uint8_t)k.value;
    FILE* out = fopen(Path("textures/pcpackfiles/bad.tpf").c_str(), "wb");
    fwrite(bad.data(), 1, bad.size(), out);
    fclose(out);
    gfxtest::Traces().clear();
    EXPECT_TRUE(m_pManager->ReadPackFile("bad", false));
    EXPECT_THAT(AllTraces(), HasSubstr("Damaged texture pack entry"));
    m_pManager->PurgeTextures(true);
    EXPECT_EQ(m_pRenderer->StatsGetUsedTextures(), used);
  }
}

TEST_F(TextureManagerTest, ReductionWalksDownTheSizes) {
  WriteDDS("textures/big.dds", kTEXTUREFORMAT_8888, 512, 512, 10, 1);
  WriteDDS("textures/strip.dds", kTEXTUREFORMAT_8888, 1024, 32, 11, 1);
  WriteDDS("textures/ui/button.dds", kTEXTUREFORMAT_8888, 256, 256, 9, 1);
  WriteDDS("textures/flat.dds", kTEXTUREFORMAT_8888, 128, 128, 1, 1);
  unsigned big = m_pManager->AddTexture("textures/big.dds", 0, nullptr);
  unsigned strip = m_pManager->AddTexture("textures/strip.dds", 0, nullptr);
  unsigned button = m_pManager->AddTexture("textures/ui/button.dds", 0, nullptr);
  unsigned flat = m_pManager->AddTexture("textures/flat.dds", 0, nullptr);

  // Switched off, or with memory to spare, nothing happens.
  m_pManager->AutoReduceTextures(0x100000);
  m_pApp->m_DebugHooks.AutoReduceTextures = true;
  m_pManager->AutoReduceTextures(0x100000);
  EXPECT_EQ(m_pApp->m_dwTextureReductions, 0u);
  EXPECT_EQ(Width(big), 512u);

  m_pApp->m_DebugHooks.DebugTextureReduction = true;
  m_pApp->m_DebugHooks.AutoReduceBreak = false;
  m_pManager->AutoReduceTextures(0);
  EXPECT_EQ(Width(big), 32u);
  EXPECT_EQ(Width(strip), 1024u);
  EXPECT_EQ(Width(button), 256u);
  EXPECT_EQ(Width(flat), 128u);  // one level: cannot be reduced
  EXPECT_EQ(m_pManager->GetTexture(flat)->GetVisualImportance(), 0x7FFFFFFF);
  EXPECT_EQ(m_pApp->m_dwTextureReductions, 4u);
  EXPECT_EQ(m_pManager->GetTexture(big)->m_dwReducedMemory, 512u * 512 - 32 * 32);
  EXPECT_EQ(m_pManager->GetTotalReducedMemory(), 512u * 512 - 32 * 32);
  EXPECT_EQ(m_pManager->GetTotalReducedCount(), 1u);
  EXPECT_EQ(CountTraces("Out of memory, reducing texture at run time: textures\\big.dds"), 4);
  EXPECT_EQ(CountTraces("Out of memory, reducing texture at run time: textures\\flat.dds"), 1);

  gfxtest::Traces().clear();
  m_pManager->DumpTextureInfo(true);
  std::string dump = AllTraces();
  EXPECT_THAT(dump, HasSubstr("Texture size 32K, density unknown, format 8888 (1024x32): textures\\strip.dds"));
  EXPECT_LT(dump.find("button.dds"), dump.find("strip.dds"));
  EXPECT_LT(dump.find("strip.dds"), dump.find("flat.dds"));
  EXPECT_LT(dump.find("flat.dds"), dump.find("big.dds"));
  EXPECT_THAT(dump, HasSubstr("Total game texture memory = "));
}

TEST(TextureManagerStartUp, RenderingStartsTheManagerWithItsErrorTexture) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  PCGameApp app;
  gGameApp = &app;
  ASSERT_TRUE(app.InitRender(nullptr));
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  EGameTextureManager* manager = app.GetGameTextureManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(GetGameTextureManager(), manager);
  ASSERT_NE(app.m_idErrorTexture, 0u);
  ASSERT_NE(app.m_idExponentTexture, 0u);
  EXPECT_STREQ(manager->GetTexture(app.m_idErrorTexture)->m_szName, "ErrorTexture");
  EXPECT_TRUE(manager->GetTexture(app.m_idExponentTexture)->GetProcedural());
  EXPECT_EQ(manager->AddTexture("textures/not_anywhere.dds", 0, nullptr), app.m_idErrorTexture);
  // The exponent texture is brightest in the middle.
  HTEXTURE h = manager->GetTextureHandle(app.m_idExponentTexture);
  const uint8_t* p = static_cast<const uint8_t*>(app.m_pRenderer->LockTexture(h, 0, nullptr, true, (CUBEMAPFACE)-1, false));
  EXPECT_EQ(p[128 * 256 + 128], 254);
  EXPECT_LT(p[0], 2);
  app.m_pRenderer->UnlockTexture(h, 0, true, (CUBEMAPFACE)-1);
  manager->PurgeTextures(true);
  EXPECT_NE(manager->GetTexture(app.m_idErrorTexture), nullptr);
  app.ShutdownRender();
  EXPECT_EQ(app.GetGameTextureManager(), nullptr);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  gGameApp = nullptr;
}
