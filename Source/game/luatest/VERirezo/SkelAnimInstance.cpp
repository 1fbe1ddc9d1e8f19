#include "VERirezo/SkelAnimInstance.h"

#include <cstdlib>
#include <cstring>

#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/EventAnimInstance.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/Skeleton.h"

namespace skelanim {
float BlendRate(float fSeconds) { return 1.0f / (fSeconds > 0.00001f ? fSeconds : 0.00001f); }
}  // namespace skelanim

ESkelAnim* ESkelAnim::Create(ESkelAnimShared* pAnim, EMesh* pMesh, int iPriority, float fBlendSeconds, bool bLoop) {
  const char* szRoot = pAnim->GetRootName();
  EJoint* pRoot = pMesh->FindJoint(szRoot ? szRoot : "");
  if (!pRoot) {
    EMeshEntity* pOwner = pMesh->GetOwner();
    g_ErrorManager.TraceMessagef(TT_Warning, "Can't find root node '%s' for object '%s' with anim '%s'",
                                 szRoot ? szRoot : "", pOwner ? pOwner->GetName() : pMesh->GetName(),
                                 pAnim->GetName() ? pAnim->GetName() : "");
    return nullptr;
  }
  ESkeleton* pSkeleton = pRoot->GetSkeleton();
  const int i = pRoot->GetIndex();
  const int n = pAnim->GetNumJoints();
  const int nJoints = pSkeleton->GetNumJoints();
  if ((i == 0 && n != nJoints) || (i != 0 && i + n > nJoints)) {
    EMesh* pSkelMesh = pSkeleton->GetMesh();
    g_ErrorManager.TraceMessagef(TT_Warning, "Can't play '%s' on '%s': mismatched joint counts",
                                 pAnim->GetName() ? pAnim->GetName() : "", pSkelMesh ? pSkelMesh->GetName() : "");
    return nullptr;
  }
  if (!pSkeleton->EnsureSpaceForAnims(1, 0, pAnim->GetName())) return nullptr;
  ESkelAnim* pNew = new ESkelAnim(pAnim, pRoot);
  pNew->m_bLoop = bLoop;
  pNew->m_iPriority = iPriority;
  pNew->m_fBlendRate = skelanim::BlendRate(fBlendSeconds);
  pNew->m_fBlendFactor = 0.0f;
  pSkeleton->AddSkelAnim(pNew);
  return pNew;
}

ESkelAnim::ESkelAnim(ESkelAnimShared* pAnim, EJoint* pRootJoint)
    : m_dwCooky(kCOOKY_Live),
      m_fBlendFactor(0.0f),
      m_pAnim(pAnim),
      m_fFrame(0.0f),
      m_byRootOffset((uint8_t)pRootJoint->GetIndex()),
      m_byNumAnims((uint8_t)pAnim->GetNumJoints()),
      m_byNumLoadedAnims((uint8_t)pAnim->GetNumLoadedJoints()),
      m_bActive(true),
      m_bRootOverride(false),
      m_eTransMode(0),
      m_fTransFrame(0.0f),
      m_vRootPosition(0.0f, 0.0f, 0.0f),
      m_qRootRotation(cg_qIdentity),
      m_pSkeleton(pRootJoint->GetSkeleton()),
      m_pRootJoint(pRootJoint),
      m_pBlendAnim(nullptr),
      m_pEventAnimInstance(nullptr),
      m_iLength(pAnim->GetAnimLength()),
      m_iPriority(0),
      m_bLoop(false),
      m_bLocked(false),
      m_bBlendOutAtEnd(false),
      m_bBlendingOut(false),
      m_bManualBlend(false),
      m_bManualFrame(false),
      m_bWaitForBlendIn(false),
      m_bTransAtEnd(false),
      m_fAnimRate(1.0f),
      m_fPartialBlendFactor(1.0f),
      m_fBlendRate(10000.0f),
      m_fEffectiveWeight(0.0f),
      m_pCompletionName(nullptr),
      m_pJointAnims(nullptr) {
  if ((unsigned)pRootJoint->GetIndex() + (unsigned)pAnim->GetNumJoints() > 255u)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "WORD(m_byRootOffset) + WORD(m_byNumAnims) <= 255", false);
  const ESkelAnimHeader* pHeader = pAnim->GetHeader();
  EASSERT(pHeader->nNullPosKeys == 0);
  EASSERT(pHeader->nNullRotKeys == 0);
  EASSERT(pHeader->nNullScaleKeys == 0);
  SetFlags(pHeader->eTranslateMode);
  m_pJointAnims = new EJointAnim[m_byNumAnims ? m_byNumAnims : 1]();
}

