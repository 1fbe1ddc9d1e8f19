// The collision manager's cell grid, registration and grid walks.
#include "VERirezo/CollisionManager.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Font.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"
#include "VERirezo/Physics.h"
#include "VERirezo/TriCache.h"
#include "VERirezo/Trigger.h"

namespace collisiongrid {

const char* const kCM_FILE = "Source/game/luatest/VERirezo/CollisionManager";
const float kCELL_OFFSET[3] = {0.0f, -128.0f, 0.0f};
const float kCELL_SIZE = 1024.0f;
const float kINV_CELL_SIZE = 1.0f / kCELL_SIZE;

// The domain's current collision mesh: its first active own mesh whose model
// has a collision tree.
EMesh* DomainCollisionMesh(EDomain* d) {
  const EList<EMesh*>& lMeshes = d->GetMeshes();
  for (POSITION pos = lMeshes.GetHeadPosition(); pos;) {
    EMesh* m = lMeshes.GetNext(pos);
    if (m && m->GetActive() && m->GetCollisionTree()) return m;
  }
  return nullptr;
}

// The memory stack of the calling thread; threads without one (tools,
// tests) share a small one.
EMemStack& Stack() {
  static EMemStack s_FallbackStack(1u << 12);
  EMemStack* pStack = GetThreadLocalStack();
  return pStack ? *pStack : s_FallbackStack;
}

}  // namespace collisiongrid

int sg_iInhibitModification = 0;

ECollisionManager ECollisionManager::sm_CM(false);
ECollisionManager ECollisionManager::sm_CM_dummy(true);

int32_t ECollisionManager::CellOf(float p, int iAxis) {
  float c = (p + collisiongrid::kCELL_OFFSET[iAxis]) * collisiongrid::kINV_CELL_SIZE;
  return c > 0.0f ? (int32_t)(c + 0.5f) : (int32_t)(c - 0.5f);
}

ECollisionManager::FCellRange::FCellRange(const EBox3& box)
    : nMinX(CellOf(box.vMin.x, 0)), nMinY(CellOf(box.vMin.y, 1)), nMinZ(CellOf(box.vMin.z, 2)),
      nMaxX(CellOf(box.vMax.x, 0)), nMaxY(CellOf(box.vMax.y, 1)), nMaxZ(CellOf(box.vMax.z, 2)) {}

uint16_t ECollisionManager::BucketOf(int32_t x, int32_t y, int32_t z) {
  uint32_t h = (uint32_t)x + ((uint32_t)z << 16) + (uint32_t)y * 809u;
  return (uint16_t)(h % 2047u + 1u);
}

ECollisionManager::ECollisionManager(bool bDisabled)
    : m_pRootDomain(nullptr), m_pRootDomainCollision(nullptr), m_aInfo(kMEMTYPE_Collision),
      m_aFrag(kMEMTYPE_Collision), m_nBuckets(bDisabled ? (uint16_t)0 : (uint16_t)kNUM_BUCKETS), m_nQueryStamp(0),
      m_nGroupMask(1), m_bDisabled(bDisabled) {
  if (bDisabled) return;
  m_aFrag.Reserve(kNUM_BUCKETS);
  for (unsigned b = 0; b < kNUM_BUCKETS; b++) {
    int idx = -1;
    CollideeFrag* f = new (m_aFrag.Allocate(&idx)) CollideeFrag;
    EASSERT(idx == (int)b);
    f->iCollidee = NULL_INDEX;
    f->iNextFrag = NULL_INDEX;
    f->iNext = f->iPrev = (uint16_t)b;
  }
}

ECollisionManager::~ECollisionManager() {}

int ECollisionManager::GetNumRegistered() const {
  int n = 0;
  for (int i = 0; i < m_aInfo.Num(); i++)
    if (m_aInfo.IsUsed(i)) n++;
  return n;
}

// --- Bucket lists ---------------------------------------------------------------

