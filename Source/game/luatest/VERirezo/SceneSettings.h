// The scene-wide render settings: clip planes, fog, shadows, blurs, motion
// blur, the psychedelic overlay and the other values the renderer and the
// effects read each frame. A scene holds one; scripts change the values.
#pragma once

#include <cstdint>

#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"

class EMeshEntity;

enum MOTIONBLURSTATE : int32_t {
  kMOTIONBLURSTATE_NONE = 0,
  kMOTIONBLURSTATE_STANDARD = 1,
  kMOTIONBLURSTATE_DREAMY = 2,
  kMOTIONBLURSTATE_SKY_CAPTAIN = 3,
  kMOTIONBLURSTATE_FADE_TO_WHITE = 4,
  kMOTIONBLURSTATE_FADE_TO_BLACK = 5,
};

class ESceneSettings {
public:
  ESceneSettings();

  // Every setting back to its level-start value (the shadow light source
  // is kept). The owning scene also clears its flags and visibility tree.
  void Reset();
  // A preset of the motion blur, blended in over fBlendMs milliseconds.
  void SetMotionBlurState(int32_t iState, float fBlendMs);
  // Once per frame: motion blur blends in real time, the psychedelic
  // overlay in simulated time (both in milliseconds).
  void Update(float fRealMs, float fSimMs);
  bool GetFogShaderFragment() const { return m_bDistanceFog || m_bHeightFog; }

  // The textures the application loads at start-up; Reset installs them.
  void SetDefaultTextures(uint32_t hDistortion, uint32_t hRenderSpline) {
    m_hDefaultDistortionTexture = hDistortion;
    m_hDefaultRenderSplineTexture = hRenderSpline;
  }

  // The motion-blur notice goes out once per run; tests put it back.
  static bool sm_bMotionBlurStubShown;

  float m_fNearClip;
  float m_fFarClip;
  EVec3 m_vFrameAmbient;
  bool m_bDistanceFog;
  bool m_bHeightFog;
  EVec3 m_vFogColor;
  float m_fDistanceFogStart, m_fDistanceFogEnd;
  float m_fHeightFogStart, m_fHeightFogEnd;
  EVec4 m_vVolumeFogColor;
  float m_fDetailCullingRange[2];
  uint32_t m_hDistortionTexture;
  float m_fDistortionScale;
  EVec3 m_vDistortionColor;
  int32_t m_iDistortionFilter;
  bool m_bDistortionFullScreen;
  EVec4 m_vShadowColor;
  int32_t m_iShadowBlendMode;
  bool m_bShadowFixedDirection;
  uint32_t m_idShadowFixedLightSource;
  float m_fShadowCullingBias;
  float m_fStaticLightIntensity;
  float m_fDynamicLightIntensity;
  float m_fLightRigIntensity;
  EVec3 m_vLightRigBoost;
  EVec3 m_vPsiLightColor;
  int32_t m_iNumWaterBlurs;
  float m_fReflectionScale;
  float m_fRefractionScale;
  float m_fReflectionBumpScale;
  float m_fRefractionBumpScale;
  float m_fFresnelBumpScale;
  int32_t m_iNumGlowBlurs;
  EVec4 m_vGlareColor;
  bool m_bAuras;
  uint32_t m_hEnvironmentMap;
  bool m_bMotionBlur;
  bool m_bMotionBlurHistoryValid;
  float m_fMotionBlurInputAmount;
  float m_fMotionBlurInputOffsetX, m_fMotionBlurInputOffsetY;
  float m_fMotionBlurOutputAmount;
  float m_fMotionBlurCurrentOutput;
  float m_fMotionBlurBlendMs;
  float m_fMotionBlurScale;
  int32_t m_iMotionBlurFilter;
  uint32_t m_idMotionBlurMaskTexture;
  float m_fMotionBlurWobbleAmplitude;
  float m_fMotionBlurWobblePeriodMs;
  uint32_t m_hMovieStaticTexture;
  uint32_t m_hRenderSplineTexture;
  float m_fRenderSplineThickness;
  float m_fRenderSplineDensity;
  bool m_bCoyoteProjectionsFrozen;
  float m_fPsychedelicAlphaTarget;
  float m_fPsychedelicAlpha;
  float m_fPsychedelicBlendMs;
  EMeshEntity* m_pSortingSphereEntity;
  ESphere m_SortingSphere;
  uint32_t m_dwSwitchableCollision;
  bool m_bShaderLOD;
  bool m_bMirrorScene;
  uint8_t m_byBinaryAlphaThreshold;

private:
  uint32_t m_hDefaultDistortionTexture;
  uint32_t m_hDefaultRenderSplineTexture;
};
