// Mesh entities: the class records (with that of the mesh entities a mesh
// emitter makes, which shares the name "EntityType_Mesh" and type 1; both
// are made here, the mesh emitter's first: records made in one file are
// linked in order, so the name finds the plain mesh entity, newest first),
// construction and destruction, the mesh and animation entry points, the
// frame and the shared render-option records.
#include "VERirezo/MeshEntity.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/ActionTable.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/BlendAnimController.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"

IMPLEMENT_ENTITY_CLASS(EMeshEmitterMeshEntity, "EntityType_Mesh", EntityType_Mesh, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EMeshEntity, "EntityType_Mesh", EntityType_Mesh, EEntity)

namespace meshentity {
// The aura colour every mesh entity starts with.
const EVec4 kDEFAULT_AURA_COLOR(52.0f / 255.0f, 180.0f / 255.0f, 233.0f / 255.0f, 1.0f);
// The player's head joint is turned in a fixed frame.
const EQuat kPLAYER_LOOK_AT_PARAMS(0.4638287f, 0.4846696f, 0.5347905f, 0.5137674f);
// Longest physics step of one frame, seconds.
const float kMAX_PHYSICS_STEP = 0.1f;
const unsigned kNO_NAV_MESH = 255;

template <class T>
void Poison(T*& p) {
  p = reinterpret_cast<T*>(static_cast<uintptr_t>(0xDEADBEEF));
}
}  // namespace meshentity

// ---------------------------------------------------------------------------
// Render-option records

EMeshEntityRenderOptionsSemiCommon EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon;
EMeshEntityRenderOptionsRare EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare;

bool EMeshEntityRenderOptionsSemiCommon::IsEverythingSetToDefaults() const {
  const EMeshEntityRenderOptionsSemiCommon d;
  return m_vTargetColor == d.m_vTargetColor && m_fColorFadeTime == d.m_fColorFadeTime && m_vColor == d.m_vColor &&
         m_fTargetAlpha == d.m_fTargetAlpha && m_fAlphaFadeTime == d.m_fAlphaFadeTime && m_fAlpha == d.m_fAlpha &&
         m_fTargetGlare == d.m_fTargetGlare && m_fGlareFadeTime == d.m_fGlareFadeTime && m_fGlare == d.m_fGlare;
}

EMeshEntityRenderOptionsSemiCommon* EMeshEntityRenderOptionsSemiCommon::ReplaceInstanceWithDefaultIfAppropriate() {
  if (this == &g_DefaultMeshEntityRenderOptionsSemiCommon) return this;
  if (!(m_byFlags & kFLAG_Changed) || !IsEverythingSetToDefaults()) return this;
  delete this;
  return &g_DefaultMeshEntityRenderOptionsSemiCommon;
}

EMeshEntityRenderOptionsRare::~EMeshEntityRenderOptionsRare() {
  delete m_pShadowCamera;
  m_pShadowCamera = nullptr;
  if (m_hShadowTexture && g_pCurrentRenderer) g_pCurrentRenderer->DeleteTexture(m_hShadowTexture, true);
  m_hShadowTexture = 0;
}

bool EMeshEntityRenderOptionsRare::IsEverythingSetToDefaults() const {
  EMat4 mIdentity;
  mIdentity.LoadIdentity();
  return m_vAmbientLightColor == EVec3(0.0f, 0.0f, 0.0f) && m_fIdealInvisibility == 0.0f &&
         m_fCurInvisibility == 0.0f && m_fIdealCameraAlpha == 1.0f && m_fCurCameraAlpha == 1.0f &&
         m_fCameraAlphaRadius == 0.0f && m_fAuraTarget == 0.0f && m_fAuraFadeTime == 0.0f && m_fAuraLevel == 0.0f &&
         !(m_vSolidColor != EVec4(0.8f, 0.2f, 0.2f, 1.0f)) && m_fSolidColorTargetIntensity == 0.0f &&
         m_fSolidColorFadeTime == 0.0f && m_fSolidColorIntensity == 0.0f && m_vTexCoordTransVel == EVec2(0.0f, 0.0f) &&
         m_fDistortionScale == 10.0f && m_vDistortionColor == EVec3(1.0f, 1.0f, 1.0f) &&
         m_vLightRigScale == EVec3(1.0f, 1.0f, 1.0f) && !m_pShadowCamera && !m_hShadowTexture && m_mTexGen == mIdentity;
}

