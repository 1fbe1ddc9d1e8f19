// Physics of one entity: its world transform and what moves it (velocities,
// gravity direction, collision shape, flags and state bits), the object it
// stands on with its passengers, its attachment, and the sweeps through the
// collision world that slide it along what it hits and find its ground.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"

class ECollide;
class EHitResult;
template <class T>
class ETempArray;
class ECollisionManager;
class EDomain;
class EEntity;
class EJoint;
class EMesh;
class EMeshEntity;
class ESkelAnim;
class ETriCache;
class ETriggerBase;

enum EPhysicsFlag : uint32_t {
  PHYSICS_COLLIDEE = 0x1,
  PHYSICS_COLLIDER = 0x2,
  PHYSICS_NOPHYSICS = 0x4,
  PHYSICS_APPLYGRAVITY = 0x8,
  PHYSICS_ORIENTTOGRAVITY = 0x10,
  PHYSICS_SLIDEONCOLLIDE = 0x20,
  PHYSICS_ANIMATIONMOVESONLY = 0x40,
  PHYSICS_CHECKTRIGGERS = 0x80,
  PHYSICS_SPHERESPHEREKICKBACK = 0x100,
  PHYSICS_DEBUGCOLLISION = 0x200,
  PHYSICS_MOVINGGEOMETRY = 0x400,
  PHYSICS_NAVIGATION = 0x800,
  PHYSICS_STICKYNAVIGATION = 0x1000,
  PHYSICS_NOT_REALLY_COLLIDEE = 0x2000,
  PHYSICS_ENHANCED_GRAVITY = 0x4000,
  PHYSICS_MOVETOPOSITION = 0x20000,
  PHYSICS_MOVETOFORCED = 0x40000,
  PHYSICS_INCOLLIDE = 0x80000,
  PHYSICS_HASTOUCHES = 0x100000,
  PHYSICS_INPOSTPROCESS = 0x200000,
  PHYSICS_ISATTACHED = 0x400000,
  PHYSICS_INSETRELTRANS = 0x800000,
  PHYSICS_IGNORELAYER1 = 0x1000000,
  PHYSICS_IGNORELAYER2 = 0x2000000,
  PHYSICS_IGNORELAYER3 = 0x4000000,
  PHYSICS_IGNORELAYER4 = 0x8000000,
  PHYSICS_LAYER1 = 0x10000000,
  PHYSICS_LAYER2 = 0x20000000,
  PHYSICS_LAYER3 = 0x40000000,
  PHYSICS_LAYER4 = 0x80000000,
};