bool ECollisionManager::BucketsOfBox(const EBox3& box, ETempArray<uint16_t>& aBuckets, unsigned nLimit) {
  FCellRange r(box);
  uint64_t n = 1;
  const int64_t aSpan[3] = {(int64_t)r.nMaxX - r.nMinX + 1, (int64_t)r.nMaxY - r.nMinY + 1,
                            (int64_t)r.nMaxZ - r.nMinZ + 1};
  for (int a = 0; a < 3; a++) {
    // An inverted range counts as past the limit.
    if (aSpan[a] <= 0) return false;
    n *= (uint64_t)aSpan[a];
    if (n > nLimit) return false;
  }
  unsigned iFirst = aBuckets.Add((unsigned)n);
  unsigned k = iFirst;
  for (int32_t x = r.nMinX; x <= r.nMaxX; x++)
    for (int32_t y = r.nMinY; y <= r.nMaxY; y++)
      for (int32_t z = r.nMinZ; z <= r.nMaxZ; z++) aBuckets[k++] = BucketOf(x, y, z);
  EASSERT(k - iFirst == n);
  return true;
}

bool ECollisionManager::GetBucketsForInsert(const EBox3& box, ETempArray<uint16_t>& aBuckets) const {
  if (!BucketsOfBox(box, aBuckets, kINSERT_LIMIT)) {
    EASSERT(aBuckets.Num() == 0);
    aBuckets.AddData(0);
  }
  return true;
}

bool ECollisionManager::GetBucketsForInsert(EEntity* pEntity, ETempArray<uint16_t>& aBuckets) const {
  const EPhysics* pPhys = pEntity->GetPhysics();
  if (!pPhys || !pPhys->GetFlag(PHYSICS_COLLIDEE)) return false;
  return GetBucketsForInsert(pPhys->GetCollisionBoundingBox(nullptr), aBuckets);
}

bool ECollisionManager::GetBucketsForQuery(const ECollide& hit, ETempArray<uint16_t>& aBuckets) const {
  return GetBucketsForQuery(hit.GetBoundingBox(), aBuckets);
}

bool ECollisionManager::GetBucketsForQuery(const EBox3& box, ETempArray<uint16_t>& aBuckets) const {
  if (!BucketsOfBox(box, aBuckets, kQUERY_LIMIT)) {
    EASSERT(aBuckets.Num() == 0);
    unsigned iFirst = aBuckets.Add(kNUM_BUCKETS - 1);
    for (unsigned b = 1; b < kNUM_BUCKETS; b++) aBuckets[iFirst + b - 1] = (uint16_t)b;
  }
  aBuckets.AddData(0);
  return true;
}

// --- Filing -------------------------------------------------------------------------

void ECollisionManager::AddFragments(uint16_t iCollidee, const EBox3& box) {
  EASSERT(!sg_iInhibitModification);
  ETempArray<uint16_t> aBuckets(collisiongrid::Stack());
  GetBucketsForInsert(box, aBuckets);
  for (unsigned i = 0; i < aBuckets.Num(); i++) {
    const uint16_t b = aBuckets[i];
    EASSERT(m_aFrag.Num() < 0xffff);
    int idx = -1;
    CollideeFrag* f = new (m_aFrag.Allocate(&idx)) CollideeFrag;
    CollideeInfo& info = m_aInfo[iCollidee];
    f->iCollidee = iCollidee;
    f->iNextFrag = info.iFirstFrag;
    info.iFirstFrag = (uint16_t)idx;
    CollideeFrag& head = m_aFrag[b];
    f->iPrev = head.iPrev;
    f->iNext = b;
    m_aFrag[head.iPrev].iNext = (uint16_t)idx;
    head.iPrev = (uint16_t)idx;
  }
}

