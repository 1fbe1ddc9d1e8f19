// Sweeping a physics object through the collision world: stopping, bouncing
// and sliding along what it hits, walkability, ground finding with snapping
// and ledge drops, stair steps, turning toward gravity and free positions.
#include <cfloat>
#include <cmath>
#include <cstdarg>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/PhysicsCollide.h"
#include "VERirezo/PhysicsConstants.h"

namespace physicssweep {

const float kPushSkin = 0.1f;
const float kBounceUpLimit = 300.0f;
const float kPlaneOffset = 0.1f;
const float kCreaseMin = 0.0087f;
const float kSamePlane = 0.866f;
const float kSlideEndSq = 0.5f;
const float kEdgeWalkable = 0.85f;
const float kGroundContact = 0.25f;
const float kKickbackSpeed = 400.0f;
const float kSnapScale = 30.0f;
const float kMinProbe = 1000.0f;
const float kLedgeDrop = -0.4f;
const float kAlignSnap = 0.9999f;

float SimDeltaTime() { return gGameApp ? gGameApp->GetSimDeltaTime() : 0.0f; }

bool IsSphereType(int eType) { return eType == CPT_OneSphere || eType == CPT_Spheres || eType == CPT_Spheres_ModelSpace; }

}  // namespace physicssweep

bool EPhysics::CollideWithSlide(ECollideBehavior eBehavior, ECollideEx& c, bool bAllowPush) {
  using namespace physicssweep;
  const EVec3 U = m_vUp;
  EVec3 R = c.vEnd - c.vStart;
  EVec3 P(0.0f, 0.0f, 0.0f);
  int s = 0;
  int nHits = 0;
  bool bPushed = false;
  c.m_bCollided = c.m_bBounced = c.m_bOnGround = c.m_bWalkable = false;
  const bool bCanPush = bAllowPush && m_nPushLevel != 0;
  // A hit that turns the plane logic from the first plane to the crease and beyond.
  auto FirstPlane = [&](const EVec3& n, bool bKeepUp) {
    s = 1;
    P = n;
    R = R - P * (R.Dot(P) - kPlaneOffset);
    if (bKeepUp && R.Dot(U) > 0.0f) {
      EVec3 K = P.Cross(U);
      const float k = K.Length();
      if (k > kCreaseMin) {
        K = K * (1.0f / k);
        R = K * R.Dot(K);
        R = R + P * kPlaneOffset;
        P = K;
        s = 2;
      }
    }
  };
  for (;;) {
    if (!m_pCM->CheckCollision(c)) break;
    c.m_bCollided = true;
    EPhysics* pHitPhys = c.pEntity ? c.pEntity->GetPhysics() : nullptr;
    if (bCanPush && !bPushed && pHitPhys && CanPush(pHitPhys)) {
      const EVec3 d = c.vDir;
      const EVec3 n = -c.vNormal;
      const EVec3 along = d * n.Dot(d);
      EVec3 q = n - along;
      const float ql = q.Length();
      if (ql != 0.0f) q = q * ((ql - kPushSkin > 0.0f ? ql - kPushSkin : 0.0f) / ql);
      const EVec3 dir = (along + q).SafeGetNormal();
      const EVec3 push = dir * R.Dot(dir);
      const float l = push.Length();
      pHitPhys->onPushed(this, push.SafeGetNormal(), l);
      bPushed = true;
      c.InitSegment(c.vStart, c.vStart + R);
      continue;
    }
    const float dv = c.vNormal.Dot(c.m_vVelocity);
    const float vn = dv < 0.0f ? dv : 0.0f;
    const EVec3 vInto = c.vNormal * vn;
    _ComputeWalkability(c, vn, vInto);
    if (eBehavior == kCOLLIDE_Bounce && (!c.m_bWalkable || std::fabs(vn) > kBounceUpLimit)) {
      c.m_bOnGround = c.m_bWalkable = false;
      c.m_bBounced = true;
      c.m_vVelocity = c.m_vVelocity - vInto * (kPC_BounceElasticity + 1.0f);
      return true;
    }
    const bool bKeepUp = (c.m_bNoClimbSteep && !c.m_bWalkable) || c.m_bNoClimb;
    if (!bPushed && c.m_bAdjustVelocity && !(c.dwSurfaceFlags & kSurfaceCantilever)) {
      c.m_vVelocity = c.m_vVelocity - vInto;
      if (bKeepUp) {
        const float up = c.m_vVelocity.Dot(U);
        if (up > 0.0f) c.m_vVelocity = c.m_vVelocity - U * up;
      }
    }
    if (++nHits > 9 || eBehavior != kCOLLIDE_Slide) break;
    R = R - (c.vEnd - c.vStart);
    switch (s) {
      case 0: FirstPlane(c.vNormal, bKeepUp); break;
      case 1: {
        const float d = P.Dot(c.vNormal);
        if (d >= 1.0f) {
          s = 3;
          P = R = EVec3(0.0f, 0.0f, 0.0f);
        } else if (d > kSamePlane) {
          FirstPlane(c.vNormal, bKeepUp);
        } else {
          // Along the crease of the two planes, keeping the motion's share along it.
          const EVec3 K = P.Cross(c.vNormal).SafeGetNormal();
          s = 2;
          P = K;
          R = K * R.Dot(K);
        }
        break;
      }
      case 2:
        s = 3;
        P = R = EVec3(0.0f, 0.0f, 0.0f);
        break;
      default: break;
    }
    if (R.LengthSquared() <= kSlideEndSq) break;
    c.InitSegment(c.vEnd, c.vEnd + R);
  }
  if (c.m_bCollided && c.eCollisionType == 1 && IsSphereType(c.eSrcType) && c.pEntity && c.pEntity->GetPhysics() &&
      c.pEntity->GetPhysics()->GetFlag(PHYSICS_SPHERESPHEREKICKBACK))
    c.m_vVelocity = c.vNormal * kKickbackSpeed;
  return c.m_bCollided;
}

