#include "VERirezo/Mesh.h"

#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/Model.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Joint.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"
#include "VERirezo/TriCache.h"
#include "VERirezo/Domain.h"
#include "VERirezo/TriggerShapes.h"

int EMesh::sm_iTotalMeshCount = 0;

namespace {
// Changes of position or scale this small keep the cached matrices.
const float kMESH_MOVE_TOLERANCE = 1e-5f;

// The application's fragment pool; null before rendering is set up.
EMeshFragManager* MeshFragPool() { return gGameApp ? gGameApp->GetMeshFragManager() : nullptr; }

bool MeshVecDiffers(const EVec3& a, const EVec3& b) {
  return fabsf(a.x - b.x) > kMESH_MOVE_TOLERANCE || fabsf(a.y - b.y) > kMESH_MOVE_TOLERANCE ||
         fabsf(a.z - b.z) > kMESH_MOVE_TOLERANCE;
}
}  // namespace

EMesh::EMesh() {
  Init();
  ++sm_iTotalMeshCount;
}

EMesh::EMesh(EMesh& source) {
  Init();
  ++sm_iTotalMeshCount;
  *this = source;
  m_vPosition.Set(0.0f, 0.0f, 0.0f);
  m_mRotation.LoadIdentity();
  m_vScale.Set(1.0f, 1.0f, 1.0f);
}

ECollisionTree* EMesh::GetCollisionTree() const { return m_pModel ? m_pModel->m_pCollisionTree : nullptr; }

EMesh::~EMesh() {
  ETriCache::NotifyMeshUnloaded(this);
  DestroyBlendAnimController();
  EMeshFragManager* pFrags = MeshFragPool();
  for (int i = 0; i < m_aMeshFrags.Num(); ++i) {
    if (pFrags) pFrags->MeshFragDelete(m_aMeshFrags[i]);
  }
  m_aMeshFrags.Empty();
  while (m_aAffectors.Num()) {
    const int iLast = m_aAffectors.Num() - 1;
    EAffector* pAffector = m_aAffectors[iLast];
    m_aAffectors.Remove(iLast);
    delete pAffector;
  }
  for (int i = 0; i < m_aChildren.Num(); ++i) delete m_aChildren[i];
  m_aChildren.Empty();
  for (int i = 0; i < m_aSkeletons.Num(); ++i) delete m_aSkeletons[i];
  m_aSkeletons.Empty();
  ReleaseLights();
  // A copy's navigation mesh is its own copy, deleted here as an original's is.
  delete m_pNavMesh;
  m_pNavMesh = nullptr;
  // Its triggers go with it: nothing may be left filed that points at the mesh or its model.
  DeleteTriggers();
  if ((IsOriginal() || IsEntityMesh()) && m_pModel != GetEmptyModel()) {
    if (m_bOwnsCollisionTree) delete m_pModel->m_pCollisionTree;
    delete m_pModel;
  }
  m_pModel = nullptr;
  --sm_iTotalMeshCount;
}

