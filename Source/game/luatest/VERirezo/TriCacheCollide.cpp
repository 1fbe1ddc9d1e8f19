// The collision manager's passes over a triangle cache: the cached
// triangles near a query's motion stand in for the level geometry while the
// motion stays inside the cache.
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/TriCache.h"

namespace tricachecollide {

// The surface mask a query's geometry flags select.
uint32_t QuerySurfaceMask(uint32_t dwFlags) {
  uint32_t dwMask = 0;
  if (dwFlags & kCOLLIDEFLAG_Physical) dwMask |= kSurfacePhysical;
  if (dwFlags & kCOLLIDEFLAG_Camera) dwMask |= kSurfaceCamera;
  if (dwFlags & kCOLLIDEFLAG_Terrain) dwMask |= kSurfaceTerrain;
  return dwMask;
}

}  // namespace tricachecollide

int ECollisionManager::Collide_OneSphere_Cache(ECollide& hit, ETriCache* pCache, bool& bAnswered) {
  bAnswered = false;
  if (!pCache || !ETriCache::IsEnabled() || !(hit.dwFlags & kCOLLIDEFLAG_GeometryMask)) return 0;
  const ESphere& cache = pCache->GetSphere();
  if (cache.radius == 0.0f) return 0;
  // The cache holds only its own surface's triangles: a query that selects
  // others is left to the level pass.
  if (tricachecollide::QuerySurfaceMask(hit.dwFlags) != pCache->GetSurfaceFlags()) return 0;
  const float fSlack = cache.radius - hit.fRadius;
  if (fSlack < 0.0f || !((hit.vStart - cache.centre).Mag2() < fSlack * fSlack)) {
    pCache->ReportResult(hit, false);
    return 1;
  }
  bool bEndInside = (hit.vEnd - cache.centre).Mag2() < fSlack * fSlack;

  // The candidates, in cache order.
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  ETempArray<int> aCand(stack);
  const bool bPosition = hit.IsPositionCheck();
  if (!bPosition && hit.fLength == 0.0f) {
    bAnswered = true;
    return 1;
  }
  const EFastSeg3 seg(hit.vStart, hit.vEnd, TagPOINTS());
  const int nTris = pCache->GetNumTris();
  for (int i = 0; i < nTris; ++i) {
    const ESphere& s = pCache->GetTriSphere(i);
    const float fReach = (s.radius + hit.fRadius) * (s.radius + hit.fRadius);
    const float d2 = bPosition ? (hit.vStart - s.centre).Mag2() : TWMath::SqrDistance(s.centre, seg);
    if (d2 < fReach) aCand.AddData(i);
  }
  g_CollideStats.nCacheTrisOffered += (uint32_t)nTris;
  g_CollideStats.nCacheTrisTested += (uint32_t)aCand.Num();

  EPolyCapsuleCheckInfo best;
  best.m_fTime = 1.0f;
  best.m_fDepth = hit.fDepth;
  best.m_dwResult = 0;
  EPolyCapsuleCheckInfo cur = best;
  int iBest = -1;
  EMesh* pBestMesh = nullptr;
  EMesh* pCurMesh = nullptr;
  EMesh* pSkipMesh = nullptr;
  bool bUncopied = false;
  for (int k = 0; k < (int)aCand.Num(); ++k) {
    const ETriCache::TriData& d = pCache->GetTriData(aCand[k]);
    if (d.pMesh == pSkipMesh) continue;
    if (d.pMesh != pCurMesh) {
      if (bUncopied) {
        best = cur;
        bUncopied = false;
      }
      pCurMesh = d.pMesh;
      EMeshEntity* pOwner = pCurMesh->GetOwner();
      if (pOwner && hit.QuickCullEntity(pOwner)) {
        pSkipMesh = pCurMesh;
        continue;
      }
      pSkipMesh = nullptr;
      EVec3 vStart = hit.vStart, vEnd = hit.vEnd;
      if (!pCurMesh->InclusiveTransIsIdentity()) {
        const EMat4& mInv = pCurMesh->GetInvInclusiveTrans();
        vStart = mInv.TransformPoint(vStart);
        vEnd = mInv.TransformPoint(vEnd);
      }
      cur.InitFor(vStart, vEnd, hit.fRadius, hit.dwFlags, best.m_fDepth);
      cur.m_fTime = best.m_fTime;
      cur.m_fDepth = best.m_fDepth;
      if (!bPosition && cur.GetDir() == EVec3(0.0f, 0.0f, 0.0f)) break;
    }
    ECollisionTree* pTree = pCurMesh->GetCollisionTree();
    if (!pTree) continue;
    const uint32_t dwSaved = cur.m_dwResult;
    if (pTree->CheckForCollision(cur, (int)d.dwIndex)) {
      if (cur.m_dwResult == 0) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "CurCheck.eIntersectType != INTERSECT_NONE", false);
      iBest = (int)d.dwIndex;
      pBestMesh = pCurMesh;
      bUncopied = true;
    } else {
      cur.m_dwResult = dwSaved;
    }
  }
  if (bUncopied) best = cur;

  if (iBest < 0) {
    bAnswered = bEndInside;
    pCache->ReportResult(hit, bEndInside);
    return 1;
  }
  if (best.m_dwResult == 0) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "BestCheck.eIntersectType != INTERSECT_NONE", false);
  const EMat4* pMat = pBestMesh->InclusiveTransIsIdentity() ? nullptr : &pBestMesh->GetInclusiveTrans();
  pBestMesh->GetCollisionTree()->CopyResults(hit, best, iBest, pMat);
  hit.ApplyPushDist();
  hit.pMesh = pBestMesh;
  EEntity* pOwner = pBestMesh->GetOwner();
  hit.pEntity = pOwner ? pOwner : (gGameApp ? gGameApp->GetGlobalEntity() : nullptr);
  if (!bEndInside) bEndInside = (hit.vEnd - cache.centre).Mag2() <= fSlack * fSlack;
  bAnswered = bEndInside;
  pCache->ReportResult(hit, bEndInside);
  return 2;
}

int ECollisionManager::Collide_Spheres_Cache(ECollide& hit, ETriCache* pCache, bool& bAnswered) {
  bAnswered = false;
  if (!pCache || !ETriCache::IsEnabled() || !(hit.dwFlags & kCOLLIDEFLAG_GeometryMask) ||
      pCache->GetSphere().radius == 0.0f)
    return 0;
  ECollide work(hit);
  bAnswered = true;
  int iHit = -1;
  for (int i = 0; i < work.nSpheres && i < 3; ++i) {
    work.ToOneSphere(i);
    bool bOne = false;
    const int iRes = Collide_OneSphere_Cache(work, pCache, bOne);
    bAnswered = bAnswered && bOne;
    if (iRes == 2) iHit = i;
    if (iRes == 0) {
      bAnswered = false;
      return 0;
    }
    work.FromOneSphere(i);
  }
  if (iHit < 0) return 1;
  hit = work;
  hit.iSrcPrimitive = iHit;
  return 2;
}

void ECollisionManager::SetCollisionGroupMask(uint32_t nMask) {
  if (nMask != m_nGroupMask) ETriCache::EmptyAll();
  m_nGroupMask = nMask;
}
