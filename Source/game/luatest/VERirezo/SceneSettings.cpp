#include "VERirezo/SceneSettings.h"

#include "TWUtil/ErrorManager.h"

bool ESceneSettings::sm_bMotionBlurStubShown = false;

ESceneSettings::ESceneSettings()
    : m_idShadowFixedLightSource(0),
      m_SortingSphere(EVec3(0, 0, 0), 0),
      m_hDefaultDistortionTexture(0),
      m_hDefaultRenderSplineTexture(0) {
  Reset();
}

void ESceneSettings::Reset() {
  m_fNearClip = 10.0f;
  m_fFarClip = 50000.0f;
  m_vFrameAmbient = EVec3(0, 0, 0);
  m_bDistanceFog = false;
  m_bHeightFog = false;
  m_vFogColor = EVec3(1, 1, 1);
  m_fDistanceFogStart = 2000.0f;
  m_fDistanceFogEnd = 20000.0f;
  m_fHeightFogStart = 300.0f;
  m_fHeightFogEnd = -3000.0f;
  m_vVolumeFogColor = EVec4(1, 1, 1, 0.6f);
  m_fDetailCullingRange[0] = 0.5f;
  m_fDetailCullingRange[1] = 0.3f;
  m_hDistortionTexture = m_hDefaultDistortionTexture;
  m_fDistortionScale = 10.0f;
  m_vDistortionColor = EVec3(1, 1, 1);
  m_iDistortionFilter = 0;
  m_bDistortionFullScreen = false;
  m_vShadowColor = EVec4(0, 0, 0, 0.4f);
  m_iShadowBlendMode = 3;
  m_bShadowFixedDirection = true;
  m_fShadowCullingBias = 0;
  m_fStaticLightIntensity = 1;
  m_fDynamicLightIntensity = 1;
  m_fLightRigIntensity = 1;
  m_vLightRigBoost = EVec3(0, 0, 0);
  m_vPsiLightColor = EVec3(0.9f, 0.7f, 0);
  m_iNumWaterBlurs = 0;
  m_fReflectionScale = 0.002f;
  m_fRefractionScale = 0.002f;
  m_fReflectionBumpScale = 0.05f;
  m_fRefractionBumpScale = 0.05f;
  m_fFresnelBumpScale = 0.5f;
  m_iNumGlowBlurs = 5;
  m_vGlareColor = EVec4(1, 1, 1, 1);
  m_bAuras = true;
  m_hEnvironmentMap = 0;
  m_bMotionBlur = false;
  m_bMotionBlurHistoryValid = false;
  m_fMotionBlurInputAmount = 0;
  m_fMotionBlurInputOffsetX = 0;
  m_fMotionBlurInputOffsetY = 0;
  m_fMotionBlurOutputAmount = 0;
  m_fMotionBlurCurrentOutput = 0;
  m_fMotionBlurBlendMs = 0;
  m_fMotionBlurScale = 1;
  m_iMotionBlurFilter = 0;
  m_idMotionBlurMaskTexture = 0;
  m_fMotionBlurWobbleAmplitude = 0;
  m_fMotionBlurWobblePeriodMs = 0;
  m_hMovieStaticTexture = 0;
  m_hRenderSplineTexture = m_hDefaultRenderSplineTexture;
  m_fRenderSplineThickness = 3.0f;
  m_fRenderSplineDensity = 0.02f;
  m_bCoyoteProjectionsFrozen = false;
  m_fPsychedelicAlphaTarget = 0;
  m_fPsychedelicAlpha = 0;
  m_fPsychedelicBlendMs = 0;
  m_pSortingSphereEntity = nullptr;
  m_SortingSphere = ESphere(EVec3(0, 0, 0), 0);
  m_dwSwitchableCollision = 1;
  m_bShaderLOD = true;
  m_bMirrorScene = false;
  m_byBinaryAlphaThreshold = 150;
  SetMotionBlurState(kMOTIONBLURSTATE_NONE, 0);
}

