// Light halos: glows drawn around lights. The manager keeps at most 16.
#pragma once

#include "TWMath/Vector.h"

class EMesh;

struct EHalo {
  unsigned m_id = 0;  // 0: free
  unsigned m_hTexture = 0;
  EVec3 m_vPosition = EVec3(0, 0, 0);
  float m_fSize = 0;
  float m_fSecondSize = 0;
  bool m_bHasDirection = false;
  EVec3 m_vDirection = EVec3(0, 0, 0);
  EMesh* m_pMesh = nullptr;
};

class EHaloManager {
public:
  enum { kMAX_HALOS = 16 };

  EHaloManager();
  // The id of a new halo; 0 without a texture or when all are in use.
  unsigned AddHalo(unsigned hTexture, const EVec3& vPosition, float fSize, float fSecondSize,
                   const EVec3* pDirection, EMesh* pMesh);
  void DeleteHalo(unsigned id);
  // The halo of an id, or null.
  const EHalo* GetHalo(unsigned id) const;
  int GetHaloCount() const;

private:
  EHalo m_aHalos[kMAX_HALOS];
  unsigned m_uNextSerial;
};