EMeshEntityRenderOptionsRare* EMeshEntityRenderOptionsRare::ReplaceInstanceWithDefaultIfAppropriate() {
  if (this == &g_DefaultMeshEntityRenderOptionsRare) return this;
  if (!(m_byFlags & kFLAG_Changed) || !IsEverythingSetToDefaults()) return this;
  delete this;
  return &g_DefaultMeshEntityRenderOptionsRare;
}

// ---------------------------------------------------------------------------
// Life cycle

EMeshEntity::EMeshEntity(EDomain* pDomain, const char* szName)
    : EEntity(pDomain, szName),
      m_pHeadJoint(nullptr),
      m_qLookAtParams(0.0f, 0.0f, 0.0f, 1.0f),
      m_pLookTarget(nullptr),
      m_aHeadConstraint{0, 0, 0},
      m_vHeadAngles(0.0f, 0.0f, 0.0f),
      m_fViewCone(0.0f),
      m_fDetailValue(1.0f),
      m_fFacialWeight(1.0f),
      m_fVoiceFade(0.0f),
      m_pMesh(nullptr),
      m_pActionTable(nullptr),
      m_iCurAction(-1),
      m_iPrevAction(-1),
      m_pszAltAnim(nullptr),
      m_pActionPos(new EActionPos),
      m_fIdlePlayTime(0.0f),
      m_iGroundPlaneFrame(-1),
      m_fAnimMoveScale(1.0f),
      m_vAuraColor(meshentity::kDEFAULT_AURA_COLOR),
      m_vCombinedIrradiance(1.0f, 1.0f, 1.0f),
      m_fDetailCullingAlpha(1.0f),
      m_pStaticLightBlock(nullptr),
      m_pDynamicLightBlock(nullptr),
      m_pRenderOptionsSemiCommon(&EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon),
      m_pRenderOptionsRare(&EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare),
      m_byMEFlags(0),
      m_bInEndList(false) {}

EMeshEntity::~EMeshEntity() {
  if (m_pRenderOptionsRare != &EMeshEntityRenderOptionsRare::g_DefaultMeshEntityRenderOptionsRare)
    delete m_pRenderOptionsRare;
  if (m_pRenderOptionsSemiCommon != &EMeshEntityRenderOptionsSemiCommon::g_DefaultMeshEntityRenderOptionsSemiCommon)
    delete m_pRenderOptionsSemiCommon;
  m_pRenderOptionsRare = nullptr;
  m_pRenderOptionsSemiCommon = nullptr;
  delete m_pActionPos;
  meshentity::Poison(m_pActionPos);
  delete m_pStaticLightBlock;
  delete m_pDynamicLightBlock;
  m_pStaticLightBlock = m_pDynamicLightBlock = nullptr;
  // An entity made without InitEntity (a stand-in owner) never had a mesh.
  if (m_pMesh) SetMesh(nullptr, false);
  meshentity::Poison(m_pMesh);
  delete m_pActionTable;
  meshentity::Poison(m_pActionTable);
}

void EMeshEntity::InitEntity(EDomain* pDomain) {
  SetMesh(THE_EMPTY_MESH, false);
  EEntity::InitEntity(pDomain);
  m_aHeadConstraint[0] = 15;
  m_aHeadConstraint[1] = 30;
  m_aHeadConstraint[2] = 10;
  m_fViewCone = 75.0f;
  m_vHeadAngles = EVec3(0.0f, 0.0f, 0.0f);
}

void EMeshEntity::onDomainSleep() {
  EEntity::onDomainSleep();
  const bool bAsleep = DomainIsSleeping();
  if (EScriptObject* pObject = GetScriptObject()) pObject->SendMessagef("DomainSleep", nullptr, 1, "i", bAsleep ? 1 : 0);
  if (m_pMesh) m_pMesh->onDomainSleep(bAsleep);
}

void EMeshEntity::onDomainChange(EDomain* pOldDomain) {
  EEntity::onDomainChange(pOldDomain);
  if (EScriptObject* pObject = GetScriptObject())
    pObject->SendMessagef("DomainSleep", nullptr, 0, "i", DomainIsSleeping() ? 1 : 0);
  if (m_pMesh) m_pMesh->onDomainChange(pOldDomain, GetOwnerDomain());
}

