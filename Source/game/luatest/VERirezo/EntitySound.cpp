// What every entity does for sound (its own source, babble), for the event
// tracks of its animations, for the physics' collision, support and ground
// callbacks, for its init data (the rail line) and for queries against that
// line.
#include <cstring>
#include <new>
#include <vector>

#include "Event/EEventAnim.h"
#include "Game/GameApp.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityInitData.h"
#include "VERirezo/LineCollision.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

namespace EntitySoundDetail {

const uint32_t kTAG_SPLN = 0x53504C4E;
const uint32_t kTAG_POSN = 0x504F534E;
const uint32_t kTAG_NORM = 0x4E4F524D;
const float kLINE_RADIUS = 70.0f;
const size_t kMAX_MESSAGE_NAME = 255;

ESoundManager* SoundManager() { return gGameApp ? gGameApp->m_pSoundManager : nullptr; }

// Reads a tag, a count and that many vectors; false when the data ends first.
bool ReadVectors(EMemReader& reader, uint32_t dwWant, std::vector<EVec3>& aOut, uint32_t& dwTag) {
  uint32_t nCount = 0;
  reader << dwTag;
  if (reader.Err() || dwTag != dwWant) return false;
  reader << nCount;
  if (reader.Err() || (reader.GetSize() - reader.GetPos()) / 12 < nCount) return false;
  aOut.resize(nCount);
  for (EVec3& v : aOut) reader << v.x << v.y << v.z;
  return !reader.Err();
}

}  // namespace EntitySoundDetail

using EntitySoundDetail::SoundManager;

// ---- Sound ------------------------------------------------------------------------------------

int EEntity::PlaySoundCue(uint32_t uiCue, bool bWithoutSource, bool bFlag) {
  ESoundManager* pSound = SoundManager();
  if (!pSound) return 0;
  if (bWithoutSource) {
    m_uState &= (uint8_t)~kSTATE_NoSourceNextCue;
    return pSound->PlaySoundCue(uiCue, 0, bFlag);
  }
  if (!m_uiSoundSource) {
    EEntity* pDisplaced = nullptr;
    const uint32_t uiSource = pSound->RequestSoundSource(this, GetPosition(), &pDisplaced);
    if (!uiSource) {
      g_ErrorManager.TraceMessagef(TT_Sound, "%s could not create a sound source, aborting sound", GetName());
      return 0;
    }
    if (pDisplaced && pDisplaced != this) pDisplaced->m_uiSoundSource = 0;
    m_uiSoundSource = uiSource;
    pSound->SetSoundSourceEcho(uiSource, (m_uState & kSTATE_Echo) != 0);
    if (m_uState & kSTATE_DomainAsleep) pSound->SetSoundSourceSleeping(this, true);
  }
  if (m_uState & kSTATE_NoSourceNextCue) {
    m_uState &= (uint8_t)~kSTATE_NoSourceNextCue;
    return pSound->PlaySoundCue(uiCue, 0, bFlag);
  }
  return pSound->PlaySoundCue(uiCue, m_uiSoundSource, bFlag);
}

int EEntity::PlaySoundCueWithBabble(uint32_t uiCue, bool bWithoutSource) {
  m_uState |= kSTATE_Babble;
  m_uState = (uint8_t)(bWithoutSource ? (m_uState | kSTATE_NoSourceNextCue) : (m_uState & ~kSTATE_NoSourceNextCue));
  m_uiAutoBabbleCue = uiCue;
  return PlaySoundCue(uiCue, bWithoutSource, true);
}

void EEntity::StopSounds() {
  ESoundManager* pSound = SoundManager();
  if (pSound && m_uiSoundSource) pSound->StopSoundsOnSource(m_uiSoundSource);
}