enum PhysicsStateFlag {
  PHYSICSSTATE_ONGROUND = 0,
  PHYSICSSTATE_SKIDDING = 1,
  PHYSICSSTATE_CANCLIMB = 2,
  PHYSICSSTATE_ATHANGEDGE = 3,
  PHYSICSSTATE_CLIMBING = 4,
  PHYSICSSTATE_DROPDOWNLEDGE = 5,
  PHYSICSSTATE_HANGING = 6,
  PHYSICSSTATE_MOUNTINGBALL = 7,
  PHYSICSSTATE_RIDINGBALL = 8,
  PHYSICSSTATE_POPBALL = 9,
  PHYSICSSTATE_HITTRAPEZE = 10,
  PHYSICSSTATE_CANMOUNT = 11,
  PHYSICSSTATE_MOUNTING_LEDGE = 12,
  PHYSICSSTATE_HARDLANDING = 13,
  PHYSICSSTATE_PSIFLOAT = 14,
  PHYSICSSTATE_TUMBLELANDING = 15,
  PHYSICSSTATE_HITSNAPTRAP = 16,
  PHYSICSSTATE_HITCANTILEVER = 17,
  PHYSICSSTATE_ONCANTILEVER = 18,
  PHYSICSSTATE_ATTEETEREDGE = 19,
  PHYSICSSTATE_JUMPING = 20,
  PHYSICSSTATE_ONWALKABLEGROUND = 21,
  PHYSICSSTATE_FIREDPSIBLAST = 22,
  PHYSICSSTATE_COLLIDED = 23,
  PHYSICSSTATE_SLIDING = 24,
  PHYSICSSTATE_ONTRAPEZE = 25,
  PHYSICSSTATE_SNAPTRAPLAUNCH = 26,
  PHYSICSSTATE_HITLADDER = 27,
  PHYSICSSTATE_ONLADDER = 28,
  PHYSICSSTATE_HITPOLE = 29,
  PHYSICSSTATE_ONPOLE = 30,
  PHYSICSSTATE_LANDEDFROMMELEE = 31,
  PHYSICSSTATE_NOPSIFLOAT = 32,
  PHYSICSSTATE_BUTTBOUNCING = 33,
  PHYSICSSTATE_LADDERMOUNTTOP = 34,
  PHYSICSSTATE_LADDERDISMOUNTTOP = 35,
  PHYSICSSTATE_HEADCOLLIDED = 36,
  PHYSICSSTATE_CANMOVERIGHT = 40,
  PHYSICSSTATE_CANMOVELEFT = 41,
  PHYSICSSTATE_CANMOVEUP = 42,
  PHYSICSSTATE_CANMOVEDOWN = 43,
  PHYSICSSTATE_HITCLIMBWALL = 44,
  PHYSICSSTATE_ONCLIMBWALL = 45,
  PHYSICSSTATE_WALLCANMOVERIGHT = 47,
  PHYSICSSTATE_WALLCANMOVELEFT = 48,
  PHYSICSSTATE_HITWATER = 49,
  PHYSICSSTATE_INCANOE = 50,
  PHYSICSSTATE_ONRAIL = 51,
  PHYSICSSTATE_ONTIGHTROPE = 52,
  PHYSICSSTATE_ZLOCKJUMP = 54,
  PHYSICSSTATE_RAILHANDLER = 55,
  PHYSICSSTATE_AllowStairStep = 56,
  PHYSICSSTATE_Straightjacket = 57,
  PHYSICSSTATE_CANTILEVERHANDLER = 58,
  PHYSICSSTATE_HITSTEEPWALL = 59,
  PHYSICSSTATE_NUMSTATES = 60,
};

// The state bits of a physics object, in two 32-bit words.
class EPhysicsStateFlags {
public:
  enum { FLAG_BUF_SIZE = 2 };
  EPhysicsStateFlags() { m_aWords[0] = m_aWords[1] = 0; }
  bool GetFlag(PhysicsStateFlag f) const { return (m_aWords[Word(f)] >> (f & 31)) & 1u; }
  void SetFlag(PhysicsStateFlag f) { m_aWords[Word(f)] |= 1u << (f & 31); }
  void UnsetFlag(PhysicsStateFlag f) { m_aWords[Word(f)] &= ~(1u << (f & 31)); }
  uint32_t GetWord(int i) const { return m_aWords[i]; }

private:
  // Fatal for a bit beyond the two words.
  static int Word(int f);
  uint32_t m_aWords[FLAG_BUF_SIZE];
};

// Collision shape of a physics object, and the source shape of a query.
enum ECollisionPrimitiveType {
  CPT_None = 0,
  CPT_OneSphere = 1,             // one sphere centred on the position
  CPT_Spheres = 2,               // up to three spheres, offsets in world orientation
  CPT_Spheres_ModelSpace = 3,    // up to three spheres, offsets in the object's frame
  CPT_Triangles = 4,
  CPT_Capsules = 5,
};
typedef ECollisionPrimitiveType EPrimitiveType;
// "None", "OneSphere", ... for the value; "Unknown" outside the table.
const char* GetPrimitiveTypeName(int eType);

// Transform-change flags.
enum : unsigned { SRT_Position = 1, SRT_Rotation = 2, SRT_Sweep = 4, SRT_Teleport = 8 };

// What a sweep does at a hit.
enum ECollideBehavior { kCOLLIDE_Stop = 0, kCOLLIDE_Bounce = 1, kCOLLIDE_Slide = 2 };

class EPhysics;

