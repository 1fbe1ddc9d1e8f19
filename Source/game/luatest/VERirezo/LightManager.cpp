#include "VERirezo/LightManager.h"

#include <cstring>

#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/HaloManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"

namespace lightmanager {

const char* const s_apTypeNames[] = {"Unknown", "Ambient", "Point", "Directional", "Spot", "Projected"};

const char* TypeName(int eType) { return eType >= 0 && eType <= kLIGHTTYPE_PROJECTED ? s_apTypeNames[eType] : "Unknown"; }

void RemoveFrom(EArray<ELight*>& list, ELight* pLight) {
  for (int i = 0; i < list.Num(); ++i) {
    if (list[i] == pLight) {
      list.Remove(i);
      return;
    }
  }
}

// One step of a fade that is linear in time over the time left.
template <class T>
void FadeStep(T& value, const T& target, float& timeLeft, float dt) {
  if (timeLeft == 0) return;
  if (dt >= timeLeft) value = target;
  else value = ::Lerp(value, target, PIN(dt / timeLeft, 0.0f, 1.0f));
  timeLeft = MAX(timeLeft - dt, 0.0f);
}

}  // namespace lightmanager

ELightManager* GetAppLightManager() { return gGameApp ? gGameApp->m_pLightManager : nullptr; }

ELightManager::ELightManager()
    : m_lAllLights(kMEMTYPE_Light),
      m_lDynamicLights(kMEMTYPE_Light),
      m_lProjectedLights(kMEMTYPE_Light),
      m_pLights(new EDataArray<ELight>("Lights", kMAX_LIGHTS, 0, kMEMTYPE_Light)) {}

ELightManager::~ELightManager() { delete m_pLights; }

ELight* ELightManager::AddLight() {
  const EDataId id = m_pLights->ElementNew();
  if (!id) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Exceeded maximum number of lights in a level");
    return nullptr;
  }
  return m_pLights->ElementGet(id);
}

void ELightManager::DeleteLight(ELight* pLight) {
  if (pLight) m_pLights->ElementDelete(pLight);
}

bool ELightManager::ReadMeshLight(EStream& s, unsigned version, EMesh* pMesh, ELight*& pKept) {
  pKept = nullptr;
  ELight* pLight = AddLight();
  if (!pLight) return false;
  uint8_t b[4] = {0, 0, 0, 0};
  s.Read(b, 1, 4);
  pLight->m_eType = (int)GetLE32(b);
  if (s.Err() || !pLight->Read(s, version, pMesh)) {
    DeleteLight(pLight);
    return false;
  }
  if (pLight->m_eType < kLIGHTTYPE_POINT || pLight->m_eType > kLIGHTTYPE_PROJECTED) {
    DeleteLight(pLight);
    return true;
  }
  if (pLight->m_eType == kLIGHTTYPE_POINT && pLight->IsDynamic() && pLight->m_fLinearAtten == 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skipping a dynamic point light with non-linear falloff: %s",
                                 pLight->m_szName ? pLight->m_szName : "Unknown");
    DeleteLight(pLight);
    return true;
  }
  RegisterLight(pLight);
  pKept = pLight;
  return true;
}

void ELightManager::RegisterLight(ELight* pLight) {
  if (pLight->m_eType == kLIGHTTYPE_POINT || pLight->m_eType == kLIGHTTYPE_SPOT) {
    const float l = pLight->m_fLinearAtten, q = pLight->m_fQuadraticAtten;
    if (pLight->m_fRange == kLIGHT_NO_RANGE) {
      if (l != 0) pLight->m_fRange = 16.0f / l;
      if (q != 0) pLight->m_fRange = FastSqrt(64.0f / q);
    }
    if (pLight->m_fRange != kLIGHT_NO_RANGE && pLight->m_fConstantAtten == 1 && l == 0 && q == 0)
      pLight->m_fLinearAtten = 16.0f / pLight->m_fRange;
    pLight->InvalidateCachedData();
  }
  m_lAllLights.AddData(pLight);
  if (pLight->IsDynamic()) m_lDynamicLights.AddData(pLight);
  if (pLight->m_eType == kLIGHTTYPE_PROJECTED) m_lProjectedLights.AddData(pLight);
}

void ELightManager::UnregisterLight(ELight* pLight) {
  if (pLight->m_idHalo) {
    if (gGameApp && gGameApp->m_pHaloManager) gGameApp->m_pHaloManager->DeleteHalo(pLight->m_idHalo);
    pLight->m_idHalo = 0;
  }
  lightmanager::RemoveFrom(m_lAllLights, pLight);
  lightmanager::RemoveFrom(m_lDynamicLights, pLight);
  lightmanager::RemoveFrom(m_lProjectedLights, pLight);
}