void EMeshEntity::CleanupReferences() {
  if (m_pLookTarget && m_pLookTarget->IsDead()) {
    m_pLookTarget = nullptr;
    SetEntityFlag(ENTITY_FIXEDLOOKTARGET | ENTITY_PERSISTENTLOOKTARGET, false);
  }
  if (m_pMesh && m_pMesh->GetNavMesh()) m_pMesh->GetNavMesh()->CleanupReferences();
  EEntity::CleanupReferences();
}

// ---------------------------------------------------------------------------
// Mesh

void EMeshEntity::SetMesh(EMesh* pNewMesh, bool bNotCached) {
  EMeshManager* pManager = EMeshManager::Get();
  if (!m_pMesh) {
    EASSERT(pNewMesh == THE_EMPTY_MESH);
    m_pMesh = pManager->GetEmptyMesh(this);
    return;
  }
  if (pNewMesh && m_pMesh->IsEntityMesh()) {
    // The placed entity's own mesh stays; the caller keeps the new one.
    g_ErrorManager.TraceMessagef(TT_Warning, "Can't call SetMesh to replace an entity mesh");
    return;
  }
  if (m_pMesh->GetOwner() == this && m_pMesh->GetParent() == nullptr) m_pMesh->SetOwner(nullptr);
  pManager->UnloadMesh(m_pMesh);
  m_pMesh = nullptr;
  if (!pNewMesh) return;
  if (pNewMesh == THE_EMPTY_MESH) {
    m_pMesh = pManager->GetEmptyMesh(this);
  } else {
    m_pMesh = pNewMesh;
    m_pMesh->SetOwner(this);
  }
  if (bNotCached) m_pMesh->MarkNonCached();
  if (EPhysics* pPhysics = GetPhysics()) pPhysics->onMeshChange();
  m_pMesh->onDomainChange(nullptr, GetOwnerDomain());
}

bool EMeshEntity::LoadMesh(const char* szName, DATATYPE eType) {
  if (m_pMesh && m_pMesh->IsEntityMesh()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Can't call SetMesh to replace an entity mesh");
    return false;
  }
  EMesh* pNew = THE_EMPTY_MESH;
  bool bResult = false;
  if (szName) {
    if (EMesh* pLoaded = EMeshManager::Get()->LoadMesh(szName, eType)) {
      pNew = pLoaded;
      bResult = true;
      if (pLoaded->hasBlendShape()) {
        EBlendAnimController* pController = pLoaded->CreateBlendAnimController();
        pController->setBlendShapeController(pLoaded->GetBlendShapeController());
      }
    } else {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s failed to load mesh '%s'", GetName(), szName);
    }
  }
  SetMesh(pNew, false);
  // Models read alone keep no init data of their own yet: nothing to hand on.
  SetHeadJoint("headJA_1");
  m_pMesh->onDomainChange(nullptr, GetOwnerDomain());
  return bResult;
}

void EMeshEntity::GetMeshTrans(EMat4& mOut) {
  if (const EPhysics* pPhysics = GetPhysics()) {
    mOut = pPhysics->GetAbsTrans();
  } else {
    mOut.LoadIdentity();
  }
}

const EBox3& EMeshEntity::GetTransformedBoundingBox() { return m_pMesh->GetTransformedBoundingBox(); }

ESkeleton* EMeshEntity::FindSkeleton(const char* szName) const {
  return m_pMesh ? m_pMesh->FindSkeleton(szName) : nullptr;
}

EEuler EMeshEntity::GetMeshRotation() const { return m_pMesh->GetRotation().AsEuler(); }

void EMeshEntity::SetMeshRotation(const EEuler& e) { m_pMesh->SetRotation(e); }

EVec3 EMeshEntity::GetScale() const { return m_pMesh->GetScale(); }

void EMeshEntity::SetScale(const EVec3& v) { m_pMesh->SetScale(v); }

void EMeshEntity::ForceLODValue(uint8_t byLevel) {
  EASSERT(m_pMesh);
  m_pMesh->ForceLODValue(byLevel);
}

EVec4 EMeshEntity::GetAuraColor() const {
  EVec4 v = m_vAuraColor;
  v.w *= m_pRenderOptionsRare->m_fAuraLevel;
  return v;
}

void EMeshEntity::ApplyVelocity(const EVec3& v) {
  if (EPhysics* pPhysics = GetPhysics()) pPhysics->ApplyVelocity(v);
}

