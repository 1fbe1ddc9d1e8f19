// The model-fragment pool and its lightmap palettisation.
#include <gtest/gtest.h>
#include <SDL/SDL.h>

#include <cstdlib>
#include <vector>

#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TextureManager.h"

TEST(ModelFragPool, HoldsExactlyItsSizeThenStops) {
  EXPECT_STREQ("Model Frags", EModelFragManager::GetModelFragArray().GetName());
  const int iBefore = EModelFragManager::GetActiveCount();
  std::vector<EModelFrag*> frags;
  for (int i = iBefore; i < EModelFragManager::kMAX_MODEL_FRAGS; ++i) frags.push_back(EModelFragManager::ModelFragNew());
  EXPECT_EQ(2252, EModelFragManager::GetActiveCount());
  EModelFrag* last = frags.back();
  EXPECT_EQ(-1, last->m_iMonitorChannel);
  EXPECT_EQ(1.0f, last->m_fTexcoordScale);
  EXPECT_EQ(1.0f, last->m_vDetailScale.x);
  EXPECT_EQ(nullptr, last->m_pBlinnInfo);
  last->SetSwitchLightName(nullptr);
  EXPECT_EQ(nullptr, last->GetSwitchLightName());
  last->SetSwitchLightName("lamp01");
  EXPECT_STREQ("lamp01", last->GetSwitchLightName());
  last->m_pAnimInfo = new EModelAnimInfo();
  last->m_pAnimInfo->m_pJointPalette = new uint16_t[3];
  last->m_pBlinnInfo = new EModelBlinnInfo();
  EXPECT_EQ(8.0f, last->m_pBlinnInfo->m_fSpecularPower);
  EXPECT_DEATH(
      {
        EErrorManager::SetErrorStrings("Error", "%s(%d): %s", "%s");
        EModelFragManager::ModelFragNew();
      },
      "Exceeded maximum number of model fragments");
  for (EModelFrag* f : frags) EModelFragManager::ModelFragDelete(f);
  EXPECT_EQ(iBefore, EModelFragManager::GetActiveCount());
  EBoneMaxWeight w;
  EXPECT_EQ(-1, w.m_iPaletteIndex);
}

class ModelFragLightmaps : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pRenderer = new ERenderer();
    m_pRenderer->m_DisplayOptions.m_dwWidth = 64;
    m_pRenderer->m_DisplayOptions.m_dwHeight = 64;
    m_pRenderer->m_DisplayOptions.m_bFullScreen = false;
    m_pRenderer->m_DisplayOptions.m_fGamma = 1.0f;
    ASSERT_TRUE(m_pRenderer->Init(nullptr, 0));
    SDL_WM_GrabInput(SDL_GRAB_OFF);
    m_pManager = new EGameTextureManager();
    m_pApp->m_pGameTextureManager = m_pManager;
  }
  void TearDown() override {
    for (EModelFrag* f : m_Frags) EModelFragManager::ModelFragDelete(f);
    delete m_pManager;
    if (m_pApp) m_pApp->m_pGameTextureManager = nullptr;
    if (m_pRenderer) {
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gGameApp = nullptr;
    delete m_pApp;
  }
  EModelFrag* NewFrag(HTEXTURE hLightmap) {
    EModelFrag* f = EModelFragManager::ModelFragNew();
    f->m_ahLightmap[0] = hLightmap;
    m_Frags.push_back(f);
    return f;
  }
  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  EGameTextureManager* m_pManager = nullptr;
  std::vector<EModelFrag*> m_Frags;
};

TEST_F(ModelFragLightmaps, SharedLightmapConvertsOnce) {
  HTEXTURE hShared = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 32, 32, 1, 0);
  m_pManager->AddProceduralTexture(hShared, true, "lm");
  HTEXTURE hOther = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 32, 32, 1, 0);
  HTEXTURE hPaletted = 0;
  HPALETTE hPalette0 = 0;
  ASSERT_TRUE(m_pRenderer->PalettizeTexture(hOther, hPaletted, hPalette0));
  EModelFrag* a = NewFrag(hShared);
  EModelFrag* plain = NewFrag(0);
  EModelFrag* b = NewFrag(hShared);
  EModelFrag* done = NewFrag(hPaletted);
  EModelFragManager::PalettizeLightmaps();
  EXPECT_NE(hShared, a->m_ahLightmap[0]);
  EXPECT_NE(0u, a->m_ahLightmap[0]);
  EXPECT_NE(0u, a->m_ahLightmapPalette[0]);
  EXPECT_EQ(a->m_ahLightmap[0], b->m_ahLightmap[0]);
  EXPECT_EQ(a->m_ahLightmapPalette[0], b->m_ahLightmapPalette[0]);
  EXPECT_EQ(0u, plain->m_ahLightmap[0]);
  EXPECT_EQ(hPaletted, done->m_ahLightmap[0]) << "other formats stay";
  EXPECT_EQ(nullptr, m_pManager->FindTextureByHandle(hShared));
  EGameTexture* made = m_pManager->FindTextureByHandle(a->m_ahLightmap[0]);
  ASSERT_NE(nullptr, made);
  ASSERT_NE(nullptr, made->m_phPalettes);
  EXPECT_EQ(a->m_ahLightmapPalette[0], made->m_phPalettes[0]);
  m_pRenderer->DeleteTexture(hOther, true);
}