// The attachment of a physics object to its parent, optionally at a joint
// of the parent's mesh. m_mRelTrans places the child in the parent frame.
struct AttachInfo {
  // Keeps the child where childAbs puts it in the world; a joint that is
  // missing is traced and the parent itself is used.
  AttachInfo(EPhysics* pParent, const EMat4& childAbs, const char* szJoint);
  // The parent frame: the parent's transform, or its mesh transform times the joint's.
  EMat4 GetParentTrans() const;
  EMat4 GetInvParentTrans() const;
  // The child's absolute transform.
  EMat4 GetFullTrans() const;
  // Finds the joint again by id after the parent's mesh changed.
  void UpdatePointers();

  EMat4 m_mRelTrans;
  EPhysics* m_pParent = nullptr;
  EJoint* m_pJoint = nullptr;
  uint16_t m_nJointID = 0xFFFF;
};

class EPhysics {
public:
  // A collision query for the owner with what a sweep carries and reports.
  class ECollideEx;

  // A touched entity, and this frame's record of one with its contact normal
  // (pointing from the other object toward this one).
  struct Touch {
    EEntity* pEntity;
  };
  struct TempTouch : Touch {
    EVec3 vNormal;
    TempTouch* pNext;
    bool bUsed;
  };
  // One object moved along by a transform change, to put back on rollback.
  struct RollbackData {
    EPhysics* m_pPhysics;
    EMat4 m_mRelTrans;
    uint32_t m_dwFlags;
  };

  // Navigation mesh number (255 none), polygon and group mask.
  struct NavInfo {
    uint8_t nMesh;
    uint16_t nPoly;
    uint8_t nGroupMask;
    uint32_t Pack() const { return nMesh | ((uint32_t)nPoly << 8) | ((uint32_t)nGroupMask << 24); }
  };

  explicit EPhysics(EEntity* pOwner);
  virtual ~EPhysics();
  EPhysics(const EPhysics&) = delete;
  EPhysics& operator=(const EPhysics&) = delete;

  // ---- Virtual operations ----
  virtual void onDomainSleep(bool bSleeping);
  // Files the owner in the new domain's collision manager instead of the old one's.
  virtual void onDomainChange(EDomain* pOld, EDomain* pNew);
  virtual void OwnerDeleted();
  // Drops the links to dead entities.
  virtual void CleanupReferences();
  virtual void SetMass(float fMass);
  virtual void SetupDefaultCollision();

  // ---- Frame ----
  // One step of the owner lasting fSeconds.
  void ProcessFrame(float fSeconds);
  float GetLastStepSeconds() const { return m_fLastStepSeconds; }
  unsigned GetNumSteps() const { return m_nSteps; }
  virtual void Begin(float dt);
  // Fills m with the moved transform; returns the SRT_ bits of what changed.
  virtual unsigned Move(EMat4& m, float dt);
  // Sweeps from mOld toward mNew and places the object; true on a hit.
  virtual bool Collide_Internal(const EMat4& mOld, EMat4& mNew, bool bPushed);
  virtual void End(float dt);
  unsigned Move_Animation(EMat4& m, float dt, bool bSaveVelocity, bool bKeepVelocity);
  unsigned Move_GenericAir(EMat4& m, float dt);
  unsigned Move_GenericGround(EMat4& m, float dt);
  unsigned Move_External(EMat4& m, float dt);
  void SaveRelAnimVel(const EVec3& v);
  void Collide(const EMat4& mOld, EMat4& mNew, bool bPushed);
  void handleGroundCollide(const ECollideEx& c);
  void Collide_UnsetFlags();
  void Collide_UnsetAttachFlags();
  // Registers for this frame's post-process, once.
  void RegisterPostprocess();
  // The owner's mesh changed: new shape, joints found again, children replaced.
  void onMeshChange();

  // ---- Life cycle ----
  // The new physics of an entity takes over from its old one.
  void InitFrom(EPhysics* pOther);
  void Shutdown();
  // Every dead entity leaves the gravity list.
  static void StaticCleanupReferences();
  // Ends the frame of every object registered for the post-process.
  static void StaticPostProcess();

