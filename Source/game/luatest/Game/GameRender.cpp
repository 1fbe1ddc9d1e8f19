// The application's render set-up and render passes.
#include <cstdio>

#include "Game/GameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"

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
  return true;
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

void GameApp::ShutdownRender() {
  if (!m_pRenderer) return;
  m_pRenderer->Shutdown();
  delete m_pRenderer;
  m_pRenderer = nullptr;
}

void GameApp::RenderSceneOverlays() {}

void GameApp::RenderSpriteOverlays() {}
