// The shared shader constant setters.
#include "Game/ShaderConstants.h"

#include <cmath>

#include "TWGraphics/DeviceSupport.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Light.h"

namespace shaderconstants {

// A matrix as four registers: register i holds column i.
void TransposedRows(const EMat4& m, EVec4 out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = EVec4(m.m[i], m.m[4 + i], m.m[8 + i], m.m[12 + i]);
}

// a applied first, then b (the product a x b of row vectors).
EMat4 Then(const EMat4& a, const EMat4& b) { return b * a; }

}  // namespace shaderconstants

void EShaderConstants::SetMaterialVertexConstants(const EVec4& colour) {
  m_pRenderer->SetVertexShaderConstant(kVSC_MATERIAL, &colour, 1);
}

EMat4 EShaderConstants::ViewToClip(const EShaderDrawState& state) {
  if (state.m_iRenderDomain == 1) {
    EMat4 view = state.m_mCameraView;
    view.SetTranslation(EVec3(0, 0, 0));
    using shaderconstants::Then;
    return Then(Then(Then(view, state.m_mCameraProjection), MatrixScale(1, 1, 0.01f)), MatrixTranslate(0, 0, 0.99f));
  }
  return shaderconstants::Then(shaderconstants::Then(state.m_mCameraView, state.m_mCameraProjection),
                               MatrixScale(1, 1, 0.99f));
}

void EShaderConstants::SetProjectionVertexConstants() {
  EVec4 rows[4];
  shaderconstants::TransposedRows(shaderconstants::Then(m_pState->m_mModelToWorld, ViewToClip(*m_pState)), rows);
  m_pRenderer->SetVertexShaderConstant(kVSC_MODEL_TO_CLIP, rows, 4);
  const float s = m_pState->m_fTexcoordCompressScale;
  const EVec4 scale(s, s, s, 1);
  m_pRenderer->SetVertexShaderConstant(kVSC_TEXCOORD_SCALE, &scale, 1);
}

void EShaderConstants::SetFogVertexConstants() {
  if (!m_pRenderer->m_DeviceSupport.m_bFog || !m_pScene->GetFogShaderFragment()) return;
  float c[4] = {0, 1, 0, 1};
  for (int layer = 0; layer < 2; ++layer) {
    const EFogLayer& fog = m_pScene->m_aFogLayers[layer];
    if (!fog.m_bOn) continue;
    const float s = SafeDivide(1.0f, fog.m_fEnd - fog.m_fStart);
    c[2 * layer] = -s;
    c[2 * layer + 1] = fog.m_fEnd * s;
  }
  const EVec4 coefficients(c[0], c[1], c[2], c[3]);
  m_pRenderer->SetVertexShaderConstant(kVSC_FOG, &coefficients, 1);
  const EVec3 eye = m_pState->m_mWorldToModel.TransformPoint(m_pState->m_vCameraPosition);
  const EVec4 eye4(eye.x, eye.y, eye.z, 1);
  m_pRenderer->SetVertexShaderConstant(kVSC_EYE, &eye4, 1);
  EVec4 rows[4];
  shaderconstants::TransposedRows(m_pState->m_mModelToWorld, rows);
  m_pRenderer->SetVertexShaderConstant(kVSC_WORLD_HEIGHT, &rows[1], 1);
}

