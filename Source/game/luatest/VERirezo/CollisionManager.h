// The collision manager: the collision world of one domain tree. Every
// collidee (an entity that can be hit, an entity with line collision, a
// trigger volume) is filed into a fixed hash grid of cells so that a query
// looks only at the collidees near it.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/HandleAllocator.h"

class EDomain;
class EEntity;
class EMesh;
class ECollide;
class EHitResult;
class EPhysics;
class ESphere;
class ETriggerBase;
class ETriCache;
class ECollisionTree;

class ECollisionManager {
public:
  enum : uint16_t { NULL_INDEX = 0xFFFF };
  enum : unsigned { kNUM_BUCKETS = 2048, kINSERT_LIMIT = 50, kQUERY_LIMIT = 1000 };
  enum ECollideeType : uint16_t { kCollideeEntity = 1, kCollideeLines = 2, kCollideeTrigger = 3 };

  // The cells of a box's two corners.
  struct FCellRange {
    int32_t nMinX, nMinY, nMinZ, nMaxX, nMaxY, nMaxZ;
    explicit FCellRange(const EBox3& box);
  };
  // Cell number of a coordinate on axis 0 (x), 1 (y) or 2 (z).
  static int32_t CellOf(float p, int iAxis);
  // Bucket 1 to 2047 of a cell.
  static uint16_t BucketOf(int32_t x, int32_t y, int32_t z);

  struct CollideeFrag {
    uint16_t iCollidee;
    uint16_t iNextFrag;
    uint16_t iNext;
    uint16_t iPrev;
  };

  struct CollideeInfo {
    uint16_t eType;
    uint16_t iFirstFrag;
    void* pObject;
    uint32_t nStamp;

    class Iter;
  };

  explicit ECollisionManager(bool bDisabled = false);
  ~ECollisionManager();
  ECollisionManager(const ECollisionManager&) = delete;
  ECollisionManager& operator=(const ECollisionManager&) = delete;

  void Register(EDomain* pDomain);
  void Update(EDomain* pDomain);
  void Unregister(EDomain* pDomain);
  EDomain* GetRootDomain() const { return m_pRootDomain; }
  EMesh* GetRootDomainCollision() const { return m_pRootDomainCollision; }

  void Register(EEntity* pEntity);
  // Re-files the entity after a move.
  void Update(EEntity* pEntity);
  void Unregister(EEntity* pEntity);

  // Trigger collidees; the int is not used.
  void Register(ETriggerBase* pTrigger);
  // Re-files the trigger into its box and tells it so.
  void Update(ETriggerBase* pTrigger);
  void Unregister(ETriggerBase* pTrigger, int iUnused);
  // Every trigger, in record order, empties its contents.
  void ResetAllTriggers();
  // Every trigger, in record order, recomputes its contents where it is filed.
  void HACK_UpdateAllTriggers();
  // Points the trigger's record at this trigger object.
  CollideeInfo* Hack_UpdateInfo(ETriggerBase* pTrigger);

  // Files record iCollidee into the buckets of the box; the grid must not be walked meanwhile.
  void AddFragments(uint16_t iCollidee, const EBox3& box);
  // Removes every fragment of the record; returns how many.
  int RemoveFragments(uint16_t iCollidee);

  bool GetBucketsForInsert(EEntity* pEntity, ETempArray<uint16_t>& aBuckets) const;
  bool GetBucketsForInsert(const EBox3& box, ETempArray<uint16_t>& aBuckets) const;
  bool GetBucketsForQuery(const EBox3& box, ETempArray<uint16_t>& aBuckets) const;
  bool GetBucketsForQuery(const ECollide& hit, ETempArray<uint16_t>& aBuckets) const;

  // The collision tree of the root collision mesh's model, or null.
  ECollisionTree* GetStaticCollisionTree() const;
  // Debug drawing of the triggers and of the grid cells around the camera.
  void RequestRender();
  // Draws one cell's box and the names of what is filed in its bucket.
  void RequestRenderCell(int x, int y, int z);

  // ---- Queries (a disabled manager finds nothing) ----
  // Nearest hit of the query against the static geometry and the entities.
  bool CheckCollision(ECollide& hit);
  // Every hit, ascending in time, on the memory stack; null for none.
  EHitResult* MultiCheckCollision(ECollide& hit);
  // A sweep of one sphere (radius 0: a ray) for the entity.
  bool LineCheck(const EVec3& vStart, const EVec3& vEnd, ECollide& hit, EEntity* pEntity, float fRadius);
  // Hits of the sphere on the line collision shapes near it, newest first.
  EHitResult* CheckSplines(const ESphere& sphere, EEntity* pEntity);
  // Presents the entity's move to the triggers near it.
  void CheckTriggers(const EVec3& vFrom, const EVec3& vTo, EEntity* pEntity, bool bTeleport, const EBox3& extraBox);
  // Presents a resting entity to the triggers near it, or removes it from them.
  void RefreshTriggersFor(EPhysics* pPhysics, bool bEnter);

