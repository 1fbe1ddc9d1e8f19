// Physics of one entity: its transform, velocity, flags, attachment and the
// entity it stands on. This is the part entities and domains rely on; the
// frame step and collision response come with the physics system.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"

class EDomain;
class EEntity;

enum EPhysicsFlag : uint32_t {
  PHYSICS_COLLIDEE = 0x1,
  PHYSICS_COLLIDER = 0x2,
  PHYSICS_NOPHYSICS = 0x4,
  PHYSICS_APPLYGRAVITY = 0x8,
  PHYSICS_CHECKTRIGGERS = 0x80,
  PHYSICS_MOVINGGEOMETRY = 0x400,
  PHYSICS_NOT_REALLY_COLLIDEE = 0x2000,
  PHYSICS_IGNORELAYER1 = 0x1000000,
  PHYSICS_IGNORELAYER2 = 0x2000000,
  PHYSICS_IGNORELAYER3 = 0x4000000,
  PHYSICS_IGNORELAYER4 = 0x8000000,
  PHYSICS_LAYER1 = 0x10000000,
  PHYSICS_LAYER2 = 0x20000000,
  PHYSICS_LAYER3 = 0x40000000,
  PHYSICS_LAYER4 = 0x80000000,
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

class EPhysics {
public:
  explicit EPhysics(EEntity* pOwner);
  virtual ~EPhysics();
  EPhysics(const EPhysics&) = delete;
  EPhysics& operator=(const EPhysics&) = delete;

  // Takes over the state of another physics (transform, motion, flags,
  // collision type); owner and attachment stay.
  void InitFrom(const EPhysics& other);

  EEntity* GetOwner() const { return m_pOwner; }
  EPhysics* GetAttachParent() const { return m_pAttachParent; }
  EEntity* GetStandingOn() const { return m_pStandingOn; }
  void SetStandingOn(EEntity* pEntity) { m_pStandingOn = pEntity; }
  EEntity* GetCollidedWithEntity() const { return m_pCollidedWith; }

  const EMat4& GetAbsTrans() const { return m_AbsTrans; }
  void SetAbsTrans(const EMat4& trans, unsigned dwUpdateFlags);
  const EVec3& GetAbsPosition() const { return m_AbsTrans.GetTranslation(); }
  void SetPosition(const EVec3& vPosition) { m_AbsTrans.SetTranslation(vPosition); }
  void InitPosition(const EVec3& vPosition);
  EVec3 GetUp() const;
  void SetGravityDir(const EVec3& vDir) { m_vGravityDir = vDir; }
  const EVec3& GetGravityDir() const { return m_vGravityDir; }
  // The gravity direction of the topmost attach parent.
  const EVec3& GetUltimateGravityDir() const;
  const EVec3& GetVelocity() const { return m_vVelocity; }
  void SetVelocity(const EVec3& vVelocity) { m_vVelocity = vVelocity; }

  uint32_t GetFlags() const { return m_dwFlags; }
  bool GetFlag(uint32_t dwMask) const { return (m_dwFlags & dwMask) != 0; }
  void SetFlag(uint32_t dwMask, bool bOn) { m_dwFlags = bOn ? (m_dwFlags | dwMask) : (m_dwFlags & ~dwMask); }
  bool GetStateFlag(int iState) const { return (m_dwStateFlags >> iState) & 1u; }
  void SetStateFlag(int iState) { m_dwStateFlags |= 1u << iState; }
  void UnsetStateFlag(int iState) { m_dwStateFlags &= ~(1u << iState); }
  ECollisionPrimitiveType GetCollisionType() const { return m_eCollisionType; }
  void SetCollisionType(ECollisionPrimitiveType eType) { m_eCollisionType = eType; }
  bool IsDomainSleeping() const { return m_bDomainSleeping; }
  // The collision spheres (at most three): centre offsets and radii.
  int GetNumCollideSpheres() const { return m_nCollideSpheres; }
  const ESphere* GetCollideSphere(int i) const { return &m_aCollideSpheres[i]; }
  // False when all three are in use.
  bool AddCollideSphere(const ESphere& sphere);
  void ClearCollideSpheres() { m_nCollideSpheres = 0; }
  // The entity this object's queries never hit.
  EEntity* GetCollideIgnoreEntity() const { return m_pCollideIgnore; }
  void SetCollideIgnoreEntity(EEntity* pEntity) { m_pCollideIgnore = pEntity; }
  // World box of the collision shape placed by pMat (the absolute transform
  // when null); the box at the origin when the object is no collidee. Until
  // the collision shapes exist, the shape is the object's position.
  EBox3 GetCollisionBoundingBox(const EMat4* pMat) const;

  // Attaches to the parent physics (the owner entity's parent becomes the
  // parent's owner); false for a null parent or the physics itself.
  bool AttachToParent(EPhysics* pParent, const EMat4* pOffset, const char* szJoint);
  // Clears the attachment and the owner entity's parent.
  void DetachFromParent();

  virtual void onDomainSleep(bool bAsleep);
  // Moves the owner's collision registration from the old domain's
  // collision manager to the new one's.
  virtual void onDomainChange(EDomain* pOld, EDomain* pNew);
  virtual void OwnerDeleted();
  // Drops the links to dead entities.
  virtual void CleanupReferences();
  virtual void SetupDefaultCollision() {}

  // The frame's post-process and the clean-up of the shared lists; the
  // physics system fills them.
  static void StaticPostProcess() {}
  static void StaticCleanupReferences() {}

private:
  EEntity* m_pOwner;
  EPhysics* m_pAttachParent;
  EEntity* m_pStandingOn;
  EEntity* m_pCollidedWith;
  EMat4 m_AbsTrans;
  EMat4 m_AttachOffset;
  EVec3 m_vVelocity;
  EVec3 m_vGravityDir;
  uint32_t m_dwFlags;
  uint32_t m_dwStateFlags;
  ECollisionPrimitiveType m_eCollisionType;
  ESphere m_aCollideSpheres[3];
  int m_nCollideSpheres;
  EEntity* m_pCollideIgnore;
  bool m_bDomainSleeping;
  bool m_bOwnerDeleted;
};

// The physics constants by index; gravity is the signed acceleration along
// an object's gravity direction (its up axis).
enum PHYSICS_CONSTANT { kPC_GRAVITY = 23, kPC_NUM_CONSTANTS = 24 };
float GetPhysicsConstant(PHYSICS_CONSTANT eConstant);

class EPhysicsFactory {
public:
  // A new physics of the kind that suits the entity's class.
  static EPhysics* CreatePhysics(EEntity* pEntity);
};
