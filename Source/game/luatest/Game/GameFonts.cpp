// The application's font list and its start-up fonts.
#include "Game/GameApp.h"
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