void EEntity::EndBabble() {
  if (!(m_uState & kSTATE_Babble)) return;
  ESoundManager* pSound = SoundManager();
  if (!pSound || pSound->SoundCueIsPlaying(m_uiAutoBabbleCue)) return;
  m_uState &= (uint8_t)~kSTATE_Babble;
  if (!IsMeshEntity() || !m_pAutoBlendAnim) return;
  EMesh* pMesh = static_cast<EMeshEntity*>(this)->GetMesh();
  if (!pMesh) return;
  pMesh->unloadBlendAnimRef(m_pAutoBlendAnim);
  m_pAutoBlendAnim = nullptr;
}

// ---- Event tracks -----------------------------------------------------------------------------

int EEntity::EventHandler(const EEventAnimDesc& desc) {
  const char* szText = desc.m_szString ? desc.m_szString : "";
  if (desc.m_uChannel == 0 || desc.m_uChannel == 1) {
    ESoundManager* pSound = SoundManager();
    if (pSound) PlaySoundCue(pSound->GetSoundCue(szText), desc.m_uChannel == 0, false);
    return 0;
  }
  if (desc.m_uChannel <= 7 || !m_pScriptObject) return 0;
  const size_t uName = strcspn(szText, " ");
  if (uName > EntitySoundDetail::kMAX_MESSAGE_NAME) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: event message name too long in '%.64s...'", GetName(), szText);
    return 0;
  }
  char szName[EntitySoundDetail::kMAX_MESSAGE_NAME + 1];
  memcpy(szName, szText, uName);
  szName[uName] = '\0';
  const char* szData = nullptr;
  if (szText[uName] == ' ') {
    szData = szText + uName;
    while (*szData == ' ') ++szData;
  }
  if (m_pScriptObject->CanHandleMessage(szName) && EScriptVM::m_spScriptVM)
    EScriptVM::m_spScriptVM->QueueScriptMessage(szName, szData, m_pScriptObject, nullptr, 0);
  return 0;
}

// ---- Collision callbacks ----------------------------------------------------------------------

void EEntity::onCollide(EEntity* pOther, const EVec3& vNormal, int, unsigned, bool bFlip) {
  EASSERT(IsValid());
  if (!pOther) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Should never happen: Colliding with NULL entity?");
    return;
  }
  if (!m_pScriptObject) return;
  EScriptObject* pSender = pOther->GetScriptObject();
  if (!pSender && gGameApp && gGameApp->GetGlobalEntity()) pSender = gGameApp->GetGlobalEntity()->GetScriptObject();
  const float s = bFlip ? -1.0f : 1.0f;
  m_pScriptObject->SendMessagef("Collide", pSender, 1, "fff", (double)(vNormal.x * s), (double)(vNormal.y * s),
                                (double)(vNormal.z * s));
}

void EEntity::onSupporting(EEntity* pOther) {
  if (m_pScriptObject && pOther && pOther->GetScriptObject())
    m_pScriptObject->SendMessagef("Supporting", pOther->GetScriptObject(), 0, "");
}

void EEntity::onSupportingExit(EEntity* pOther) {
  if (m_pScriptObject && pOther && pOther->GetScriptObject())
    m_pScriptObject->SendMessagef("SupportingExit", pOther->GetScriptObject(), 0, "");
}

void EEntity::onGroundChange(EEntity* pOld, EEntity* pNew, bool bQuiet) {
  if (bQuiet || !m_pScriptObject) return;
  EScriptObject* pNewObject = pNew ? pNew->GetScriptObject() : nullptr;
  EScriptObject* pOldObject = pOld ? pOld->GetScriptObject() : nullptr;
  if (pNewObject) m_pScriptObject->SendMessagef("NewGroundCollide", pNewObject, 0, "");
  m_pScriptObject->SendMessagef("GroundChange", nullptr, 0, "LL", pOldObject, pNewObject);
}

// ---- Init data --------------------------------------------------------------------------------

