// The two render-option records of a mesh entity. An entity whose options
// are all at their defaults points at the shared default record of each
// kind, which is never written or freed.
#pragma once

#include <cstdint>

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class ECamera;

class EMeshEntityRenderOptionsSemiCommon {
public:
  enum : uint8_t { kFLAG_Changed = 0x01 };

  bool IsEverythingSetToDefaults() const;
  // The record to keep: the shared default for an own record that changed
  // and is back at its defaults (this one is then freed), else this one.
  EMeshEntityRenderOptionsSemiCommon* ReplaceInstanceWithDefaultIfAppropriate();
  // Runs the colour, alpha and glare fades for dt milliseconds.
  void UpdateVisuals(float dt);

  EVec3 m_vTargetColor = EVec3(1.0f, 1.0f, 1.0f);
  float m_fColorFadeTime = 0.0f;
  EVec3 m_vColor = EVec3(1.0f, 1.0f, 1.0f);
  float m_fTargetAlpha = 1.0f;
  float m_fAlphaFadeTime = 0.0f;
  float m_fAlpha = 1.0f;
  float m_fTargetGlare = 0.0f;
  float m_fGlareFadeTime = 0.0f;
  float m_fGlare = 0.0f;
  uint8_t m_byFlags = 0;

  static EMeshEntityRenderOptionsSemiCommon g_DefaultMeshEntityRenderOptionsSemiCommon;
};

class EMeshEntityRenderOptionsRare {
public:
  enum : uint8_t { kFLAG_Changed = 0x01 };

  EMeshEntityRenderOptionsRare() { m_mTexGen.LoadIdentity(); }
  ~EMeshEntityRenderOptionsRare();
  EMeshEntityRenderOptionsRare(const EMeshEntityRenderOptionsRare&) = delete;
  EMeshEntityRenderOptionsRare& operator=(const EMeshEntityRenderOptionsRare&) = delete;

  bool IsEverythingSetToDefaults() const;
  EMeshEntityRenderOptionsRare* ReplaceInstanceWithDefaultIfAppropriate();
  // Runs the aura and solid-colour fades and moves invisibility and the
  // camera alpha toward their ideals (a full change takes 600 ms).
  void UpdateVisuals(float dt);

  EVec3 m_vAmbientLightColor = EVec3(0.0f, 0.0f, 0.0f);
  float m_fIdealInvisibility = 0.0f;
  float m_fCurInvisibility = 0.0f;
  float m_fIdealCameraAlpha = 1.0f;
  float m_fCurCameraAlpha = 1.0f;
  float m_fCameraAlphaRadius = 0.0f;
  float m_fAuraTarget = 0.0f;
  float m_fAuraFadeTime = 0.0f;
  float m_fAuraLevel = 0.0f;
  EVec4 m_vSolidColor = EVec4(0.8f, 0.2f, 0.2f, 1.0f);
  float m_fSolidColorTargetIntensity = 0.0f;
  float m_fSolidColorFadeTime = 0.0f;
  float m_fSolidColorIntensity = 0.0f;
  EVec2 m_vTexCoordTransVel = EVec2(0.0f, 0.0f);
  float m_fDistortionScale = 10.0f;
  EVec3 m_vDistortionColor = EVec3(1.0f, 1.0f, 1.0f);
  EVec3 m_vLightRigScale = EVec3(1.0f, 1.0f, 1.0f);
  ECamera* m_pShadowCamera = nullptr;  // owned
  uint32_t m_hShadowTexture = 0;        // owned renderer texture
  EMat4 m_mTexGen;
  uint8_t m_byFlags = 0;

  static EMeshEntityRenderOptionsRare g_DefaultMeshEntityRenderOptionsRare;
};
