// Collision queries: the query record, the hit records and the manager's
// passes over the triangle cache, the level geometry and the entities.
#include "VERirezo/CollisionQuery.h"

#include <cmath>
#include <cstring>

#include "Game/GameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Trigger.h"

ECollideStats g_CollideStats;
int gProcessFrameNumColliders = 0;
int gProcessFrameNumCollidees = 0;

namespace collisionquery {

// The class number of the trapeze.
const int32_t kTRAPEZE_TYPE = 6;

const EPhysics* AttachRoot(const EPhysics* p) {
  while (p->GetAttachParent()) p = p->GetAttachParent();
  return p;
}

EEntity* GlobalEntity() { return gGameApp ? gGameApp->GetGlobalEntity() : nullptr; }

}  // namespace collisionquery

// --- ECollide --------------------------------------------------------------------------------

ECollide::ECollide(EEntity* pEntity)
    : pCollider(pEntity), pIgnore(nullptr), vStart(0.0f, 0.0f, 0.0f), vEnd(0.0f, 0.0f, 0.0f), vDir(0.0f, 0.0f, 0.0f),
      fLength(0.0f), fDepth(0.0f), fPushDist(1.0f), dwFlags(kCOLLIDEFLAG_Physical), pTriCache(nullptr),
      eSrcType(CPT_OneSphere), fRadius(0.0f), nSpheres(0), eCollisionType(CCT_None), iSrcPrimitive(0),
      iDstPrimitive(0), iSubPrimitive(0), pMesh(nullptr), vNormal(0.0f, 0.0f, 0.0f), vPlaneNormal(0.0f, 0.0f, 0.0f),
      pEntity(nullptr), dwSurfaceFlags(0), HitPlane(EVec3(0.0f, 1.0f, 0.0f), 0.0f) {
  for (ESphere& s : aSpheres) s = ESphere(EVec3(0.0f, 0.0f, 0.0f), 0.0f);
  if (pEntity) InitFor(pEntity, nullptr);
}

void ECollide::InitFor(EEntity* pEntity, const EMat4* pMat) {
  pCollider = pEntity;
  if (!pEntity || !pEntity->GetPhysics()) return;
  const EPhysics* phys = pEntity->GetPhysics();
  static const uint32_t s_aIgnoreLayer[4] = {PHYSICS_IGNORELAYER1, PHYSICS_IGNORELAYER2, PHYSICS_IGNORELAYER3,
                                             PHYSICS_IGNORELAYER4};
  for (int i = 0; i < 4; i++)
    if (phys->GetFlag(s_aIgnoreLayer[i])) dwFlags |= kCOLLIDEFLAG_IgnoreCollideLayer1 << i;
  eSrcType = phys->GetCollisionType();
  const int n = phys->GetNumCollideSpheres();
  if (eSrcType == CPT_Spheres || eSrcType == CPT_Spheres_ModelSpace) {
    const EMat4& mat = pMat ? *pMat : phys->GetAbsTrans();
    const bool bTurn = eSrcType == CPT_Spheres_ModelSpace;
    eSrcType = CPT_Spheres;
    nSpheres = n;
    for (int i = 0; i < n; i++) {
      aSpheres[i] = *phys->GetCollideSphere(i);
      if (bTurn) aSpheres[i].centre = mat.Mul3Vec3(aSpheres[i].centre);
    }
    if (n == 0) {
      eSrcType = CPT_OneSphere;
      fRadius = 0.0f;
    }
  } else if (eSrcType == CPT_OneSphere) {
    EASSERT(phys->GetNumCollideSpheres() == 1);
    EASSERT(phys->GetCollideSphere(0)->centre == EVec3(0, 0, 0));
    nSpheres = 0;
    fRadius = phys->GetCollideSphere(0)->radius;
  }
  pIgnore = phys->GetCollideIgnoreEntity();
}

