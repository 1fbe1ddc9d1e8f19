// Physics of one entity: the state entities and domains rely on.
#include "VERirezo/Physics.h"

#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"

EPhysics::EPhysics(EEntity* pOwner)
    : m_pOwner(pOwner),
      m_pAttachParent(nullptr),
      m_pStandingOn(nullptr),
      m_pCollidedWith(nullptr),
      m_vVelocity(0.0f, 0.0f, 0.0f),
      m_vGravityDir(0.0f, 1.0f, 0.0f),
      m_dwFlags(0),
      m_dwStateFlags(0),
      m_eCollisionType(CPT_None),
      m_nCollideSpheres(0),
      m_pCollideIgnore(nullptr),
      m_bDomainSleeping(false),
      m_bOwnerDeleted(false) {}

EPhysics::~EPhysics() {}

const char* GetPrimitiveTypeName(int eType) {
  static const char* const s_aNames[] = {"None", "OneSphere", "Spheres", "Spheres_ModelSpace", "Triangles", "Capsules"};
  return eType >= 0 && eType < 6 ? s_aNames[eType] : "Unknown";
}

bool EPhysics::AddCollideSphere(const ESphere& sphere) {
  if (m_nCollideSpheres >= 3) return false;
  m_aCollideSpheres[m_nCollideSpheres++] = sphere;
  return true;
}

void EPhysics::InitFrom(const EPhysics& other) {
  m_AbsTrans = other.m_AbsTrans;
  m_vVelocity = other.m_vVelocity;
  m_vGravityDir = other.m_vGravityDir;
  m_dwFlags = other.m_dwFlags;
  m_dwStateFlags = other.m_dwStateFlags;
  m_eCollisionType = other.m_eCollisionType;
}

void EPhysics::SetAbsTrans(const EMat4& trans, unsigned) { m_AbsTrans = trans; }

void EPhysics::InitPosition(const EVec3& vPosition) {
  m_AbsTrans.SetTranslation(vPosition);
  m_vVelocity = EVec3(0.0f, 0.0f, 0.0f);
}

EVec3 EPhysics::GetUp() const { return EVec3(m_AbsTrans.m[4], m_AbsTrans.m[5], m_AbsTrans.m[6]); }

bool EPhysics::AttachToParent(EPhysics* pParent, const EMat4* pOffset, const char*) {
  if (!pParent || pParent == this) return false;
  m_pAttachParent = pParent;
  m_AttachOffset = pOffset ? *pOffset : EMat4();
  if (m_pOwner) m_pOwner->m_pParentEntity = pParent->GetOwner();
  return true;
}

void EPhysics::DetachFromParent() {
  m_pAttachParent = nullptr;
  if (m_pOwner) m_pOwner->m_pParentEntity = nullptr;
}

void EPhysics::onDomainSleep(bool bAsleep) { m_bDomainSleeping = bAsleep; }

void EPhysics::onDomainChange(EDomain* pOld, EDomain* pNew) {
  if (!m_pOwner) return;
  if (pOld && m_pOwner->GetCollisionIndex() != EEntity::kNO_INDEX) pOld->GetCollisionManager()->Unregister(m_pOwner);
  if (pNew && m_pOwner->GetCollisionIndex() == EEntity::kNO_INDEX) pNew->GetCollisionManager()->Register(m_pOwner);
}

void EPhysics::OwnerDeleted() {
  m_bOwnerDeleted = true;
  if (m_pAttachParent) DetachFromParent();
}

void EPhysics::CleanupReferences() {
  if (m_pStandingOn && m_pStandingOn->IsDead()) m_pStandingOn = nullptr;
  if (m_pCollidedWith && m_pCollidedWith->IsDead()) m_pCollidedWith = nullptr;
  if (m_pCollideIgnore && m_pCollideIgnore->IsDead()) m_pCollideIgnore = nullptr;
}

EPhysics* EPhysicsFactory::CreatePhysics(EEntity* pEntity) { return new EPhysics(pEntity); }

EBox3 EPhysics::GetCollisionBoundingBox(const EMat4* pMat) const {
  const EVec3 vZero(0.0f, 0.0f, 0.0f);
  if (!GetFlag(PHYSICS_COLLIDEE) || m_eCollisionType == CPT_None) return EBox3(vZero, vZero);
  const EVec3 vPos = pMat ? pMat->GetTranslation() : m_AbsTrans.GetTranslation();
  return EBox3(vPos, vPos);
}

const EVec3& EPhysics::GetUltimateGravityDir() const {
  const EPhysics* p = this;
  for (int i = 0; p->m_pAttachParent && i < 64; ++i) p = p->m_pAttachParent;
  return p->m_vGravityDir;
}

float GetPhysicsConstant(PHYSICS_CONSTANT eConstant) { return eConstant == kPC_GRAVITY ? -1500.0f : 0.0f; }
