// The frame step of a physics object: begin, move by velocity, animation or
// a requested position, sweep through the world for colliders, place the
// object and take its new base; and the end-of-frame post-process.
#include <cmath>

#include "Game/GameApp.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/PhysicsCollide.h"
#include "VERirezo/PhysicsConstants.h"
#include "VERirezo/TriCache.h"

namespace physicsstep {

void Fatal(int iLine, const char* szExpr) { g_ErrorManager.ErrorMessage("PhysicsStep.cpp", iLine, szExpr, false); }

const char* NameOf(const EEntity* e) { return e ? e->GetName() : "(null)"; }

float SimDeltaTime() { return gGameApp ? gGameApp->GetSimDeltaTime() : 0.0f; }

bool IsZero(const EVec3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The entity type of psi blasts.
const int kENTITYTYPE_PsiBlast = 4;

}  // namespace physicsstep

// ---------------------------------------------------------------- the step

void EPhysics::ProcessFrame(float dt) {
  using namespace physicsstep;
  m_fLastStepSeconds = dt;
  ++m_nSteps;
  if (m_dwFlags & PHYSICS_HASTOUCHES) RegisterPostprocess();
  if (GetFlag(PHYSICS_ISATTACHED) != (m_pAttach != nullptr)) Fatal(__LINE__, "GetFlag(PHYSICS_ISATTACHED) == (m_pAttach != 0)");
  if (m_dwFlags & PHYSICS_ISATTACHED) return;
  if (m_dwFlags & PHYSICS_NOPHYSICS) {
    if (m_pAttachChild) SetRelTrans(GetRelTrans(), SRT_Teleport, false);
    return;
  }
  if (IsCollider()) gProcessFrameNumColliders++;
  if (IsCollidee()) gProcessFrameNumCollidees++;
  Begin(dt);

  const EMat4 mOld = GetRelTrans();
  EMat4 mNew = mOld;
  unsigned dwFlags = Move(mNew, dt);
  if (!(dwFlags & (SRT_Sweep | SRT_Teleport))) dwFlags |= SRT_Sweep;
  m_pGroundEntity = nullptr;

  bool bTakeBase = true;
  const bool bForced = (m_dwFlags & PHYSICS_MOVETOFORCED) != 0;
  if (m_dwFlags & PHYSICS_MOVINGGEOMETRY) {
    if (m_eCollisionType != CPT_Triangles) {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: Non-triangle entity treated as mover!", NameOf(m_pOwner));
      m_dwFlags &= ~PHYSICS_MOVINGGEOMETRY;
    }
    SetRelTrans(mNew, dwFlags, bForced);
  } else if (!IsCollider() || (m_dwFlags & PHYSICS_ANIMATIONMOVESONLY) || (m_dwFlags & PHYSICS_ISATTACHED)) {
    SetRelTrans(mNew, dwFlags, bForced);
    bTakeBase = false;
  } else if (gGameApp && gGameApp->m_DebugHooks.DumpActiveColliders) {
    const int64_t nStart = Profile_GetTimestamp();
    Collide(mOld, mNew, false);
    const double fSeconds = Profile_TimestampsToSeconds(Profile_GetTimestamp() - nStart);
    g_ErrorManager.TraceMessagef("Collider: %s (%.2f ms)", NameOf(m_pOwner), fSeconds * 1000.0);
  } else {
    Collide(mOld, mNew, false);
  }
  if (bTakeBase && !GetStateFlag(PHYSICSSTATE_HANGING) && !GetStateFlag(PHYSICSSTATE_MOUNTINGBALL) &&
      !GetStateFlag(PHYSICSSTATE_CANTILEVERHANDLER))
    SetBase(m_pGroundEntity ? m_pGroundEntity->GetPhysics() : nullptr, false);
  m_pGroundEntity = nullptr;
  m_dwFlags &= ~(PHYSICS_MOVETOPOSITION | PHYSICS_MOVETOFORCED);
}

void EPhysics::StaticPostProcess() {
  const float dt = physicsstep::SimDeltaTime();
  // An End may register further objects; they are ended in this pass too.
  for (int i = 0; i < sm_aPostProcess.Num(); i++) {
    EPhysics* p = sm_aPostProcess[i];
    p->m_dwFlags &= ~PHYSICS_INPOSTPROCESS;
    p->End(dt);
  }
  if (sm_aPostProcess.Num()) sm_aPostProcess.Remove(0, sm_aPostProcess.Num());
}

void EPhysics::RegisterPostprocess() {
  if (m_dwFlags & PHYSICS_INPOSTPROCESS) return;
  m_dwFlags |= PHYSICS_INPOSTPROCESS;
  sm_aPostProcess.AddData(this);
}

void EPhysics::Begin(float dt) {
  if (m_pTriCache) m_pTriCache->AutoTune();
  if (m_eCollisionType == CPT_Spheres || m_eCollisionType == CPT_Spheres_ModelSpace) {
    bool bModel = m_vUp.y < 0.999f;
    for (int i = 0; i < m_nNumCollideSpheres && !bModel; i++)
      if (m_aCollideSpheres[i].centre.x != 0.0f || m_aCollideSpheres[i].centre.z != 0.0f) bModel = true;
    m_eCollisionType = bModel ? CPT_Spheres_ModelSpace : CPT_Spheres;
  }
  m_fNoAttachTime = m_fNoAttachTime - dt > 0.0f ? m_fNoAttachTime - dt : 0.0f;
  if (m_fCollideIgnoreTime >= 0.0f) {
    m_fCollideIgnoreTime = m_fCollideIgnoreTime - dt > 0.0f ? m_fCollideIgnoreTime - dt : 0.0f;
    if (m_fCollideIgnoreTime == 0.0f) m_pCollideIgnoreEntity = nullptr;
  }
}

void EPhysics::End(float) { End_ProcessTouch(); }

// ---------------------------------------------------------------- movement

unsigned EPhysics::Move(EMat4& m, float dt) {
  if (m_dwFlags & PHYSICS_ANIMATIONMOVESONLY) return Move_Animation(m, dt, true, false);
  unsigned dwFlags = 0;
  if (!physicsstep::IsZero(m_vVelocity)) {
    m.SetTranslation(m.GetTranslation() + m_vVelocity * dt);
    dwFlags |= SRT_Position;
  }
  UnsetStateFlag(PHYSICSSTATE_SKIDDING);
  if (m_dwFlags & PHYSICS_MOVETOPOSITION) dwFlags |= Move_External(m, dt);
  else if (GetStateFlag(PHYSICSSTATE_ONGROUND)) dwFlags |= Move_GenericGround(m, dt);
  else dwFlags |= Move_GenericAir(m, dt);
  return dwFlags;
}

unsigned EPhysics::Move_External(EMat4& m, float) {
  m.SetTranslation(m_vMoveToPosition);
  return SRT_Position | SRT_Sweep;
}

unsigned EPhysics::Move_GenericAir(EMat4& m, float dt) {
  unsigned dwResult = SRT_Sweep;
  if (!physicsstep::IsZero(m_vRelAnimMove)) {
    m.SetTranslation(m.GetTranslation() + m_vRelAnimMove);
    m_vRelAnimMove = EVec3(0.0f, 0.0f, 0.0f);
    dwResult |= SRT_Position;
  }
  if (m_dwFlags & PHYSICS_APPLYGRAVITY) m_vVelocity = m_vVelocity + m_vGravityDir * (kPC_GRAVITY * dt);
  return dwResult;
}

unsigned EPhysics::Move_GenericGround(EMat4& m, float dt) {
  const unsigned dwResult = Move_Animation(m, dt, true, false);
  if ((m_dwFlags & PHYSICS_APPLYGRAVITY) && !GetStateFlag(PHYSICSSTATE_ONWALKABLEGROUND)) {
    m_vVelocity = m_vVelocity + m_vGravityDir * (kPC_GRAVITY * 4.0f * dt);
  } else {
    const float s = m_vVelocity.Length();
    if (s > 0.0f) {
      const EVec3 d = m_vVelocity * (1.0f / s);
      const float f = dt * kPC_FRICTION;
      m_vVelocity = m_vVelocity - d * (f < s ? f : s);
    }
  }
  return dwResult;
}

unsigned EPhysics::Move_Animation(EMat4& m, float dt, bool bSaveVelocity, bool bKeepVelocity) {
  unsigned dwResult = 0;
  if (!physicsstep::IsZero(m_vRelAnimMove)) {
    m.SetTranslation(m.GetTranslation() + m_vRelAnimMove);
    dwResult = SRT_Position | SRT_Sweep;
  }
  if (bSaveVelocity) SaveRelAnimVel(dt > 0.0f ? m_vRelAnimMove * (1.0f / dt) : EVec3(0.0f, 0.0f, 0.0f));
  else m_vRelAnimVel = EVec3(0.0f, 0.0f, 0.0f);
  m_vRelAnimMove = EVec3(0.0f, 0.0f, 0.0f);
  if (!bKeepVelocity) m_vVelocity = EVec3(0.0f, 0.0f, 0.0f);
  if (m_bAddAnimVelocity) {
    AddEffectiveAnimationVelocity();
    m_vRelAnimVel = EVec3(0.0f, 0.0f, 0.0f);
    m_bAddAnimVelocity = 0;
  }
  return dwResult;
}

void EPhysics::SaveRelAnimVel(const EVec3& v) { m_vRelAnimVel = v * 0.7f + m_vRelAnimVel * 0.3f; }

// ---------------------------------------------------------------- collision stage

void EPhysics::Collide(const EMat4& mOld, EMat4& mNew, bool bPushed) {
  if (m_dwFlags & PHYSICS_INCOLLIDE) return;
  m_dwFlags |= PHYSICS_INCOLLIDE;
  m_bCollidedWithDomain = 0;
  if (Collide_Internal(mOld, mNew, bPushed)) {
    m_bCollidedWithDomain = 1;
    SetStateFlag(PHYSICSSTATE_COLLIDED);
  }
  if (m_fNoAttachTime > 0.0f) Collide_UnsetAttachFlags();
  if (m_dwFlags & PHYSICS_MOVETOFORCED) SetRelPosition(m_vMoveToPosition, true);
  m_dwFlags &= ~PHYSICS_INCOLLIDE;
}

bool EPhysics::Collide_Internal(const EMat4& mOld, EMat4& mNew, bool bPushed) {
  using namespace physicsstep;
  const float dt = SimDeltaTime();
  bool bOnGround = GetStateFlag(PHYSICSSTATE_ONGROUND);
  const bool bTryStairs = bOnGround && GetStateFlag(PHYSICSSTATE_AllowStairStep);
  Collide_UnsetFlags();

  ECollideEx c(m_pOwner);
  c.m_vVelocity = m_vVelocity;
  const EVec3 vFrom = mOld.GetTranslation();
  EVec3 vTo = mNew.GetTranslation();
  bool bHit = false;
  ECollideBehavior eBehavior = (m_dwFlags & PHYSICS_SLIDEONCOLLIDE) ? kCOLLIDE_Slide : kCOLLIDE_Stop;
  if (m_pOwner && m_pOwner->IsA(kENTITYTYPE_PsiBlast)) {
    eBehavior = kCOLLIDE_Stop;
    c.m_bAdjustVelocity = false;
  }

  if (!bPushed && (m_dwFlags & PHYSICS_MOVETOFORCED)) {
    EMemMark mark(*GetThreadLocalStack());
    c.InitSegment(vFrom, vTo);
    const EVec3 vStart = c.vStart, vEnd = c.vEnd;
    for (EHitResult* h = m_pCM->MultiCheckCollision(c); h; h = h->pNext) {
      SetAbsPosition(Lerp(vStart, vEnd, h->fTime), true);
      if (m_pOwner) m_pOwner->onCollide(h->pEntity, h->vNormal, -1, 0, false);
      if (h->pEntity) {
        h->pEntity->onCollide(m_pOwner, h->vNormal, -1, 0, true);
        ProcessTouch(*h, m_pOwner);
      }
    }
    return false;
  }

  c.InitSegment(vFrom, vTo);
  if (CollideWithSlide(eBehavior, c, true)) {
    bHit = true;
    if (bTryStairs) {
      ECollideEx c2(c);
      c2.m_vVelocity = m_vVelocity;
      if (Collide_TryStairStep(c2, vFrom, vTo)) c = c2;
    }
    SendCollideNotification(c, bOnGround);
    if (c.pEntity && !c.pEntity->IsValid()) Fatal(__LINE__, "!hit.pEntity || hit.pEntity->IsValid()");
    if (!bPushed) ProcessTouch(c);
    handleGroundCollide(c);
    vTo = c.vEnd;
    m_vVelocity = c.m_vVelocity;
  }

  EVec3 vGroundFace = m_vGroundFaceNormal;
  if (Collide_FindGround(bOnGround, vTo, c)) handleGroundCollide(c);
  else m_NavInfo.nMesh = 255;
  handleNavigationConstraints(dt, mOld, vGroundFace, vTo);

  unsigned dwFlags = SRT_Position;
  mNew.SetTranslation(vTo);
  if (InterpolateOrientation(dt, mNew)) dwFlags |= SRT_Position | SRT_Rotation;
  SetRelTrans(mNew, dwFlags | SRT_Sweep, false);
  return bHit;
}

void EPhysics::handleGroundCollide(const ECollideEx& c) {
  if (c.m_bOnGround) SetStateFlag(PHYSICSSTATE_ONGROUND);
  if (c.m_bWalkable) SetStateFlag(PHYSICSSTATE_ONWALKABLEGROUND);
  if (c.dwSurfaceFlags & kSurfaceWater) SetStateFlag(PHYSICSSTATE_HITWATER);
}

void EPhysics::Collide_UnsetFlags() {
  static const PhysicsStateFlag s_aStates[] = {
      PHYSICSSTATE_ONGROUND,      PHYSICSSTATE_ONWALKABLEGROUND, PHYSICSSTATE_COLLIDED,
      PHYSICSSTATE_HEADCOLLIDED,  PHYSICSSTATE_CANMOUNT,         PHYSICSSTATE_ATHANGEDGE,
      PHYSICSSTATE_ATTEETEREDGE,  PHYSICSSTATE_CANMOVERIGHT,     PHYSICSSTATE_CANMOVELEFT,
      PHYSICSSTATE_CANMOVEUP,     PHYSICSSTATE_CANMOVEDOWN,      PHYSICSSTATE_WALLCANMOVERIGHT,
      PHYSICSSTATE_WALLCANMOVELEFT, PHYSICSSTATE_HITSTEEPWALL};
  for (PhysicsStateFlag f : s_aStates) UnsetStateFlag(f);
  Collide_UnsetAttachFlags();
}

void EPhysics::Collide_UnsetAttachFlags() {
  static const PhysicsStateFlag s_aStates[] = {PHYSICSSTATE_HITTRAPEZE, PHYSICSSTATE_HITLADDER,
                                                PHYSICSSTATE_HITCANTILEVER, PHYSICSSTATE_HITPOLE,
                                                PHYSICSSTATE_CANCLIMB,     PHYSICSSTATE_HITCLIMBWALL,
                                                PHYSICSSTATE_HITWATER};
  for (PhysicsStateFlag f : s_aStates) UnsetStateFlag(f);
  m_pCollidedWithEntity = nullptr;
}
