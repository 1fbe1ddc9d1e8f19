// Collision queries against a mesh's collision tree. The tree never moves:
// queries are taken into the mesh's model space and their hits back out.
#include "Game/GameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"

namespace meshcollide {

int HitKind(uint32_t dwKind) {
  switch (dwKind & kPOLYHIT_KindMask) {
    case kPOLYHIT_Vertex: return CCT_Vertex;
    case kPOLYHIT_Edge: return CCT_EdgeInterior;
    default: return CCT_TriInterior;
  }
}

// One test of the query (in the tree's space) against the tree; the nearest
// hit is recorded in the query.
bool TestTree(ECollisionTree& tree, ECollide& hit, uint32_t nGroupMask) {
  ECollisionTreeHit th;
  if (!tree.CheckForCollision(hit.vStart, hit.vEnd, hit.fRadius, hit.dwFlags, nGroupMask, &th, hit.fDepth))
    return false;
  hit.eCollisionType = HitKind(th.dwKind);
  hit.iDstPrimitive = th.iPoly;
  hit.iSubPrimitive = (int)th.iSubPrimitive;
  hit.dwSurfaceFlags = th.dwSurfaceFlags;
  hit.vNormal = th.vNormal;
  hit.HitPlane = th.HitPlane;
  hit.vPlaneNormal = th.HitPlane.n;
  if (hit.IsPositionCheck()) {
    hit.fDepth = th.fDepth;
  } else {
    hit.vEnd = th.vEnd;
    hit.fLength = (th.vEnd - hit.vStart).Length();
    hit.ApplyPushDist();
  }
  return true;
}

// The query in model space: its points by the inverse world matrix, its
// sphere offsets turned with them.
void ToModelSpace(ECollide& query, const EMat4& mInverse) {
  query.TransformBy(mInverse, false);
  for (int i = 0; i < query.nSpheres && i < 3; ++i) query.aSpheres[i].centre = mInverse.Mul3Vec3(query.aSpheres[i].centre);
}

// Queries go into model space when the mesh is placed; a mesh that was
// never given a scale has no model space to go to and is tested as it is.
bool InModelSpace(EMesh& mesh) {
  if (mesh.InclusiveTransIsIdentity()) return false;
  const EMat4& m = mesh.GetInclusiveTrans();
  const EVec3 a = m.Mul3Vec3(EVec3(1.0f, 0.0f, 0.0f));
  const EVec3 b = m.Mul3Vec3(EVec3(0.0f, 1.0f, 0.0f));
  const EVec3 c = m.Mul3Vec3(EVec3(0.0f, 0.0f, 1.0f));
  const float fDet = a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
  return fDet != 0.0f;
}

bool StartIsEnd(const ECollide& query) {
  return query.vStart == query.vEnd && !(query.dwFlags & kCOLLIDEFLAG_CheckPosition);
}

}  // namespace meshcollide

bool EMesh::CheckForCollision(ECollide& hit, uint32_t nGroupMask) {
  ECollisionTree* pTree = GetCollisionTree();
  if (!pTree) return false;
  const bool bTransformed = meshcollide::InModelSpace(*this);
  ECollide local(hit);
  ECollide& work = bTransformed ? local : hit;
  if (bTransformed) meshcollide::ToModelSpace(local, GetInvInclusiveTrans());
  if (meshcollide::StartIsEnd(work)) return false;
  if (!meshcollide::TestTree(*pTree, work, nGroupMask)) return false;
  if (bTransformed) {
    const ESphere aSpheres[3] = {hit.aSpheres[0], hit.aSpheres[1], hit.aSpheres[2]};
    hit = local;
    hit.TransformBy(GetInclusiveTrans(), true);
    for (int i = 0; i < 3; ++i) hit.aSpheres[i] = aSpheres[i];
  }
  hit.pMesh = this;
  hit.pEntity = m_pOwner;
  return true;
}

EHitResult* EMesh::CheckForCollision_new(ECollide& hit, EHitResult* pResult, uint32_t nGroupMask) {
  ECollisionTree* pTree = GetCollisionTree();
  if (!pTree) return nullptr;
  const EVec3 vSavedEnd = hit.vEnd;
  const float fSavedLength = hit.fLength;
  const bool bTransformed = meshcollide::InModelSpace(*this);
  ECollide local(hit);
  ECollide& work = bTransformed ? local : hit;
  if (bTransformed) meshcollide::ToModelSpace(local, GetInvInclusiveTrans());
  if (meshcollide::StartIsEnd(work)) return nullptr;

  bool bHit = false;
  if (work.eSrcType == CPT_OneSphere) {
    bHit = meshcollide::TestTree(*pTree, work, nGroupMask);
  } else if (work.eSrcType == CPT_Spheres) {
    // Each sphere in turn, on the query in the tree's space.
    const EVec3 vStart = work.vStart;
    const EVec3 vEnd = work.vEnd;
    for (int i = 0; i < work.nSpheres && i < 3; ++i) {
      work.ToOneSphere(i);
      if (work.fRadius != 0.0f || (work.dwFlags & kCOLLIDEFLAG_CheckPosition))
        bHit = meshcollide::TestTree(*pTree, work, nGroupMask);
      work.vStart = vStart;
      work.vEnd = vEnd;
      work.eSrcType = CPT_Spheres;
      if (bHit) {
        work.iSrcPrimitive = i;
        hit.iSrcPrimitive = i;
        break;
      }
    }
  } else {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unhandled in Mesh::CheckForCollision_new");
    return nullptr;
  }
  if (!bHit) return nullptr;

  if (!pResult) pResult = reinterpret_cast<EHitResult*>(GetThreadLocalStack()->Push(sizeof(EHitResult), 8));
  pResult->pLines = nullptr;
  pResult->pNext = nullptr;
  pResult->CopyResults(work, fSavedLength);
  if (bTransformed) {
    pResult->TransformBy(GetInclusiveTrans());
  } else {
    hit.vEnd = vSavedEnd;
    hit.fLength = fSavedLength;
  }
  return pResult;
}
