// Mesh-entity render requests: whether and how the entity is drawn in a
// camera pass (visibility, interior hiding, fog distance, level of detail,
// detail culling, alpha), the frame's lists of special entities, the facial
// weight, the camera interior test and the developer displays.
#include <strings.h>

#include <algorithm>
#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/LoadingScreen.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWGraphics/Color.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/Array.h"
#include "VERirezo/BlendAnimController.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/Skeleton.h"

namespace meshentityrender {

const int kSKYBOX_RENDER_SPACE = 1;
// Past this squared distance from the camera (2400 units) only solid
// shadows are cast while levels of detail are on.
const float kSHADOW_DISTANCE_SQ = 5760000.0f;
const unsigned kCHANNEL_ON = 0x01;
// Set while the entity has animation to pose.
const uint32_t kTRANSIENT_ANIMATED = 32;
// The player's camera-interior cylinder.
const float kPLAYER_INTERIOR_HEIGHT = 155.0f;
const float kPLAYER_INTERIOR_RADIUS = 60.0f;
// Voice fade per second of voice.
const float kVOICE_FADE_RATE = 4.0f;

EScene* CurrentScene() {
  ESceneManager* pManager = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  return pManager ? pManager->GetCurrentScene() : nullptr;
}

bool InList(const EList<EMeshEntity*>& list, const EMeshEntity* pEntity) {
  for (POSITION pos = list.GetHeadPosition(); pos;) {
    if (list.GetNext(pos) == pEntity) return true;
  }
  return false;
}

// A reflector whose reflection the pass does not gather itself asks for its
// channel here.
void RequestReflectionChannel(GameApp& app, EMeshEntity* pEntity, const ECamera* pCamera, const EBox3& box) {
  EScriptObject* pObject = pEntity->GetScriptObject();
  if (!pObject) return;
  int iChannel = 0;
  if (!pObject->GetTableValue("reflectionChannel", iChannel)) return;
  const char* szDomain = nullptr;
  EScriptObject* pDomainObject = nullptr;
  float fDomain = 0.0f;
  if (pObject->GetTableValue("reflectionDomain", szDomain) || pObject->GetTableValue("reflectionDomain", pDomainObject) ||
      pObject->GetTableValue("reflectionDomain", fDomain))
    return;
  EScriptObject* pBase = nullptr;
  const bool bBase = pObject->GetTableValue("reflectionBase", pBase) && pBase;
  if (!bBase) {
    EArray<EScriptObject*> aEntities;
    if (app.GetScriptVM()->GetTableArray(pObject, "reflectionEntities", &aEntities)) return;
  }
  if (iChannel < 0 || iChannel >= GameApp::kNUM_CAMERA_CHANNELS) return;
  ECameraChannel& channel = app.GetCameraChannel(iChannel);
  channel.m_dwFlags |= kCHANNEL_ON;
  const float fDistance = pCamera ? TWMath::Distance(pCamera->GetPosition(), box) : 0.0f;
  channel.m_fDistance = std::min(channel.m_fDistance, fDistance);
  app.m_bReflectionWanted = true;
}

void DrawCollisionSpheres(EMeshEntity* pEntity) {
  EPhysics* pPhysics = pEntity->GetPhysics();
  if (!pPhysics || !gDebugLine || pPhysics->GetCollisionType() == CPT_Triangles) return;
  static const EVec4 kSPHERE_COLOURS[4] = {EVec4(1, 1, 1, 1), EVec4(1, 0.5f, 0.5f, 1), EVec4(0.25f, 1, 0.25f, 1),
                                          EVec4(0.5f, 0.5f, 1, 1)};
  const EVec3 vPos = pPhysics->GetAbsPosition();
  for (int i = 0; i < pPhysics->GetNumCollideSpheres(); ++i) {
    const ESphere& s = *pPhysics->GetCollideSphere(i);
    if (s.radius == 0.0f) continue;
    EVec3 vOffset = s.centre;
    if (pPhysics->GetCollisionType() == CPT_Spheres_ModelSpace) vOffset = pPhysics->GetAbsTrans().Mul3Vec3(vOffset);
    EVec4 colour = kSPHERE_COLOURS[std::min(i, 3)];
    if (pPhysics->GetAttachParent()) colour = colour * 0.4f;
    if (!(pPhysics->IsCollidee() && pPhysics->IsCollider())) {
      colour = pPhysics->IsCollidee()  ? EVec4(0, 1, 0, 1)
               : pPhysics->IsCollider() ? EVec4(1, 0, 0, 1)
                                        : EVec4(0.5f, 0.5f, 0.5f, 1);
    }
    gDebugLine->AddSphere(vPos + vOffset, s.radius, &colour);
    if (vOffset.x != 0.0f || vOffset.z != 0.0f) gDebugLine->AddLine(vPos, vPos + vOffset, &colour, 0);
  }
}

// The name and health of a scripted character, at its place on the screen.
void DrawNPCText(GameApp& app, EMeshEntity* pEntity) {
  EScriptObject* pObject = pEntity->GetScriptObject();
  ECamera* pCamera = app.GetRenderCamera();
  if (!pObject || !pCamera) return;
  int iNPC = 0;
  if (!pObject->GetTableValue("bIsNPC", iNPC) || iNPC == 0) return;
  const EVec3 vScreen = pCamera->WorldCoordsToScreen(pEntity->GetPosition(), false);
  if (!(vScreen.z < 1.0f) || !(vScreen.x >= 0.0f && vScreen.x < 65536.0f) || !(vScreen.y >= 0.0f && vScreen.y < 65536.0f))
    return;
  const unsigned x = (unsigned)vScreen.x, y = (unsigned)vScreen.y;
  float fMax = 0.0f, fHp = 0.0f;
  const unsigned kNPC_TEXT_STYLE = 3;
  app.DisplayText(kNPC_TEXT_STYLE, x, y, "Name: %s", pEntity->GetName());
  if (pObject->GetTableValue("maxhp", fMax)) app.DisplayText(kNPC_TEXT_STYLE, x, y + 15, "Max Health: %0.2f", fMax);
  if (pObject->GetTableValue("hp", fHp)) app.DisplayText(kNPC_TEXT_STYLE, x, y + 30, "Curr Health: %0.2f", fHp);
}

}  // namespace meshentityrender

