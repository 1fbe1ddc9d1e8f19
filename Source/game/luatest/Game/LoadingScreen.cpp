#include "Game/LoadingScreen.h"

#include <cmath>
#include <cstdio>

#include "Game/GameApp.h"
#include "Game/GameShaders.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Font.h"
#include "VERirezo/Scene.h"
#include "VERirezo/Sprite.h"

ELoadingScreen* ELoadingScreen::m_pLoadingScreen = nullptr;
bool ELoadingScreen::m_bLoadscreenRunning = false;
float ELoadingScreen::sm_fTextTime = 0.0f;

ELoadingScreen::ELoadingScreen() : m_pDomain(nullptr) {
  // Opaque white over an opaque black shadow and outline: the text must
  // stand out against whatever picture the level left behind.
  m_vTextColor = EVec4(1.0f, 1.0f, 1.0f, 1.0f);
  m_vShadowColor = EVec4(0.0f, 0.0f, 0.0f, 1.0f);
  m_vPulseColorA = EVec4(0.0f, 0.0f, 0.0f, 1.0f);
  m_vPulseColorB = EVec4(0.0f, 0.0f, 0.0f, 1.0f);
  if (gGameApp && gGameApp->GetSceneManager()) {
    if (EDomain* pRoot = gGameApp->GetSceneManager()->GetDefaultSceneRootDomain())
      m_pDomain = pRoot->CreateChildDomain("LoadingScreenDomain");
  }
  EGameShaders* pShaders = gGameApp ? gGameApp->GetGameShaders() : nullptr;
  const bool bWipes = pShaders && pShaders->GetPixelShader(kGPS_ScreenWipeAdd) &&
                      pShaders->GetPixelShader(kGPS_ScreenWipeSub);
  // Missing shader files are the data's fault: the one-shot text does not
  // need them, so the game goes on.
  if (!bWipes)
    g_ErrorManager.TraceMessagef(TT_Warning, "%s",
                                 "gGameApp->m_hPixelShaderWipeAdd && gGameApp->m_hPixelShaderWipeSub");
  const char* szText = gGameApp ? gGameApp->LookupLocalizedString("/GLZJ005TO/") : "";
  snprintf(m_szText, sizeof(m_szText), "%s", szText ? szText : "");
}

ELoadingScreen::~ELoadingScreen() {}

bool ELoadingScreen::InitLoadingScreen() {
  if (!m_pLoadingScreen) m_pLoadingScreen = new ELoadingScreen();
  return true;
}

bool ELoadingScreen::DestroyLoadingScreen() {
  delete m_pLoadingScreen;
  m_pLoadingScreen = nullptr;
  return true;
}

void ELoadingScreen::DisplayLoadingScreen() { STUBBED("Need multithreaded GL"); }

void ELoadingScreen::HideLoadingScreen() { STUBBED("Need multithreaded GL"); }

void ELoadingScreen::DrawLoadingText(float dt) {
  sm_fTextTime += dt;
  EFont* pFont = gGameApp ? gGameApp->GetFont((unsigned)gGameApp->m_iMainFont) : nullptr;
  if (!pFont) return;
  const unsigned kCENTRED = 8;
  const EVec2 scale(1.0f, 1.0f);
  pFont->DisplayText2(320.0f, 430.0f, m_szText, kCENTRED, &m_vTextColor, nullptr, &scale, 6);
  for (int y = 431; y <= 435; ++y)
    pFont->DisplayText2(320.0f, (float)y, m_szText, kCENTRED, &m_vShadowColor, nullptr, &scale, 5);
  // One period of the pulse every 1.25 seconds.
  const float d = sinf(sm_fTextTime * 5.0265484f) * 0.5f + 0.5f;
  const EVec4 pulse = m_vPulseColorB * (1.0f - d) + m_vPulseColorA * d;
  for (int i = -2; i <= 1; ++i)
    for (int j = -2; j <= 6; ++j)
      pFont->DisplayText2(320.0f + (float)i, 430.0f + (float)j, m_szText, kCENTRED, &pulse, nullptr, &scale, 4);
}

void ELoadingScreen::DisplayLoadingTextOneshot() {
  if (m_bLoadscreenRunning || !m_pLoadingScreen || !gGameApp || !gGameApp->m_pRenderer) return;
  ERenderer* pRenderer = gGameApp->m_pRenderer;
  pRenderer->RestoreRenderTarget();
  pRenderer->BeginRender();
  ESpriteManager* pSprites = gGameApp->m_pSpriteManager;
  if (pSprites) pSprites->ResetFrame();
  gGameApp->BlitTexture(gGameApp->GetScreenImageTexture(), -1, 2, nullptr, nullptr, nullptr, 0.0f, nullptr, false);
  m_pLoadingScreen->DrawLoadingText(0.0f);
  if (pSprites) {
    pSprites->PreprocessAll();
    pSprites->DrawAll();
  }
  pRenderer->EndRender();
  pRenderer->Present(true);
}
