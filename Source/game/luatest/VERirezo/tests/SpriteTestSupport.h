// A renderer on the test display with the application's sprite and 3D-text
// managers and a game texture manager, for the sprite, text and 3D-text
// tests. Skips without a display.
#pragma once

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWGraphics/tests/WindowedRenderer.h"
#include "TWUtil/EFileManager.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/Text3D.h"
#include "VERirezo/TextureManager.h"

namespace spritetest {

// One draw of the sprite manager, read from the vertex buffer it filled.
struct Vertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

class SpriteFixture : public ::testing::Test {
protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
    char pattern[] = "/tmp/spritesXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    gFile->AddReadPath(m_Dir.c_str(), true);
    m_pApp = new PCGameApp();
    gGameApp = m_pApp;
    m_pRenderer = gfxtest::StartWindowedRenderer(640, 480);
    ASSERT_NE(nullptr, m_pRenderer);
    m_pApp->m_pGameTextureManager = new EGameTextureManager();
    m_pApp->m_pSpriteManager = new ESpriteManager();
    m_pApp->m_pText3DManager = new EText3DManager();
    m_pSprites = m_pApp->m_pSpriteManager;
    m_pRenderer->BeginRender();
    gfxtest::StartTraces();
  }

  void TearDown() override {
    gfxtest::StopTraces();
    if (m_pApp) {
      m_pApp->DeleteFonts();
      delete m_pApp->m_pSpriteManager;
      delete m_pApp->m_pText3DManager;
      delete m_pApp->m_pGameTextureManager;
      m_pApp->m_pSpriteManager = nullptr;
      m_pApp->m_pText3DManager = nullptr;
      m_pApp->m_pGameTextureManager = nullptr;
    }
    GameApp::ReleaseShaderPasses();
    if (m_pRenderer) {
      m_pRenderer->EndRender();
      m_pRenderer->Shutdown();
      delete m_pRenderer;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gGameApp = nullptr;
    delete m_pApp;
    if (!m_Dir.empty()) system(("rm -rf " + m_Dir).c_str());
  }

  // A w x h texture of one A8R8G8B8 colour.
  HTEXTURE Texture(unsigned w, unsigned h, uint32_t colour = 0xFFFFFFFFu) {
    HTEXTURE t = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, w, h, 1, 0);
    uint32_t* p = static_cast<uint32_t*>(m_pRenderer->LockTexture(t, 0, nullptr, false, (CUBEMAPFACE)-1, true));
    for (unsigned i = 0; i < w * h; ++i) p[i] = colour;
    m_pRenderer->UnlockTexture(t, 0, false, (CUBEMAPFACE)-1);
    return t;
  }

  // The vertices the last PreprocessAll wrote.
  std::vector<Vertex> Vertices() {
    const int n = m_pSprites->GetSortedCount() * 6;
    std::vector<Vertex> out((size_t)n);
    if (!n) return out;
    const uint32_t hVB = m_pSprites->GetVertexBuffer(m_pSprites->GetCurrentBuffer());
    const Vertex* p = static_cast<const Vertex*>(m_pRenderer->LockVertexBuffer(hVB, (unsigned)n, 0, kLOCKFLAG_READONLY));
    std::copy(p, p + n, out.begin());
    m_pRenderer->UnlockVertexBuffer(hVB);
    return out;
  }

  const ESprite* Sorted(int i) {
    return m_pSprites->GetSpriteArray()->ElementGet(m_pSprites->GetSortList()[i]);
  }

  unsigned Draws() {
    const unsigned before = m_pRenderer->m_FrameStats.m_dwRenderBatches;
    m_pSprites->DrawAll();
    return m_pRenderer->m_FrameStats.m_dwRenderBatches - before;
  }

  std::string m_Dir;
  PCGameApp* m_pApp = nullptr;
  ERenderer* m_pRenderer = nullptr;
  ESpriteManager* m_pSprites = nullptr;
};

}  // namespace spritetest