unsigned ELightManager::FindLightByName(const char* szName, EMesh* pMesh) const {
  if (!szName) return 0;
  for (int i = 0; i <= m_pLights->GetHighestUsed(); ++i) {
    const ELight& light = (*m_pLights)[i];
    if (!light.m_id || !light.m_szName || strcmp(light.m_szName, szName) != 0) continue;
    if (pMesh && light.m_pMesh != pMesh) continue;
    return light.m_id;
  }
  return 0;
}

void ELightManager::UpdateLights(float dt) {
  EMeshEntity* pRig = gGameApp ? gGameApp->m_pLightRigEntity : nullptr;
  const bool bDebug = gGameApp && gGameApp->m_DebugHooks.m_bDebugLights && gGameApp->m_pDebugLineManager;
  for (int i = 0; i <= m_pLights->GetHighestUsed(); ++i) {
    ELight& light = (*m_pLights)[i];
    if (!light.m_id) continue;
    lightmanager::FadeStep(light.m_vColor, light.m_vTargetColor, light.m_fColorFadeTime, dt);
    lightmanager::FadeStep(light.m_fIntensity, light.m_fTargetIntensity, light.m_fIntensityFadeTime, dt);
    const bool bRig = light.IsVisible() && light.m_pMesh && pRig && light.m_pMesh->GetParentEntity() == pRig;
    if (bRig) light.m_dwFlags |= kLIGHTFLAG_LIGHT_RIG;
    else light.m_dwFlags &= ~(unsigned)kLIGHTFLAG_LIGHT_RIG;
    if (bDebug && light.IsVisible() && light.m_eType == kLIGHTTYPE_PROJECTED && light.m_pProjectedLight) {
      EDebugLineManager* pLines = gGameApp->m_pDebugLineManager;
      pLines->AddFrustum(light.GetProjectedLightFrustum(), nullptr, 0);
      const EVec3 P = light.GetInclusivePosition(nullptr, nullptr);
      pLines->AddArrow(P, P + light.m_vDirection * 50.0f, nullptr, 0);
    }
  }
}

void ELightManager::CleanupReferences() {
  for (int i = 0; i <= m_pLights->GetHighestUsed(); ++i) {
    if ((*m_pLights)[i].m_id) (*m_pLights)[i].CleanupReferences();
  }
}

void ELightManager::SetPsiLightColor(const EVec3& colour) {
  for (int i = 0; i <= m_pLights->GetHighestUsed(); ++i) {
    ELight& light = (*m_pLights)[i];
    if (light.m_id && (light.m_dwFlags & kLIGHTFLAG_PSI)) light.m_vColor = colour;
  }
  m_SceneFactors.m_vPsiLightColor = colour;
}

void ELightManager::RequestRenderSpheres(EMeshEntity* pEntity) {
  for (int i = 0; i <= m_pLights->GetHighestUsed(); ++i) {
    const ELight& light = (*m_pLights)[i];
    if (!light.m_id || !(light.m_dwFlags & kLIGHTFLAG_ENABLED)) continue;
    if (light.IsDynamic() && !light.IsVisible()) continue;
    if (light.IsLightRig() != (pEntity != nullptr)) continue;
    light.RequestRenderSpheres(pEntity);
  }
}

void ELightManager::DumpLightInfo() {
  const char* kRule = "------------------------";
  g_ErrorManager.TraceMessagef(TT_General, "%s", kRule);
  g_ErrorManager.TraceMessagef(TT_General, "Scene Lights");
  g_ErrorManager.TraceMessagef(TT_General, "%s", kRule);
  int n = 0;
  for (int i = 0; i <= m_pLights->GetHighestUsed(); ++i) {
    const ELight& light = (*m_pLights)[i];
    if (!light.m_id) continue;
    ++n;
    const EVec3 p = light.GetInclusivePosition(nullptr, nullptr);
    const EVec3 c = light.GetCompoundColor(nullptr);
    g_ErrorManager.TraceMessagef(TT_General, "%s light '%s', position (%i, %i, %i), color (%.1f, %.1f, %.1f)%s%s%s",
                                 lightmanager::TypeName(light.m_eType), light.m_szName ? light.m_szName : "Unnamed",
                                 (int)p.x, (int)p.y, (int)p.z, c.x, c.y, c.z, light.IsDynamic() ? ", dynamic" : "",
                                 (light.m_dwFlags & kLIGHTFLAG_SWITCHABLE) ? ", switchable" : "",
                                 light.IsLightRig() ? ", light rig" : "");
  }
  g_ErrorManager.TraceMessagef(TT_General, "%s", kRule);
  g_ErrorManager.TraceMessagef(TT_General, "Total scene lights: %i", n);
  g_ErrorManager.TraceMessagef(TT_General, "%s", kRule);
}
