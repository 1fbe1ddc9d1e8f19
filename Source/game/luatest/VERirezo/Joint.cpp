#include "VERirezo/Joint.h"

#include <strings.h>

#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/String.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"

namespace jointpose {
bool IsUnit(const EVec3& v) { return v.x == 1.0f && v.y == 1.0f && v.z == 1.0f; }

// Rotation then a move: the local matrix of a joint.
EMat4 LocalMatrix(const EQuat& q, const EVec3& vPos) { return EMat4(q, vPos); }
}  // namespace jointpose

void EModelJoint::SetName(const char* szName) {
  if (m_pName) StringFreePooled(m_pName, kMEMTYPE_Skeleton);
  m_pName = szName ? StringDuplicatePooled(szName, kMEMTYPE_Skeleton) : nullptr;
}

EJoint::EJoint()
    : m_vScale(1.0f, 1.0f, 1.0f),
      m_pSkeleton(nullptr),
      m_byIndex(kNONE),
      m_byParent(kNONE),
      m_bySibling(kNONE),
      m_byFlags(0) {}

EModelJoint* EJoint::GetModelJoint() const { return &m_pSkeleton->m_pModelJoints[m_byIndex]; }

EJoint* EJoint::Read(EStream& s, unsigned uVersion, ESkeleton* pSkeleton, EJoint* pEnd) {
  m_pSkeleton = pSkeleton;
  EModelJoint* pModel = GetModelJoint();
  char szName[255];
  s.StreamString_4b(szName, sizeof(szName));
  pModel->SetName(szName[0] ? szName : nullptr);
  EVec3 vPos, vEuler;
  s << vPos.x << vPos.y << vPos.z;
  s << vEuler.x << vEuler.y << vEuler.z;
  pModel->m_vBasePosition = vPos;
  if (vEuler.x == -1.0f && vEuler.y == -1.0f && vEuler.z == -1.0f) {
    pModel->m_qBaseRotation = cg_qIdentity;
    m_byFlags |= kFLAG_Billboard;
  } else {
    pModel->m_qBaseRotation.FromEuler(vEuler);
  }
  m_vLocalPosition = pModel->m_vBasePosition;
  m_qLocalRotation = pModel->m_qBaseRotation;
  if (uVersion > 294) {
    uint16_t wIgnored = 0;
    s << wIgnored;
  }
  uint32_t nChildren = 0;
  s << nChildren;
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skeleton '%s': joint record cut short",
                                 pSkeleton->GetName() ? pSkeleton->GetName() : "");
    return nullptr;
  }
  if (nChildren == 0) return this + 1;
  m_byFlags |= kFLAG_HasChildren;
  EJoint* pCurChild = this + 1;
  EJoint* pPrevChild = nullptr;
  for (uint32_t i = 0; i < nChildren; ++i) {
    // A record holding more joints than the skeleton's count is refused
    // before anything is written past the array.
    if (pCurChild >= pEnd) {
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pCurChild < pJointsEnd", true);
      return nullptr;
    }
    pCurChild->m_byParent = m_byIndex;
    if (pPrevChild) pPrevChild->m_bySibling = pCurChild->m_byIndex;
    uint16_t idChild = 0;
    s << idChild;
    if (s.Err()) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Skeleton '%s': joint record cut short",
                                   pSkeleton->GetName() ? pSkeleton->GetName() : "");
      return nullptr;
    }
    if (pCurChild->m_byIndex != (uint8_t)idChild) {
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pCurChild->m_byIndex == (BYTE)idChild", true);
      return nullptr;
    }
    EJoint* pNext = pCurChild->Read(s, uVersion, pSkeleton, pEnd);
    if (!pNext) return nullptr;
    pPrevChild = pCurChild;
    pCurChild = pNext;
  }
  return pCurChild;
}

void EJoint::InitFrom(const EJoint& source, ESkeleton* pSkeleton) {
  m_pSkeleton = pSkeleton;
  m_mPose = source.m_mPose;
  m_mSkinning = source.m_mSkinning;
  m_byIndex = source.m_byIndex;
  m_byParent = source.m_byParent;
  m_bySibling = source.m_bySibling;
  m_byFlags = source.m_byFlags;
  const EModelJoint* pModel = GetModelJoint();
  m_vLocalPosition = pModel->m_vBasePosition;
  m_qLocalRotation = pModel->m_qBaseRotation;
}