void EMesh::Init() {
  m_pParent = nullptr;
  m_pOwner = nullptr;
  m_pOwnerDomain = nullptr;
  m_pNavMesh = nullptr;
  m_dwRecordFlags = 0;
  m_iRenderSpace = 0;
  m_byFlags = kFLAG_Active;
  m_byCacheFlags = 0;
  m_fAnimSpeedScale = 1.0f;
  m_vMaterialColor.Set(1.0f, 1.0f, 1.0f, 1.0f);
  m_Box.Set(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
  m_TransformedBox = m_Box;
  m_vPosition.Set(0.0f, 0.0f, 0.0f);
  m_mRotation.LoadIdentity();
  m_vScale.Set(0.0f, 0.0f, 0.0f);
  m_byForcedLOD = 1;
  m_VisibilityCache.Clear();
  m_bOwnsCollisionTree = false;
  m_pModel = GetEmptyModel();
}

EMesh& EMesh::operator=(EModel& model) {
  m_vPosition = model.m_vPosition;
  m_mRotation = model.m_mRotation;
  m_vScale = model.m_vScale;
  m_Box = model.m_Box;
  InvalidateCachedPositions();
  return *this;
}

EMesh& EMesh::operator=(EMesh& source) {
  if (this == &source) return *this;
  Init();
  m_pSource = &source;
  *this = *source.m_pModel;
  m_pModel = source.m_pModel;
  for (int i = 0; i < source.m_aSkeletons.Num(); ++i) {
    ESkeleton* pSkeleton = new ESkeleton(*source.m_aSkeletons[i]);
    pSkeleton->SetMesh(this);
    m_aSkeletons.AddData(pSkeleton);
  }
  EMeshFragManager* pFrags = MeshFragPool();
  for (int i = 0; i < source.m_aMeshFrags.Num(); ++i) {
    // A full pool has traced; the copy goes without the remaining fragments.
    EMeshFrag* pFrag = pFrags ? pFrags->MeshFragNew() : nullptr;
    if (!pFrag) break;
    pFrag->m_pMesh = this;
    *pFrag = *source.m_aMeshFrags[i];
    m_aMeshFrags.AddData(pFrag);
  }
  for (int i = 0; i < source.m_aAffectors.Num(); ++i) {
    EInstancable* pCopy = source.m_aAffectors[i]->Instantiate();
    if (pCopy) m_aAffectors.AddData(static_cast<EAffector*>(pCopy));
  }
  for (int i = 0; i < source.m_aChildren.Num(); ++i) {
    EMesh* pChild = static_cast<EMesh*>(source.m_aChildren[i]->Instantiate());
    pChild->m_pParent = this;
    m_aChildren.AddData(pChild);
  }
  if (source.m_pNavMesh) SetNavMesh(new ENavMesh(*source.m_pNavMesh));
  if (source.m_pBlendAnimController) CreateBlendAnimController();
  CopyTriggersFrom(source);
  return *this;
}

void EMesh::SetNavMesh(ENavMesh* pNavMesh) {
  if (pNavMesh == m_pNavMesh) return;
  delete m_pNavMesh;
  m_pNavMesh = pNavMesh;
  if (m_pNavMesh) m_pNavMesh->SetMesh(this);
}

EInstancable* EMesh::Instantiate() {
  if (m_nRefCount++ != 0) return new EMesh(*this);
  if (!m_pParent) {
    m_vScale.Set(1.0f, 1.0f, 1.0f);
    m_vPosition.Set(0.0f, 0.0f, 0.0f);
    m_mRotation.LoadIdentity();
    for (int i = 0; i < m_aSkeletons.Num(); ++i) m_aSkeletons[i]->m_vScale.Set(1.0f, 1.0f, 1.0f);
    InvalidateCachedData();
  }
  // The first user of a tree uses the tree itself.
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->Instantiate();
  return this;
}

void EMesh::DestroyInstance() {
  for (int i = 0; i < m_aSkeletons.Num(); ++i) m_aSkeletons[i]->RemoveAllSkelAnims(true);
  if (IsEntityMesh()) return;
  if (IsOriginal()) {
    DecRefCount();
    m_pOwner = nullptr;
    RenewTriggers();
  } else {
    GetOriginal()->DecRefCount();
  }
  for (int i = 0; i < m_aMeshFrags.Num(); ++i) m_aMeshFrags[i]->DestroyInstance();
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->DestroyInstance();
}

void EMesh::AddChild(EMesh* pChild) {
  pChild->m_pParent = this;
  m_aChildren.AddData(pChild);
  pChild->InvalidateCachedData();
}

void EMesh::AddMeshFrag(EMeshFrag* pFrag) {
  pFrag->m_pMesh = this;
  m_aMeshFrags.AddData(pFrag);
}

bool EMesh::ReadMeshFrag(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType) {
  EMeshFragManager* pFrags = MeshFragPool();
  EMeshFrag* pFrag = pFrags ? pFrags->MeshFragNew() : nullptr;
  if (!pFrag) return false;
  pFrag->m_pMesh = this;
  if (!pFrag->Read(s, iVersion, aTextureIds, eDataType)) {
    pFrags->MeshFragDelete(pFrag);
    return false;
  }
  m_aMeshFrags.AddData(pFrag);
  return true;
}

void EMesh::SetBaseTexture(unsigned hTexture, unsigned hOnlyIfShowing, bool bKeepAlphaFlags) {
  for (int i = 0; i < m_aMeshFrags.Num(); ++i)
    m_aMeshFrags[i]->SetBaseTexture(hTexture, hOnlyIfShowing, bKeepAlphaFlags);
}

EMesh* EMesh::GetTopMesh() {
  EMesh* pMesh = this;
  while (pMesh->m_pParent) pMesh = pMesh->m_pParent;
  return pMesh;
}

EMeshEntity* EMesh::GetOwner() { return GetTopMesh()->m_pOwner; }

EMeshEntity* EMesh::GetParentEntity() { return m_pParent ? m_pParent->m_pOwner : m_pOwner; }

const char* EMesh::GetName() const { return m_pModel->GetName(); }

EMesh* EMesh::FindMesh(const char* szName) {
  if (strcmp(GetName(), szName) == 0) return this;
  for (int i = 0; i < m_aChildren.Num(); ++i) {
    if (EMesh* pFound = m_aChildren[i]->FindMesh(szName)) return pFound;
  }
  return nullptr;
}

EDomain* EMesh::GetOwnerDomain() {
  EASSERT(m_pOwnerDomain);
  return m_pOwnerDomain;
}

void EMesh::onDomainChange(EDomain*, EDomain* pNew) {
  if (!GetOwner()) m_pOwnerDomain = pNew;
  // A trigger never wakes in a manager it is leaving, nor sleeps in one it is joining.
  ECollisionManager* pCM = pNew ? pNew->GetCollisionManager() : nullptr;
  const bool bSleeping = pNew ? pNew->IsSleeping() : true;
  for (int i = 0; i < m_aTriggerHandles.Num(); ++i) {
    ETriggerOBB* pTrigger = GetTrigger(i);
    if (!pTrigger) continue;
    if (bSleeping) {
      pTrigger->SetSleeping(true);
      pTrigger->SetCollisionManager(pCM);
    } else {
      pTrigger->SetCollisionManager(pCM);
      pTrigger->SetSleeping(false);
    }
  }
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->onDomainChange(nullptr, pNew);
}

void EMesh::SetPosition(const EVec3& v) {
  if (MeshVecDiffers(v, m_vPosition)) InvalidateCachedData();
  m_vPosition = v;
}

void EMesh::SetScale(const EVec3& v) {
  if (MeshVecDiffers(v, m_vScale)) InvalidateCachedData();
  m_vScale = v;
}

void EMesh::SetRotation(const EMat4& m) {
  EMat4 mRotation = m;
  mRotation.SetTranslation(EVec3(0.0f, 0.0f, 0.0f));
  if (mRotation != m_mRotation) InvalidateCachedData();
  m_mRotation = mRotation;
}

void EMesh::SetRotation(const EEuler& e) {
  SetRotation(MatrixRotateEuler(EEuler(NormalizeAngle(e.x), NormalizeAngle(e.y), NormalizeAngle(e.z))));
}

void EMesh::SetRotationRad(const EEuler& e) {
  SetRotation(EEuler(e.x * 57.29578f, e.y * 57.29578f, e.z * 57.29578f));
}

EVec3 EMesh::GetRotation() const {
  const EEuler e = m_mRotation.ToEuler();
  return EVec3(e.x, e.y, e.z);
}

EEuler EMesh::GetRotationRad() const {
  const EEuler e = m_mRotation.ToEuler();
  return EEuler(e.x / 57.29578f, e.y / 57.29578f, e.z / 57.29578f);
}

const EMat4& EMesh::GetInclusiveTrans() {
  if (m_byFlags & kFLAG_TransValid) return m_mInclusiveTrans;
  EMat4 mTrans;
  if (m_byFlags & kFLAG_OwnerTrans) {
    // The owner entity places the mesh; until it supplies a matrix the mesh
    // stays at the owner's origin.
    EASSERT(GetOwner());
    mTrans.LoadIdentity();
  } else {
    mTrans = MatrixTranslate(m_vPosition).Mul(m_mRotation);
    mTrans.Scale(m_vScale);
  }
  if (m_pParent) mTrans = m_pParent->GetInclusiveTrans().Mul(mTrans);
  m_mInclusiveTrans = mTrans;
  m_byFlags |= kFLAG_TransValid;
  if (m_mInclusiveTrans == cg_mIdentity) m_byCacheFlags |= kCACHE_TransIsIdentity;
  else m_byCacheFlags &= ~kCACHE_TransIsIdentity;
  return m_mInclusiveTrans;
}

const EMat4& EMesh::GetInvInclusiveTrans() {
  if ((m_byCacheFlags & kCACHE_InvTransValid) && (m_byFlags & kFLAG_TransValid)) return m_mInvInclusiveTrans;
  m_mInvInclusiveTrans = GetInclusiveTrans().Inverse();
  m_byCacheFlags |= kCACHE_InvTransValid;
  return m_mInvInclusiveTrans;
}

const EMat4& EMesh::GetLightToModelTrans() {
  if (m_byCacheFlags & kCACHE_LightTransValid) return m_mLightToModelTrans;
  EMat4 mTrans = m_mRotation.Transpose().Mul(MatrixTranslate(-m_vPosition));
  if (m_pParent) mTrans = mTrans.Mul(m_pParent->GetLightToModelTrans());
  m_mLightToModelTrans = mTrans;
  m_byCacheFlags |= kCACHE_LightTransValid;
  return m_mLightToModelTrans;
}

bool EMesh::InclusiveTransIsIdentity() {
  GetInclusiveTrans();
  return (m_byCacheFlags & kCACHE_TransIsIdentity) != 0;
}

const EBox3& EMesh::GetTransformedBoundingBox() {
  if (m_byFlags & kFLAG_BoxValid) return m_TransformedBox;
  m_TransformedBox = m_Box.TransformAffine(GetInclusiveTrans());
  m_byFlags |= kFLAG_BoxValid;
  return m_TransformedBox;
}

void EMesh::InvalidateCachedPositions() {
  m_byFlags &= ~(kFLAG_BoxValid | kFLAG_TransValid);
  m_VisibilityCache.Clear();
  for (int i = 0; i < m_aSkeletons.Num(); ++i) m_aSkeletons[i]->SetAnimsChanged(true);
  m_byCacheFlags &= ~(kCACHE_InvTransValid | kCACHE_LightTransValid);
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->InvalidateCachedPositions();
}

void EMesh::InvalidateCachedLights() {
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->InvalidateCachedLights();
}

void EMesh::InvalidateCachedData() {
  InvalidateCachedPositions();
  InvalidateCachedLights();
}

void EMesh::ForceLODValue(int iLevel) {
  if (iLevel == 0) {
    m_byFlags &= ~kFLAG_ForcedLOD;
  } else {
    const int iCount = m_pModel->GetNumLODs();
    m_byForcedLOD = (uint8_t)(iLevel < iCount ? iLevel : iCount);
    m_byFlags |= kFLAG_ForcedLOD;
  }
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->ForceLODValue(iLevel);
}

int EMesh::GetLODForCamera(ECamera* pCamera) {
  const int iCount = m_pModel->GetNumLODs();
  bool bGameCamera = false;
  if (gGameApp && pCamera) {
    for (int i = 0; i < GameApp::kNUM_CAMERAS; ++i) bGameCamera |= gGameApp->GetCamera(i) == pCamera;
  }
  if (!bGameCamera) return iCount;
  if (m_byFlags & kFLAG_ForcedLOD) return m_byForcedLOD;
  const float d = TWMath::Distance(pCamera->GetPosition(), GetTransformedBoundingBox());
  for (int i = 1;; ++i) {
    if (i >= iCount || d < m_pModel->GetLODDistance(i - 1)) return i;
  }
}

bool EMesh::RunAffectors(float dt) {
  for (int i = 0; i < m_aAffectors.Num(); ++i) m_aAffectors[i]->Run(this, dt);
  if (m_byFlags & kFLAG_FrameAnimEnd) m_byFlags &= ~(kFLAG_FrameAnimRunning | kFLAG_FrameAnimEnd);
  if (m_byFlags & kFLAG_FrameAnimRunning) UpdateTriggers();
  bool bRunning = (m_byFlags & kFLAG_FrameAnimRunning) && m_aAffectors.Num() > 0;
  for (int i = 0; i < m_aChildren.Num(); ++i) bRunning |= m_aChildren[i]->RunAffectors(dt);
  return bRunning;
}

void EMesh::StartAnimation(int iIgnored, bool bRestart) {
  m_byFlags |= kFLAG_FrameAnimRunning;
  if (bRestart) {
    for (int i = 0; i < m_aAffectors.Num(); ++i) {
      if (m_aAffectors[i]->Type() == 1) static_cast<EAnimAffector*>(m_aAffectors[i])->SetCurrentFrame(1.0f);
    }
  }
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->StartAnimation(iIgnored, bRestart);
}

void EMesh::StopAnimation(bool bReset) {
  if (bReset) {
    for (int i = 0; i < m_aAffectors.Num(); ++i) {
      if (m_aAffectors[i]->Type() != 1) continue;
      EAnimAffector* pAffector = static_cast<EAnimAffector*>(m_aAffectors[i]);
      pAffector->SetCurrentFrame(1.0f);
      pAffector->Run(this, 0.0f);
    }
  }
  m_byFlags &= ~kFLAG_FrameAnimRunning;
  for (int i = 0; i < m_aChildren.Num(); ++i) m_aChildren[i]->StopAnimation(bReset);
}

bool EMesh::IsMeshAnimDone() {
  if (m_aAffectors.Num()) return !(m_byFlags & kFLAG_FrameAnimRunning);
  for (int i = 0; i < m_aChildren.Num(); ++i) {
    if (!m_aChildren[i]->IsMeshAnimDone()) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Skeletons and skeletal animation

void EMesh::AddSkeleton(ESkeleton* pSkeleton) {
  pSkeleton->SetMesh(this);
  m_aSkeletons.AddData(pSkeleton);
}

int EMesh::GetSkeletonNumber(const ESkeleton* pSkeleton) const {
  for (int i = 0; i < m_aSkeletons.Num(); ++i) {
    if (m_aSkeletons[i] == pSkeleton) return i;
  }
  EASSERT(0);
  return 0;
}

EJoint* EMesh::FindJoint(const char* szName) const {
  for (int i = 0; i < m_aSkeletons.Num(); ++i) {
    EJoint* pRoot = m_aSkeletons[i]->GetRootJoint();
    if (EJoint* pFound = pRoot ? pRoot->FindJoint(szName) : nullptr) return pFound;
  }
  return nullptr;
}

ESkeleton* EMesh::FindSkeleton(const char* szName) const {
  for (int i = 0; i < m_aSkeletons.Num(); ++i) {
    const char* szOwn = m_aSkeletons[i]->GetName();
    if (szOwn && szName && strcmp(szOwn, szName) == 0) return m_aSkeletons[i];
  }
  return nullptr;
}

EJoint* EMesh::GetJointFromID(unsigned id) const {
  const int iSkeleton = (int)((id & 0xFFFF) >> 12);
  if (iSkeleton >= m_aSkeletons.Num()) return nullptr;
  return m_aSkeletons[iSkeleton]->GetJointFromID(id);
}

EVec3 EMesh::GetJointWorldPos(EJoint* pJoint) {
  if (!pJoint) return EVec3(0.0f, 0.0f, 0.0f);
  return GetInclusiveTrans() % pJoint->GetTransNoScale().GetTranslation();
}

void EMesh::GetJointWorldTrans(unsigned id, EMat4& mOut, bool bWithScale) {
  EJoint* pJoint = GetJointFromID(id);
  if (!pJoint) {
    mOut.LoadIdentity();
    return;
  }
  mOut = GetInclusiveTrans() * (bWithScale ? pJoint->GetTransWithScale() : pJoint->GetTransNoScale());
}

bool EMesh::CopyStaticPose(EMesh* pSource, bool bCopyAnimState) {
  const int n = m_aSkeletons.Num() < pSource->m_aSkeletons.Num() ? m_aSkeletons.Num() : pSource->m_aSkeletons.Num();
  for (int i = 0; i < n; ++i) {
    ESkeleton* pTo = m_aSkeletons[i];
    ESkeleton* pFrom = pSource->m_aSkeletons[i];
    if (bCopyAnimState) {
      POSITION posTo = pTo->m_SkelAnims.GetHeadPosition();
      for (POSITION posFrom = pFrom->m_SkelAnims.GetHeadPosition(); posFrom && posTo;) {
        ESkelAnim* pFromAnim = pFrom->m_SkelAnims.GetNext(posFrom);
        ESkelAnim* pToAnim = pTo->m_SkelAnims.GetNext(posTo);
        pToAnim->SetManualFrame(true);
        pToAnim->SetFrame(pFromAnim->GetFrame());
      }
    } else if (pFrom->GetRootJoint() && pTo->GetRootJoint()) {
      pFrom->GetRootJoint()->copy(pTo->GetRootJoint(), false);
    }
  }
  return true;
}

ESkelAnim* EMesh::ReadSkelAnim(const char* szName, float fBlendTime, bool bLoop, const ELoadAnimArgs& args) {
  if (!HasSkeleton()) return nullptr;
  ESkelAnimShared* pShared =
      EAnimManager::Get()->Get(szName, args.m_fBias, args.m_bWaitForData ? EAnimManager::kFLAG_Block : 0);
  if (!pShared) return nullptr;
  ESkelAnim* pAnim = ESkelAnim::Create(pShared, this, args.m_iPriority, fBlendTime, bLoop);
  if (!pAnim) {
    EAnimManager::Get()->Release(pShared);
    return nullptr;
  }
  pAnim->HACK_SetAnimCompletionName(szName);
  pAnim->LoadEventAnim(bLoop, pShared->GetAnimLength(), m_pOwner);
  // Blend-shape data of the animation plays beside it.
  if (hasBlendShape() && pShared->GetBlendAnimShared())
    loadBlendAnim(szName, bLoop, false, pAnim, fBlendTime, false, false);
  return pAnim;
}

bool EMesh::IsSkelAnimDone() const {
  for (int i = 0; i < m_aSkeletons.Num(); ++i) {
    EList<ESkelAnim*>& anims = m_aSkeletons[i]->m_SkelAnims;
    for (POSITION pos = anims.GetHeadPosition(); pos;) {
      if (!anims.GetNext(pos)->IsDone()) return false;
    }
  }
  return true;
}

void EMesh::removeAllSkelAnimsWithPriority(int iPriority, float fBlendOutTime) {
  for (int i = 0; i < m_aSkeletons.Num(); ++i) {
    EList<ESkelAnim*>& anims = m_aSkeletons[i]->m_SkelAnims;
    for (POSITION pos = anims.GetHeadPosition(); pos;) {
      ESkelAnim* pAnim = anims.GetNext(pos);
      if (pAnim->GetPriority() == iPriority) pAnim->StartBlendOut(fBlendOutTime);
    }
  }
}