  // ---- Owner and transform ----
  EEntity* GetOwner() const { return m_pOwner; }
  EMeshEntity* GetOwnerME() const;
  ECollisionManager* GetCollisionManager() const { return m_pCM; }
  const EMat4& GetAbsTrans() const { return m_mAbsTrans; }
  const EMat4& GetLastAbsTrans() const { return m_mAbsTrans; }
  const EVec3& GetAbsPosition() const { return m_mAbsTrans.GetTranslation(); }
  // World to the object's own frame.
  EMat4 GetInvTrans() const { return m_mAbsTrans.Inverse(); }
  // The transform relative to the parent frame (the absolute one when unattached).
  const EMat4& GetRelTrans() const { return m_pAttach ? m_pAttach->m_mRelTrans : m_mAbsTrans; }
  // Every transform change: stores it, moves the mesh, re-files the shape,
  // carries passengers, obstacles, children and triggers along and checks the
  // triggers crossed. False when refused or rolled back (bForce: blocked
  // passengers and obstacles do not cancel it).
  bool SetRelTrans(const EMat4& mTrans, unsigned dwFlags, bool bForce = false);
  bool SetAbsTrans(const EMat4& mTrans, unsigned dwFlags);
  bool SetAbsPosition(const EVec3& vPos, bool bTeleport);
  bool SetRelPosition(const EVec3& vPos, bool bTeleport);
  void SetPosition(const EVec3& vPosition) { SetRelPosition(vPosition, true); }
  // Places the object at rest.
  void InitPosition(const EVec3& vPosition);
  // Moves by v with a sweep; the new relative position.
  EVec3 AddRelPosition(const EVec3& v);
  bool SetAbsRotation(const EMat4& r, bool bTeleport);
  // Right axis a, forward axis b, up axis c.
  bool SetAbsRotation(const EVec3& a, const EVec3& b, const EVec3& c, bool bTeleport);
  bool SetRelRotation(const EMat4& r, bool bTeleport);
  const EVec3& GetForward() const { return m_vForward; }
  const EVec3& GetRight() const { return m_vRight; }
  const EVec3& GetUp() const { return m_vUp; }
  // The rotation with basis rows (R, U, -F), or (-R, U, F) for a backwards mesh.
  EMat4 FromFRU(const EVec3& F, const EVec3& R, const EVec3& U) const;

  // ---- Flags ----
  uint32_t GetFlags() const { return m_dwFlags; }
  bool GetFlag(uint32_t dwMask) const { return (m_dwFlags & dwMask) != 0; }
  // Sets or clears each bit of the mask with its side effects.
  void SetFlag(uint32_t dwMask, bool bOn);
  bool IsCollidee() const { return (m_dwFlags & PHYSICS_COLLIDEE) != 0; }
  bool IsCollider() const { return (m_dwFlags & PHYSICS_COLLIDER) != 0; }
  bool GetStateFlag(PhysicsStateFlag f) const { return m_StateFlags.GetFlag(f); }
  void SetStateFlag(PhysicsStateFlag f) { m_StateFlags.SetFlag(f); }
  void UnsetStateFlag(PhysicsStateFlag f) { m_StateFlags.UnsetFlag(f); }
  const EPhysicsStateFlags& GetStateFlags() const { return m_StateFlags; }
  bool IsPlayer() const { return m_bIsPlayer; }
  // Whether the owner's domain sleeps.
  bool IsDomainSleeping() const;