void EMeshEntity::TransformApplyVelocity(const EVec3& v) {
  EPhysics* pPhysics = GetPhysics();
  if (!pPhysics) return;
  pPhysics->ApplyVelocity(pPhysics->GetAbsTrans().Mul3Vec3(v));
}

bool EMeshEntity::SetHeadJoint(const char* szName) {
  EJoint* pJoint = m_pMesh ? m_pMesh->FindJoint(szName) : nullptr;
  m_pHeadJoint = pJoint;
  if (!pJoint) return false;
  if (gGameApp && gGameApp->GetPlayer() == this) {
    m_qLookAtParams = meshentity::kPLAYER_LOOK_AT_PARAMS;
  } else {
    m_qLookAtParams = EQuat(pJoint->GetBasePoseToLocal()).Conjugate();
  }
  return true;
}

void EMeshEntity::InvalidateCachedLights() {
  const bool bAlwaysRecompute = gGameApp && gGameApp->m_DebugHooks.m_bRecomputeStaticLighting;
  if (m_pStaticLightBlock && !bAlwaysRecompute) m_pStaticLightBlock->m_iLightCount = -1;
  if (m_pDynamicLightBlock) m_pDynamicLightBlock->m_iLightCount = -1;
}

// ---------------------------------------------------------------------------
// Animation

ESkelAnim* EMeshEntity::LoadAnim(const char* szFile, float fBlendTime, bool bLoop, const ELoadAnimArgs& args) {
  if (args.m_pbRestacked) *args.m_pbRestacked = false;
  ESkelAnim* pAnim = nullptr;
  if (args.m_iStackPos >= 0) {
    ESkelAnim* pPlaying = IsPlayingAnim(ESkelAnim::FilenameToAnimName(szFile));
    if (pPlaying && (bool)pPlaying->m_bLoop == bLoop && pPlaying->GetPriority() == args.m_iPriority) {
      pPlaying->SetStackPosition(args.m_iStackPos);
      if (args.m_pbRestacked) *args.m_pbRestacked = true;
      pPlaying->m_bManualBlend = false;
      pPlaying->m_bManualFrame = false;
      pAnim = pPlaying;
    }
  }
  if (!pAnim && m_pMesh) pAnim = m_pMesh->ReadSkelAnim(szFile, fBlendTime, bLoop, args);
  if (pAnim) pAnim->m_bBlendOutAtEnd = args.m_bBlendOutAtEnd;
  return pAnim;
}

ESkelAnim* EMeshEntity::LoadAnim(const char* szFile, float fBlendTime, bool bLoop) {
  return LoadAnim(szFile, fBlendTime, bLoop, ELoadAnimArgs());
}

ESkelAnimShared* EMeshEntity::PreloadAnim(const char* szFile, float fBlendTime, bool bLoop) {
  return EAnimManager::Get()->Preload(szFile, fBlendTime, bLoop ? 0u : 1u);
}

void EMeshEntity::removeAllSkelAnimsWithPriority(int iPriority, float fBlendOutTime) {
  if (m_pMesh) m_pMesh->removeAllSkelAnimsWithPriority(iPriority, fBlendOutTime);
}

void EMeshEntity::SetLastSkelAnimTransMode(int eMode) {
  if (!m_pMesh || !m_pMesh->HasSkeleton()) return;
  EList<ESkelAnim*>& anims = m_pMesh->GetSkeleton(0)->GetSkelAnims();
  if (anims.IsEmpty()) return;
  anims.GetTail()->ConvertTransMode(eMode, false);
}

void EMeshEntity::DisableAllDeltaTransAnims() {
  if (!m_pMesh) return;
  for (int i = 0; i < m_pMesh->GetNumSkeletons(); ++i) {
    EList<ESkelAnim*>& anims = m_pMesh->GetSkeleton(i)->GetSkelAnims();
    for (POSITION pos = anims.GetHeadPosition(); pos;) {
      ESkelAnim* pAnim = anims.GetNext(pos);
      if (pAnim->m_eTransMode != TRANS_None) pAnim->ConvertTransMode(TRANS_STRIPTRANS, false);
    }
  }
}

