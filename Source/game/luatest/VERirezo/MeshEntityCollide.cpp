// Mesh-entity collision answers: a query against the entity's collision
// spheres or its mesh's triangles, the sphere tests they use, and the
// ground plane below the entity, found at most once a frame.
#include <algorithm>
#include <cmath>

#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Model.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"

namespace meshentitycollide {

// Hit kind of a sphere hit.
const int kHIT_SPHERE = 1;
// Overlap test without motion.
const uint32_t kQUERY_OVERLAP = 0x200;
// Added to the ground query.
const uint32_t kGROUND_QUERY_FLAGS = 0x18;
const float kGROUND_ABOVE = 5.0f;
const float kGROUND_BELOW = 1000.0f;
// Ground steeper than this (normal against up) is no ground.
const float kGROUND_MIN_UP = 0.3f;
// Beyond any hit.
const float kNO_HIT_TIME = 2.0f;

bool TraceUnhandled(EMeshEntity* pEntity, int eOwn, int eIncoming) {
  g_ErrorManager.TraceMessagef(TT_Warning, "SHOULD NEVER HAPPEN: %s has %s collision and can't handle incoming %s",
                               pEntity->GetName(), GetPrimitiveTypeName(eOwn), GetPrimitiveTypeName(eIncoming));
  return false;
}

EDomain* ActiveDomain() {
  ESceneManager* pManager = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EScene* pScene = pManager ? pManager->GetCurrentScene() : nullptr;
  return pScene ? pScene->ActiveDomain() : nullptr;
}

}  // namespace meshentitycollide

bool EMeshEntity::SphereLineCollision(const ESphere& s, const EVec3& a, const EVec3& b, float& t) {
  float u = 0.0f;
  const float d = TWMath::Distance(s.centre, ELine3(a, b, TagPOINTS()), &u);
  if (d > s.radius || u <= 0.0f) return false;
  const float L = (b - a).Length();
  if (L <= 0.0f) return false;
  t = std::max(0.0f, u - sqrtf(std::max(s.radius * s.radius - d * d, 0.0f)) / L);
  return t <= 1.0f;
}

bool EMeshEntity::SphereSweptSphereCollision(const ESphere& s, const EVec3& a, const EVec3& b, float r, float& t) {
  return SphereLineCollision(ESphere(s.centre, s.radius + r), a, b, t);
}

bool EMeshEntity::CheckForCollision(ECollide& query) {
  EPhysics* m_pPhysics = GetPhysics();
  EASSERT(m_pPhysics);
  const int eOwn = m_pPhysics->GetCollisionType();
  for (;;) {
    switch (query.eSrcType) {
      case CPT_OneSphere: {
        bool bHit = false;
        switch (eOwn) {
          case CPT_OneSphere:
          case CPT_Spheres:
          case CPT_Spheres_ModelSpace:
            bHit = CheckForCollision_Sphere(query);
            break;
          case CPT_Triangles:
            bHit = m_pMesh && m_pMesh->CheckForCollision(query);
            break;
          default:
            return meshentitycollide::TraceUnhandled(this, eOwn, query.eSrcType);
        }
        if (bHit) query.pEntity = this;
        return bHit;
      }
      case CPT_None:
        g_ErrorManager.TraceMessagef(TT_Warning, "%s has no feel geometry or spheres, and should not be COLLIDEE",
                                     GetName());
        return false;
      case CPT_Triangles: {
        // The querying mesh is handled as one sphere around its collision
        // geometry from now on.
        EEntity* pQuerier = query.pCollider;
        if (!pQuerier || !pQuerier->IsMeshEntity() || !pQuerier->GetPhysics())
          return meshentitycollide::TraceUnhandled(this, eOwn, query.eSrcType);
        EMesh* pMesh = static_cast<EMeshEntity*>(pQuerier)->GetMesh();
        EModel* pModel = pMesh ? pMesh->GetModel() : nullptr;
        if (!pModel || !pModel->m_pCollisionTree) return meshentitycollide::TraceUnhandled(this, eOwn, query.eSrcType);
        ESphere sphere(pModel->m_pCollisionTree->GetBoundingBox());
        const float fCentre = sphere.centre.Length();
        if (fCentre < sphere.radius) sphere = ESphere(EVec3(0.0f, 0.0f, 0.0f), fCentre + sphere.radius);
        pQuerier->GetPhysics()->SetCollision(&sphere, 1);
        query.eSrcType = CPT_OneSphere;
        query.fRadius = sphere.radius;
        break;
      }
      default:
        return meshentitycollide::TraceUnhandled(this, eOwn, query.eSrcType);
    }
  }
}