// ---------------------------------------------------------------------------
// Facial weight pieces

float EMeshEntity::FacialFacing(float d) {
  if (d > 0.45f) return 0.0f;
  if (d > 0.35f) return 1.0f - (d - 0.35f) * 10.0f;
  return 1.0f;
}

float EMeshEntity::FacialSize(float fDiagonal) {
  if (fDiagonal <= 230.0f) return 0.0f;
  if (fDiagonal <= 300.0f) return 1.0f - (300.0f - fDiagonal) / 70.0f;
  return 1.0f;
}

float EMeshEntity::StepVoiceFade(float fFade, bool bTalking, float dt) {
  const float fStep = meshentityrender::kVOICE_FADE_RATE * dt;
  if (bTalking && fFade < 1.0f) return std::min(1.0f, fFade + fStep);
  if (!bTalking && fFade > 0.0f) return std::max(0.0f, fFade - fStep);
  return fFade;
}

// ---------------------------------------------------------------------------
// Camera interior

bool EMeshEntity::TestCameraInterior(const ECamera* pCamera) {
  EEntity* pParent = GetUltimateParentEntity();
  if (!pCamera) return false;
  if (!gGameApp || pParent != gGameApp->GetPlayer()) {
    if (!pParent->IsMeshEntity()) return false;
    EMeshEntity* pMeshParent = static_cast<EMeshEntity*>(pParent);
    if (!pMeshParent->GetMesh()) return false;
    return TWMath::TestIntersection(pCamera->GetPosition(), pMeshParent->GetTransformedBoundingBox());
  }
  EVec3 o = pCamera->GetPosition() - pParent->GetPosition();
  if (pCamera->GetTargetFrameRotationFlag()) o = pCamera->GetTargetFrameRotation().Mul3Vec3(o);
  const float fRadius = sqrtf(o.x * o.x + o.z * o.z);
  return o.y >= 0.0f && o.y <= meshentityrender::kPLAYER_INTERIOR_HEIGHT &&
         fRadius <= meshentityrender::kPLAYER_INTERIOR_RADIUS;
}

