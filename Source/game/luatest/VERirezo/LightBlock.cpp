// The strongest-lights query and the ordering of light blocks.
#include <cmath>

#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Primitives.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"

namespace lightblock {

// The score of each slot of the block being filled.
float s_afScores[kMAX_LIGHT_BLOCK_LIGHTS];

// The unit vector along v, or zero for a zero vector.
EVec3 NormalOrZero(const EVec3& v) {
  const float len = v.Length();
  return len > 0 ? v * (1.0f / len) : EVec3(0, 0, 0);
}

// How much of the sphere a spot's cone reaches: 0 at the cone's edge,
// rising towards its axis. A cone whose penumbra leaves a 90 degree inner
// cone has a divisor of 0 and lights everything inside it fully.
float ConeFactor(const ELight& light, const EVec3& P, const ESphere& S) {
  const EVec3& D = light.GetInclusiveDirection();
  const float dist = (S.centre - P).Length();
  const EVec3 A = P + D * dist;
  const EVec3 w = NormalOrZero(A - S.centre);
  const EVec3 B = S.centre + w * S.radius;
  const EVec3 u = NormalOrZero(B - P);
  const float excess = u.Dot(D) - light.m_fCosConeAngle;
  if (fabsf(light.m_fCosInnerAngle) < 1e-6f) return excess > 0 ? 1.0f : 0.0f;
  return PIN(excess / light.m_fCosInnerAngle, 0.0f, 1.0f);
}

}  // namespace lightblock

void ELightManager::GetStrongestLights(const EBox3& box, int iMaxCount, unsigned dwSearchFlags,
                                       ELightBlock* pLightBlock, EMeshEntity* pLitEntity,
                                       EMeshEntity* pOwnerEntity) {
  EASSERT(pLightBlock && iMaxCount <= kMAX_LIGHT_BLOCK_LIGHTS);
  EASSERT(dwSearchFlags);
  if (!pLightBlock) return;
  iMaxCount = PIN(iMaxCount, 0, (int)kMAX_LIGHT_BLOCK_LIGHTS);
  float* scores = lightblock::s_afScores;
  float keys[kMAX_LIGHT_BLOCK_LIGHTS];  // score x visibility of each slot
  const ESceneLightFactors* pFactors = &m_SceneFactors;
  int count = 0;
  EVec3 colourSum(0, 0, 0), dirSum(0, 0, 0);
  const EVec3 c = box.GetCenter();
  const ESphere S(box);
  const EBox3 inflated = box.GetInflatedBox(1);
  const bool bCulling = !gGameApp || gGameApp->m_DebugHooks.m_bLightDistanceCulling;
  const bool bVisibility = !gGameApp || gGameApp->m_DebugHooks.m_bLightVisibility;
  const EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  const EArray<ELight*>& list = (dwSearchFlags & 1) ? m_lAllLights : m_lDynamicLights;
  for (int li = 0; li < list.Num(); ++li) {
    ELight* pLight = list[li];
    const ELight& light = *pLight;
    if (!light.IsVisible() || light.m_eType == kLIGHTTYPE_PROJECTED) continue;
    const bool bDynamic = light.IsDynamic();
    if (bDynamic ? !(dwSearchFlags & 2) : !(dwSearchFlags & 1)) continue;
    const bool bRig = light.IsLightRig();
    if (bRig && !pLitEntity) continue;
    EMeshEntity* pParent = light.m_pMesh ? light.m_pMesh->GetParentEntity() : nullptr;
    if (!bRig && pParent && !pParent->GetVisible()) continue;
    if ((light.m_dwFlags & kLIGHTFLAG_OWNER_ONLY) && pParent != pOwnerEntity) continue;

    const EVec3 P = light.GetInclusivePosition(&c, pLitEntity);
    const EVec3 N = inflated.NearestPosition(P);
    const float d2 = (P - N).LengthSquared();
    if (light.m_fRange != kLIGHT_NO_RANGE && d2 > light.m_fRange * light.m_fRange && bCulling) continue;

    const float brightness = MAX(light.m_vColor.x, MAX(light.m_vColor.y, light.m_vColor.z));
    const float intensity = (light.m_dwFlags & kLIGHTFLAG_SWITCHABLE) ? 1.0f : light.m_fIntensity;
    float score = bRig ? 1.0f : brightness * intensity;
    float a = light.m_fConstantAtten;
    if (light.m_fLinearAtten != 0) a += FastSqrt(d2) * light.m_fLinearAtten;
    if (light.m_fQuadraticAtten != 0) a += d2 * light.m_fQuadraticAtten;
    const float invA = a != 0 ? 1.0f / a : 0.0f;
    if (a != 1) score *= invA;
    if (score < 0.00001f) continue;

    float v = 1;
    if ((light.m_dwFlags & kLIGHTFLAG_DEPTH_MAP) && bVisibility) {
      v = pPlayer && pLitEntity == pPlayer ? light.GetRegionVisibility(N) : light.GetSampleVisibility(N);
      if (v == 0) continue;
    }
    float f = 1;
    if (light.m_eType == kLIGHTTYPE_SPOT) {
      f = lightblock::ConeFactor(light, P, S);
      if (f == 0) continue;
    }
    if (!bRig) {
      colourSum += light.CompoundColor(pFactors) * (v * f * invA);
      dirSum += (P - c) * score;
    }

    const float key = score * v;
    int j = 0;
    while (j < count && !(keys[j] < key)) ++j;
    if (j >= iMaxCount) continue;
    if (count < iMaxCount) ++count;
    for (int k = count - 1; k > j; --k) {
      pLightBlock->m_apLights[k] = pLightBlock->m_apLights[k - 1];
      pLightBlock->m_afVisibility[k] = pLightBlock->m_afVisibility[k - 1];
      scores[k] = scores[k - 1];
      keys[k] = keys[k - 1];
    }
    pLightBlock->m_apLights[j] = pLight;
    pLightBlock->m_afVisibility[j] = v;
    scores[j] = score;
    keys[j] = key;
  }
  pLightBlock->m_iLightCount = count;
  pLightBlock->m_vCombinedIrradiance = colourSum;
  pLightBlock->m_vAverageDir = lightblock::NormalOrZero(dirSum);
}

void ELightManager::SortLightsByType(ELightBlock* pLightBlock) {
  const int n = pLightBlock->m_iLightCount;
  int spots = 0;
  for (int i = 0; i < n; ++i) spots += pLightBlock->m_apLights[i]->m_eType == kLIGHTTYPE_SPOT;
  for (int i = 0; i < spots; ++i) {
    if (pLightBlock->m_apLights[i]->m_eType == kLIGHTTYPE_SPOT) continue;
    for (int k = i + 1; k < n; ++k) {
      if (pLightBlock->m_apLights[k]->m_eType != kLIGHTTYPE_SPOT) continue;
      ELight* pLight = pLightBlock->m_apLights[i];
      const float v = pLightBlock->m_afVisibility[i];
      pLightBlock->m_apLights[i] = pLightBlock->m_apLights[k];
      pLightBlock->m_afVisibility[i] = pLightBlock->m_afVisibility[k];
      pLightBlock->m_apLights[k] = pLight;
      pLightBlock->m_afVisibility[k] = v;
      break;
    }
  }
}