bool EMeshEntity::CheckForCollision_Sphere(ECollide& query) {
  EPhysics* pPhysics = GetPhysics();
  const int nSpheres = pPhysics->GetNumCollideSpheres();
  g_CollideStats.nSphereTests += (uint32_t)nSpheres;
  EASSERT(query.eSrcType == CPT_OneSphere);

  if (query.dwFlags & meshentitycollide::kQUERY_OVERLAP) {
    for (int i = 0; i < nSpheres; ++i) {
      const ESphere s = pPhysics->GetTransformedCollideSphere(i);
      const float fReach = query.fRadius + s.radius;
      if (TWMath::SqrDistance(query.vStart, s.centre) < fReach * fReach) {
        query.eCollisionType = meshentitycollide::kHIT_SPHERE;
        query.iSrcPrimitive = 0;
        query.iDstPrimitive = i;
        query.pEntity = this;
        return true;
      }
    }
    return false;
  }

  float fBest = meshentitycollide::kNO_HIT_TIME;
  int iBest = -1;
  EVec3 vCentre(0.0f, 0.0f, 0.0f);
  for (int i = 0; i < nSpheres; ++i) {
    const ESphere s = pPhysics->GetTransformedCollideSphere(i);
    float t = 0.0f;
    if (SphereSweptSphereCollision(s, query.vStart, query.vEnd, query.fRadius, t) && t < fBest) {
      fBest = t;
      iBest = i;
      vCentre = s.centre;
    }
  }
  if (iBest < 0) return false;
  query.pEntity = this;
  query.eCollisionType = meshentitycollide::kHIT_SPHERE;
  query.iDstPrimitive = iBest;
  query.fLength = (query.vEnd - query.vStart).Length() * fBest;
  query.vEnd = query.vStart + query.vDir * query.fLength;
  EVec3 vNormal = query.vEnd - vCentre;
  vNormal.Normalize();
  query.vNormal = vNormal;
  query.vPlaneNormal = vNormal;
  query.HitPlane = EPlane(vNormal, query.vStart + query.vDir * (query.fLength + query.fRadius));
  query.dwSurfaceFlags = 0;
  return true;
}

bool EMeshEntity::GetGroundPlane(EPlane& out) {
  const int iFrame = gGameApp ? gGameApp->m_iFrameCount : 0;
  if (m_iGroundPlaneFrame != iFrame) {
    const EVec3 vUp = GetPhysics() ? GetPhysics()->GetUp() : EVec3(0.0f, 1.0f, 0.0f);
    const EVec3 vPos = GetPosition();
    ECollide query(nullptr);
    query.pIgnore = this;
    query.fRadius = 1.0f;
    query.dwFlags |= meshentitycollide::kGROUND_QUERY_FLAGS;
    query.InitSegment(vPos + vUp * meshentitycollide::kGROUND_ABOVE, vPos - vUp * meshentitycollide::kGROUND_BELOW);
    EDomain* pDomain = meshentitycollide::ActiveDomain();
    ECollisionManager* pCM = pDomain ? pDomain->GetCollisionManager() : nullptr;
    bool bValid = false;
    if (pCM && pCM->CheckCollision(query) && query.HitPlane.n.Dot(vUp) >= meshentitycollide::kGROUND_MIN_UP) {
      m_GroundPlane = query.HitPlane;
      bValid = true;
    }
    SetMEFlag(kMEFLAG_GroundPlaneValid, bValid);
    m_iGroundPlaneFrame = iFrame;
  }
  if (m_byMEFlags & kMEFLAG_GroundPlaneValid) out = m_GroundPlane;
  return (m_byMEFlags & kMEFLAG_GroundPlaneValid) != 0;
}
