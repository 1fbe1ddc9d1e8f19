#include "TWGraphics/Palette.h"

#include <cstdlib>

#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"

EPalette::~EPalette() {
  free(m_pColors);
  m_pColors = nullptr;
}

HPALETTE ERenderer::CreatePalette() {
  HPALETTE idPalette = m_pPalettes->ElementNew();
  EASSERT(idPalette);
  EPalette* pPalette = m_pPalettes->ElementGet(idPalette);
  pPalette->m_dwLockCount = 0;
  pPalette->m_pColors = static_cast<uint32_t*>(malloc(EPalette::kNUM_ENTRIES * sizeof(uint32_t)));
  EASSERT(pPalette->m_pColors);
  return idPalette;
}

uint32_t* ERenderer::LockPalette(HPALETTE hPalette) {
  EThreadProtectD3D lock;
  EPalette* pPalette = m_pPalettes->ElementGet(hPalette);
  EASSERT(pPalette);
  ++pPalette->m_dwLockCount;
  return pPalette->m_pColors;
}

void ERenderer::UnlockPalette(HPALETTE hPalette) {
  EThreadProtectD3D lock;
  EPalette* pPalette = m_pPalettes->ElementGet(hPalette);
  EASSERT(pPalette);
  EASSERT(pPalette->m_dwLockCount);
  --pPalette->m_dwLockCount;
}

void ERenderer::DeletePalette(HPALETTE hPalette) {
  EPalette* pPalette = m_pPalettes->ElementGet(hPalette);
  EASSERT(pPalette);
  EASSERT(!pPalette->m_dwLockCount);
  m_pPalettes->ElementDelete(pPalette);
}
