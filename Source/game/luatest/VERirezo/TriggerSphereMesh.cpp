// Sphere triggers, fixed or riding an entity, and mesh triggers whose
// volume is a loaded mesh's collision geometry.
#include <cstdio>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Font.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Physics.h"
#include "VERirezo/TriggerShapes.h"

namespace triggershape {
// The entity's up vector; world up without physics.
EVec3 UpOf(EEntity* pEntity) {
  const EPhysics* pPhys = pEntity ? pEntity->GetPhysics() : nullptr;
  return pPhys ? pPhys->GetUp() : EVec3(0.0f, 1.0f, 0.0f);
}
}  // namespace triggershape

// --- ETriggerSphere ------------------------------------------------------------------------

ETriggerSphere::ETriggerSphere(const ESphere& sphere, EEntity* pOwner) : m_vRelPosition(sphere.centre) {
  m_Sphere = ESphere(sphere.centre, sphere.radius);
  if (pOwner) AttachToOwner(pOwner);
  PlaceCentre();
  m_eType = kTRIGGER_SPHERE;
  SetCollisionManager(&ECollisionManager::sm_CM);
  SetSleeping(false);
}

unsigned int ETriggerSphere::Create(const ESphere& sphere, EEntity* pOwner) {
  return (new ETriggerSphere(sphere, pOwner))->GetHandle();
}

void ETriggerSphere::Destroy(ETriggerSphere* pTrigger) { delete pTrigger; }

void ETriggerSphere::PlaceCentre() {
  const EPhysics* pPhys = m_pOwner ? m_pOwner->GetPhysics() : nullptr;
  m_Sphere.centre = pPhys ? pPhys->GetAbsTrans().TransformPoint(m_vRelPosition) : m_vRelPosition;
}

void ETriggerSphere::SetSphere(const ESphere& sphere) {
  m_vRelPosition = sphere.centre;
  m_Sphere.radius = sphere.radius;
  PlaceCentre();
  Refile();
}

void ETriggerSphere::ParentMoved(EPhysics* pParent) {
  if (!pParent) return;
  m_Sphere.centre = pParent->GetAbsTrans().TransformPoint(m_vRelPosition);
  Refile();
}

bool ETriggerSphere::Holds(const ESphere& s) const {
  const float fReach = s.radius + m_Sphere.radius;
  return fReach * fReach > (s.centre - m_Sphere.centre).LengthSquared();
}

bool ETriggerSphere::Contains(EEntity* pEntity) const { return Holds(GetTriggeringSphere(pEntity)); }

EBox3 ETriggerSphere::GetCollisionBoundingBox() const { return EBox3(m_Sphere); }

void ETriggerSphere::ProcessIntersection(const ESweepHitQuery& query, bool) {
  if (GetNumListeners() == 0) return;
  const ESphere end(query.vStart + query.vMove * query.fMaxT, query.fRadius);
  if (Holds(end)) AddEntity(query.pCollider, nullptr);
  else RemoveEntity(query.pCollider, nullptr);
}

void ETriggerSphere::Describe(char* szBuf, int nSize) const {
  if (!szBuf || nSize <= 0) return;
  const char* szName = GetNumListeners() ? GetListeners()[0]->GetName() : nullptr;
  if (szName) snprintf(szBuf, (size_t)nSize, "TS:%s", szName);
  else snprintf(szBuf, (size_t)nSize, "TS:(null)");
}

void ETriggerSphere::RequestRender() const {
  static const EVec4 s_vColour(238.0f / 255.0f, 172.0f / 255.0f, 123.0f / 255.0f, 1.0f);
  if (!gGameApp) return;
  if (EDebugLineManager* pLines = gGameApp->m_pDebugLineManager) pLines->AddSphere(m_Sphere, &s_vColour);
  if (EFont* pFont = gGameApp->GetFont(2)) {
    char szText[40];
    Describe(szText, (int)sizeof(szText));
    pFont->Display3dText(m_Sphere.centre, szText, 0.3f, 2000.0f, s_vColour, EVec2(0.0f, 0.0f), 1);
  }
}

// --- ETriggerMesh --------------------------------------------------------------------------

ETriggerMesh::ETriggerMesh(const char* szMesh, const EMat4& mTrans) : m_pMesh(nullptr) { Init(szMesh, mTrans); }

ETriggerMesh::ETriggerMesh(const char* szMesh, EEntity* pOwner) : m_pMesh(nullptr) {
  AttachToOwner(pOwner);
  const EPhysics* pPhys = pOwner ? pOwner->GetPhysics() : nullptr;
  EMat4 mTrans;
  if (pPhys) mTrans = pPhys->GetAbsTrans();
  else mTrans.LoadIdentity();
  Init(szMesh, mTrans);
}

