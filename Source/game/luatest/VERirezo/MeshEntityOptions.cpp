// Mesh-entity render options: the setters that give an entity its own
// option record, the derived alphas, the per-frame fades of both records
// and the camera fade that hides entities standing between the camera and
// the player.
#include <algorithm>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"

namespace meshentityoptions {

// Invisibility and the camera alpha move by the frame time over this (ms).
const float kFULL_CHANGE_MS = 600.0f;
// The alpha of a camera-faded entity.
const float kCAMERA_FADE_ALPHA = 0.2f;
const float kINVISIBILITY_ALPHA_LOSS = 0.8f;
// Transient flag of an entity that hides the player this frame.
const uint32_t kTRANSIENT_HIDES_PLAYER = 16;

// A timed move of a value toward its target: done when the time left fits
// in the frame.
template <class T>
bool RunFade(T& current, const T& target, float& fTimeLeft, float dt) {
  if (fTimeLeft == 0.0f) return false;
  if (fTimeLeft <= dt) {
    current = target;
    fTimeLeft = 0.0f;
    return true;
  }
  const float t = dt / fTimeLeft;
  current = current * (1.0f - t) + target * t;
  fTimeLeft -= dt;
  return false;
}

// Moves cur toward ideal by step without passing it; true when it moved.
bool Approach(float& fCur, float fIdeal, float fStep) {
  if (fCur == fIdeal) return false;
  fCur = fCur < fIdeal ? std::min(fIdeal, fCur + fStep) : std::max(fIdeal, fCur - fStep);
  return true;
}

// Screen rectangles overlap strictly.
bool RectsIntersect(const ERect& a, const ERect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool AnyFragmentCameraAlpha(const EMesh* pMesh) {
  if (!pMesh) return false;
  for (int i = 0; i < pMesh->GetNumMeshFrags(); ++i) {
    if (pMesh->GetMeshFrag(i)->m_dwFlags & kMESHFRAGFLAG_CAMERA_ALPHA) return true;
  }
  return false;
}

}  // namespace meshentityoptions

// ---------------------------------------------------------------------------
// Record fades

void EMeshEntityRenderOptionsSemiCommon::UpdateVisuals(float dt) {
  using meshentityoptions::RunFade;
  if (RunFade(m_vColor, m_vTargetColor, m_fColorFadeTime, dt)) m_byFlags |= kFLAG_Changed;
  if (RunFade(m_fAlpha, m_fTargetAlpha, m_fAlphaFadeTime, dt)) m_byFlags |= kFLAG_Changed;
  if (RunFade(m_fGlare, m_fTargetGlare, m_fGlareFadeTime, dt)) m_byFlags |= kFLAG_Changed;
}

void EMeshEntityRenderOptionsRare::UpdateVisuals(float dt) {
  using meshentityoptions::RunFade;
  if (RunFade(m_fAuraLevel, m_fAuraTarget, m_fAuraFadeTime, dt)) m_byFlags |= kFLAG_Changed;
  if (RunFade(m_fSolidColorIntensity, m_fSolidColorTargetIntensity, m_fSolidColorFadeTime, dt))
    m_byFlags |= kFLAG_Changed;
  const float fStep = dt / meshentityoptions::kFULL_CHANGE_MS;
  if (meshentityoptions::Approach(m_fCurInvisibility, m_fIdealInvisibility, fStep)) m_byFlags |= kFLAG_Changed;
  if (meshentityoptions::Approach(m_fCurCameraAlpha, m_fIdealCameraAlpha, fStep)) m_byFlags |= kFLAG_Changed;
}

// ---------------------------------------------------------------------------
// Own records

void EMeshEntity::InstanceRenderOptionsSemiCommon() {
  if (m_pRenderOptionsSemiCommon == &EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon)
    m_pRenderOptionsSemiCommon = new EMeshEntityRenderOptionsSemiCommon;
  EASSERT(m_pRenderOptionsSemiCommon !=
          &EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon);
}

void EMeshEntity::InstanceRenderOptionsRare() {
  if (m_pRenderOptionsRare == &EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare)
    m_pRenderOptionsRare = new EMeshEntityRenderOptionsRare;
  EASSERT(m_pRenderOptionsRare != &EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare);
}

// ---------------------------------------------------------------------------
// Setters

void EMeshEntity::SetColor(const EVec3& c, float fFadeMs) {
  InstanceRenderOptionsSemiCommon();
  EMeshEntityRenderOptionsSemiCommon& r = *m_pRenderOptionsSemiCommon;
  if (fFadeMs > 0.0f) {
    r.m_vTargetColor = c;
    r.m_fColorFadeTime = fFadeMs;
  } else {
    r.m_vColor = c;
    r.m_byFlags |= EMeshEntityRenderOptionsSemiCommon::kFLAG_Changed;
  }
}

void EMeshEntity::SetAlpha(float a, float fFadeMs) {
  InstanceRenderOptionsSemiCommon();
  EMeshEntityRenderOptionsSemiCommon& r = *m_pRenderOptionsSemiCommon;
  if (fFadeMs > 0.0f) {
    r.m_fTargetAlpha = a;
    r.m_fAlphaFadeTime = fFadeMs;
  } else {
    r.m_fAlpha = r.m_fTargetAlpha = a;
    r.m_fAlphaFadeTime = 0.0f;
    r.m_byFlags |= EMeshEntityRenderOptionsSemiCommon::kFLAG_Changed;
  }
}

void EMeshEntity::SetGlare(float g, float fFadeMs) {
  InstanceRenderOptionsSemiCommon();
  EMeshEntityRenderOptionsSemiCommon& r = *m_pRenderOptionsSemiCommon;
  if (fFadeMs > 0.0f) {
    r.m_fTargetGlare = g;
    r.m_fGlareFadeTime = fFadeMs;
  } else {
    r.m_fGlare = g;
    r.m_byFlags |= EMeshEntityRenderOptionsSemiCommon::kFLAG_Changed;
  }
}

#define MESHENTITY_SET_RARE(field, value)                          \
  do {                                                             \
    InstanceRenderOptionsRare();                                   \
    m_pRenderOptionsRare->field = (value);                         \
    m_pRenderOptionsRare->m_byFlags |= EMeshEntityRenderOptionsRare::kFLAG_Changed; \
  } while (0)

void EMeshEntity::SetAmbientLightColor(const EVec3& c) { MESHENTITY_SET_RARE(m_vAmbientLightColor, c); }

void EMeshEntity::FadeInAura(float fSeconds) {
  MESHENTITY_SET_RARE(m_fAuraTarget, 1.0f);
  m_pRenderOptionsRare->m_fAuraFadeTime = fSeconds * 1000.0f;
}

void EMeshEntity::FadeOutAura(float fSeconds) {
  MESHENTITY_SET_RARE(m_fAuraTarget, 0.0f);
  m_pRenderOptionsRare->m_fAuraFadeTime = fSeconds * 1000.0f;
}

void EMeshEntity::SetSolidColor(const EVec4& c) { MESHENTITY_SET_RARE(m_vSolidColor, c); }

void EMeshEntity::SetSolidColorIntensity(float i, float fSeconds) {
  InstanceRenderOptionsRare();
  EMeshEntityRenderOptionsRare& r = *m_pRenderOptionsRare;
  if (fSeconds > 0.0f) {
    r.m_fSolidColorTargetIntensity = i;
    r.m_fSolidColorFadeTime = fSeconds * 1000.0f;
  } else {
    r.m_fSolidColorIntensity = i;
    r.m_byFlags |= EMeshEntityRenderOptionsRare::kFLAG_Changed;
  }
}

void EMeshEntity::SetIdealInvisibility(float f) { MESHENTITY_SET_RARE(m_fIdealInvisibility, f); }

void EMeshEntity::SetIdealCameraAlpha(float f) {
  // Called every frame for every faded entity: no record while unchanged.
  if (m_pRenderOptionsRare->m_fIdealCameraAlpha == f) return;
  MESHENTITY_SET_RARE(m_fIdealCameraAlpha, f);
}

void EMeshEntity::SetCameraAlphaRadius(float f) { MESHENTITY_SET_RARE(m_fCameraAlphaRadius, f); }
void EMeshEntity::SetTexCoordTransVel(const EVec2& v) { MESHENTITY_SET_RARE(m_vTexCoordTransVel, v); }
void EMeshEntity::SetShadowCamera(ECamera* pCamera) { MESHENTITY_SET_RARE(m_pShadowCamera, pCamera); }
void EMeshEntity::SetShadowTexture(uint32_t hTexture) { MESHENTITY_SET_RARE(m_hShadowTexture, hTexture); }
void EMeshEntity::SetTexGenMatrix(const EMat4& m) { MESHENTITY_SET_RARE(m_mTexGen, m); }
void EMeshEntity::SetDistortionScale(float f) { MESHENTITY_SET_RARE(m_fDistortionScale, f); }
void EMeshEntity::SetDistortionColor(const EVec3& c) { MESHENTITY_SET_RARE(m_vDistortionColor, c); }
void EMeshEntity::SetLightRigScale(const EVec3& v) { MESHENTITY_SET_RARE(m_vLightRigScale, v); }

#undef MESHENTITY_SET_RARE

// ---------------------------------------------------------------------------
// Derived alphas

float EMeshEntity::GetCurInvisibilityForRendering() const {
  if (gGameApp && gGameApp->GetMainChannel().TestFixedBackground()) return 0.0f;
  if (GetEntityFlag(ENTITY_POST_EFFECTS)) return 0.0f;
  return GetCurInvisibility();
}

float EMeshEntity::GetShadowAlpha() const {
  return GetCurCameraAlpha() * GetAlpha() *
         (1.0f - meshentityoptions::kINVISIBILITY_ALPHA_LOSS * GetCurInvisibilityForRendering());
}

float EMeshEntity::GetCompoundAlpha() const { return m_fDetailCullingAlpha * GetShadowAlpha(); }

// ---------------------------------------------------------------------------
// The frame

void EMeshEntity::UpdateVisuals(float fFrameMs) {
  if (!GetVisible()) return;
  float fIdeal = 1.0f;
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  const bool bFading = gGameApp && gGameApp->m_DebugHooks.m_bCameraFading;
  if (bFading && pCamera && !pCamera->TestFreeLookMode()) {
    if (GetEntityFlag(ENTITY_CAMERA_ALPHA) && m_pMesh) {
      const EVec3& P = pCamera->GetPosition();
      const EBox3 B = GetTransformedBoundingBox();
      const EBox3 Q = gGameApp->GetPlayerBox();
      if (TWMath::SqrDistance(P, Q.FurthestPosition(P)) > TWMath::SqrDistance(P, B.NearestPosition(P))) {
        if (meshentityoptions::RectsIntersect(pCamera->CalculateScreenRect(B), pCamera->CalculateScreenRect(Q)))
          SetTransientFlag(meshentityoptions::kTRANSIENT_HIDES_PLAYER, true);
      }
    }
    if (GetTransientFlag(meshentityoptions::kTRANSIENT_HIDES_PLAYER)) {
      if (pCamera->GetPrimaryTarget() == this && pCamera->GetType() == kCAMERA_CHASE) {
        fIdeal = pCamera->GetPrimaryTargetAlpha();
      } else if (meshentityoptions::AnyFragmentCameraAlpha(m_pMesh)) {
        fIdeal = meshentityoptions::kCAMERA_FADE_ALPHA;
      }
    }
    if (GetUltimateParentEntity()->GetEntityFlag(ENTITY_CAMERA_ALPHA_INTERIOR) &&
        pCamera->GetType() != kCAMERA_FLY && pCamera->GetType() != kCAMERA_SCRIPT && TestCameraInterior(pCamera))
      fIdeal = meshentityoptions::kCAMERA_FADE_ALPHA;
  }
  SetIdealCameraAlpha(fIdeal);
  m_pRenderOptionsSemiCommon->UpdateVisuals(fFrameMs);
  m_pRenderOptionsRare->UpdateVisuals(fFrameMs);
}
