#include "VERirezo/ModelFrag.h"

#include <cstring>

#include "Game/GameApp.h"
#include "TWGraphics/Renderer.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/TextureManager.h"

EModelAnimInfo::~EModelAnimInfo() {
  delete[] m_pJointPalette;
  delete[] m_pBoxes;
  delete[] m_pBoneMaxWeights;
  delete[] m_pSkinningVerts;
  delete[] m_pSkinningBasis;
  delete[] m_pSkinningOrigSkinWeights;
}

EModelBlendInfo::~EModelBlendInfo() {
  delete[] m_pBlendBasis;
  for (int i = 0; i < m_aSparseDeltas.Num(); ++i) delete[] m_aSparseDeltas[i];
  if (g_pCurrentRenderer) {
    for (int i = 0; i < m_aStreamBuffers.Num(); ++i) {
      if (m_aStreamBuffers[i]) g_pCurrentRenderer->DeleteVertexBuffer(m_aStreamBuffers[i]);
    }
  }
}

EModelFrag::EModelFrag()
    : m_pOwnerModel(nullptr),
      m_hIndexBuffer(0),
      m_nVerts(0),
      m_nPolys(0),
      m_nDegenPolys(0),
      m_iMonitorChannel(-1),
      m_hDetailTexture(0),
      m_vTexCoordTransVel(0.0f, 0.0f),
      m_vDetailScale(1.0f, 1.0f),
      m_byNumTextures(0),
      m_byLOD(0),
      m_vColor(1.0f, 1.0f, 1.0f, 1.0f),
      m_eGeomShader(0),
      m_fGlareIntensity(0.0f),
      m_Box(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)),
      m_szSwitchLightName(nullptr),
      m_pSwitchLight(nullptr),
      m_fTexcoordScale(1.0f),
      m_pBlinnInfo(nullptr),
      m_pAnimInfo(nullptr),
      m_pBlendInfo(nullptr),
      m_dwFragFlags(0),
      m_dwMaterialFlags(0) {
  for (uint32_t& h : m_phVertBuffer) h = 0;
  for (uint32_t& t : m_aTextures) t = 0;
  for (int i = 0; i < 2; ++i) m_ahLightmap[i] = m_ahLightmapPalette[i] = 0;
}

EModelFrag::~EModelFrag() {
  ERenderer* pRenderer = g_pCurrentRenderer;
  for (uint32_t hVB : m_phVertBuffer) {
    if (!hVB || !pRenderer) continue;
    // Common geometry lives until the game quits.
    const bool bCommon = ((pRenderer->GetVertexBufferFlags(hVB) >> 16) & 0xFF) == 1;
    if (bCommon && !(gGameApp && gGameApp->m_bQuit)) {
      EERRORF("Received request to delete a model fragment in the common block");
    }
  }
  FreeData();
}

void EModelFrag::FreeData() {
  ERenderer* pRenderer = g_pCurrentRenderer;
  for (uint32_t& hVB : m_phVertBuffer) {
    if (hVB && pRenderer) pRenderer->DeleteVertexBuffer(hVB);
    hVB = 0;
  }
  if (m_hIndexBuffer && pRenderer) pRenderer->DeleteIndexBuffer(m_hIndexBuffer);
  m_hIndexBuffer = 0;
  SetSwitchLightName(nullptr);
  delete m_pBlinnInfo;
  delete m_pAnimInfo;
  delete m_pBlendInfo;
  m_pBlinnInfo = nullptr;
  m_pAnimInfo = nullptr;
  m_pBlendInfo = nullptr;
  m_dwFragFlags = 0;
  m_dwMaterialFlags = 0;
}

void EModelFrag::SetSwitchLightName(const char* szName) {
  delete[] m_szSwitchLightName;
  m_szSwitchLightName = nullptr;
  if (!szName) return;
  const size_t len = strlen(szName);
  m_szSwitchLightName = new char[len + 1];
  memcpy(m_szSwitchLightName, szName, len + 1);
}

EDataArray<EModelFrag>& EModelFragManager::GetModelFragArray() {
  // Built on first use and kept for the life of the process.
  static EDataArray<EModelFrag>* s_pPool = new EDataArray<EModelFrag>("Model Frags", kMAX_MODEL_FRAGS, 0, kMEMTYPE_Mesh);
  return *s_pPool;
}

EModelFrag* EModelFragManager::ModelFragNew() {
  EDataArray<EModelFrag>& pool = GetModelFragArray();
  const EDataId id = pool.ElementNew();
  if (!id) EERRORF("Exceeded maximum number of model fragments\n");
  return pool.ElementGet(id);
}

void EModelFragManager::ModelFragDelete(EModelFrag* pFrag) { GetModelFragArray().ElementDelete(pFrag); }

int EModelFragManager::GetActiveCount() { return GetModelFragArray().GetNumUsed(); }

void EModelFragManager::PalettizeLightmaps() {
  ERenderer* pRenderer = g_pCurrentRenderer;
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  if (!pRenderer) return;
  EDataArray<EModelFrag>& pool = GetModelFragArray();
  for (int slot = 0; slot < 2; ++slot) {
    for (int i = 0; i <= pool.GetHighestUsed(); ++i) {
      EModelFrag& frag = pool[i];
      if (!EDataArray<EModelFrag>::ElementIsUsed(&frag)) continue;
      const HTEXTURE hOld = frag.m_ahLightmap[slot];
      if (!hOld || pRenderer->GetTextureFormat(hOld) != kTEXTUREFORMAT_8888) continue;
      unsigned width = 0, height = 0;
      pRenderer->GetTextureDimensions(hOld, width, height);
      HTEXTURE hNew = 0;
      HPALETTE hPalette = 0;
      if (!pRenderer->PalettizeTexture(hOld, hNew, hPalette)) continue;
      g_ErrorManager.TraceMessagef("Palettized lightmap: %i x %i\n", (int)width, (int)height);
      for (int j = i; j <= pool.GetHighestUsed(); ++j) {
        EModelFrag& other = pool[j];
        if (!EDataArray<EModelFrag>::ElementIsUsed(&other) || other.m_ahLightmap[slot] != hOld) continue;
        other.m_ahLightmap[slot] = hNew;
        other.m_ahLightmapPalette[slot] = hPalette;
      }
      if (!pTextures) continue;
      if (EGameTexture* pOld = pTextures->FindTextureByHandle(hOld)) pTextures->DeleteTexture(pOld->m_id, true);
      const unsigned id = pTextures->AddProceduralTexture(hNew, true, "Palettized Lightmap");
      if (EGameTexture* pNew = pTextures->GetTexture(id)) {
        delete[] pNew->m_phPalettes;
        pNew->m_phPalettes = new uint32_t[1];
        pNew->m_phPalettes[0] = hPalette;
      }
    }
  }
  g_ErrorManager.TraceMessagef("Done\n");
}