ETriggerMesh::~ETriggerMesh() {
  // Out of the grid before the mesh goes.
  SetCollisionManager(nullptr);
  if (m_pMesh) {
    if (EMeshManager* pMeshes = EMeshManager::GetMeshManager()) pMeshes->UnloadMesh(m_pMesh);
    m_pMesh = nullptr;
  }
}

void ETriggerMesh::Init(const char* szMesh, const EMat4& mTrans) {
  EMeshManager* pMeshes = EMeshManager::GetMeshManager();
  m_pMesh = pMeshes && szMesh ? pMeshes->LoadMesh(szMesh, kDATATYPE_LEVEL_MISC) : nullptr;
  if (!m_pMesh) return;
  if (!m_pMesh->GetCollisionTree()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "TriggerMesh mesh %s has no collision", szMesh);
    pMeshes->UnloadMesh(m_pMesh);
    m_pMesh = nullptr;
    return;
  }
  m_pMesh->SetRotation(mTrans);
  m_pMesh->SetPosition(mTrans.GetTranslation());
  m_eType = kTRIGGER_MESH;
  SetCollisionManager(&ECollisionManager::sm_CM);
  SetSleeping(false);
}

void ETriggerMesh::SetPosition(const EVec3& v) {
  if (!m_pMesh) return;
  m_pMesh->SetPosition(v);
  Refile();
}

void ETriggerMesh::SetRotation(const EMat4& m) {
  if (!m_pMesh) return;
  m_pMesh->SetRotation(m);
  Refile();
}

void ETriggerMesh::ParentMoved(EPhysics* pParent) {
  if (!m_pMesh || !pParent) return;
  m_pMesh->SetPosition(pParent->GetAbsTrans().GetTranslation());
  m_pMesh->SetRotation(pParent->GetAbsTrans());
  Refile();
}

bool ETriggerMesh::Contains(EEntity* pEntity) const {
  if (!m_pMesh) return false;
  const ESphere s = GetTriggeringSphere(pEntity);
  return m_pMesh->CheckForContainment(s.centre - triggershape::UpOf(pEntity) * s.radius, true);
}

EBox3 ETriggerMesh::GetCollisionBoundingBox() const {
  if (!m_pMesh) return EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
  return m_pMesh->GetTransformedCollisionBoundingBox();
}

void ETriggerMesh::ProcessIntersection(const ESweepHitQuery& query, bool) {
  if (!m_pMesh) return;
  EEntity* pEntity = query.pCollider;
  const EVec3 F = triggershape::UpOf(pEntity) * -query.fRadius;
  const EVec3 S = query.vStart;
  const EVec3 E = S + query.vMove * query.fMaxT;
  const bool bNowInside = m_pMesh->CheckForContainment(E + F, true);
  const bool bWasInside = HasInContents(pEntity);
  if (bNowInside == bWasInside) return;
  // Always from the outside point toward the inside one.
  ECollide c(nullptr);
  if (bNowInside) c.InitSegment(S + F, E + F);
  else c.InitSegment(E + F, S + F);
  EVec3 P = E + F;
  {
    EMemMark mark(*GetThreadLocalStack());
    if (const EHitResult* pHit = m_pMesh->CheckForCollision_new(c, nullptr)) {
      P = bNowInside ? S + F + (E - S) * pHit->fTime : E + F - (E - S) * pHit->fTime;
    } else {
      g_ErrorManager.TraceMessagef(TT_Warning, "Trigger mesh couldn't find intersection point");
    }
  }
  if (bNowInside) AddEntity(pEntity, &P);
  else RemoveEntity(pEntity, &P);
}

void ETriggerMesh::Describe(char* szBuf, int nSize) const {
  if (!szBuf || nSize <= 0) return;
  snprintf(szBuf, (size_t)nSize, "Mesh Trig %s", m_pMesh ? m_pMesh->GetName() : "");
}

void ETriggerMesh::RequestRender() const {
  if (!m_pMesh) return;
  if (ECollisionTree* pTree = m_pMesh->GetCollisionTree()) {
    const EMat4& W = m_pMesh->GetInclusiveTrans();
    pTree->RequestRender(W, 0, EVec4(1.0f, 1.0f, 1.0f, 0.3f), m_pMesh);
    pTree->RequestRender(W, 3, EVec4(1.0f, 1.0f, 1.0f, 1.0f), m_pMesh);
  }
  RequestRenderListenerNames("Mesh Trig", m_pMesh->GetInclusiveTrans().GetTranslation());
}