// ---------------------------------------------------------------------------
// The request

void EMeshEntity::RequestRender() {
  using namespace meshentityrender;
  if (!gGameApp || !m_pMesh) return;
  GameApp& app = *gGameApp;
  const EDebugHooks& hooks = app.m_DebugHooks;

  // Skinned meshes may be switched off for debugging.
  if (m_pMesh->HasSkeleton() && (hooks.m_bHideSkinnedMeshes || !hooks.m_bShowSkinnedMeshes)) return;
  if (!GetVisible()) return;
  if (m_pMesh->GetNumMeshFrags() == 0 && m_pMesh->GetNumChildren() == 0 && hooks.IsNormalCollisionDisplay()) return;

  EBox3 box = GetTransformedBoundingBox();
  ECamera* pShadowCamera = GetShadowCamera();
  if (pShadowCamera) box.Add(pShadowCamera->GetViewFrustum().m_Bounds);

  ECamera* pCamera = app.GetRenderCamera();
  const bool bRelative = app.m_iRenderSpace == kSKYBOX_RENDER_SPACE;
  if (pCamera) {
    const bool bSeen = (m_pMesh->GetFlags() & EMesh::kFLAG_EntityMesh)
                           ? pCamera->BoxIntersectsFrustum(box, bRelative)
                           : pCamera->BoxVisible(box, &m_pMesh->GetVisibilityCache(), bRelative);
    if (!bSeen) return;
  }

  ECamera* pCurrent = app.GetCurrentCamera();
  if (GetUltimateParentEntity()->GetEntityFlag(ENTITY_CAMERA_INVIS_INTERIOR) && pCurrent &&
      pCurrent->GetType() == kCAMERA_CHASE && TestCameraInterior(pCurrent))
    return;

  EScene* pScene = CurrentScene();
  ESceneSettings* pSettings = pScene ? &pScene->GetSettings() : nullptr;
  if (pSettings && pSettings->m_bDistanceFog && pCamera &&
      TWMath::SqrDistance(pCamera->GetPosition(), box.NearestPosition(pCamera->GetPosition())) >
          pSettings->m_fDistanceFogEnd * pSettings->m_fDistanceFogEnd)
    return;

  const bool bShaderLOD = pSettings && pSettings->m_bShaderLOD;
  if (bShaderLOD) {
    const float fDistance = PIN((app.NearestViewDistance(box) - 8000.0f) / -7000.0f, 0.0f, 1.0f);
    const float fPixels = PIN((app.LargestPixelDiagonal(box) - 10.0f) / 390.0f, 0.0f, 1.0f);
    m_fDetailValue = std::max(fDistance, fPixels);
  } else {
    m_fDetailValue = 1.0f;
  }

  if (GetEntityFlag(ENTITY_DETAIL_CULLING)) {
    float fFade = 1.0f;
    if (bShaderLOD && hooks.m_bDetailCulling) {
      const float fNear = pSettings->m_fDetailCullingRange[0];
      const float fFar = pSettings->m_fDetailCullingRange[1];
      const float v = m_fDetailValue;
      if (v < fFar) {
        fFade = 0.0f;
      } else if (v < fNear) {
        fFade = 1.0f - SafeDivide(fNear - v, fNear - fFar);
      }
      if (hooks.m_bDebugDetailCulling && gDebugLine) gDebugLine->AddBox(box, nullptr, &cg_vWhite, 0);
    }
    SetDetailCullingAlpha(fFade);
  }

  const float fAlpha = pShadowCamera ? GetShadowAlpha() : GetCompoundAlpha();
  if (fAlpha == 0.0f && !GetEntityFlag(ENTITY_REFLECTOR)) return;

  m_pMesh->RequestRender();

  if (GetEntityFlag(ENTITY_DRAWSHADOW) && !InList(app.m_lShadowCasters, this)) {
    if (app.GetPlayer() == this) {
      app.m_lShadowCasters.AddHead(this);
    } else if (GetEntityFlag(ENTITY_SOLID_SHADOW) || !bShaderLOD ||
               (pCamera && TWMath::SqrDistance(pCamera->GetPosition(), GetPosition()) < kSHADOW_DISTANCE_SQ)) {
      app.m_lShadowCasters.AddTail(this);
    }
    if (hooks.m_bDebugShadows && pShadowCamera && gDebugLine) {
      gDebugLine->AddFrustum(pShadowCamera->GetViewFrustum(), &cg_vYellow, 0);
      gDebugLine->AddArrow(pShadowCamera->GetPosition(),
                           pShadowCamera->GetPosition() + pShadowCamera->GetViewVector() * 50.0f, &cg_vYellow, 0);
    }
  }

  if (GetEntityFlag(ENTITY_REFLECTOR) && !InList(app.m_lReflectors, this) && hooks.m_bWaterEnabled) {
    app.m_lReflectors.AddHead(this);
    RequestReflectionChannel(app, this, pCamera, GetTransformedBoundingBox());
  }

  if (GetAuraColor().w != 0.0f && !InList(app.m_lAuraEntities, this)) app.m_lAuraEntities.AddHead(this);
  if (GetEntityFlag(ENTITY_STENCIL_CASTER) && !InList(app.m_lStencilCasters, this))
    app.m_lStencilCasters.AddHead(this);
  if (GetEntityFlag(ENTITY_POST_EFFECTS) && !InList(app.m_lPostEffectEntities, this)) {
    if (GetUltimateParentEntity()->GetEntityFlag(ENTITY_LIGHT_RIG)) {
      app.m_lPostEffectEntities.AddHead(this);
    } else {
      app.m_lPostEffectEntities.AddTail(this);
    }
  }

  if (pSettings && pSettings->m_pSortingSphereEntity == this)
    pSettings->m_SortingSphere = ESphere(GetTransformedBoundingBox());

  bool bAnimated = false;
  if (m_pMesh->HasSkeleton()) {
    bAnimated = !m_pMesh->GetSkeleton(0)->GetSkelAnims().IsEmpty() || GetEntityFlag(ENTITY_ALWAYS_POSE);
  }
  if (!bAnimated && m_pMesh->hasBlendShape()) {
    EBlendAnimController* pController = m_pMesh->GetBlendAnimController();
    bAnimated = pController && pController->GetList().count() > 0;
  }
  if (bAnimated) SetTransientFlag(kTRANSIENT_ANIMATED, true);

  if (m_pDynamicLightBlock) m_pDynamicLightBlock->m_iLightCount = -1;

  UpdateFacialWeight(pCamera, pSettings);
  RenderDebugDisplays();
}

