// The collision manager's cell grid, registration and grid walks.
#include "VERirezo/CollisionManager.h"

#include <new>

#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Physics.h"

namespace collisiongrid {

const char* const kCM_FILE = "Source/game/luatest/VERirezo/CollisionManager";
const float kCELL_OFFSET[3] = {0.0f, -128.0f, 0.0f};
const float kCELL_SIZE = 1024.0f;
const float kINV_CELL_SIZE = 1.0f / kCELL_SIZE;

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
  EMemStack* pStack = GetThreadLocalStack();
  // Threads without a stack of their own (tools, tests) share a small one.
  static EMemStack s_FallbackStack(1u << 12);
  if (!pStack) pStack = &s_FallbackStack;
  ETempArray<uint16_t> aBuckets(*pStack);
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
  // Line collision shapes come with the line collision system; until then every entity is a plain collidee.
  e->SetCollisionIndex(AllocInfo(kCollideeEntity, e));
  Update(e);
}

void ECollisionManager::Update(EEntity* e) {
  if (m_bDisabled || e->GetCollisionIndex() == NULL_INDEX) return;
  const EPhysics* pPhys = e->GetPhysics();
  if (!pPhys) return;
  RemoveFragments(e->GetCollisionIndex());
  // The triangle caches hear of collidee changes once they exist.
  if (!pPhys->GetFlag(PHYSICS_COLLIDEE)) return;
  if (e->DomainIsSleeping()) return;
  AddFragments(e->GetCollisionIndex(), pPhys->GetCollisionBoundingBox(nullptr));
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
  // The domain's collision mesh is read here once domains carry one.
}

void ECollisionManager::Unregister(EDomain* d) {
  if (m_bDisabled) return;
  EASSERT(d == m_pRootDomain);
  m_pRootDomain = nullptr;
  m_pRootDomainCollision = nullptr;
}

// --- Grid walks -----------------------------------------------------------------------------

ECollisionManager::CollideeInfo::Iter::Iter(ECollisionManager* pCM, const EBox3& box, ECollideeType eType,
                                            EMemStack& stack, uint32_t nStamp, bool bNoMark)
    : m_pCM(pCM), m_aBuckets(stack), m_pSeen(nullptr), m_nSeen(0), m_eType(eType), m_bNoMark(bNoMark),
      m_bSkipStamp(false), m_nStamp(0), m_eState(kFinished), m_iBucket(0), m_iHead(0), m_iFrag(0),
      m_iCurEntity(NULL_INDEX) {
  if (!pCM->m_bDisabled) {
    pCM->GetBucketsForQuery(box, m_aBuckets);
    m_nSeen = (unsigned)pCM->m_aInfo.Num();
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