void ECollide::InitSegment(const EVec3& vFrom, const EVec3& vTo) {
  // Either end may be one of this record's own points (a sweep continued from where it stopped).
  const EVec3 d = vTo - vFrom;
  const EVec3 vNewStart = vFrom;
  vEnd = vTo;
  vStart = vNewStart;
  fLength = d.Length();
  vDir = fLength > 0.0f ? d * (1.0f / fLength) : EVec3(0.0f, 0.0f, 0.0f);
  if (!(fLength > 0.0f)) fLength = 0.0f;
  dwFlags &= ~kCOLLIDEFLAG_CheckPosition;
}

void ECollide::InitPoint(const EVec3& vPoint) {
  vStart = vEnd = vPoint;
  vDir = EVec3(0.0f, 0.0f, 0.0f);
  fLength = 0.0f;
  fDepth = 0.0f;
  dwFlags |= kCOLLIDEFLAG_CheckPosition;
}

void ECollide::ApplyPushDist() {
  if (!(fPushDist > 0.0f) || IsPositionCheck()) return;
  fLength = fLength - fPushDist;
  if (!(fLength > 0.0f)) fLength = 0.0f;
  vEnd = vStart + vDir * fLength;
}

void ECollide::TransformBy(const EMat4& mat, bool bResults) {
  vStart = mat.TransformPoint(vStart);
  vEnd = mat.TransformPoint(vEnd);
  const EVec3 d = vEnd - vStart;
  fLength = d.Length();
  vDir = fLength > 0.0f ? d * (1.0f / fLength) : EVec3(0.0f, 0.0f, 0.0f);
  if (!bResults) return;
  vNormal = mat.Mul3Vec3(vNormal).SafeGetNormal();
  vPlaneNormal = mat.Mul3Vec3(vPlaneNormal).SafeGetNormal();
  const EVec3 vOnPlane = mat.TransformPoint(HitPlane.n * -HitPlane.d);
  const EVec3 n = mat.Mul3Vec3(HitPlane.n).SafeGetNormal();
  HitPlane = EPlane(n, vOnPlane);
}

bool ECollide::QuickCullEntity(const EEntity* e) const {
  const EPhysics* phys = e->GetPhysics();
  if (!phys || !phys->GetFlag(PHYSICS_COLLIDEE) || phys->GetFlag(PHYSICS_NOT_REALLY_COLLIDEE)) return true;
  if (!e->GetVisible() || e->DomainIsSleeping()) return true;
  const int eType = phys->GetCollisionType();
  const bool bGeometry = (dwFlags & kCOLLIDEFLAG_GeometryMask) != 0;
  if (!bGeometry && eType == CPT_Triangles) return true;
  if ((dwFlags & kCOLLIDEFLAG_IgnoreStaticGeometry) && eType == CPT_Triangles &&
      !phys->GetFlag(PHYSICS_MOVINGGEOMETRY))
    return true;
  if ((dwFlags & kCOLLIDEFLAG_IgnoreSpheres) && eType >= CPT_OneSphere && eType <= CPT_Spheres_ModelSpace) return true;
  if ((dwFlags & kCOLLIDEFLAG_IgnoreSeeThrough) && e->GetEntityFlag(ENTITY_SEETHROUGH)) return true;
  if ((dwFlags & kCOLLIDEFLAG_IgnoreTrapeze) && e->IsA(collisionquery::kTRAPEZE_TYPE, true)) return true;
  if (e == pIgnore || e == pCollider) return true;
  const EPhysics* pColliderPhys = pCollider ? pCollider->GetPhysics() : nullptr;
  if (pCollider && phys->GetStandingOn() == pCollider) return true;
  if (dwFlags & phys->GetFlags() & kCOLLIDEFLAG_CollideLayerMask) return true;
  if (pColliderPhys && collisionquery::AttachRoot(pColliderPhys) == collisionquery::AttachRoot(phys)) return true;
  if (pCollider && phys->GetCollideIgnoreEntity() == pCollider) return true;
  return false;
}