  // ---- Motion ----
  const EVec3& GetVelocity() const { return m_vVelocity; }
  const EVec3& GetRelVelocity() const { return m_vVelocity; }
  void SetVelocity(const EVec3& v) { m_vVelocity = v; }
  void SetRelVelocity(const EVec3& v) { m_vVelocity = v; }
  void ApplyVelocity(const EVec3& v) { m_vVelocity = m_vVelocity + v; }
  const EVec3& GetEffectiveAnimationVelocity() const { return m_vRelAnimVel; }
  EVec3 GetTotalVelocity() const { return m_vVelocity + m_vRelAnimVel; }
  const EVec3& GetRelAnimMove() const { return m_vRelAnimMove; }
  void ApplyAnimTranslation(const EVec3& v, ESkelAnim* pAnim);
  void ZeroRelAnimVel() { m_vRelAnimVel = EVec3(0.0f, 0.0f, 0.0f); }
  void ZeroRelAnimMove() { m_vRelAnimMove = EVec3(0.0f, 0.0f, 0.0f); }
  void AddEffectiveAnimationVelocity();
  bool GetAddAnimVelocity() const { return m_bAddAnimVelocity; }
  const EVec3& GetGravityDir() const { return m_vGravityDir; }
  void SetGravityDir(const EVec3& vDir) { m_vGravityDir = vDir; }
  // The gravity direction of the topmost parent.
  const EVec3& GetUltimateGravityDir() const;
  float GetMass() const { return m_fMass; }
  float GetStepHeight() const { return m_fStepHeight; }
  void SetStepHeight(float f) { m_fStepHeight = f; }
  unsigned GetPushLevel() const { return m_nPushLevel; }
  unsigned GetPushSpeed() const { return m_nPushSpeed; }
  void SetPushParams(unsigned nLevel, unsigned nSpeed) {
    m_nPushLevel = (uint8_t)nLevel;
    m_nPushSpeed = (uint16_t)nSpeed;
  }
  void SetNoAttachTime(float f) { m_fNoAttachTime = f; }
  float GetNoAttachTime() const { return m_fNoAttachTime; }
  // A move to p in the next frame step; forced moves pass through obstacles.
  void MoveToPosition(const EVec3& p, bool bForce);
  const EVec3& GetMoveToPosition() const { return m_vMoveToPosition; }

  // ---- Standing ----
  EPhysics* GetBase() const { return m_pBase; }
  EEntity* GetStandingOn() const;
  // Makes pBase the object this one stands on (null: stands on nothing).
  void SetBase(EPhysics* pBase, bool bQuiet);
  // The first passenger and the next one after this in its base's list.
  EPhysics* GetFirstPassenger() const { return m_pBaseChild; }
  EPhysics* GetNextPassenger() const { return m_pBaseSibling; }
  EEntity* GetGroundEntity() const { return m_pGroundEntity; }
  void SetGroundEntity(EEntity* e) { m_pGroundEntity = e; }
  uint32_t GetGroundFlags() const { return m_dwGroundFlags; }
  const EVec3& GetGroundPlaneNormal() const { return m_vGroundNormal; }
  const EVec3& GetGroundFaceNormal() const { return m_vGroundFaceNormal; }
  float GetGroundDist() const { return m_fGroundDist; }

  // ---- Navigation ----
  void GetNavInfo(unsigned& nMesh, unsigned& nPoly) const;
  void GetLastNavInfo(unsigned& nMesh, unsigned& nPoly) const;
  const NavInfo& GetNavInfoRecord() const { return m_NavInfo; }
  const NavInfo& GetLastNavInfoRecord() const { return m_LastNavInfo; }
  void SetNavInfo(unsigned nMesh, unsigned nPoly);
  void SetNavGroup(unsigned nGroup);
  unsigned GetNavGroup() const { return m_nNavGroup; }
  void ResetNavInfo(bool bAll);