void EMeshEntity::UpdateFacialWeight(const ECamera* pCamera, const ESceneSettings* pSettings) {
  m_fFacialWeight = 1.0f;
  if (!m_pMesh->hasBlendShape() || ELoadingScreen::IsRunning()) return;
  EEntity* pGlobal = gGameApp->GetGlobalEntity();
  EScriptObject* pObject = pGlobal ? pGlobal->GetScriptObject() : nullptr;
  EASSERT(pObject);
  if (!pObject) return;
  if (gGameApp->GetScriptVM()->InCutscene()) return;
  int iPlaying = 1;
  pObject->GetTableValue("cutsceneScript.cutscenePlaying", iPlaying);
  if (iPlaying != 0) return;
  if (pSettings && !pSettings->m_bShaderLOD) return;

  float fFacing = 1.0f;
  if (m_pHeadJoint && pCamera) {
    const EMat4 H =
        m_pMesh->GetInclusiveTrans().Mul(m_pHeadJoint->m_mPose.Mul(m_qLookAtParams.Conjugate().ToMatrix()));
    EVec3 v = H.GetTranslation() - pCamera->GetPosition();
    v.Normalize();
    const EVec3 vZ(H.m[8], H.m[9], H.m[10]);
    fFacing = FacialFacing(v.Dot(vZ));
  }
  float fSize = 1.0f;
  if (fFacing > 0.0f && pCamera) fSize = FacialSize(pCamera->CalculateScreenDiagonal(GetTransformedBoundingBox()));
  const bool bTalking =
      gGameApp->m_pSoundManager && gGameApp->m_pSoundManager->IsEntityPlayingCategory(this, kSOUNDCAT_VOICE);
  m_fVoiceFade = StepVoiceFade(m_fVoiceFade, bTalking, gGameApp->GetSimDeltaTime());
  m_fFacialWeight = std::min(std::max(fSize, m_fVoiceFade), fFacing);
}

