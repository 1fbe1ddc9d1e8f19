// Light halos: glow sprites registered for scene lights. The store keeps at
// most 16 at once; its per-frame preparation and drawing do nothing, so
// halos are registered and removed but never drawn.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"

class EMesh;

struct EHalo : public EDataElement {
  uint32_t m_hTexture = 0;
  EVec3 m_vPosition = EVec3(0, 0, 0);
  float m_fSize = 0;        // the light passes half its halo size
  float m_fSecondSize = 0;
  EVec3 m_vColor = EVec3(0, 0, 0);
  EMesh* m_pMesh = nullptr;
  // Working values of a drawing that does not run here.
  uint32_t m_dwWork0 = 0, m_dwWork1 = 0;
  EVec3 m_vWork = EVec3(0, 0, 0);
  bool m_bWork = false;
};

class EHaloManager {
public:
  enum { kMAX_HALOS = 16, kINITIAL_HALOS = 4 };

  EHaloManager() {}
  ~EHaloManager() { Shutdown(); }
  EHaloManager(const EHaloManager&) = delete;
  EHaloManager& operator=(const EHaloManager&) = delete;

  // Makes the pool and the draw list; Shutdown frees both.
  void Init();
  void Shutdown();
  // The id of a new halo; 0 without a texture, without a pool or while 16
  // halos exist. A halo without a colour is white.
  uint32_t AddHalo(uint32_t hTexture, const EVec3& vPosition, float fSize, float fSecondSize,
                   const EVec3* pColor = nullptr, EMesh* pMesh = nullptr);
  // 0 or an id that names no live halo does nothing.
  void DeleteHalo(uint32_t id);
  void ResetFrame() { m_iDrawCount = 0; }
  void PreprocessAll() {}
  void TestVisibilityAll() {}
  void DrawAll() {}

  // The halo of an id, or null.
  const EHalo* GetHalo(uint32_t id) const;
  int GetHaloCount() const { return m_pHaloArray ? m_pHaloArray->GetNumUsed() : 0; }
  EDataArray<EHalo>* GetHaloArray() const { return m_pHaloArray; }

private:
  EDataArray<EHalo>* m_pHaloArray = nullptr;
  uint32_t* m_pidDrawList = nullptr;
  int m_iDrawCount = 0;
};