  // The passes: 0 not applicable, 1 tested without a hit, 2 hit.
  int Collide_OneSphere_Domain(ECollide& hit);
  int Collide_OneSphere_Entities(ECollide& hit);
  int Collide_Spheres_Domain(ECollide& hit);
  int Collide_Spheres_Entities(ECollide& hit);
  // The cache passes; bAnswered tells that the cache covered the whole
  // motion for the static geometry.
  int Collide_OneSphere_Cache(ECollide& hit, ETriCache* pCache, bool& bAnswered);
  int Collide_Spheres_Cache(ECollide& hit, ETriCache* pCache, bool& bAnswered);
  EHitResult* MultiCollide_Entities(ECollide& hit, EHitResult* pHead);
  EHitResult* MultiCollide_Domain(ECollide& hit, EHitResult* pHead);

  // The scene's collision groups (bit n: group n takes part).
  uint32_t GetCollisionGroupMask() const { return m_nGroupMask; }
  // A switch of the groups empties the triangle caches, which hold the old groups' triangles.
  void SetCollisionGroupMask(uint32_t nMask);
  // Sets the root domain's collision geometry (tests; the level load sets it with the domain).
  void SetRootDomainCollision(EMesh* pMesh) { m_pRootDomainCollision = pMesh; }

  bool IsDisabled() const { return m_bDisabled; }
  // 2048, or 0 in the disabled manager.
  unsigned GetBucketCount() const { return m_nBuckets; }
  // Live collidee records.
  int GetNumRegistered() const;
  const CollideeInfo& GetInfo(uint16_t i) const { return m_aInfo[i]; }
  const CollideeFrag& GetFrag(uint16_t i) const { return m_aFrag[i]; }
  int GetFragCount() const { return m_aFrag.Num(); }

  // The game's manager, and the disabled one of domains without their own.
  static ECollisionManager sm_CM;
  static ECollisionManager sm_CM_dummy;

private:
  friend class CollideeInfo::Iter;

  uint16_t AllocInfo(uint16_t eType, void* pObject);
  // The bucket list of a box: false (the array untouched) past the cell limit.
  static bool BucketsOfBox(const EBox3& box, ETempArray<uint16_t>& aBuckets, unsigned nLimit);

  EDomain* m_pRootDomain;
  EMesh* m_pRootDomainCollision;
  mutable ESimpleAllocator<CollideeInfo> m_aInfo;
  mutable ESimpleAllocator<CollideeFrag> m_aFrag;
  uint16_t m_nBuckets;
  uint32_t m_nQueryStamp;
  uint32_t m_nGroupMask;
  bool m_bDisabled;
};

// Living grid walks; the grid may not change while it is not 0.
extern int sg_iInhibitModification;

// Walks the collidees of one kind filed in the cells of a box, newest first
// in each bucket, each collidee once per walk. Each walk keeps its own
// visited marks, so nested walks do not disturb one another; a walk started
// with an earlier walk's stamp also skips what that walk returned.
class ECollisionManager::CollideeInfo::Iter {
public:
  enum : uint32_t { kFRESH_STAMP = 0xFFFFFFFFu };

  Iter(ECollisionManager* pCM, const EBox3& box, ECollideeType eType, EMemStack& stack,
       uint32_t nStamp = kFRESH_STAMP, bool bNoMark = false);
  // A walk that also passes by every collidee pAfter (a living walk of the
  // same manager) has returned so far, whatever walks ran in between.
  Iter(ECollisionManager* pCM, const EBox3& box, ECollideeType eType, EMemStack& stack, const Iter* pAfter);
  ~Iter();
  Iter(const Iter&) = delete;
  Iter& operator=(const Iter&) = delete;

  void Reset(uint32_t nStamp);
  void Advance();
  Iter& operator++() {
    Advance();
    return *this;
  }
  explicit operator bool() const { return m_eState != kFinished; }
  CollideeInfo* operator->() const { return &m_pCM->m_aInfo[m_iCurEntity]; }
  CollideeInfo& operator*() const { return m_pCM->m_aInfo[m_iCurEntity]; }
  uint16_t GetCurrentIndex() const { return m_iCurEntity; }
  uint32_t GetStamp() const { return m_nStamp; }

  // Keeps the entity out of this walk.
  void FilterEntity(EEntity* pEntity);
  // Marks the current record as returned and gives it.
  CollideeInfo* FilterCurrent();

private:
  enum EState { kNotStarted, kWalking, kFinished };
  bool Seen(uint16_t i) const { return i < m_nSeen && m_pSeen[i] != 0; }
  void Mark(uint16_t i);

  void Init(const EBox3& box, EMemStack& stack, uint32_t nStamp);

  ECollisionManager* m_pCM;
  const Iter* m_pAfter;
  ETempArray<uint16_t> m_aBuckets;
  // Visited marks of this walk, one byte per record, on the stack after the bucket list.
  uint8_t* m_pSeen;
  unsigned m_nSeen;
  ECollideeType m_eType;
  bool m_bNoMark;
  bool m_bSkipStamp;  // the stamp was given: records carrying it were returned already
  uint32_t m_nStamp;
  EState m_eState;
  unsigned m_iBucket;
  uint16_t m_iHead;
  uint16_t m_iFrag;
  uint16_t m_iCurEntity;
};