void EPhysics::_ComputeWalkability(ECollideEx& c, float, const EVec3&) {
  using namespace physicssweep;
  const bool bEdge = c.eCollisionType == CCT_EdgeInterior || c.eCollisionType == CCT_Vertex;
  const float fThreshold = bEdge ? kEdgeWalkable : kPC_WALKABLESLOPE;
  bool bWalkable = (c.dwSurfaceFlags & kSurfaceGrippy) || c.vNormal.Dot(m_vGravityDir) >= fThreshold;
  if (c.dwSurfaceFlags & (kSurfaceSlippery | kSurfaceCantilever)) bWalkable = false;
  if (c.pEntity && c.pEntity->GetEntityFlag(ENTITY_CANNOTBESTOODON)) bWalkable = false;
  if (m_bIsPlayer && c.pEntity && c.pEntity->GetEntityFlag(ENTITY_CANNOTBESTOODONBYPLAYER)) bWalkable = false;
  if (bWalkable) {
    c.m_bWalkable = c.m_bOnGround = true;
  } else if (!(c.dwSurfaceFlags & kSurfaceCantilever) && c.vPlaneNormal.Dot(m_vUp) > kGroundContact) {
    c.m_bOnGround = true;
  }
}

bool EPhysics::Collide_FindGround(bool bWasOnGround, EVec3& p, ECollideEx& c) {
  using namespace physicssweep;
  static const PhysicsStateFlag s_aNoSnap[] = {PHYSICSSTATE_CLIMBING, PHYSICSSTATE_MOUNTING_LEDGE, PHYSICSSTATE_HANGING,
                                               PHYSICSSTATE_MOUNTINGBALL, PHYSICSSTATE_ONLADDER, PHYSICSSTATE_ONPOLE,
                                               PHYSICSSTATE_ONCLIMBWALL, PHYSICSSTATE_JUMPING};
  bool bSnapAllowed = bWasOnGround && GetFlag(PHYSICS_APPLYGRAVITY);
  for (PhysicsStateFlag f : s_aNoSnap)
    if (GetStateFlag(f)) bSnapAllowed = false;
  const float dt = SimDeltaTime();
  const float fSnap = m_fStepHeight * dt * kSnapScale;
  const float fProbe = fSnap > kMinProbe ? fSnap : kMinProbe;

  c.InitSegment(p, p - m_vGravityDir * fProbe);
  c.m_vVelocity = m_vVelocity;
  const bool bHit = CollideWithSlide(kCOLLIDE_Stop, c, false);
  const float fDist = bHit ? (c.vEnd - c.vStart).Length() : FLT_MAX;

  const uint32_t dwOld = m_dwGroundFlags;
  m_dwGroundFlags = bHit ? c.dwSurfaceFlags : 0;
  if (bHit) {
    m_LastNavInfo = m_NavInfo;
    if ((c.dwSurfaceFlags & kSurfaceNav) && c.IsTriangleHit()) {
      unsigned nMesh = 255, nPoly = 0;
      c.GetNavPoly(nMesh, nPoly);
      m_NavInfo.nMesh = (uint8_t)nMesh;
      m_NavInfo.nPoly = (uint16_t)nPoly;
      // The group of a navigation polygon comes with the navigation meshes' reachability tables.
      m_NavInfo.nGroupMask = 0;
    } else {
      m_NavInfo.nMesh = 255;
    }
    m_vGroundNormal = c.vNormal;
    m_vGroundFaceNormal = c.vPlaneNormal;
    m_fGroundDist = fDist;
  } else {
    m_vGroundNormal = m_vUp;
    m_vGroundFaceNormal = m_vUp;
    m_fGroundDist = FLT_MAX;
  }
  const int iNewTrigger = (int)((m_dwGroundFlags & kSurfaceTriggerMask) >> kSurfaceTriggerShift);
  const int iOldTrigger = (int)((dwOld & kSurfaceTriggerMask) >> kSurfaceTriggerShift);
  if (iNewTrigger != iOldTrigger && m_pOwner && m_pOwner->GetScriptObject())
    m_pOwner->GetScriptObject()->SendMessagef("TriggerSurface", nullptr, 0, "ii", iNewTrigger, iOldTrigger);

  if (bHit && 2.0f * fSnap > fDist && GetStateFlag(PHYSICSSTATE_HANGING)) m_pGroundEntity = c.pEntity;
  if (fDist < (bSnapAllowed ? fSnap : 0.0f)) {
    m_pGroundEntity = c.pEntity;
    m_vVelocity = c.m_vVelocity;
    p = c.vEnd;
    if (bSnapAllowed) SetStateFlag(PHYSICSSTATE_ONGROUND);
    if (c.dwSurfaceFlags & kSurfaceWater) SetStateFlag(PHYSICSSTATE_HITWATER);
    return true;
  }
  if (bSnapAllowed && !GetStateFlag(PHYSICSSTATE_RIDINGBALL) && !GetStateFlag(PHYSICSSTATE_RAILHANDLER) &&
      !GetStateFlag(PHYSICSSTATE_SLIDING)) {
    const float u = m_vVelocity.Dot(m_vUp);
    m_vVelocity = m_vVelocity - m_vUp * u;
    const float fDrop = kLedgeDrop * fSnap;
    float u2 = u;
    if (dt > 0.0f && fDrop / dt < u) u2 = fDrop / dt;
    p = p + m_vUp * fDrop;
    m_vVelocity = m_vVelocity + m_vUp * u2;
  }
  return false;
}