void EJoint::InitTransforms(const EMat4& mParent) {
  const EQuat qRot = (m_byFlags & kFLAG_Billboard) ? cg_qIdentity : m_qLocalRotation;
  const EMat4 m = mParent.Mul(jointpose::LocalMatrix(qRot, m_vLocalPosition));
  EModelJoint* pModel = GetModelJoint();
  pModel->m_mBasePoseToLocal = m.Inverse();
  m_mSkinning = m.Mul(pModel->m_mBasePoseToLocal);
  for (EJoint* pChild = GetChild(); pChild; pChild = pChild->GetSibling()) pChild->InitTransforms(m);
}

void EJoint::UpdatePose(const EQuat& qRotation) {
  m_qLocalRotation = qRotation;
  const EVec3* pSkelScale = jointpose::IsUnit(m_pSkeleton->m_vScale) ? nullptr : &m_pSkeleton->m_vScale;
  EJoint* pParent = GetParent();
  const EVec3* pParentScale = pParent ? &pParent->m_vScale : nullptr;
  Pose(pSkelScale, pParentScale, pParent ? pParent->m_mPose : cg_mIdentity);
}

void EJoint::Pose(const EVec3* pSkelScale, const EVec3* pParentScale, const EMat4& mParent) {
  EVec3 vPos = m_vLocalPosition;
  if (pParentScale) vPos *= *pParentScale;
  EMat4 mPose = mParent.Mul(jointpose::LocalMatrix(m_qLocalRotation, vPos));
  if (m_byFlags & kFLAG_Billboard) {
    // Face the camera: its billboard rotation taken back into model space.
    EMat4 mBillboard;
    ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
    if (pCamera) mBillboard = pCamera->GetBillboardMatrix();
    EMesh* pMesh = m_pSkeleton->GetMesh();
    if (pMesh) mBillboard = pMesh->GetInvInclusiveTrans().Mul(mBillboard);
    mPose.SetRotation(mBillboard);
  }
  m_mPose = mPose;
  const bool bOwnScale = !jointpose::IsUnit(m_vScale);
  const EMat4& mB2L = GetModelJoint()->m_mBasePoseToLocal;
  if (bOwnScale) m_mSkinning = mPose.Mul(MatrixScale(m_vScale).Mul(mB2L));
  else m_mSkinning = mPose.Mul(mB2L);
  if (pSkelScale) m_mSkinning.ScaleLHS(*pSkelScale);
  const EVec3* pChildParentScale = bOwnScale ? &m_vScale : nullptr;
  for (EJoint* pChild = GetChild(); pChild; pChild = pChild->GetSibling())
    pChild->Pose(pSkelScale, pChildParentScale, mPose);
}

EMat4 EJoint::GetTransNoScale() const {
  EMat4 m = m_mPose;
  m.SetTranslation(m.GetTranslation() * m_pSkeleton->m_vScale);
  return m;
}

EMat4 EJoint::GetTransWithScale() const {
  EMat4 m = m_mPose;
  m.ScaleLHS(m_pSkeleton->m_vScale);
  return m;
}

EJoint* EJoint::FindJoint(const char* szName) {
  const char* szOwn = GetName();
  if (strcasecmp(szOwn ? szOwn : "", szName ? szName : "") == 0) return this;
  for (EJoint* pChild = GetChild(); pChild; pChild = pChild->GetSibling()) {
    if (EJoint* pFound = pChild->FindJoint(szName)) return pFound;
  }
  return nullptr;
}

uint16_t EJoint::GetId() { return m_pSkeleton->GetJointIDFromAddress(this); }

void EJoint::copy(EJoint* pTarget, bool bSkipSelf) {
  if (!bSkipSelf) {
    pTarget->m_vLocalPosition = m_vLocalPosition;
    pTarget->m_qLocalRotation = m_qLocalRotation;
    pTarget->m_vScale = m_vScale;
  }
  EJoint* pTo = pTarget->GetChild();
  for (EJoint* pFrom = GetChild(); pFrom && pTo; pFrom = pFrom->GetSibling(), pTo = pTo->GetSibling())
    pFrom->copy(pTo, false);
}

// ---------------------------------------------------------------------------
// The joint-animation affector

