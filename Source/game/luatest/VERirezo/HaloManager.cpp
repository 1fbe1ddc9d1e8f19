#include "VERirezo/HaloManager.h"

EHaloManager::EHaloManager() : m_uNextSerial(1) {}

unsigned EHaloManager::AddHalo(unsigned hTexture, const EVec3& vPosition, float fSize, float fSecondSize,
                               const EVec3* pDirection, EMesh* pMesh) {
  if (!hTexture) return 0;
  for (EHalo& h : m_aHalos) {
    if (h.m_id) continue;
    // Ids carry the slot in their low byte and a serial above it.
    h.m_id = (m_uNextSerial++ << 8) | (unsigned)(&h - m_aHalos);
    if (m_uNextSerial > 0xFFFFFF) m_uNextSerial = 1;
    h.m_hTexture = hTexture;
    h.m_vPosition = vPosition;
    h.m_fSize = fSize;
    h.m_fSecondSize = fSecondSize;
    h.m_bHasDirection = pDirection != nullptr;
    h.m_vDirection = pDirection ? *pDirection : EVec3(0, 0, 0);
    h.m_pMesh = pMesh;
    return h.m_id;
  }
  return 0;
}

const EHalo* EHaloManager::GetHalo(unsigned id) const {
  if (!id) return nullptr;
  const EHalo& h = m_aHalos[(id & 0xFF) % kMAX_HALOS];
  return h.m_id == id ? &h : nullptr;
}

void EHaloManager::DeleteHalo(unsigned id) {
  if (const EHalo* h = GetHalo(id)) m_aHalos[h - m_aHalos] = EHalo();
}

int EHaloManager::GetHaloCount() const {
  int n = 0;
  for (const EHalo& h : m_aHalos) n += h.m_id != 0;
  return n;
}