ESkelAnim* EMeshEntity::IsPlayingAnim(const char* szPrefix) const {
  if (!m_pMesh || !szPrefix) return nullptr;
  const size_t n = strlen(szPrefix);
  for (int i = 0; i < m_pMesh->GetNumSkeletons(); ++i) {
    EList<ESkelAnim*>& anims = m_pMesh->GetSkeleton(i)->GetSkelAnims();
    for (POSITION pos = anims.GetTailPosition(); pos;) {
      ESkelAnim* pAnim = anims.GetPrev(pos);
      if (strncasecmp(pAnim->GetName(), szPrefix, n) == 0) return pAnim;
    }
  }
  return nullptr;
}

bool EMeshEntity::IsPlayingAnim(const ESkelAnim* pAnim) const {
  if (!m_pMesh || !pAnim) return false;
  for (int i = 0; i < m_pMesh->GetNumSkeletons(); ++i) {
    EList<ESkelAnim*>& anims = m_pMesh->GetSkeleton(i)->GetSkelAnims();
    for (POSITION pos = anims.GetHeadPosition(); pos;) {
      if (anims.GetNext(pos) == pAnim) return true;
    }
  }
  return false;
}

bool EMeshEntity::IsLastSkelAnimDone() const {
  if (!m_pMesh || !m_pMesh->HasSkeleton()) return true;
  EList<ESkelAnim*>& anims = m_pMesh->GetSkeleton(0)->GetSkelAnims();
  if (anims.IsEmpty()) return true;
  const ESkelAnim* pAnim = anims.GetTail();
  return pAnim->GetFrame() == (float)pAnim->GetLength();
}

float EMeshEntity::GetLastSkelAnimLenSecs() const {
  if (!m_pMesh || !m_pMesh->HasSkeleton()) return 0.0f;
  EList<ESkelAnim*>& anims = m_pMesh->GetSkeleton(0)->GetSkelAnims();
  if (anims.IsEmpty()) return 0.0f;
  return (float)anims.GetTail()->GetLength() / 30.0f / m_pMesh->GetAnimSpeedScale();
}

// ---------------------------------------------------------------------------
// Frame

void EMeshEntity::ProcessFrame(float fFrameMS) {
  Debug_CheckPhysics();
  EEntity::ProcessFrame(fFrameMS);
  Debug_CheckPhysics();
  m_pRenderOptionsSemiCommon = m_pRenderOptionsSemiCommon->ReplaceInstanceWithDefaultIfAppropriate();
  m_pRenderOptionsRare = m_pRenderOptionsRare->ReplaceInstanceWithDefaultIfAppropriate();
  if (fFrameMS != 0.0f) {
    EPhysics* pPhysics = GetPhysics();
    if (pPhysics) {
      pPhysics->ProcessFrame(fminf(fFrameMS * 0.001f, meshentity::kMAX_PHYSICS_STEP));
      Debug_CheckPhysics();
    }
    if (pPhysics && GetEntityFlag(ENTITY_NAVIGATION)) {
      unsigned nMesh = 0, nPoly = 0, nLastMesh = 0, nLastPoly = 0;
      pPhysics->GetNavInfo(nMesh, nPoly);
      pPhysics->GetLastNavInfo(nLastMesh, nLastPoly);
      EScene* pScene = gGameApp && gGameApp->GetSceneManager() ? gGameApp->GetSceneManager()->GetCurrentScene() : nullptr;
      ENavMesh* pNav = pScene ? pScene->GetNavMesh() : nullptr;
      if (nMesh != nLastMesh && pNav) {
        if (nLastMesh != meshentity::kNO_NAV_MESH) pNav->DeregisterObject(this, (int)nLastMesh, (int)nLastPoly);
        if (nMesh != meshentity::kNO_NAV_MESH) pNav->RegisterObject(this, (int)nMesh, (int)nPoly);
      }
    }
    if (m_pMesh) m_pMesh->updateBlendAnim(fFrameMS * 0.001f);
  }
  if (m_pHeadJoint) UpdateHead(fFrameMS * 0.001f);
}

void EMeshEntity::RunAffectors() {
  const bool bAgain = RunActions(*m_pActionPos, false);
  float fFrameMS = 0.0f;
  if (gGameApp)
    fFrameMS = GetEntityFlag(ENTITY_FULL_SIM_SPEED) ? gGameApp->GetRealDeltaTimeMS() : gGameApp->GetSimDeltaTimeMS();
  if (m_pMesh) m_pMesh->RunAffectors(fFrameMS);
  if (bAgain) RunActions(*m_pActionPos, true);
}