ESkelAnim::~ESkelAnim() {
  m_dwCooky = kCOOKY_Dead;
  if (m_pAnim) {
    if (EAnimManager::IsCreated()) EAnimManager::Get()->Release(m_pAnim);
    m_pAnim = nullptr;
  }
  if (m_pBlendAnim) {
    m_pBlendAnim->active(false);
    m_pBlendAnim->setSkelAnim(nullptr);
    m_pBlendAnim = nullptr;
  }
  delete m_pEventAnimInstance;
  m_pEventAnimInstance = nullptr;
  free(m_pCompletionName);
  m_pCompletionName = nullptr;
  delete[] m_pJointAnims;
  m_pJointAnims = nullptr;
}

void ESkelAnim::CheckCooky() const {
  if (m_dwCooky != kCOOKY_Live) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Writing to deleted anim!", false);
}

void ESkelAnim::SetFlags(uint32_t dwWord) {
  m_eTransMode = dwWord & 3;
  m_bTransAtEnd = (dwWord & kSKELANIM_FLAG_TransAtEnd) != 0;
}

const char* ESkelAnim::GetFullName() const { return m_pAnim && m_pAnim->GetName() ? m_pAnim->GetName() : ""; }

EMeshEntity* ESkelAnim::GetEntity() const {
  EMesh* pMesh = m_pSkeleton ? m_pSkeleton->GetMesh() : nullptr;
  return pMesh ? pMesh->GetOwner() : nullptr;
}

const char* ESkelAnim::FilenameToAnimName(const char* szPath) {
  if (!szPath) return "";
  if (const char* p = strrchr(szPath, '/')) return p + 1;
  if (const char* p = strrchr(szPath, '\\')) return p + 1;
  return szPath;
}

bool ESkelAnim::GetAnims(int iJoint, const EJointAnimShared*& pShared, EJointAnim*& pHints) const {
  if (iJoint >= m_byRootOffset && iJoint < (int)m_byRootOffset + (int)m_byNumAnims) {
    pShared = m_pAnim->GetAnim(iJoint - m_byRootOffset);
    pHints = &m_pJointAnims[iJoint - m_byRootOffset];
    return true;
  }
  pShared = nullptr;
  pHints = nullptr;
  return false;
}

bool ESkelAnim::ProcessFrame(float dt) {
  bool bChanged = false;
  m_byNumLoadedAnims = (uint8_t)m_pAnim->GetNumLoadedJoints();
  const bool bDiscarded = m_pAnim->GetReloadNeeded();
  if (dt != 0.0f && m_bBlendingOut && m_fBlendFactor > 0.0f) {
    if (m_bActive) {
      bChanged = true;
      m_fBlendFactor -= m_fBlendRate * dt;
      if (m_fBlendFactor < 0.0f) m_fBlendFactor = 0.0f;
      m_bActive = m_fBlendFactor != 0.0f;
      if (!m_bActive) NotifyDone();
    }
  } else if (m_bManualBlend) {
    bChanged = true;
  } else if (dt != 0.0f && m_fBlendFactor < m_fPartialBlendFactor) {
    bChanged = true;
    m_fBlendFactor += m_fBlendRate * dt;
    if (m_fBlendFactor > m_fPartialBlendFactor) m_fBlendFactor = m_fPartialBlendFactor;
    if (m_fBlendFactor >= 1.0f) {
      if (bDiscarded) m_fBlendFactor = m_fPartialBlendFactor - 0.00001f;
      else m_pSkeleton->deactivatePreceedingAnims(this);
    }
  }

  const float fLoadedTransLength = (float)m_pAnim->GetLoadedDeltaTransLength();
  if (fLoadedTransLength >= m_fFrame) m_fTransFrame = m_fFrame;
  else if (fLoadedTransLength > m_fTransFrame) m_fTransFrame = fLoadedTransLength;
  const float fPrevFrame = m_fFrame;

  if (!m_bManualFrame && !(m_bWaitForBlendIn && m_fBlendFactor < m_fPartialBlendFactor)) {
    EMesh* pMesh = m_pSkeleton->GetMesh();
    const float fSpeed = pMesh ? pMesh->GetAnimSpeedScale() : 1.0f;
    m_fFrame += dt * 30.0f * fSpeed * m_fAnimRate;
  }

  const float fLength = (float)m_iLength;
  if (m_fFrame < fLength) {
    bChanged = true;
  } else if (m_bLoop) {
    while (m_fFrame >= fLength && m_iLength != 0) m_fFrame -= fLength;
  } else {
    if (fLength > fPrevFrame && !bDiscarded) {
      if (m_bTransAtEnd && m_fFrame != fPrevFrame) {
        m_fTransFrame -= m_fFrame - fLength;
        if (m_fTransFrame < 0.0f) m_fTransFrame = 0.0f;
      }
      m_bBlendingOut = m_bBlendOutAtEnd;
      if (!m_bBlendingOut) NotifyDone();
      bChanged = true;
    }
    if (bDiscarded) m_fFrame = fLength - 0.01f > 0.0f ? fLength - 0.01f : 0.0f;
    else m_fFrame = fLength;
  }

  if (m_pBlendAnim) m_pBlendAnim->sync(m_bActive, m_bLoop ? m_fEffectiveWeight : 1.0f, m_fFrame / 30.0f);
  if (bChanged) m_fEffectiveWeight = 0.0f;
  return bChanged;
}

