#include "VERirezo/Skeleton.h"

#include <cstdlib>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/SkelAnimInstance.h"

EModelSkeleton::~EModelSkeleton() {
  free(m_pName);
  delete[] m_pJoints;
}

ESkeleton::ESkeleton()
    : m_pModelSkeleton(nullptr),
      m_pModelJoints(nullptr),
      m_pRootJoint(nullptr),
      m_pMesh(nullptr),
      m_pJoints(nullptr),
      m_vScale(1.0f, 1.0f, 1.0f),
      m_pConstraint(nullptr),
      m_byFlags(0) {}

ESkeleton::ESkeleton(const ESkeleton& source)
    : m_pModelSkeleton(source.m_pModelSkeleton),
      m_pModelJoints(source.m_pModelJoints),
      m_pRootJoint(nullptr),
      m_pMesh(nullptr),
      m_pJoints(nullptr),
      m_vScale(1.0f, 1.0f, 1.0f),
      m_pConstraint(nullptr),
      m_byFlags(kFLAG_SharedModel | kFLAG_AnimsChanged) {
  const int n = source.GetNumJoints();
  if (n > 0 && source.m_pJoints) {
    m_pJoints = new EJoint[n];
    for (int i = 0; i < n; ++i) m_pJoints[i].InitFrom(source.m_pJoints[i], this);
    m_pRootJoint = m_pJoints;
  }
}

ESkeleton::~ESkeleton() {
  RemoveAllSkelAnims(true);
  FreeJoints();
}

void ESkeleton::FreeJoints() {
  delete[] m_pJoints;
  m_pJoints = nullptr;
  m_pRootJoint = nullptr;
  if (!HasSharedModel()) delete m_pModelSkeleton;
  m_pModelSkeleton = nullptr;
  m_pModelJoints = nullptr;
  m_byFlags &= ~kFLAG_SharedModel;
}

bool ESkeleton::Read(EStream& s, unsigned uVersion) {
  FreeJoints();
  m_pModelSkeleton = new EModelSkeleton;
  m_pModelSkeleton->m_pName = s.StreamStringPooled_4b(kMEMTYPE_Skeleton);
  uint32_t nJoints = 0;
  s << nJoints;
  bool bOk = !s.Err();
  if (!bOk) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skeleton '%s': record cut short", GetName() ? GetName() : "");
  } else if (nJoints > MAX_JOINTS) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "m_pModelSkeleton->m_nJoints <= MAX_JOINTS", true);
    bOk = false;
  } else if (nJoints == 0) {
    // The root record needs a joint to land in.
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pCurChild < pJointsEnd", true);
    bOk = false;
  }
  if (bOk) {
    m_pModelSkeleton->m_nJoints = nJoints;
    m_pModelSkeleton->m_pJoints = new EModelJoint[nJoints];
    m_pModelJoints = m_pModelSkeleton->m_pJoints;
    m_pJoints = new EJoint[nJoints];
    for (uint32_t i = 0; i < nJoints; ++i) {
      m_pJoints[i].m_byIndex = (uint8_t)i;
      m_pJoints[i].m_pSkeleton = this;
    }
    m_pRootJoint = m_pJoints;
    uint16_t wRootIndex = 0;
    s << wRootIndex;
    bOk = m_pRootJoint->Read(s, uVersion, this, m_pJoints + nJoints) != nullptr && !s.Err();
  }
  if (!bOk) {
    FreeJoints();
    return false;
  }
  m_pRootJoint->m_byFlags |= EJoint::kFLAG_Root;
  m_pRootJoint->InitTransforms(cg_mIdentity);
  return true;
}

void ESkeleton::AddSkelAnim(ESkelAnim* pAnim) {
  POSITION pos = m_SkelAnims.GetHeadPosition();
  while (pos) {
    POSITION here = pos;
    if (m_SkelAnims.GetNext(pos)->m_iPriority > pAnim->m_iPriority) {
      m_SkelAnims.InsertBefore(here, pAnim);
      SetAnimsChanged(true);
      return;
    }
  }
  m_SkelAnims.AddTail(pAnim);
  SetAnimsChanged(true);
}