bool EPhysics::Collide_TryStairStep(ECollideEx& c, const EVec3& vFrom, const EVec3& vTo) {
  const bool bRidingBall = GetStateFlag(PHYSICSSTATE_RIDINGBALL);
  if (bRidingBall && c.eCollisionType != CCT_EdgeInterior && c.eCollisionType != CCT_Vertex) return false;
  const EVec3 L = m_vUp * m_fStepHeight;
  c.InitSegment(vFrom, vFrom + L);
  if (CollideWithSlide(kCOLLIDE_Stop, c, false)) return false;
  c.InitSegment(vFrom + L, vTo + L);
  if (CollideWithSlide(kCOLLIDE_Stop, c, false)) return false;
  c.m_bNoClimbSteep = false;
  c.InitSegment(vTo + L, vTo);
  if (!CollideWithSlide(kCOLLIDE_Stop, c, false)) return true;
  if (bRidingBall) return true;
  const int iSphere = c.eSrcType == CPT_Spheres ? c.iSrcPrimitive : -1;
  const float r = iSphere >= 0 ? c.aSpheres[iSphere].radius : c.fRadius;
  const float h = (c.vEnd - vFrom).Dot(m_vUp) + (1.0f - c.vNormal.Dot(m_vUp)) * r;
  if (h > m_fStepHeight) return false;
  if (!c.m_bWalkable && !(c.dwSurfaceFlags & (kSurfaceSlippery | kSurfaceCantilever))) {
    if (c.eCollisionType == CCT_EdgeInterior) {
      const ETri3 tri = c.GetCollidePoly();
      const EVec3* aV[3] = {&tri.p0, &tri.p1, &tri.p2};
      const int k = c.iSubPrimitive % 3;
      const EVec3 e = (*aV[(k + 1) % 3] - *aV[k]).SafeGetNormal();
      if ((e - m_vUp * e.Dot(m_vUp)).Length() >= kPC_WALKABLESLOPE) c.m_bWalkable = true;
    } else if (c.eCollisionType == CCT_Vertex) {
      c.m_bWalkable = true;
    }
  }
  return c.m_bWalkable;
}