int ECollisionManager::RemoveFragments(uint16_t iCollidee) {
  EASSERT(!sg_iInhibitModification);
  int n = 0;
  CollideeInfo& info = m_aInfo[iCollidee];
  while (info.iFirstFrag != NULL_INDEX) {
    const uint16_t i = info.iFirstFrag;
    CollideeFrag& f = m_aFrag[i];
    info.iFirstFrag = f.iNextFrag;
    m_aFrag[f.iPrev].iNext = f.iNext;
    m_aFrag[f.iNext].iPrev = f.iPrev;
    m_aFrag.Delete(i);
    n++;
  }
  return n;
}

uint16_t ECollisionManager::AllocInfo(uint16_t eType, void* pObject) {
  int idx = -1;
  CollideeInfo* p = new (m_aInfo.Allocate(&idx)) CollideeInfo;
  EASSERT(idx >= 0 && idx < NULL_INDEX);
  p->eType = eType;
  p->iFirstFrag = NULL_INDEX;
  p->pObject = pObject;
  p->nStamp = m_nQueryStamp;
  return (uint16_t)idx;
}

// --- Entities and the root domain --------------------------------------------------------

void ECollisionManager::Register(EEntity* e) {
  if (m_bDisabled) return;
  if (e->GetCollisionIndex() != NULL_INDEX) {
    g_ErrorManager.ErrorMessage(collisiongrid::kCM_FILE, __LINE__, "e->m_iCollisionIndex == NULL_INDEX", true);
    return;
  }
  e->SetCollisionIndex(AllocInfo(e->GetLineCollision() ? kCollideeLines : kCollideeEntity, e));
  Update(e);
}

void ECollisionManager::Update(EEntity* e) {
  if (m_bDisabled || e->GetCollisionIndex() == NULL_INDEX) return;
  const EPhysics* pPhys = e->GetPhysics();
  if (!pPhys) return;
  const bool bHadFragments = RemoveFragments(e->GetCollisionIndex()) > 0;
  const bool bTriangles = pPhys->GetCollisionType() == CPT_Triangles;
  if (!pPhys->GetFlag(PHYSICS_COLLIDEE)) {
    if (bHadFragments && bTriangles) ETriCache::NotifyNotCollidee(pPhys->GetOwnerME());
    return;
  }
  if (e->DomainIsSleeping()) return;
  const EBox3 box = pPhys->GetCollisionBoundingBox(nullptr);
  AddFragments(e->GetCollisionIndex(), box);
  if (!bHadFragments && bTriangles) ETriCache::NotifyCollidee(pPhys->GetOwnerME(), box);
}

void ECollisionManager::Unregister(EEntity* e) {
  if (m_bDisabled) return;
  if (e->GetCollisionIndex() == NULL_INDEX) {
    g_ErrorManager.ErrorMessage(collisiongrid::kCM_FILE, __LINE__, "e->m_iCollisionIndex != NULL_INDEX", true);
    return;
  }
  RemoveFragments(e->GetCollisionIndex());
  m_aInfo.Delete(e->GetCollisionIndex());
  e->SetCollisionIndex(NULL_INDEX);
}

void ECollisionManager::Register(EDomain* d) {
  if (m_bDisabled) return;
  EASSERT(m_pRootDomain == nullptr);
  EASSERT(m_pRootDomainCollision == nullptr);
  m_pRootDomain = d;
  Update(d);
}

void ECollisionManager::Update(EDomain* d) {
  if (m_bDisabled) return;
  EASSERT(d == m_pRootDomain);
  EMesh* pMesh = collisiongrid::DomainCollisionMesh(d);
  if (pMesh == m_pRootDomainCollision) return;
  if (m_pRootDomainCollision) ETriCache::NotifyMeshUnloaded(m_pRootDomainCollision);
  m_pRootDomainCollision = pMesh;
}

void ECollisionManager::Unregister(EDomain* d) {
  if (m_bDisabled) return;
  EASSERT(d == m_pRootDomain);
  m_pRootDomain = nullptr;
  m_pRootDomainCollision = nullptr;
}