void EEntity::ReadInitData(const EEntityInitData& data) {
  using namespace EntitySoundDetail;
  if (data.m_dwTag != kTAG_SPLN) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: init data with tag 0x%08X ignored", GetName(), data.m_dwTag);
    return;
  }
  EMemReader reader(data.m_aData);
  std::vector<EVec3> aPoints, aNormals;
  uint32_t dwTag = 0;
  if (!ReadVectors(reader, kTAG_POSN, aPoints, dwTag)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: line init data ignored: %s", GetName(),
                                 dwTag == kTAG_POSN ? "points past the data" : "dwTag == 'POSN'");
    return;
  }
  if (!ReadVectors(reader, kTAG_NORM, aNormals, dwTag)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: line init data ignored: %s", GetName(),
                                 dwTag == kTAG_NORM ? "normals past the data" : "dwTag == 'NORM'");
    return;
  }
  for (EVec3& v : aNormals) v = EVec3(-v.x, -v.y, -v.z);
  bool bRail = false;
  int iLooping = 0;
  if (m_pScriptObject && m_pScriptObject->IsA("global.props.Railslide")) {
    bRail = true;
    if (!GetValue("bLooping", iLooping)) iLooping = 0;
  }
  ELineCollision* pLine = new ELineCollision(this);
  pLine->SetRadius(kLINE_RADIUS);
  if (!pLine->Init(aPoints, aNormals, bRail ? ELineCollision::kTIME_ArcLength : ELineCollision::kTIME_PointIndex,
                   nullptr, bRail && iLooping != 0)) {
    delete pLine;
    return;
  }
  delete m_pLineCollision;
  m_pLineCollision = pLine;
  SetupDefaultCollision();
}

// ---- Line-collision queries -------------------------------------------------------------------

void EEntity::SetLineCollision(ELineCollision* pLines) {
  if (pLines == m_pLineCollision) return;
  delete m_pLineCollision;
  m_pLineCollision = pLines;
}

EHitResult* EEntity::CheckForIntersection(const ESphere& sphere, EHitResult* pResult) {
  EASSERT(m_pPhysics && m_pPhysics->GetCollisionType() == CPT_Capsules);
  if (!m_pLineCollision) return nullptr;
  const EMat4 mInv = m_pPhysics->GetAbsTrans().Inverse();
  EHitResult* pHit = m_pLineCollision->CheckForIntersection(ESphere(mInv.TransformPoint(sphere.centre), sphere.radius),
                                                            pResult);
  if (pHit) pHit->iSrcPrimitive = 0;
  return pHit;
}

EHitResult* EEntity::CheckForIntersection(const ESeg3& line, EHitResult* pResult) {
  EASSERT(m_pPhysics && m_pPhysics->GetCollisionType() == CPT_Capsules);
  if (!m_pLineCollision) return nullptr;
  const EMat4 mInv = m_pPhysics->GetAbsTrans().Inverse();
  EHitResult* pHit = m_pLineCollision->CheckForIntersection(
      ELine3(mInv.TransformPoint(line.start), mInv.TransformPoint(line.end), TagPOINTS()), pResult);
  if (pHit) pHit->iSrcPrimitive = 0;
  return pHit;
}

EHitResult* EEntity::CheckForCollision_new(ECollide& query, EHitResult* pResult) {
  const ECollide saved = query;
  bool bHit = false;
  if (query.eSrcType == CPT_OneSphere) {
    bHit = CheckForCollision(query);
  } else if (query.eSrcType == CPT_Spheres) {
    for (int i = 0; i < query.nSpheres && i < 3 && !bHit; ++i) {
      query.ToOneSphere(i);
      bHit = CheckForCollision(query);
      query.vStart = saved.vStart;
      query.vEnd = saved.vEnd;
      query.fLength = saved.fLength;
      query.fRadius = saved.fRadius;
      query.eSrcType = CPT_Spheres;
      if (bHit) query.iSrcPrimitive = i;
    }
  } else {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unhandled in CheckForCollision_new");
    return nullptr;
  }
  if (!bHit) return nullptr;
  if (!pResult) pResult = new (GetThreadLocalStack()->Push(sizeof(EHitResult))) EHitResult;
  pResult->CopyResults(query, saved.fLength);
  query = saved;
  return pResult;
}