void ESkelAnim::StartBlendOut(float fSeconds) {
  m_bManualBlend = false;
  if (m_bBlendingOut) return;
  m_bBlendingOut = true;
  m_fBlendRate = skelanim::BlendRate(fSeconds);
}

void ESkelAnim::NotifyDone() {
  EMeshEntity* pEntity = GetEntity();
  if (!pEntity || !pEntity->GetScriptObject()) return;
  pEntity->GetScriptObject()->SendMessagef("AnimCompleted", nullptr, kMESSAGE_Queued, "s",
                                           m_pCompletionName ? m_pCompletionName : "");
}

void ESkelAnim::HACK_SetAnimCompletionName(const char* szName) {
  free(m_pCompletionName);
  m_pCompletionName = nullptr;
  if (!szName) return;
  m_pCompletionName = StringDuplicate(szName, kMEMTYPE_Anim);
  StringToLower(m_pCompletionName);
}

void ESkelAnim::DisableTrans() {
  if (m_eTransMode == TRANS_XZ || m_eTransMode == TRANS_XYZ) m_eTransMode = TRANS_STRIPTRANS;
}

void ESkelAnim::ConvertTransMode(int eMode, bool bAlsoInData) {
  const unsigned uMode = (unsigned)eMode & 3;
  if (m_eTransMode != uMode) m_eTransMode = uMode;
  if (bAlsoInData) m_pAnim->m_Header.eTranslateMode = (m_pAnim->m_Header.eTranslateMode & ~3u) | uMode;
}

void ESkelAnim::SetStackPosition(int iPosition) {
  EList<ESkelAnim*>& list = m_pSkeleton->m_SkelAnims;
  POSITION it = nullptr;
  for (POSITION pos = list.GetTailPosition(); pos;) {
    POSITION here = pos;
    if (list.GetPrev(pos) == this) {
      it = here;
      break;
    }
  }
  EASSERT(it);
  int k = 0;
  POSITION pos = it;
  list.GetNext(pos);
  while (pos) {
    if (list.GetNext(pos)->m_iPriority <= m_iPriority) ++k;
  }
  while (k > iPosition) {
    POSITION next = it;
    list.GetNext(next);
    if (!next) break;
    ESkelAnim* pX = list.GetAt(next);
    list.RemoveAt(next);
    list.InsertBefore(it, pX);
    const float fOld = pX->m_fBlendFactor;
    const float fNew = (1.0f - fOld) * m_fBlendFactor;
    m_fBlendFactor = fNew;
    if (fNew >= 1.0f) {
      pX->m_fBlendFactor = 1.0f;
    } else {
      const float f = fOld / (1.0f - fNew);
      pX->m_fBlendFactor = f < 1.0f ? f : 1.0f;
    }
    --k;
  }
}

bool ESkelAnim::LoadEventAnim(bool bLoop, int iLength, EMeshEntity* pEntity) {
  delete m_pEventAnimInstance;
  m_pEventAnimInstance = nullptr;
  EEventAnim* pTrack = m_pAnim->GetEventAnim();
  if (!pTrack) return false;
  m_pEventAnimInstance = new EEventAnimInstance;
  m_pEventAnimInstance->reset();
  m_pEventAnimInstance->Bind(pTrack, pEntity);
  m_pEventAnimInstance->SetLoop(bLoop, bLoop && iLength > 0 ? (float)iLength / 30.0f : 0.0f);
  return true;
}

void ESkelAnim::UpdateEventAnim() {
  if (!m_pEventAnimInstance) return;
  m_pEventAnimInstance->sync(m_bActive, m_bLoop ? m_fEffectiveWeight : 1.0f, m_fFrame / 30.0f);
  if (m_pEventAnimInstance->HasChannels()) m_pEventAnimInstance->update(0.0f);
}
