// Mesh render requests: culling of the mesh and its fragments, levels of
// detail, the debug filters and the camera channels that monitors and
// projected lights ask for; the dynamic box, joint debug drawing, domain
// sleep and the collision geometry's box and containment test.
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWMath/Intersect.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/Skeleton.h"
#include "VERirezo/TriggerShapes.h"

namespace meshrender {

// The render space in which channels are requested.
const int kMAIN_RENDER_SPACE = 0;
// The render space whose boxes are given relative to the camera.
const int kCAMERA_RELATIVE_SPACE = 1;
// A dynamic box that moves further than this invalidates the cached positions.
const float kBOX_MOVE_TOLERANCE = 1.0f;
const unsigned kCHANNEL_ON = 0x01;

// Switches a camera channel on for this frame and brings its nearest view
// distance down to the box's.
void RequestChannel(GameApp& app, int iChannel, const ECamera* pCamera, const EBox3& box) {
  if (iChannel < 0 || iChannel >= GameApp::kNUM_CAMERA_CHANNELS) return;
  ECameraChannel& channel = app.GetCameraChannel(iChannel);
  channel.m_dwFlags |= kCHANNEL_ON;
  const float fDistance = pCamera ? TWMath::Distance(pCamera->GetPosition(), box) : 0.0f;
  if (fDistance < channel.m_fDistance) channel.m_fDistance = fDistance;
  app.m_bChannelsWanted = true;
}

bool BoxMoved(const EBox3& a, const EBox3& b) {
  const EVec3 dMin = a.vMin - b.vMin;
  const EVec3 dMax = a.vMax - b.vMax;
  return fabsf(dMin.x) > kBOX_MOVE_TOLERANCE || fabsf(dMin.y) > kBOX_MOVE_TOLERANCE ||
         fabsf(dMin.z) > kBOX_MOVE_TOLERANCE || fabsf(dMax.x) > kBOX_MOVE_TOLERANCE ||
         fabsf(dMax.y) > kBOX_MOVE_TOLERANCE || fabsf(dMax.z) > kBOX_MOVE_TOLERANCE;
}

}  // namespace meshrender

void EMesh::onDomainSleep(bool bSleeping) {
  for (int i = 0; i < m_aLights.Num(); ++i) m_aLights[i]->SetEnabled(!bSleeping);
  for (int i = 0; i < m_aTriggerHandles.Num(); ++i) {
    if (ETriggerOBB* pTrigger = GetTrigger(i)) pTrigger->SetSleeping(bSleeping);
  }
}

void EMesh::RequestRender() {
    if (!GetActive() || !gGameApp) return;
  GameApp& app = *gGameApp;
  ECamera* pCamera = app.GetRenderCamera();
  EMeshEntity* pParentEntity = GetParentEntity();
  const int iRenderSpace = app.m_iRenderSpace;
  const bool bRelative = iRenderSpace == meshrender::kCAMERA_RELATIVE_SPACE;

  // Meshes of entities are culled by their entity.
  if (!pParentEntity && pCamera && !pCamera->BoxVisible(GetTransformedBoundingBox(), &m_VisibilityCache, bRelative))
    return;
  if (app.m_iRenderMode == kRENDERMODE_MONITORS && m_pOwner && m_pOwner->GetEntityFlag(ENTITY_REFLECTOR)) return;

  const EDebugHooks& hooks = app.m_DebugHooks;
  if (gDebugLine) {
    if (hooks.m_bDebugCameraAlpha && m_pOwner && m_pOwner->GetCurCameraAlpha() < 1.0f) {
      gDebugLine->AddBox(m_Box, &m_mInclusiveTrans, &cg_vRed, 0);
    } else if (hooks.m_bShowBoundingBoxes) {
      gDebugLine->AddBox(m_Box, &m_mInclusiveTrans, &cg_vWhite, 0);
    }
  }
  bool bFragmentsSuppressed = false;
  if (hooks.m_bShowSkeletons) {
    for (int i = 0; i < m_aSkeletons.Num(); ++i) {
      if (EJoint* pRoot = m_aSkeletons[i]->GetRootJoint()) DebugRenderJoint(pRoot, true);
    }
    bFragmentsSuppressed = hooks.m_bShowSkeletonsOnly && m_aSkeletons.Num() > 0;
  }

  m_iRenderSpace = iRenderSpace;
  if (hooks.IsNormalCollisionDisplay() && !bFragmentsSuppressed) {
    EMeshFragManager* pFrags = app.GetMeshFragManager();
    const int iFrame = app.m_iFrameCount;
    const int iNumLODs = m_pModel->GetNumLODs();
    int iCameraLOD = -1;  // asked for once, when a fragment needs it
    const ECamera* pShadowCamera = pParentEntity ? pParentEntity->GetShadowCamera() : nullptr;
    for (int i = 0; i < m_aMeshFrags.Num(); ++i) {
      EMeshFrag* pFrag = m_aMeshFrags[i];
      if (pFrag->m_iVisibleFrame == iFrame) continue;
      const int iLOD = pFrag->m_pModelFrag ? pFrag->m_pModelFrag->m_byLOD : 0;
      if (iLOD != 0 && iLOD != iNumLODs) {
        if (iCameraLOD < 0) iCameraLOD = GetLODForCamera(pCamera);
        if (iLOD != iCameraLOD) continue;
      }
      if (!pFrag->m_pVisibilityCache) pFrag->m_pVisibilityCache = new EVisibilityCache;
      if (!pShadowCamera && pCamera) {
        const EBox3 box = pFrag->GetTransformedBoundingBox();
        const bool bVisible = (bRelative || (pFrag->m_dwFlags & kMESHFRAGFLAG_TRANSLUCENT_ENTITY))
                                  ? pCamera->BoxIntersectsFrustum(box, bRelative)
                                  : pCamera->BoxVisible(box, pFrag->m_pVisibilityCache, false);
        if (!bVisible) continue;
      }
      const bool bAdditive = pFrag->IsAdditiveBlended();
      if (m_pOwner) {
        if (!pFrag->HasAlphaFlags()) m_pOwner->SetTransientFlag(ENTITYTRANSIENT_DREW_OPAQUE, true);
        if (!bAdditive) m_pOwner->SetTransientFlag(ENTITYTRANSIENT_DREW_NONADDITIVE, true);
      }
      if (bAdditive && (hooks.m_bDebugLights || !hooks.m_bLights)) continue;
      if (pFrag->IsDecal() && !hooks.m_bDecals) continue;
      if ((pFrag->IsAlphaBlended() || bAdditive) && !hooks.m_bTransparentGeometry) continue;
      if (pFrag->IsBinaryAlpha() && !hooks.m_bBinaryAlpha) continue;
      if (pFrag->IsDistantGeometry() && !hooks.m_bDistantGeometry) continue;

      if (pFrags) {
        pFrags->MeshFragMarkVisible(pFrag);
      } else {
        pFrag->m_iVisibleFrame = iFrame;
      }
      if (pFrag->m_pDynamicLightBlock) pFrag->m_pDynamicLightBlock->m_iLightCount = -1;

      if (iRenderSpace != meshrender::kMAIN_RENDER_SPACE) continue;
      const EBox3 box = pFrag->GetTransformedBoundingBox();
      if (pFrag->m_pModelFrag && pFrag->m_pModelFrag->m_iMonitorChannel != -1)
        meshrender::RequestChannel(app, pFrag->m_pModelFrag->m_iMonitorChannel, pCamera, box);
      if (ELightManager* pLights = app.GetLightManager()) {
        const EArray<ELight*>& aProjected = pLights->GetProjectedLights();
        for (int k = 0; k < aProjected.Num(); ++k) {
          ELight* pLight = aProjected[k];
          const EProjectedLight* pProjected = pLight->GetProjectedLight();
          if (!pProjected || pProjected->m_iMonitorChannel == -1 || !pLight->IsVisible()) continue;
          if (TWMath::TestIntersection(box, pLight->GetProjectedLightFrustum()))
            meshrender::RequestChannel(app, pProjected->m_iMonitorChannel, pCamera, box);
        }
      }
    }
  }
  // The collision display draws trees once they can draw themselves.

  if (!m_pParent && HasSkeleton() && m_aMeshFrags.Num() > 1) ++app.m_nSkinnedMeshes;
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->RequestRender();
}