void EJointAnimAffector::GetValues(EJoint* pJoint, ESkelAnim* pAnim, EJointAnimValues& v) {
  const EModelJoint* pModel = pJoint->GetModelJoint();
  const EJointAnimShared* pShared = nullptr;
  EJointAnim* pHints = nullptr;
  if (!pAnim->GetAnims(pJoint->m_byIndex, pShared, pHints) || !pShared) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Anim asking for channel that does not exist. '%s'", pAnim->GetName());
    v.m_vTranslation = pModel->m_vBasePosition;
    v.m_vDelta = EVec3(0.0f, 0.0f, 0.0f);
    v.m_qRotation = pModel->m_qBaseRotation;
    v.m_vScale = EVec3(1.0f, 1.0f, 1.0f);
    return;
  }
  const float t = pAnim->m_fFrame;
  const bool bRoot = (pJoint->m_byFlags & EJoint::kFLAG_Root) != 0;
  v.m_vDelta = EVec3(0.0f, 0.0f, 0.0f);
  if (const EKeyframeChannelVec3* pPos = pShared->m_pPos) {
    const int eMode = bRoot ? (int)pAnim->m_eTransMode : TRANS_None;
    if (eMode == TRANS_None) {
      v.m_vTranslation = pPos->GetValue(t, &pHints->m_iPosKey);
    } else if (eMode == TRANS_STRIPTRANS) {
      v.m_vTranslation = EVec3(0.0f, 0.0f, 0.0f);
    } else {
      const float tp = pAnim->m_fTransFrame;
      const EVec3 vNow = pPos->GetValue(t, &pHints->m_iPosKey);
      if (tp > t) {
        const EVec3 vThen = pPos->GetValue(tp, &pHints->m_iPosKey);
        v.m_vDelta = (pPos->GetFinalValue() - vThen) + vNow;
        // Leave the hint where the current frame lies.
        pPos->GetValue(t, &pHints->m_iPosKey);
      } else {
        const EVec3 vThen = tp == 0.0f ? EVec3(0.0f, 0.0f, 0.0f) : pPos->GetValue(tp, &pHints->m_iPosKey);
        v.m_vDelta = vNow - vThen;
      }
      v.m_vTranslation = EVec3(0.0f, 0.0f, 0.0f);
      if (eMode == TRANS_XZ) {
        v.m_vTranslation.y = vNow.y;
        v.m_vDelta.y = 0.0f;
      }
    }
  } else {
    v.m_vTranslation = pModel->m_vBasePosition;
  }
  const bool bCompressed = gGameApp ? gGameApp->m_DebugHooks.CompressAnimQuats : false;
  if (pShared->m_pRotComp && bCompressed) v.m_qRotation = pShared->m_pRotComp->GetValue(t, &pHints->m_iRotKey);
  else if (pShared->m_pRot) v.m_qRotation = pShared->m_pRot->GetValue(t, &pHints->m_iRotKey);
  else v.m_qRotation = pModel->m_qBaseRotation;
  v.m_vScale = pShared->m_pScale ? pShared->m_pScale->GetValue(t, &pHints->m_iScaleKey) : EVec3(1.0f, 1.0f, 1.0f);
  if (bRoot && pAnim->m_bRootOverride) {
    v.m_qRotation = pAnim->m_qRootRotation * v.m_qRotation;
    v.m_vDelta = pAnim->m_qRootRotation.Transform(v.m_vDelta);
    v.m_vTranslation += pAnim->m_vRootPosition;
  }
}