bool EPhysics::InterpolateOrientation(float dt, EMat4& m) {
  using namespace physicssweep;
  if (!GetFlag(PHYSICS_ORIENTTOGRAVITY) || !GetFlag(PHYSICS_APPLYGRAVITY)) return false;
  const EVec3 g = m_vGravityDir;
  const EVec3 u = m_vUp;
  const float d = u.Dot(g);
  if (g == u || d >= 1.0f) return false;
  EMat4 M = m;
  if (d > kAlignSnap) {
    const EVec3 F = g.Cross(m_vRight).SafeGetNormal();
    const EVec3 R = F.Cross(g);
    M.SetRotation(FromFRU(F, R, g));
  } else {
    EVec4 aa = GetAxisAngleBetween(u, g);
    const float fRate = aa.w * kPC_GravityExpRate;
    const float fStep = dt * (fRate > kPC_GravityMinRate ? fRate : kPC_GravityMinRate);
    if (aa.w > fStep) aa.w = fStep;
    else if (aa.w < -fStep) aa.w = -fStep;
    const EVec3 vPivot = M.GetTranslation() + u * GetMinY();
    M.SetTranslation(M.GetTranslation() - vPivot);
    if (gb_Interpolate) {
      const EMat4 Q = EQuat(aa).ToMatrix();
      m_vVelocity = Q / m_vVelocity;
      M = Q * M;
    }
    M.SetTranslation(M.GetTranslation() + vPivot);
  }
  EVec3 vOut;
  if (!FindSafePosition(vOut, M.GetTranslation(), 3, true, &M)) return false;
  M.SetTranslation(vOut);
  m = M;
  return true;
}

bool EPhysics::PointCheck(const EMat4& m, EVec3* pNormal, float* pDepth) {
  ECollide c(nullptr);
  c.InitFor(m_pOwner, &m);
  c.dwFlags |= kCOLLIDEFLAG_IgnoreSpheres | kCOLLIDEFLAG_ReportDepth;
  c.InitPoint(m.GetTranslation());
  if (!m_pCM->CheckCollision(c)) return false;
  if (pNormal) *pNormal = c.vNormal;
  if (pDepth) *pDepth = -c.fDepth;
  return true;
}

bool EPhysics::PointCheck(EMesh* pMesh, const EMat4& m, EVec3* pNormal) {
  ECollide c(nullptr);
  c.InitFor(m_pOwner, &m);
  c.dwFlags |= kCOLLIDEFLAG_IgnoreSpheres;
  c.InitPoint(m.GetTranslation());
  const bool bHit = _TmpCollideWithMesh(pMesh, c);
  if (pNormal) *pNormal = bHit ? c.vPlaneNormal : EVec3(0.0f, 0.0f, 0.0f);
  return bHit;
}