bool ESkeleton::EnsureSpaceForAnims(int nCount, int iMaxPriority, const char* szName) {
  if (nCount > kMAX_SKEL_ANIMS) return false;
  if (m_SkelAnims.GetCount() > kMAX_SKEL_ANIMS - nCount) {
    EMeshEntity* pOwner = m_pMesh ? m_pMesh->GetOwner() : nullptr;
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: Anim table overflow: '%s'", pOwner ? pOwner->GetName() : "",
                                 szName ? szName : "");
    for (POSITION pos = m_SkelAnims.GetHeadPosition(); pos;) {
      POSITION here = pos;
      ESkelAnim* pAnim = m_SkelAnims.GetNext(pos);
      if (pAnim->IsLocked() || (uint32_t)pAnim->m_iPriority > (uint32_t)iMaxPriority) continue;
      m_SkelAnims.RemoveAt(here);
      g_ErrorManager.TraceMessagef(TT_Warning, "Ejecting '%s'", pAnim->GetFullName());
      delete pAnim;
    }
  }
  return m_SkelAnims.GetCount() <= kMAX_SKEL_ANIMS - nCount;
}

void ESkeleton::deactivatePreceedingAnims(ESkelAnim* pAnim) {
  for (POSITION pos = m_SkelAnims.GetHeadPosition(); pos;) {
    ESkelAnim* p = m_SkelAnims.GetNext(pos);
    if (p == pAnim) return;
    if (p->m_pRootJoint == pAnim->m_pRootJoint && p->m_iPriority <= pAnim->m_iPriority && !p->IsLocked())
      p->m_bActive = false;
  }
}

void ESkeleton::removeInactiveSkelAnims() {
  for (POSITION pos = m_SkelAnims.GetHeadPosition(); pos;) {
    POSITION here = pos;
    ESkelAnim* p = m_SkelAnims.GetNext(pos);
    if (p->m_bActive || p->IsLocked()) continue;
    m_SkelAnims.RemoveAt(here);
    delete p;
  }
}

void ESkeleton::RemoveSkelAnim(ESkelAnim* pAnim) {
  POSITION pos = m_SkelAnims.Find(pAnim);
  if (!pos) return;
  m_SkelAnims.RemoveAt(pos);
  delete pAnim;
}

void ESkeleton::RemoveAllSkelAnims(bool bAll) {
  for (POSITION pos = m_SkelAnims.GetHeadPosition(); pos;) {
    POSITION here = pos;
    ESkelAnim* p = m_SkelAnims.GetNext(pos);
    if (!bAll && p->IsLocked()) continue;
    m_SkelAnims.RemoveAt(here);
    delete p;
  }
}

bool ESkeleton::Transform() {
  if (!m_pRootJoint) return false;
  if (m_pConstraint) {
    m_pRootJoint->Pose(nullptr, nullptr, m_pConstraint->GetTransWithScale());
  } else {
    const bool bUnit = m_vScale.x == 1.0f && m_vScale.y == 1.0f && m_vScale.z == 1.0f;
    m_pRootJoint->Pose(bUnit ? nullptr : &m_vScale, nullptr, cg_mIdentity);
  }
  return true;
}

bool ESkeleton::Constrain(EJoint* pJoint) {
  if (m_pConstraint || !pJoint || !pJoint->GetSkeleton()) return false;
  m_pConstraint = pJoint;
  return true;
}

uint16_t ESkeleton::GetJointIDFromAddress(const EJoint* pJoint) const {
  const int iSkeleton = m_pMesh ? m_pMesh->GetSkeletonNumber(this) : 0;
  return (uint16_t)((iSkeleton << 12) | (int)(pJoint - m_pJoints));
}

EJoint* ESkeleton::GetJointFromID(unsigned id) const {
  const unsigned iJoint = id & 0xFFF;
  if ((int)iJoint >= GetNumJoints() || !m_pJoints) return nullptr;
  return &m_pJoints[iJoint];
}