  // ---- Contacts ----
  EEntity* GetCollidedWithEntity() const { return m_pCollidedWithEntity; }
  void SetCollidedWithEntity(EEntity* e) { m_pCollidedWithEntity = e; }
  bool CollidedWithDomain() const { return m_bCollidedWithDomain; }
  int GetNumTouching() const { return m_nNumTouching; }
  EEntity* GetTouching(int i) const { return m_apTouching[i]; }
  EEntity* GetCollideIgnoreEntity() const { return m_pCollideIgnoreEntity; }
  void SetCollideIgnoreEntity(EEntity* pEntity, float fSeconds = 0.0f) {
    m_pCollideIgnoreEntity = pEntity;
    m_fCollideIgnoreTime = fSeconds;
  }
  // Whether this object may push the other (push levels).
  bool CanPush(EPhysics* pOther) const;
  // This object is pushed by pPusher along vDir by at most fLength.
  void onPushed(EPhysics* pPusher, const EVec3& vDir, float fLength);
  // Collision callbacks for the hit a sweep ended on; may clear bOnGround.
  void SendCollideNotification(ECollideEx& c, bool& bOnGround);
  // Records a touch on both objects of a sweep's hit / of a forced move's hit.
  static void ProcessTouch(const ECollide& hit);
  static void ProcessTouch(const EHitResult& hit, EEntity* pCollider);
  void InsertTouch(EEntity* pOther, const EVec3& vNormal);
  // Ends this frame's touches: exits for the lost, messages for the new.
  void End_ProcessTouch();
  const TempTouch* GetTempTouches() const { return m_pTempTouchHead; }
  // Bends the gravity of every orient-to-gravity object toward the box.
  static void DoCubeGravity(const EBox3& box, float fRadius);
  // Keeps a navigation-bound object on its navigation group; may put p back.
  void handleNavigationConstraints(float dt, const EMat4& mOld, EVec3& vNormal, EVec3& p);
  // Queues msgSelf to this owner's script from the other's, and msgOther the
  // other way; with v, the first carries v and the second -v.
  void SendMessage_BiDir(EEntity* pOther, const char* szMsg, const EVec3* v);
  void SendMessage_BiDir(EEntity* pOther, const char* szMsgSelf, const char* szMsgOther, const EVec3* v);

  // ---- Attachment ----
  EPhysics* GetAttachParent() const { return m_pAttach ? m_pAttach->m_pParent : nullptr; }
  const AttachInfo* GetAttachInfo() const { return m_pAttach; }
  bool HasParentTrans() const { return GetFlag(PHYSICS_ISATTACHED); }
  bool IsAttachedToJoint() const { return m_pAttach && m_pAttach->m_pJoint; }
  EPhysics* GetFirstChild() const { return m_pAttachChild; }
  EPhysics* GetNextSibling() const { return m_pAttachSibling; }
  // Attaches to the parent (at a joint of its mesh when named), keeping the
  // world placement, or placed at pRel in the parent frame. False for a null
  // parent, this object, or a second parent (traced).
  bool AttachToParent(EPhysics* pParent, const EMat4* pRel, const char* szJoint);
  // Leaves the parent, flying on with its motion.
  void DetachFromParent();
  void DetachAllChildren();

  // ---- Collision shape ----
  ECollisionPrimitiveType GetCollisionType() const { return m_eCollisionType; }
  void SetCollisionType(ECollisionPrimitiveType eType);
  // Up to three spheres; one at the centre makes a one-sphere object.
  void SetCollision(const ESphere* pSpheres, int n);
  void UpdateCollision();
  int GetNumCollideSpheres() const { return m_nNumCollideSpheres; }
  void SetNumCollideSpheres(int n) { m_nNumCollideSpheres = n; }
  // Sets the count; a count that embeds the object is refused or the object moved free.
  bool SafeSetNumCollideSpheres(int n);
  const ESphere* GetCollideSphere(int i) const { return &m_aCollideSpheres[i]; }
  ESphere GetTransformedCollideSphere(int i) const;
  // Lowest sphere bottom relative to the position.
  float GetMinY() const;
  // World box of the shape placed by pMat (the absolute transform when null).
  EBox3 GetCollisionBoundingBox(const EMat4* pMat) const;
  ETriCache* GetTriCache(bool bCreate);

  // ---- Sweeps ----
  bool CollideWithSlide(ECollideBehavior eBehavior, ECollideEx& c, bool bAllowPush);
  void _ComputeWalkability(ECollideEx& c, float vn, const EVec3& vInto);
  bool Collide_FindGround(bool bWasOnGround, EVec3& p, ECollideEx& c);
  bool Collide_TryStairStep(ECollideEx& c, const EVec3& vFrom, const EVec3& vTo);
  bool InterpolateOrientation(float dt, EMat4& m);
  bool PointCheck(const EMat4& m, EVec3* pNormal, float* pDepth);
  bool PointCheck(EMesh* pMesh, const EMat4& m, EVec3* pNormal);
  bool FindSafePosition(EVec3& vOut, const EVec3& p, unsigned short nTries, bool bFailIfStuck, const EMat4* m);
  bool SafeSetAbsPosition(const EVec3& p, unsigned short nTries, bool bFailIfStuck);
  EVec3 FindSweptPosition(const EVec3& vTarget, int nBehaviour);
  void DebugCheckCollision(const char* szFormat, ...);