ECollisionTree* ECollisionManager::GetStaticCollisionTree() const {
  return m_pRootDomainCollision ? m_pRootDomainCollision->GetCollisionTree() : nullptr;
}

// --- Triggers ------------------------------------------------------------------------------

void ECollisionManager::Register(ETriggerBase* pTrig) {
  if (m_bDisabled) return;
  if (pTrig->m_iCollisionIndex != NULL_INDEX) {
    g_ErrorManager.ErrorMessage(collisiongrid::kCM_FILE, __LINE__, "pTrig->m_iCollisionIndex == NULL_INDEX", true);
    return;
  }
  pTrig->m_iCollisionIndex = AllocInfo(kCollideeTrigger, pTrig);
  Update(pTrig);
}

void ECollisionManager::Update(ETriggerBase* pTrig) {
  if (m_bDisabled || pTrig->m_iCollisionIndex == NULL_INDEX) return;
  RemoveFragments(pTrig->m_iCollisionIndex);
  const EBox3 box = pTrig->GetCollisionBoundingBox();
  AddFragments(pTrig->m_iCollisionIndex, box);
  pTrig->NotifyMoved(box);
}

void ECollisionManager::Unregister(ETriggerBase* pTrig, int) {
  if (m_bDisabled || pTrig->m_iCollisionIndex == NULL_INDEX) return;
  RemoveFragments(pTrig->m_iCollisionIndex);
  m_aInfo.Delete(pTrig->m_iCollisionIndex);
  pTrig->m_iCollisionIndex = NULL_INDEX;
}

void ECollisionManager::ResetAllTriggers() {
  for (int i = 0; i < m_aInfo.Num(); i++)
    if (m_aInfo.IsUsed(i) && m_aInfo[i].eType == kCollideeTrigger)
      static_cast<ETriggerBase*>(m_aInfo[i].pObject)->Reset();
}

void ECollisionManager::HACK_UpdateAllTriggers() {
  for (int i = 0; i < m_aInfo.Num(); i++) {
    if (!m_aInfo.IsUsed(i) || m_aInfo[i].eType != kCollideeTrigger) continue;
    ETriggerBase* pTrig = static_cast<ETriggerBase*>(m_aInfo[i].pObject);
    pTrig->NotifyMoved(pTrig->GetCollisionBoundingBox());
  }
}

ECollisionManager::CollideeInfo* ECollisionManager::Hack_UpdateInfo(ETriggerBase* pTrigger) {
  EASSERT(pTrigger->m_iCollisionIndex != NULL_INDEX);
  CollideeInfo& info = m_aInfo[pTrigger->m_iCollisionIndex];
  EASSERT(info.eType == kCollideeTrigger);
  info.pObject = pTrigger;
  return &info;
}

// --- Debug drawing ------------------------------------------------------------------------

void ECollisionManager::RequestRender() {
  if (m_bDisabled || !gGameApp) return;
  const EDebugHooks& hooks = gGameApp->m_DebugHooks;
  if (hooks.ShowTriggerVolumes)
    for (int i = 0; i < m_aInfo.Num(); i++)
      if (m_aInfo.IsUsed(i) && m_aInfo[i].eType == kCollideeTrigger)
        static_cast<const ETriggerBase*>(m_aInfo[i].pObject)->RequestRender();
  if (hooks.CollisionDisplay != 3) return;
  ECamera* pCam = gGameApp->GetCurrentCamera();
  if (!pCam) return;
  const EVec3& p = pCam->GetPosition();
  const FCellRange r(EBox3(p, p + EVec3(1.0f, 1.0f, 1.0f)).GetInflatedBox(2000.0f));
  for (int32_t x = r.nMinX; x <= r.nMaxX; x++)
    for (int32_t y = r.nMinY; y <= r.nMaxY; y++)
      for (int32_t z = r.nMinZ; z <= r.nMaxZ; z++) RequestRenderCell(x, y, z);
  // The player's triangle cache draws itself once caches keep triangles.
}