EBox3 ECollide::GetBoundingBox() const {
  if (eSrcType == CPT_OneSphere) return EBox3(vStart.Min(vEnd), vStart.Max(vEnd)).GetInflatedBox(fRadius);
  if (eSrcType == CPT_Spheres) {
    EBox3 box(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
    for (int i = 0; i < nSpheres; i++) {
      const EVec3 r(aSpheres[i].radius, aSpheres[i].radius, aSpheres[i].radius);
      const EBox3 b(aSpheres[i].centre - r, aSpheres[i].centre + r);
      box = i == 0 ? b : box.GetUnion(b);
    }
    return EBox3(box.vMin + vStart.Min(vEnd), box.vMax + vStart.Max(vEnd));
  }
  EASSERT(false);
  return EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
}

void ECollide::ToOneSphere(int i) {
  vStart = vStart + aSpheres[i].centre;
  vEnd = vEnd + aSpheres[i].centre;
  fRadius = aSpheres[i].radius;
  eSrcType = CPT_OneSphere;
  if (vStart == vEnd) fLength = 0.0f;
}

void ECollide::FromOneSphere(int i) {
  vStart = vStart - aSpheres[i].centre;
  vEnd = vEnd - aSpheres[i].centre;
  eSrcType = CPT_Spheres;
}

EMesh* ECollide::GetMesh() const {
  EASSERT(eCollisionType == CCT_TriInterior || eCollisionType == CCT_EdgeInterior || eCollisionType == CCT_Vertex);
  return pMesh;
}

EMesh* ECollide::GetRootMesh() const {
  EMesh* m = GetMesh();
  while (m && m->GetParent()) m = m->GetParent();
  return m;
}

ETri3 ECollide::GetCollidePoly() const {
  EMesh* m = GetMesh();
  if (!m || !m->GetCollisionTree()) return ETri3();
  ETri3 tri = m->GetCollisionTree()->GetTri(iDstPrimitive);
  const EMat4& mat = m->GetInclusiveTrans();
  if (mat == cg_mIdentity) return tri;
  return ETri3(mat.TransformPoint(tri.p0), mat.TransformPoint(tri.p1), mat.TransformPoint(tri.p2));
}

void ECollide::GetNavPoly(unsigned& nNavMesh, unsigned& nNavPoly) const {
  EMesh* m = GetMesh();
  nNavMesh = 255;
  nNavPoly = 0;
  if (!m || !m->GetCollisionTree()) return;
  const ECollisionPoly2& poly = m->GetCollisionTree()->GetPoly(iDstPrimitive);
  nNavMesh = poly.m_nNavMesh;
  nNavPoly = poly.GetNavPoly();
}

bool ECollide::GetInterpolatedNormal(unsigned dwMask, EVec3& vOut, bool (*pFilter)(uint32_t)) const {
  EMesh* m = GetMesh();
  if (!m || !m->GetCollisionTree() || !(dwSurfaceFlags & dwMask)) return false;
  const ECollisionTree* tree = m->GetCollisionTree();
  const ECollisionPoly2& poly = tree->GetPoly(iDstPrimitive);
  EVec3 aN[3];
  EArray<uint32_t> aAdj;
  for (int v = 0; v < 3; v++) {
    aAdj.Empty();
    tree->GetAdjacentPolies(poly.m_aVertIndex[v], aAdj);
    EVec3 sum(0.0f, 0.0f, 0.0f);
    int nUsed = 0;
    for (int k = 0; k < aAdj.Num(); k++) {
      const uint32_t dwFlags = tree->GetPoly((int)aAdj[k]).m_dwFlags;
      if (pFilter ? !pFilter(dwFlags) : !(dwFlags & dwMask)) continue;
      sum = sum + tree->GetTriNormal((int)aAdj[k]);
      nUsed++;
    }
    if (nUsed == 0) return false;
    aN[v] = sum.SafeGetNormal();
  }
  const EVec2 uv = GetCollidePoly().ConvertPointToBarycentric(vEnd);
  const EVec3 n = aN[0] * (1.0f - uv.x - uv.y) + aN[1] * uv.x + aN[2] * uv.y;
  vOut = n.SafeGetNormal();
  return true;
}

void ECollide::DebugDraw() const {
  if (!gGameApp || gGameApp->m_DebugHooks.CollisionDisplay != 1 || !gDebugLine) return;
  const double t = gGameApp->GetSimElapsedTime() * 2.0;
  const float f = (float)(t - std::floor(t));
  if (eSrcType == CPT_Spheres) {
    const EVec4 colour(f, f, 0.0f, 1.0f);
    for (int i = 0; i < nSpheres; i++)
      gDebugLine->AddLine(vStart + aSpheres[i].centre, vEnd + aSpheres[i].centre, &colour, 0);
    return;
  }
  const EVec4 colour(f, f, f / 2.0f, 1.0f);
  gDebugLine->AddLine(vStart, vEnd, &colour, 0);
}

// --- EHitResult ------------------------------------------------------------------------------

void EHitResult::CopyResults(const ECollide& hit, float fFullLength) {
  eType = hit.eCollisionType;
  fTime = fFullLength != 0.0f ? hit.fLength / fFullLength : 0.0f;
  fDstT = 0.0f;
  iSrcPrimitive = (int16_t)hit.iSrcPrimitive;
  iDstPrimitive = (uint16_t)hit.iDstPrimitive;
  pEntity = hit.pEntity;
  vNormal = hit.vNormal;
}

void EHitResult::TransformBy(const EMat4& mat) { vNormal = mat.Mul3Vec3(vNormal); }

EHitResult** EHitResult::SortedInsert(EHitResult** ppHead, EHitResult* pHit) {
  EHitResult** pp = ppHead;
  while (*pp && !((*pp)->fTime > pHit->fTime)) pp = &(*pp)->pNext;
  pHit->pNext = *pp;
  *pp = pHit;
  return pp;
}

// --- Manager queries --------------------------------------------------------------------------

bool ECollisionManager::CheckCollision(ECollide& hit) {
  if (m_bDisabled) return false;
  if (!hit.pTriCache && hit.pCollider && hit.pCollider->GetPhysics())
    hit.pTriCache = hit.pCollider->GetPhysics()->GetTriCache(false);
  if (hit.vStart == hit.vEnd && !hit.IsPositionCheck()) return false;
  int aRes[3] = {0, 0, 0};
  const uint32_t dwSaved = hit.dwFlags;
  bool bAnswered = false;
  if (hit.eSrcType == CPT_OneSphere) {
    if (hit.pTriCache) aRes[0] = Collide_OneSphere_Cache(hit, hit.pTriCache, bAnswered);
    if (!bAnswered) aRes[1] = Collide_OneSphere_Domain(hit);
    aRes[2] = Collide_OneSphere_Entities(hit);
  } else if (hit.eSrcType == CPT_Spheres) {
    if (hit.pTriCache) aRes[0] = Collide_Spheres_Cache(hit, hit.pTriCache, bAnswered);
    if (!bAnswered) aRes[1] = Collide_Spheres_Domain(hit);
    aRes[2] = Collide_Spheres_Entities(hit);
  } else {
    EPhysics* phys = hit.pCollider ? hit.pCollider->GetPhysics() : nullptr;
    if (!phys) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Trace of type %s is unsupported", GetPrimitiveTypeName(hit.eSrcType));
      return false;
    }
    if (phys->GetFlag(PHYSICS_COLLIDER)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: not allowed to have PHYSICS_COLLIDER -- disabling",
                                   hit.pCollider->GetName());
      phys->SetFlag(PHYSICS_COLLIDER, false);
    }
    if (phys->GetFlag(PHYSICS_APPLYGRAVITY)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: not allowed to have PHYSICS_APPLYGRAVITY -- disabling",
                                   hit.pCollider->GetName());
      phys->SetFlag(PHYSICS_APPLYGRAVITY, false);
    }
    return false;
  }
  hit.dwFlags = dwSaved;
  return aRes[0] == 2 || aRes[1] == 2 || aRes[2] == 2;
}


