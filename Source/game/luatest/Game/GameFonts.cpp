// The application's font list and its start-up fonts.
#include "Game/GameApp.h"

#include <cstdio>
#include <cstring>

#include "Game/UIMenu.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/EBitmap.h"
#include "VERirezo/Font.h"
#include "VERirezo/TextureManager.h"

unsigned GameApp::LoadFont(const char* szPath) {
  EFont* pFont = new EFont();
  if (!pFont->Load(szPath)) {
    delete pFont;
    return 0;
  }
  unsigned width = 0, height = 0;
  pFont->GetDims(width, height);
  EBitmap* pBitmap = new EBitmap();
  // The pixels are always 32-bit after loading (format 3 is expanded).
  pBitmap->Init((long)width, (long)height, pFont->GetFormat() == 3 ? 6 : 0,
                reinterpret_cast<const char*>(pFont->GetBitmap()), false);
  if (m_pGameTextureManager) pFont->SetTexture(m_pGameTextureManager->AddTexture(pFont->GetFilename(), 1, pBitmap));
  else delete pBitmap;
  pFont->DeleteBitmap();
  m_lFonts.AddData(pFont);
  return (unsigned)m_lFonts.Num();
}

void GameApp::DeleteFonts() {
  for (int i = 0; i < m_lFonts.Num(); ++i) delete m_lFonts[i];
  m_lFonts.Empty();
  m_iMainFont = m_iArialFont = m_iTahomaFont = m_iZolFont = 0;
}

void GameApp::LoadStartUpFonts() {
  m_iMainFont = (int)LoadFont("workresource\\fonts\\Bagel.twf");
  m_iArialFont = (int)LoadFont("workresource\\fonts\\Arial.twf");
  m_iTahomaFont = (int)LoadFont("workresource\\fonts\\Tahoma.twf");
  m_iZolFont = (int)LoadFont("workresource\\fonts\\ZolNotebook.twf");
}

void GameApp::DisplayText(unsigned font, unsigned x, unsigned y, const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  DisplayTextv(font, x, y, szFormat, args);
  va_end(args);
}

void GameApp::DisplayTextv(unsigned font, unsigned x, unsigned y, const char* szFormat, va_list args) {
  char szText[1024];
  vsnprintf(szText, sizeof(szText), szFormat, args);
  if (font == 0) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "dwFont", false);
  EFont* pFont = GetFont(font);
  if (!pFont) {
    // Ids are only ever handed out up to the count of loaded fonts.
    g_ErrorManager.TraceMessagef(TT_Warning, "DisplayText: no font %u (%d loaded)", font, m_lFonts.Num());
    return;
  }
  const unsigned flags = m_vTextColor.w == 1.0f ? 1u : 0u;
  unsigned layer = 1;
  if (m_pUIMenu) {
    if (m_pUIMenu->IsInGameMenuActive() && !m_pUIMenu->GetInGameMenu()->IsDebugMenuActive()) layer = 100;
    if (GetControlHandlerType() == kCONTROL_SLIDESHOW) layer = 100;
  }
  pFont->DisplayText(x, y, szText, flags, &m_vTextColor, nullptr, nullptr, layer, 0);
}

bool GameApp::ReadEditVariable(const char* szVariables, const char* szKey, char* szOut, int iSize) {
  if (iSize <= 0) return false;
  szOut[0] = '\0';
  const char* pKey = szVariables && szKey ? strstr(szVariables, szKey) : nullptr;
  if (!pKey) return false;
  const char* pOpen = strchr(pKey, '\'');
  const char* pClose = pOpen ? strchr(pOpen + 1, '\'') : nullptr;
  if (!pClose || pClose == pOpen + 1) {
    g_ErrorManager.TraceMessagef(TT_Warning, "processLevelFigments(): could not find terminating \"'\"");
    return false;
  }
  // The value is cut to the buffer, its terminator inside it.
  int n = (int)(pClose - pOpen - 1);
  if (n > iSize - 1) n = iSize - 1;
  memcpy(szOut, pOpen + 1, (size_t)n);
  szOut[n] = '\0';
  return true;
}