void EMesh::UpdateDynamicBoundingBox() {
  const EBox3 old = m_Box;
  EBox3 box(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
  for (int i = 0; i < m_aMeshFrags.Num(); ++i) {
    EMeshFrag* pFrag = m_aMeshFrags[i];
    pFrag->updateDynamicBoundingBox();
    const EBox3 fragBox = pFrag->GetUntransformedBoundingBox();
    box.Add(fragBox.vMin);
    box.Add(fragBox.vMax);
  }
  m_Box = box;
  if (meshrender::BoxMoved(old, box)) InvalidateCachedPositions();
}

void EMesh::DebugRenderJoint(EJoint* pJoint, bool bIsRoot) {
  if (!pJoint || !gGameApp) return;
  const EMat4 mJoint = GetInclusiveTrans() * pJoint->GetTransNoScale();
  const EVec3 vStart = gGameApp->GetModelToWorld().TransformPoint(EVec3(0.0f, 0.0f, 0.0f));
  const EVec3 vEnd = mJoint.TransformPoint(EVec3(0.0f, 0.0f, 0.0f));
  if (!bIsRoot) {
    EMat4 mIdentity;
    mIdentity.LoadIdentity();
    gGameApp->SetModelToWorld(mIdentity);
    static const EVec4 s_vGreen(0.0f, 1.0f, 0.0f, 1.0f);
    if (gDebugLine) gDebugLine->AddLine(vStart, vEnd, &s_vGreen, 0);
  }
  gGameApp->SetModelToWorld(mJoint);
  for (EJoint* pChild = pJoint->GetChild(); pChild; pChild = pChild->GetSibling()) {
    gGameApp->SetModelToWorld(mJoint);
    DebugRenderJoint(pChild, false);
  }
}

bool EMesh::HasCollision() const {
  if (const ECollisionTree* pTree = GetCollisionTree()) {
    if (pTree->GetPolyCount() > 0) return true;
  }
  for (int i = 0; i < m_aChildren.Num(); ++i) {
    if (m_aChildren[i]->HasCollision()) return true;
  }
  return false;
}

bool EMesh::CheckForContainment(const EVec3& vPoint, bool bFlag) {
  ECollisionTree* pTree = GetCollisionTree();
  if (!pTree) return false;
  return pTree->CheckForContainment(GetInvInclusiveTrans().TransformPoint(vPoint), bFlag, 1);
}

EBox3 EMesh::GetTransformedCollisionBoundingBox() {
  const ECollisionTree* pTree = GetCollisionTree();
  if (!pTree) return EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
  if (InclusiveTransIsIdentity()) return pTree->GetBoundingBox();
  return pTree->GetBoundingBox().TransformAffine(GetInclusiveTrans());
}