  static EArray<EEntity*> sm_aWithGravity;
  static EArray<EPhysics*> sm_aPostProcess;
  static int sm_bDeferCollisionUpdate;

protected:
  bool m_bIsPlayer;

private:
  // Triggers link themselves into m_pAttachedTriggers.
  friend class ETriggerBase;
  friend struct AttachInfo;
  void _SetFlag(uint32_t dwBit);
  void _UnsetFlag(uint32_t dwBit);
  void SRT_UpdatePosition(const EMat4& m, unsigned dwFlags);
  void SRT_CalculateFRU();
  bool SRT_MovePassengers(const EMat4& mOldAbs, ETempArray<RollbackData>& aRollback, bool bForce);
  bool SRT_MoveObstacles(const EMat4& mOldRel, ETempArray<RollbackData>& aRollback, bool bForce);
  bool SRT_MoveAttachments(unsigned dwFlags);
  // Tells the triangle caches when the object starts or stops being a triangle collidee.
  void NotifyTriCaches(ECollisionPrimitiveType eOld, ECollisionPrimitiveType eNew);
  void UnlinkAttach();

  EMat4 m_mAbsTrans;
  EEntity* m_pOwner;
  uint32_t m_dwFlags;
  ECollisionManager* m_pCM;
  EPhysics* m_pBase;
  EPhysics* m_pBaseSibling;
  EPhysics* m_pBaseChild;
  EVec3 m_vVelocity;
  EVec3 m_vRelAnimVel;
  EVec3 m_vRelAnimMove;
  NavInfo m_NavInfo;
  NavInfo m_LastNavInfo;
  EPhysicsStateFlags m_StateFlags;
  uint32_t m_dwGroundFlags;
  EEntity* m_pCollidedWithEntity;
  unsigned m_nNumTouching : 2;
  unsigned m_bCollidedWithDomain : 1;
  unsigned m_bAddAnimVelocity : 1;
  unsigned m_nNavGroup : 3;
  uint8_t m_nRotateCount;
  EEntity* m_apTouching[2];
  TempTouch* m_pTempTouchHead;
  EEntity* m_pGroundEntity;
  AttachInfo* m_pAttach;
  EPhysics* m_pAttachSibling;
  EPhysics* m_pAttachChild;
  ETriggerBase* m_pAttachedTriggers;
  EVec3 m_vForward;
  EVec3 m_vRight;
  EVec3 m_vUp;
  EVec3 m_vGravityDir;
  ETriCache* m_pTriCache;
  EEntity* m_pCollideIgnoreEntity;
  float m_fCollideIgnoreTime;
  float m_fMass;
  uint16_t m_nPushSpeed;
  uint8_t m_nPushLevel;
  float m_fNoAttachTime;
  ECollisionPrimitiveType m_eCollisionType;
  float m_fStepHeight;
  EVec3 m_vGroundNormal;
  EVec3 m_vGroundFaceNormal;
  float m_fGroundDist;
  EVec3 m_vMoveToPosition;
  ESphere m_aCollideSpheres[3];
  int m_nNumCollideSpheres;
  float m_fLastStepSeconds = 0.0f;
  unsigned m_nSteps = 0;
};

// Enables the rotation step of orientation interpolation.
extern bool gb_Interpolate;

class EPhysicsFactory {
public:
  static EPhysics* CreatePhysics(EEntity* pOwner);
};

// Tests the query against one mesh, one sphere at a time for a sphere set.
bool _TmpCollideWithMesh(EMesh* pMesh, ECollide& hit);
