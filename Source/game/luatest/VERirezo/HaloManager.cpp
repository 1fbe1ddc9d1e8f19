#include "VERirezo/HaloManager.h"

#include "TWUtil/MemType.h"

void EHaloManager::Init() {
  if (m_pHaloArray) return;
  m_pHaloArray = new EDataArray<EHalo>("Halos", kINITIAL_HALOS, kDATAARRAY_GROWABLE, kMEMTYPE_AppGraph);
  m_pidDrawList = new uint32_t[kMAX_HALOS]();
  m_iDrawCount = 0;
}

void EHaloManager::Shutdown() {
  delete[] m_pidDrawList;
  m_pidDrawList = nullptr;
  delete m_pHaloArray;
  m_pHaloArray = nullptr;
  m_iDrawCount = 0;
}

uint32_t EHaloManager::AddHalo(uint32_t hTexture, const EVec3& vPosition, float fSize, float fSecondSize,
                               const EVec3* pColor, EMesh* pMesh) {
  if (!hTexture || !m_pHaloArray || m_pHaloArray->GetNumUsed() >= kMAX_HALOS) return 0;
  // A pool that cannot grow gives no element: no halo, rather than a stop.
  const EDataId id = m_pHaloArray->ElementNew();
  if (!id) return 0;
  EHalo* h = m_pHaloArray->ElementGet(id);
  h->m_hTexture = hTexture;
  h->m_vPosition = vPosition;
  h->m_fSize = fSize;
  h->m_fSecondSize = fSecondSize;
  h->m_vColor = pColor ? *pColor : EVec3(1, 1, 1);
  h->m_pMesh = pMesh;
  h->m_bWork = false;
  return id;
}

void EHaloManager::DeleteHalo(uint32_t id) {
  if (const EHalo* h = GetHalo(id)) m_pHaloArray->ElementDelete(const_cast<EHalo*>(h));
}

const EHalo* EHaloManager::GetHalo(uint32_t id) const {
  // Any id may come back from a light: one past the pool names nothing.
  if (!m_pHaloArray || !id || EDataArray<EHalo>::GetIndexFromDataId(id) >= m_pHaloArray->GetAllocCount()) return nullptr;
  return m_pHaloArray->ElementTryToGet(id);
}