void ECollisionManager::RequestRenderCell(int x, int y, int z) {
  if (m_bDisabled || !gGameApp) return;
  const uint16_t b = BucketOf(x, y, z);
  if (m_aFrag[b].iPrev == b) return;
  const EVec3 vCentre((float)x * collisiongrid::kCELL_SIZE - collisiongrid::kCELL_OFFSET[0],
                      (float)y * collisiongrid::kCELL_SIZE - collisiongrid::kCELL_OFFSET[1],
                      (float)z * collisiongrid::kCELL_SIZE - collisiongrid::kCELL_OFFSET[2]);
  EFont* pFont = gGameApp->GetFont(3);
  const EVec4 white(1.0f, 1.0f, 1.0f, 1.0f);
  bool bPlayer = false;
  int n = 0;
  for (uint16_t f = m_aFrag[b].iPrev; f != b; f = m_aFrag[f].iPrev, n++) {
    const CollideeInfo& info = m_aInfo[m_aFrag[f].iCollidee];
    char szLabel[51];
    if (info.eType == kCollideeTrigger) {
      char szDesc[51];
      szDesc[0] = '\0';
      static_cast<const ETriggerBase*>(info.pObject)->Describe(szDesc, (int)sizeof(szDesc));
      snprintf(szLabel, sizeof(szLabel), "%2d: %s", n, szDesc);
    } else {
      const EEntity* e = static_cast<const EEntity*>(info.pObject);
      if (e == gGameApp->GetPlayer()) bPlayer = true;
      snprintf(szLabel, sizeof(szLabel), "%2d: %s", n, e->GetName() ? e->GetName() : "");
    }
    const float s = (n % 2 == 0) ? -1.0f : 1.0f;
    if (pFont) pFont->Display3dText(vCentre, szLabel, 1.0f, 2000.0f, white, EVec2(0.0f, s * 20.0f * (float)((n + 1) / 2)), 0);
  }
  if (!gDebugLine) return;
  const float h = 0.49f * collisiongrid::kCELL_SIZE;
  const EBox3 box(vCentre - EVec3(h, h, h), vCentre + EVec3(h, h, h));
  EVec4 colour(1.0f, 0.0f, 0.0f, 1.0f);
  if (!bPlayer) {
    const ECamera* pCam = gGameApp->GetCurrentCamera();
    const float d = pCam ? (pCam->GetPosition() - vCentre).Length() : 0.0f;
    float a = (1.0f - d / 2000.0f) * 0.8f + 0.2f;
    a = a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a);
    colour = EVec4(1.0f, 1.0f, 0.0f, a);
  }
  gDebugLine->AddBox(box, nullptr, &colour, 0);
}

// --- Grid walks -----------------------------------------------------------------------------

ECollisionManager::CollideeInfo::Iter::Iter(ECollisionManager* pCM, const EBox3& box, ECollideeType eType,
                                            EMemStack& stack, uint32_t nStamp, bool bNoMark)
    : m_pCM(pCM), m_pAfter(nullptr), m_aBuckets(stack), m_pSeen(nullptr), m_nSeen(0), m_eType(eType),
      m_bNoMark(bNoMark), m_bSkipStamp(false), m_nStamp(0), m_eState(kFinished), m_iBucket(0), m_iHead(0), m_iFrag(0),
      m_iCurEntity(NULL_INDEX) {
  Init(box, stack, nStamp);
}

ECollisionManager::CollideeInfo::Iter::Iter(ECollisionManager* pCM, const EBox3& box, ECollideeType eType,
                                            EMemStack& stack, const Iter* pAfter)
    : m_pCM(pCM), m_pAfter(pAfter), m_aBuckets(stack), m_pSeen(nullptr), m_nSeen(0), m_eType(eType),
      m_bNoMark(false), m_bSkipStamp(false), m_nStamp(0), m_eState(kFinished), m_iBucket(0), m_iHead(0), m_iFrag(0),
      m_iCurEntity(NULL_INDEX) {
  EASSERT(!pAfter || pAfter->m_pCM == pCM);
  Init(box, stack, kFRESH_STAMP);
}