void EShaderConstants::SetVertexLightingConstants(ELightBlock* pLightBlock, int iLightOffset, const EVec4& material,
                                                  bool bSpotLights, bool bFiveLights) {
  EASSERT(iLightOffset <= pLightBlock->m_iLightCount);
  EASSERT(pLightBlock->m_iLightCount <= kMAX_LIGHT_BLOCK_LIGHTS);
  SetMaterialVertexConstants(material);
  SetProjectionVertexConstants();
  const EVec3 ambient = m_pScene->m_vAmbientColor * m_pScene->m_fAmbientIntensity;
  const EVec4 ambient4(ambient.x, ambient.y, ambient.z, 1);
  m_pRenderer->SetVertexShaderConstant(kVSC_AMBIENT, &ambient4, 1);

  static EVec4 s_aLights[3 * 8];
  const int n = bFiveLights ? 5 : 8;
  const int iConstantCount = 3 * n;
  int iConstantOffset = 0;
  const EMat4& lightToModel = m_pState->m_mLightToModel;
  // A slot holds a light while its index is below the count, at most n slots.
  for (int i = iLightOffset; i < iLightOffset + n; ++i) {
    if (i < pLightBlock->m_iLightCount) {
      const ELight* light = pLightBlock->GetLight(i);
      const EVec3 p = lightToModel.TransformPoint(
          light->GetInclusivePosition(&m_pState->m_vDirectionalLightTarget, m_pState->m_pLightRigTarget));
      s_aLights[iConstantOffset++] = EVec4(p.x, p.y, p.z, 1);
      if (m_pState->m_bDebugMeshFrags || m_pState->m_bDebugMeshTextures) {
        s_aLights[iConstantOffset++] = EVec4(1, 1, 1, 1);
      } else {
        const EVec3 c = light->GetCompoundColor(m_pState->m_pLightRigTarget) * pLightBlock->GetLightVisibility(i);
        s_aLights[iConstantOffset++] = EVec4(c.x, c.y, c.z, 1);
      }
      s_aLights[iConstantOffset++] =
          EVec4(light->m_fConstantAtten, light->m_fLinearAtten, light->m_fQuadraticAtten, 1);
    } else {
      s_aLights[iConstantOffset++] = EVec4(0, 0, 0, 1);
      s_aLights[iConstantOffset++] = EVec4(0, 0, 0, 1);
      s_aLights[iConstantOffset++] = EVec4(1, 0, 0, 0);
    }
  }
  EASSERT(iConstantOffset == iConstantCount);
  m_pRenderer->SetVertexShaderConstant(kVSC_LIGHTS, s_aLights, iConstantCount);

  if (!bSpotLights) return;
  static EVec4 s_aSpots[4];
  iConstantOffset = 0;
  const EMat4 directionToModel = lightToModel.OrthoInverse().Transpose();
  for (int i = iLightOffset; i < iLightOffset + 2; ++i) {
    const ELight* light = i < pLightBlock->m_iLightCount ? pLightBlock->GetLight(i) : nullptr;
    if (light && light->GetType() == kLIGHTTYPE_SPOT) {
      const EVec3 d = directionToModel.Mul3Vec3(light->GetInclusiveDirection());
      s_aSpots[iConstantOffset++] = EVec4(d.x, d.y, d.z, 1);
      const float cosOuter = Cosine(light->m_fConeAngle);
      const float cosInner = Cosine(light->m_fConeAngle - light->m_fPenumbraAngle);
      const float s = SafeDivide(1.0f, cosOuter - cosInner);
      s_aSpots[iConstantOffset++] = EVec4(-s, cosOuter * s, 0, 0);
    } else {
      s_aSpots[iConstantOffset++] = EVec4(0, 1, 0, 0);
      s_aSpots[iConstantOffset++] = EVec4(0, 1, 0, 0);
    }
  }
  const int iSpotCount = 4;
  EASSERT(iConstantOffset == iSpotCount);
  m_pRenderer->SetVertexShaderConstant(kVSC_SPOTS, s_aSpots, iSpotCount);
}

void EShaderConstants::SetHWSkinningConstants(unsigned jointCount) {
  if (m_pRenderer->m_DeviceSupport.m_bSoftwareSkinning) return;
  if (jointCount > kMAX_SKINNING_JOINTS) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skinning %u joints: only the first %d fit the registers", jointCount,
                                 (int)kMAX_SKINNING_JOINTS);
    jointCount = kMAX_SKINNING_JOINTS;
  }
  EVec4 rows[3 * kMAX_SKINNING_JOINTS];
  for (unsigned i = 0; i < jointCount; ++i) {
    const EMat4* joint = (m_pState->m_ppJointSkinning && (int)i < m_pState->m_iJointTableSize)
                             ? m_pState->m_ppJointSkinning[i]
                             : nullptr;
    EVec4 t[4];
    shaderconstants::TransposedRows(joint ? *joint : cg_mIdentity, t);
    rows[3 * i] = t[0];
    rows[3 * i + 1] = t[1];
    rows[3 * i + 2] = t[2];
  }
  if (jointCount) m_pRenderer->SetVertexShaderConstant(kVSC_SKINNING, rows, 3 * (int)jointCount);
  const EVec4 index(766.5f, 96.0f, 0, 0);
  m_pRenderer->SetVertexShaderConstant(kVSC_SKINNING_INDEX, &index, 1);
}

void EShaderConstants::SetBlendShapeConstants(float w0, float w1, float w2, float w3, float w4, float w5, float w6,
                                              float w7, float factor) {
  const EVec4 c[3] = {EVec4(w0, w1, w2, w3), EVec4(w4, w5, w6, w7), EVec4(factor, factor, factor, factor)};
  m_pRenderer->SetVertexShaderConstant(kVSC_BLEND_WEIGHTS, c, 3);
}

bool EShaderConstants::SetAnisotropicFiltering(ETextureStageState* pStages, int count) {
  const EDeviceSupport& device = m_pRenderer->m_DeviceSupport;
  if (!m_pState->m_bAnisotropicFiltering || m_pState->m_bDebugLights ||
      !(device.m_bAnisotropicMin || device.m_bAnisotropicMag))
    return false;
  const int n = (int)std::round(m_pState->m_fAnisotropyLevel * 4.0f);
  if (n == 0) return false;
  for (int i = 0; i < count; ++i) {
    pStages[i].m_eFilterMode = kFILTERMODE_ANISOTROPIC;
    pStages[i].m_dwMaxAnisotropy = (unsigned)n;
  }
  return true;
}