void EMeshEntity::RenderDebugDisplays() {
  GameApp& app = *gGameApp;
  const EDebugHooks& hooks = app.m_DebugHooks;
  EPhysics* pPhysics = GetPhysics();
  if (gDebugLine && pPhysics && (hooks.m_iDebugGeometryMode == 1 || hooks.m_iDebugGeometryMode == 2)) {
    const EVec3 vFrom = GetPosition() + EVec3(0.0f, 1.0f, 0.0f);
    gDebugLine->AddLine(vFrom, vFrom + pPhysics->GetForward() * 50.0f, &cg_vRed, 0);
    gDebugLine->AddLine(vFrom, vFrom + pPhysics->GetUp() * 50.0f, &cg_vGreen, 0);
    gDebugLine->AddLine(vFrom, vFrom + pPhysics->GetRight() * 50.0f, &cg_vBlue, 0);
  }
  if (hooks.m_bNPCDebug) meshentityrender::DrawNPCText(app, this);
  if (hooks.ShowTargets && strcasecmp(GetName(), "Ruzi") == 0) RenderDebugViewCone();
  if (hooks.m_bCollisionSpheres || hooks.m_iDebugGeometryMode == 1) meshentityrender::DrawCollisionSpheres(this);
  const ECameraChannel* pChannel = app.GetRenderChannel();
  if ((hooks.m_bDebugLights || hooks.m_bDebugLightRanges) && (!pChannel || pChannel == &app.GetMainChannel()) &&
      GetEntityFlag(ENTITY_LIGHT_RIG) && app.GetLightManager())
    app.GetLightManager()->RequestRenderSpheres(this);
}

void EMeshEntity::RenderDebugViewCone() {
  if (!gDebugTri || !gGameApp) return;
  EPhysics* pPhysics = GetPhysics();
  if (!pPhysics) return;
  EVec3 vApex = GetPosition() + pPhysics->GetUp() * 40.0f;
  vApex.y += 0.5f;
  const float fReach = 500.0f / cosf(m_fViewCone * (float)M_PI / 180.0f);
  const float fSpin = (float)gGameApp->GetSimElapsedTime() * 160.0f * (float)M_PI / 180.0f;
  const EVec3 vSide = pPhysics->GetUp() * sinf(fSpin) + pPhysics->GetRight() * cosf(fSpin);
  EVec3 vEdge1 = pPhysics->GetForward() + vSide;
  EVec3 vEdge2 = pPhysics->GetForward() - vSide;
  vEdge1.Normalize();
  vEdge2.Normalize();
  const EVec4 colour(1.0f, 1.0f, 0.0f, 0.3f);
  // Both windings, so the cone shows from either side.
  gDebugTri->AddTri(ETri3(vApex, vApex + vEdge1 * fReach, vApex + vEdge2 * fReach), &colour, kDEBUGTRI_ONE_COLOR);
  gDebugTri->AddTri(ETri3(vApex, vApex + vEdge2 * fReach, vApex + vEdge1 * fReach), &colour, kDEBUGTRI_ONE_COLOR);
}