int ECollisionManager::Collide_OneSphere_Domain(ECollide& hit) {
  if (!(hit.dwFlags & kCOLLIDEFLAG_GeometryMask) || (hit.dwFlags & kCOLLIDEFLAG_IgnoreStaticGeometry)) return 0;
  EASSERT(hit.eSrcType == CPT_OneSphere);
  g_CollideStats.nWorldTests++;
  if (m_pRootDomainCollision && m_pRootDomainCollision->CheckForCollision(hit, m_nGroupMask)) {
    hit.pEntity = collisionquery::GlobalEntity();
    EASSERT(hit.eCollisionType != CCT_None);
    return 2;
  }
  return 1;
}

namespace collisionquery {

bool EntityPassApplies(const ECollide& hit) {
  if (hit.dwFlags & kCOLLIDEFLAG_IgnoreEntities) return false;
  if (!(hit.dwFlags & kCOLLIDEFLAG_GeometryMask) && (hit.dwFlags & kCOLLIDEFLAG_IgnoreSpheres)) return false;
  return true;
}

// The entities of the query's box that QuickCullEntity lets through, in walk order.
void GatherCandidates(ECollisionManager* pCM, const ECollide& hit, ETempArray<EEntity*>& aOut) {
  EMemStack& stack = *GetThreadLocalStack();
  EArray<EEntity*> aFound;
  {
    ECollisionManager::CollideeInfo::Iter it(pCM, hit.GetBoundingBox(), ECollisionManager::kCollideeEntity, stack);
    for (; it; ++it) {
      EEntity* e = static_cast<EEntity*>(it->pObject);
      if (hit.QuickCullEntity(e)) {
        g_CollideStats.nEntitiesRejected++;
        continue;
      }
      g_CollideStats.nEntitiesPassed++;
      aFound.AddData(e);
    }
  }
  for (int i = 0; i < aFound.Num(); i++) aOut.AddData(aFound[i]);
}

}  // namespace collisionquery