bool _TmpCollideWithMesh(EMesh* pMesh, ECollide& hit) {
  if (hit.eSrcType != CPT_Spheres) return pMesh->CheckForCollision(hit);
  ECollide copy(hit);
  int iHit = -1;
  for (int i = 0; i < hit.nSpheres; i++) {
    copy.ToOneSphere(i);
    if (pMesh->CheckForCollision(copy)) iHit = i;
    copy.FromOneSphere(i);
  }
  if (iHit < 0) return false;
  copy.eSrcType = CPT_Spheres;
  hit = copy;
  hit.iSrcPrimitive = iHit;
  if (hit.eCollisionType == CCT_None) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "hit.eCollisionType != CCT_None", false);
  return true;
}

bool EPhysics::FindSafePosition(EVec3& vOut, const EVec3& p, unsigned short nTries, bool bFailIfStuck,
                                const EMat4* m) {
  EMat4 M = m ? *m : m_mAbsTrans;
  M.SetTranslation(p);
  EVec3 n;
  float depth = 0.0f;
  if (!PointCheck(M, &n, &depth)) {
    vOut = p;
    return true;
  }
  M.SetTranslation(M.GetTranslation() + n * (1.0f - depth));
  bool bFound = false;
  for (unsigned i = 0; i < nTries && !bFound; i++) {
    if (!PointCheck(M, &n, &depth)) bFound = true;
    else M.SetTranslation(M.GetTranslation() + n * (1.0f - depth));
  }
  if (!bFound && bFailIfStuck) {
    vOut = GetAbsPosition();
    return false;
  }
  ECollideEx c(nullptr);
  c.InitFor(m_pOwner, &M);
  c.InitSegment(bFound ? M.GetTranslation() : GetAbsPosition(), p);
  c.m_vVelocity = m_vVelocity;
  CollideWithSlide(kCOLLIDE_Stop, c, false);
  vOut = c.vEnd;
  return true;
}

bool EPhysics::SafeSetAbsPosition(const EVec3& p, unsigned short nTries, bool bFailIfStuck) {
  EVec3 vOut;
  if (!FindSafePosition(vOut, p, nTries, bFailIfStuck, nullptr)) return false;
  SetAbsPosition(vOut, true);
  return true;
}

bool EPhysics::SafeSetNumCollideSpheres(int n) {
  const int nOld = m_nNumCollideSpheres;
  m_nNumCollideSpheres = n;
  float depth = 0.0f;
  if (n <= nOld || !PointCheck(m_mAbsTrans, nullptr, &depth)) return true;
  if (depth < -10.0f) {
    m_nNumCollideSpheres = nOld;
    return false;
  }
  EVec3 vOut;
  if (FindSafePosition(vOut, GetAbsPosition(), 3, true, nullptr)) {
    SetAbsPosition(vOut, true);
    return true;
  }
  m_nNumCollideSpheres = nOld;
  return false;
}

EVec3 EPhysics::FindSweptPosition(const EVec3& vTarget, int nBehaviour) {
  ECollideBehavior eBehavior;
  if (nBehaviour < 0) eBehavior = GetFlag(PHYSICS_SLIDEONCOLLIDE) ? kCOLLIDE_Slide : kCOLLIDE_Stop;
  else eBehavior = nBehaviour ? kCOLLIDE_Slide : kCOLLIDE_Stop;
  ECollideEx c(m_pOwner);
  c.InitSegment(GetAbsPosition(), vTarget);
  c.m_vVelocity = m_vVelocity;
  CollideWithSlide(eBehavior, c, false);
  return c.vEnd;
}

void EPhysics::DebugCheckCollision(const char* szFormat, ...) {
  if (!GetFlag(PHYSICS_DEBUGCOLLISION) || !GetFlag(PHYSICS_COLLIDER)) return;
  const EVec3 vBefore = GetAbsPosition();
  SafeSetAbsPosition(vBefore, 3, true);
  const float fMoved = (GetAbsPosition() - vBefore).Length();
  if (!(fMoved > 0.0f)) return;
  g_ErrorManager.TraceMessagef(TT_Warning, "***** %s fell %f units out of the world.  Cause is:",
                               m_pOwner ? m_pOwner->GetName() : "(null)", (double)fMoved);
  va_list args;
  va_start(args, szFormat);
  g_ErrorManager.TraceMessagev(TT_Warning, szFormat, args);
  va_end(args);
}
