// The trigger volume's common operations.
#include "VERirezo/Trigger.h"

#include <cstdio>

#include "Game/GameApp.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Physics.h"

ETriggerBase::ETriggerBase()
    : m_pOwner(nullptr), m_pNextOnOwner(nullptr), m_eType(kTRIGGER_None), m_pCM(nullptr),
      m_iCollisionIndex(NULL_INDEX), m_bSleeping(1) {}

ETriggerBase::~ETriggerBase() { SetCollisionManager(nullptr); }

void ETriggerBase::SetSleeping(bool bSleeping) {
  if (bSleeping == (m_bSleeping != 0)) return;
  m_bSleeping = bSleeping ? 1 : 0;
  if (!m_pCM) return;
  if (bSleeping) m_pCM->Unregister(this, 0);
  else m_pCM->Register(this);
}

void ETriggerBase::SetCollisionManager(ECollisionManager* pCM) {
  if (pCM == m_pCM) return;
  const bool bWasSleeping = IsSleeping();
  SetSleeping(true);
  m_pCM = pCM;
  SetSleeping(bWasSleeping);
}

void ETriggerBase::Describe(char* szBuf, int nSize) const {
  if (szBuf && nSize > 0) snprintf(szBuf, (size_t)nSize, "generic trigger");
}

ESphere ETriggerBase::GetTriggeringSphere(EEntity* pEntity) {
  const EPhysics* phys = pEntity ? pEntity->GetPhysics() : nullptr;
  if (!phys) return ESphere(EVec3(0.0f, 0.0f, 0.0f), 0.0f);
  const int eType = phys->GetCollisionType();
  if (eType == CPT_OneSphere || eType == CPT_Spheres || eType == CPT_Spheres_ModelSpace) {
    const bool bPlayer = gGameApp && gGameApp->GetPlayer() == pEntity;
    return phys->GetTransformedCollideSphere(bPlayer && phys->GetNumCollideSpheres() == 3 ? 2 : 0);
  }
  return ESphere(phys->GetAbsPosition(), 0.0f);
}