int ECollisionManager::Collide_OneSphere_Entities(ECollide& hit) {
  if (!collisionquery::EntityPassApplies(hit)) return 0;
  EASSERT(hit.eSrcType == CPT_OneSphere);
  bool bHit = false;
  CollideeInfo::Iter it(this, hit.GetBoundingBox(), kCollideeEntity, *GetThreadLocalStack());
  for (; it; ++it) {
    EEntity* e = static_cast<EEntity*>(it->pObject);
    if (hit.QuickCullEntity(e)) {
      g_CollideStats.nEntitiesRejected++;
      continue;
    }
    g_CollideStats.nEntitiesPassed++;
    if (e->CheckForCollision(hit)) bHit = true;
  }
  if (bHit) EASSERT(hit.eCollisionType != CCT_None);
  return bHit ? 2 : 1;
}

int ECollisionManager::Collide_Spheres_Domain(ECollide& hit) {
  if (!(hit.dwFlags & kCOLLIDEFLAG_GeometryMask) || (hit.dwFlags & kCOLLIDEFLAG_IgnoreStaticGeometry)) return 0;
  ECollide copy(hit);
  int iBest = -1;
  for (int i = 0; i < hit.nSpheres; i++) {
    copy.ToOneSphere(i);
    const int r = Collide_OneSphere_Domain(copy);
    copy.FromOneSphere(i);
    if (r == 0) return 0;
    if (r == 2) iBest = i;
  }
  if (iBest < 0) return 1;
  hit = copy;
  hit.iSrcPrimitive = iBest;
  EASSERT(hit.eCollisionType != CCT_None);
  return 2;
}

int ECollisionManager::Collide_Spheres_Entities(ECollide& hit) {
  if (!collisionquery::EntityPassApplies(hit)) return 0;
  EMemStack& stack = *GetThreadLocalStack();
  ETempArray<EEntity*> aCand(stack);
  collisionquery::GatherCandidates(this, hit, aCand);
  ECollide copy(hit);
  int iBest = -1;
  for (int i = 0; i < hit.nSpheres; i++) {
    copy.ToOneSphere(i);
    bool bHit = false;
    for (unsigned k = 0; k < aCand.Num(); k++)
      if (aCand[k]->CheckForCollision(copy)) bHit = true;
    copy.FromOneSphere(i);
    if (bHit) iBest = i;
  }
  if (iBest < 0) return 1;
  hit = copy;
  hit.iSrcPrimitive = iBest;
  EASSERT(hit.eCollisionType != CCT_None);
  return 2;
}

