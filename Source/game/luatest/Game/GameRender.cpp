// The application's render set-up and render passes.
#include "Game/GameRender.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "Game/GameShaders.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Font.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/Text3D.h"
#include "VERirezo/TextureManager.h"

bool GameApp::InitRender(void* data) {
  EASSERT(m_pRenderer == NULL);
  m_pRenderer = new ERenderer();

  // The display settings file; when missing every setting keeps its value.
  if (FILE* file = OpenUserSettingsFile("DisplaySettings.ini", '\\', "r")) {
    m_GraphicsSettings.ReadSettingsFromFile(file);
    fclose(file);
  }
  EDisplayOptions& options = m_pRenderer->m_DisplayOptions;
  int width = 0, height = 0;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szScreenWidth, width) &&
      m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szScreenHeight, height) && width > 0 && height > 0) {
    options.m_dwWidth = (unsigned)width;
    options.m_dwHeight = (unsigned)height;
  }
  bool fullScreen = false;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szFullScreen, fullScreen)) options.m_bFullScreen = fullScreen;
  float gamma = 1.0f;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szGammaCorrection, gamma)) options.m_fGamma = gamma;

  if (!m_pRenderer->Init(data, GetIdealRendererFlags())) {
    delete m_pRenderer;
    m_pRenderer = nullptr;
    return false;
  }

  // The game texture manager, with the procedural textures it hands out:
  // "ErrorTexture" for every texture that fails to load.
  m_pGameTextureManager = new EGameTextureManager();
  m_idExponentTexture = m_pGameTextureManager->AddProceduralTexture(createExponentTexture(), false, "Exponent");
  m_idErrorTexture = m_pGameTextureManager->AddProceduralTexture(createErrorTexture(), false, "ErrorTexture");
  // The palette of palettised normal maps.
  m_hBumpmapPalette = m_pGameTextureManager->CreateBumpmapPalette();
  // The 2D sprites and 3D text, and the fonts that draw through them.
  m_pSpriteManager = new ESpriteManager();
  m_pText3DManager = new EText3DManager();
  LoadStartUpFonts();
  return true;
}

// 1 x 1 magenta.
unsigned GameApp::createErrorTexture() {
  HTEXTURE hTexture = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_8888, 1, 1, 1, 0);
  if (!hTexture) return 0;
  uint32_t magenta = 0xFFFF00FFu;
  memcpy(m_pRenderer->LockTexture(hTexture, 0, nullptr, false, (CUBEMAPFACE)-1, true), &magenta, 4);
  m_pRenderer->UnlockTexture(hTexture, 0, false, (CUBEMAPFACE)-1);
  return hTexture;
}

// A Gaussian spot, 256 x 256 luminance with its full mip chain.
unsigned GameApp::createExponentTexture() {
  HTEXTURE hTexture = m_pRenderer->CreateBitmapTexture(kTEXTUREFORMAT_L8, 256, 256, 0, 0);
  if (!hTexture) return 0;
  uint8_t* p = static_cast<uint8_t*>(m_pRenderer->LockTexture(hTexture, 0, nullptr, false, (CUBEMAPFACE)-1, true));
  for (int row = 0; row < 256; ++row) {
    float a = ((2.0f * row + 1.0f) / 256.0f - 1.0f) * 2.0f;
    for (int column = 0; column < 256; ++column) {
      float c = ((2.0f * column + 1.0f) / 256.0f - 1.0f) * 2.0f;
      float intensity = expf(-a * a) * expf(-c * c);
      EASSERT(intensity >= 0.0f && intensity <= 1.0f);
      p[row * 256 + column] = (uint8_t)(intensity * 255.0f);
    }
  }
  m_pRenderer->UnlockTexture(hTexture, 0, false, (CUBEMAPFACE)-1);
  m_pRenderer->FilterTexture(hTexture, true);
  return hTexture;
}

unsigned GameApp::GetIdealRendererFlags() {
  bool vsync = true, fsaa = false;
  m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szVSync, vsync);
  m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szFSAA, fsaa);
  unsigned flags = 0;
  if (vsync) flags |= kRENDERER_VSYNC;
  if (fsaa) flags |= kRENDERER_ANTIALIAS;
  return flags;
}

bool GameApp::InitShaders() {
  if (!m_pRenderer) return true;
  if (!m_pGameShaders) m_pGameShaders = new EGameShaders(m_pRenderer);
  m_Timing.StartSubTimer("InitShaders", 0);
  m_pGameShaders->InitVertexShaders();
  m_pGameShaders->InitPixelShaders();
  m_Timing.StopSubTimer("InitShaders");
  g_ErrorManager.TraceMessagef("Shader assembly time: %.2f seconds", m_Timing.GetMSTime("InitShaders") * 0.001f);
  return true;
}

void GameApp::ShutdownRender() {
  DeleteFonts();
  delete m_pSpriteManager;
  m_pSpriteManager = nullptr;
  delete m_pText3DManager;
  m_pText3DManager = nullptr;
  ReleaseShaderPasses();
  if (m_pGameShaders) {
    m_pGameShaders->ShutdownVertexShaders();
    m_pGameShaders->ShutdownPixelShaders();
    delete m_pGameShaders;
    m_pGameShaders = nullptr;
  }
  delete m_pGameTextureManager;
  m_pGameTextureManager = nullptr;
  m_idExponentTexture = m_idErrorTexture = 0;
  m_hBumpmapPalette = 0;  // freed with the renderer's pools
  if (!m_pRenderer) return;
  m_pRenderer->Shutdown();
  delete m_pRenderer;
  m_pRenderer = nullptr;
}

void GameApp::RenderSceneOverlays() {}

void GameApp::RenderSpriteOverlays() {
  if (m_pSpriteManager) m_pSpriteManager->DrawAll();
}

uint32_t NormalVectorToRGBA(const EVec3& v) {
  EASSERT(v.x >= -1.0f && v.x <= 1.0f && v.y >= -1.0f && v.y <= 1.0f && v.z >= -1.0f && v.z <= 1.0f);
  auto channel = [](float c) { return (uint32_t)floorf((c + 1.0f) * 127.5f + 0.5f) & 0xFF; };
  return 0xFF000000u | channel(v.x) << 16 | channel(v.y) << 8 | channel(v.z);
}