void ECollisionManager::CollideeInfo::Iter::Init(const EBox3& box, EMemStack& stack, uint32_t nStamp) {
  if (!m_pCM->m_bDisabled) {
    m_pCM->GetBucketsForQuery(box, m_aBuckets);
    m_nSeen = (unsigned)m_pCM->m_aInfo.Num();
    m_pSeen = stack.Push(m_nSeen ? m_nSeen : 1, 1);
  }
  sg_iInhibitModification++;
  Reset(nStamp);
}

ECollisionManager::CollideeInfo::Iter::~Iter() { sg_iInhibitModification--; }

void ECollisionManager::CollideeInfo::Iter::Reset(uint32_t nStamp) {
  m_bSkipStamp = nStamp != kFRESH_STAMP;
  m_nStamp = m_bSkipStamp ? nStamp : ++m_pCM->m_nQueryStamp;
  if (m_nSeen) memset(m_pSeen, 0, m_nSeen);
  // The grid is frozen while both walks live, so both mark the same records.
  if (m_pAfter && m_nSeen) memcpy(m_pSeen, m_pAfter->m_pSeen, m_nSeen < m_pAfter->m_nSeen ? m_nSeen : m_pAfter->m_nSeen);
  m_iBucket = 0;
  m_iCurEntity = NULL_INDEX;
  // A disabled manager has no buckets: the walk is over before it starts.
  m_eState = m_pCM->m_bDisabled ? kFinished : kNotStarted;
  if (m_eState == kNotStarted) Advance();
}

void ECollisionManager::CollideeInfo::Iter::Mark(uint16_t i) {
  if (i < m_nSeen) m_pSeen[i] = 1;
  m_pCM->m_aInfo[i].nStamp = m_nStamp;
}

void ECollisionManager::CollideeInfo::Iter::Advance() {
  if (m_eState == kFinished) return;
  if (m_eState == kNotStarted) {
    m_iBucket = 0;
    m_iHead = m_aBuckets[0];
    m_iFrag = m_pCM->m_aFrag[m_iHead].iPrev;
    m_eState = kWalking;
  } else {
    m_iFrag = m_pCM->m_aFrag[m_iFrag].iPrev;
  }
  for (;;) {
    while (m_iFrag != m_iHead) {
      const CollideeFrag& f = m_pCM->m_aFrag[m_iFrag];
      m_iCurEntity = f.iCollidee;
      EASSERT(m_iCurEntity != NULL_INDEX);
      const CollideeInfo& info = m_pCM->m_aInfo[m_iCurEntity];
      if (info.eType == m_eType && !Seen(m_iCurEntity) && !(m_bSkipStamp && info.nStamp == m_nStamp)) {
        if (!m_bNoMark) Mark(m_iCurEntity);
        return;
      }
      m_iFrag = f.iPrev;
    }
    if (++m_iBucket >= m_aBuckets.Num()) {
      m_eState = kFinished;
      m_iCurEntity = NULL_INDEX;
      return;
    }
    m_iHead = m_aBuckets[m_iBucket];
    m_iFrag = m_pCM->m_aFrag[m_iHead].iPrev;
  }
}

void ECollisionManager::CollideeInfo::Iter::FilterEntity(EEntity* pEntity) {
  const EPhysics* pPhys = pEntity->GetPhysics();
  if (!pPhys || pEntity->GetCollisionManager() != m_pCM) return;
  const uint16_t i = pEntity->GetCollisionIndex();
  if (i == NULL_INDEX) return;
  Mark(i);
  if (m_eState == kWalking && m_iCurEntity == i) Advance();
}

ECollisionManager::CollideeInfo* ECollisionManager::CollideeInfo::Iter::FilterCurrent() {
  Mark(m_iCurEntity);
  return &m_pCM->m_aInfo[m_iCurEntity];
}