namespace scene_settings {
struct FMotionBlurPreset {
  float m_fInputAmount, m_fOffsetX, m_fOffsetY, m_fOutputAmount, m_fScale;
  int32_t m_iFilter;
};
// Indexed by state - 1; STANDARD is kept for the table but played as NONE.
const FMotionBlurPreset kMotionBlurPresets[] = {
    {0.6f, 0, 0, 0.15f, 1.01f, 0},     // STANDARD
    {0.3f, 0, 0, 0.4f, 1.01f, 0},      // DREAMY
    {0.3f, 0, 0, 0.4f, 1.01f, 3},      // SKY_CAPTAIN
    {0, 0.1f, 0.01f, 1.0f, 1.01f, 2},  // FADE_TO_WHITE
    {0, 0, -0.01f, 1.0f, 0.99f, 2},    // FADE_TO_BLACK
};
}  // namespace scene_settings

void ESceneSettings::SetMotionBlurState(int32_t iState, float fBlendMs) {
  if (!sm_bMotionBlurStubShown) {
    sm_bMotionBlurStubShown = true;
    StubNotice("hack to workaround permanent bacon blur", "SetMotionBlurState", __FILE__, __LINE__);
  }
  if (iState == kMOTIONBLURSTATE_STANDARD) iState = kMOTIONBLURSTATE_NONE;

  if (iState == kMOTIONBLURSTATE_NONE) {
    if (fBlendMs != 0) {
      m_fMotionBlurOutputAmount = 0;  // the output fades out over the blend
    } else {
      m_bMotionBlur = false;
      m_fMotionBlurInputAmount = 0;
      m_fMotionBlurInputOffsetX = 0;
      m_fMotionBlurInputOffsetY = 0;
      m_fMotionBlurOutputAmount = 0;
      m_fMotionBlurScale = 1;
      m_iMotionBlurFilter = 0;
    }
  } else if (iState >= kMOTIONBLURSTATE_DREAMY && iState <= kMOTIONBLURSTATE_FADE_TO_BLACK) {
    const scene_settings::FMotionBlurPreset& p = scene_settings::kMotionBlurPresets[iState - 1];
    m_bMotionBlur = true;
    m_fMotionBlurInputAmount = p.m_fInputAmount;
    m_fMotionBlurInputOffsetX = p.m_fOffsetX;
    m_fMotionBlurInputOffsetY = p.m_fOffsetY;
    m_fMotionBlurOutputAmount = p.m_fOutputAmount;
    m_fMotionBlurScale = p.m_fScale;
    m_iMotionBlurFilter = p.m_iFilter;
  } else {
    g_ErrorManager.TraceMessagef("Unknown value in SetMotionBlurState: %i", iState);
    return;
  }
  m_fMotionBlurBlendMs = fBlendMs;
  if (fBlendMs == 0) m_fMotionBlurCurrentOutput = m_fMotionBlurOutputAmount;
  m_idMotionBlurMaskTexture = 0;
  m_fMotionBlurWobbleAmplitude = 0;
  m_fMotionBlurWobblePeriodMs = 0;
}

void ESceneSettings::Update(float fRealMs, float fSimMs) {
  const float fGoal = m_bMotionBlur ? m_fMotionBlurOutputAmount : 0.0f;
  if (m_fMotionBlurBlendMs == 0) {
    m_fMotionBlurCurrentOutput = fGoal;
  } else if (m_fMotionBlurBlendMs <= fRealMs) {
    m_fMotionBlurCurrentOutput = fGoal;
    m_fMotionBlurBlendMs = 0;
  } else {
    m_fMotionBlurCurrentOutput += (fGoal - m_fMotionBlurCurrentOutput) * (fRealMs / m_fMotionBlurBlendMs);
    m_fMotionBlurBlendMs -= fRealMs;
  }
  if (m_fMotionBlurCurrentOutput == 0) m_bMotionBlurHistoryValid = false;

  if (m_fPsychedelicBlendMs != 0) {
    if (m_fPsychedelicBlendMs <= fSimMs) {
      m_fPsychedelicAlpha = m_fPsychedelicAlphaTarget;
      m_fPsychedelicBlendMs = 0;
    } else {
      m_fPsychedelicAlpha += (m_fPsychedelicAlphaTarget - m_fPsychedelicAlpha) * (fSimMs / m_fPsychedelicBlendMs);
      m_fPsychedelicBlendMs -= fSimMs;
    }
  }
}