void EJointAnimAffector::BlendAllValues(EMesh* pMesh, EJoint* pJoint, bool bRecurse) {
  struct Entry {
    ESkelAnim* pAnim;
    float w;
    float d;
  };
  ESkeleton* pSkeleton = pJoint->m_pSkeleton;
  EList<ESkelAnim*>& anims = pSkeleton->m_SkelAnims;
  Entry aEntries[kMAX_SKEL_ANIMS];
  int nEntries = 0;
  ESkelAnim* pLastValid = nullptr;
  bool bAnyValid = false;
  const int iJoint = pJoint->m_byIndex;
  for (POSITION pos = anims.GetHeadPosition(); pos && nEntries < kMAX_SKEL_ANIMS;) {
    ESkelAnim* pAnim = anims.GetNext(pos);
    Entry& e = aEntries[nEntries++];
    e.pAnim = pAnim;
    e.d = 0.0f;
    if (pAnim->m_bActive && pAnim->HasAnims(iJoint)) {
      e.w = bAnyValid ? pAnim->m_fBlendFactor : 1.0f;
      bAnyValid = true;
      pLastValid = pAnim;
    } else {
      e.w = -1.0f;
    }
  }
  const bool bRoot = (pJoint->m_byFlags & EJoint::kFLAG_Root) != 0;
  if (bRoot) {
    bool bFirst = true;
    for (int i = 0; i < nEntries; ++i) {
      Entry& e = aEntries[i];
      if (e.w < 0.0f) continue;
      if (e.pAnim->m_byNumAnims != e.pAnim->m_byNumLoadedAnims) {
        e.d = 1.0f;
        if (!bFirst) e.w = 0.0f;
      }
      bFirst = false;
    }
  }
  float fRemaining = 1.0f;
  for (int i = nEntries - 1; i >= 0; --i) {
    Entry& e = aEntries[i];
    if (e.w < 0.0f) continue;
    if (fRemaining < 0.01f) e.w = fRemaining;
    else e.w *= fRemaining;
    fRemaining -= e.w;
    if (e.w > e.pAnim->m_fEffectiveWeight) e.pAnim->m_fEffectiveWeight = e.w;
  }
  if (bRoot) {
    for (int i = nEntries - 1; i >= 0; --i) {
      if (aEntries[i].d != 0.0f) break;
      aEntries[i].d = aEntries[i].w;
    }
  }
  if (bAnyValid) {
    EVec3 vTrans(0.0f, 0.0f, 0.0f), vScale(0.0f, 0.0f, 0.0f), vDelta(0.0f, 0.0f, 0.0f);
    EQuat qRot(0.0f, 0.0f, 0.0f, 0.0f);
    for (int i = 0; i < nEntries; ++i) {
      const Entry& e = aEntries[i];
      if (!(e.w > 0.0f || e.d > 0.0f)) continue;
      EJointAnimValues v;
      GetValues(pJoint, e.pAnim, v);
      vTrans += v.m_vTranslation * e.w;
      vScale += v.m_vScale * e.w;
      const float s = v.m_qRotation.Dot(qRot) >= 0.0f ? e.w : -e.w;
      qRot += v.m_qRotation * s;
      if (bRoot) vDelta += v.m_vDelta * e.d;
    }
    const float fLengthSq = qRot.Dot(qRot);
    if (fLengthSq > 1e-10f) qRot = qRot * (1.0f / sqrtf(fLengthSq));
    else qRot = cg_qIdentity;
    if (bRoot && (vDelta.x != 0.0f || vDelta.y != 0.0f || vDelta.z != 0.0f)) {
      const EVec3 vLocal = vDelta * pMesh->GetScale() * pSkeleton->m_vScale;
      const EVec3 vWorld = pMesh->GetInclusiveTrans().Mul3Vec3(vLocal);
      if (EMeshEntity* pOwner = pMesh->GetOwner()) {
        pOwner->ApplyAnimTranslation(vWorld, pLastValid);
        pOwner->setSplineAnimationDelta(vLocal);
      } else {
        pMesh->SetPosition(pMesh->GetPosition() + vWorld);
      }
    }
    pJoint->m_vLocalPosition = vTrans;
    pJoint->m_qLocalRotation = qRot;
    pJoint->m_vScale = vScale;
  }
  if (bRecurse) {
    for (EJoint* pChild = pJoint->GetChild(); pChild; pChild = pChild->GetSibling())
      BlendAllValues(pMesh, pChild, true);
  }
}

bool EJointAnimAffector::Run(EMesh* pMesh, float dt) {
  if (gGameApp && !gGameApp->m_DebugHooks.ShowScene) return true;
  const float fSeconds = dt * 0.001f;
  bool bVisible = true;
  EMeshEntity* pOwner = pMesh->GetOwner();
  if (pOwner && !pOwner->GetEntityFlag(ENTITY_ALWAYS_POSE)) {
    bVisible = pOwner->GetEntityFlag(ENTITY_VISIBLE) && pOwner->GetCompoundAlpha() != 0.0f &&
               (!gGameApp || gGameApp->BoxVisible(pMesh->GetTransformedBoundingBoxIncludingAttachments()));
  }
  bool bPosed = false;
  for (int i = 0; i < pMesh->GetNumSkeletons(); ++i) {
    ESkeleton* pSkeleton = pMesh->GetSkeleton(i);
    bool bPose = pSkeleton->GetAnimsChanged() || pSkeleton->m_pConstraint != nullptr;
    for (POSITION pos = pSkeleton->m_SkelAnims.GetHeadPosition(); pos;) {
      ESkelAnim* pAnim = pSkeleton->m_SkelAnims.GetNext(pos);
      if (pAnim->ProcessFrame(fSeconds)) bPose = true;
    }
    if (!bPose || !pSkeleton->m_pRootJoint) continue;
    if (bVisible) {
      BlendAllValues(pMesh, pSkeleton->m_pRootJoint, true);
      pSkeleton->Transform();
      pSkeleton->SetAnimsChanged(false);
      bPosed = true;
    } else {
      BlendAllValues(pMesh, pSkeleton->m_pRootJoint, false);
    }
    pSkeleton->removeInactiveSkelAnims();
    for (POSITION pos = pSkeleton->m_SkelAnims.GetHeadPosition(); pos;) {
      ESkelAnim* pAnim = pSkeleton->m_SkelAnims.GetNext(pos);
      if (pAnim->m_bActive && pAnim->m_pEventAnimInstance) pAnim->UpdateEventAnim();
    }
  }
  if (bPosed) pMesh->UpdateDynamicBoundingBox();
  return true;
}