EHitResult* ECollisionManager::MultiCheckCollision(ECollide& hit) {
  if (m_bDisabled) return nullptr;
  EHitResult* pHead = MultiCollide_Entities(hit, nullptr);
  return MultiCollide_Domain(hit, pHead);
}

// Both every-hit passes honour the flags that switch off entities and level
// geometry, as the nearest-hit query does.
EHitResult* ECollisionManager::MultiCollide_Entities(ECollide& hit, EHitResult* pHead) {
  if (hit.dwFlags & kCOLLIDEFLAG_IgnoreEntities) return pHead;
  EMemStack& stack = *GetThreadLocalStack();
  EArray<EEntity*> aCand;
  {
    CollideeInfo::Iter it(this, hit.GetBoundingBox(), kCollideeEntity, stack);
    for (; it; ++it) {
      EEntity* e = static_cast<EEntity*>(it->pObject);
      if (hit.QuickCullEntity(e)) {
        g_CollideStats.nEntitiesRejected++;
        continue;
      }
      g_CollideStats.nEntitiesPassed++;
      aCand.AddData(e);
    }
  }
  for (int k = 0; k < aCand.Num(); k++) {
    EHitResult* pRet = aCand[k]->CheckForCollision_new(hit, nullptr);
    if (!pRet) continue;
    EASSERT_WARN(pRet->pEntity);
    EHitResult::SortedInsert(&pHead, pRet);
  }
  return pHead;
}

EHitResult* ECollisionManager::MultiCollide_Domain(ECollide& hit, EHitResult* pHead) {
  if ((hit.dwFlags & kCOLLIDEFLAG_IgnoreStaticGeometry) || !m_pRootDomainCollision) return pHead;
  EHitResult* pRet = m_pRootDomainCollision->CheckForCollision_new(hit, nullptr, m_nGroupMask);
  if (!pRet) return pHead;
  if (!pRet->pEntity) pRet->pEntity = collisionquery::GlobalEntity();
  EHitResult::SortedInsert(&pHead, pRet);
  return pHead;
}

bool ECollisionManager::LineCheck(const EVec3& vStart, const EVec3& vEnd, ECollide& hit, EEntity* pEntity,
                                  float fRadius) {
  hit.pCollider = pEntity;
  hit.fRadius = fRadius;
  hit.eSrcType = CPT_OneSphere;
  hit.InitSegment(vStart, vEnd);
  return CheckCollision(hit);
}

EHitResult* ECollisionManager::CheckSplines(const ESphere& sphere, EEntity* pEntity) {
  if (m_bDisabled) return nullptr;
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark* pMark = stack.GetTopMark();
  const EPhysics* pEntityPhys = pEntity ? pEntity->GetPhysics() : nullptr;
  EEntity* pIgnore = pEntityPhys ? pEntityPhys->GetCollideIgnoreEntity() : nullptr;
  // The line collidees near the sphere, with the sphere in each one's frame;
  // they are tested once the walk is over, so the hits can stay on the stack.
  struct LineCandidate {
    ELineCollision* pLines;
    ESphere local;
  };
  EArray<LineCandidate> aCand;
  {
    const EVec3 r(sphere.radius, sphere.radius, sphere.radius);
    CollideeInfo::Iter it(this, EBox3(sphere.centre - r, sphere.centre + r), kCollideeLines, stack);
    for (; it; ++it) {
      EEntity* e = static_cast<EEntity*>(it->pObject);
      if ((pEntityPhys && e == pIgnore) || e->DomainIsSleeping()) continue;
      const EPhysics* pPhys = e->GetPhysics();
      if (!pPhys || !e->GetLineCollision()) continue;
      EASSERT(pPhys->GetCollisionType() == CPT_Capsules);
      LineCandidate c;
      c.pLines = e->GetLineCollision();
      c.local = ESphere(pPhys->GetInvTrans().TransformPoint(sphere.centre), sphere.radius);
      aCand.AddData(c);
    }
  }
  EHitResult* pHead = nullptr;
  for (int k = 0; k < aCand.Num(); k++) {
    EHitResult* pHit = aCand[k].pLines->CheckForIntersection(aCand[k].local, nullptr);
    if (!pHit) continue;
    pHit->pNext = pHead;
    pHead = pHit;
  }
  EASSERT(stack.GetTopMark() == pMark);
  EASSERT(!pHead || stack.IsValidPointer(pHead));
  return pHead;
}

void ECollisionManager::CheckTriggers(const EVec3& vFrom, const EVec3& vTo, EEntity* pEntity, bool bTeleport,
                                      const EBox3& extraBox) {
  if (m_bDisabled || !pEntity || pEntity->DomainIsSleeping()) return;
  const EPhysics* pPhys = pEntity->GetPhysics();
  const ESphere S = ETriggerBase::GetTriggeringSphere(pEntity);
  const EVec3 vOffset = pPhys ? S.centre - pPhys->GetAbsPosition() : EVec3(0.0f, 0.0f, 0.0f);
  ESweepHitQuery q;
  q.pCollider = pEntity;
  q.vStart = vFrom + vOffset;
  q.vMove = vTo - vFrom;
  q.fMaxT = 1.0f;
  q.fRadius = S.radius;
  EMemStack& stack = *GetThreadLocalStack();
  if (!bTeleport) {
    const EBox3 box = EBox3(vFrom.Min(vTo), vFrom.Max(vTo)).GetInflatedBox(S.radius).GetUnion(extraBox);
    for (CollideeInfo::Iter it(this, box, kCollideeTrigger, stack); it; ++it)
      static_cast<ETriggerBase*>(it->pObject)->ProcessIntersection(q, false);
    return;
  }
  const EBox3 boxFrom = EBox3(q.vStart, q.vStart).GetInflatedBox(S.radius).GetUnion(extraBox);
  CollideeInfo::Iter first(this, boxFrom, kCollideeTrigger, stack);
  for (; first; ++first) static_cast<ETriggerBase*>(first->pObject)->ProcessIntersection(q, true);
  // The second walk passes by what the first returned, so a trigger near
  // both ends is presented once, even when a trigger walked the grid meanwhile.
  CollideeInfo::Iter second(this, EBox3(vTo, vTo).GetInflatedBox(S.radius), kCollideeTrigger, stack, &first);
  for (; second; ++second) static_cast<ETriggerBase*>(second->pObject)->ProcessIntersection(q, true);
}

void ECollisionManager::RefreshTriggersFor(EPhysics* pPhys, bool bEnter) {
  if (m_bDisabled || !pPhys) return;
  EEntity* pOwner = pPhys->GetOwner();
  const EBox3 box = pPhys->GetCollisionBoundingBox(nullptr);
  EMemStack& stack = *GetThreadLocalStack();
  if (bEnter) {
    const ESphere S = ETriggerBase::GetTriggeringSphere(pOwner);
    ESweepHitQuery q;
    q.pCollider = pOwner;
    q.vStart = S.centre;
    q.vMove = EVec3(0.0f, 0.0f, 0.0f);
    q.fMaxT = 1.0f;
    q.fRadius = S.radius;
    for (CollideeInfo::Iter it(this, box, kCollideeTrigger, stack); it; ++it)
      static_cast<ETriggerBase*>(it->pObject)->ProcessIntersection(q, true);
  } else {
    for (CollideeInfo::Iter it(this, box, kCollideeTrigger, stack); it; ++it)
      static_cast<ETriggerBase*>(it->pObject)->ProcessRemoval(pOwner);
  }
}
