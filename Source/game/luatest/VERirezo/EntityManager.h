// The entity table: one slot per live entity with the entity's owner
// domain, and the iterator that walks it restricted to a domain or a
// domain subtree.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"

class EDomain;
class EEntity;

// One slot: the entity, or while free the free bit (bit 0) and the next
// free slot (bits 16-31); then the entity's owner domain.
struct EEntityInfo {
  union {
    EEntity* ptr;
    uintptr_t bits;
  };
  EDomain* domain;

  bool IsFree() const { return (bits & 1u) != 0; }
  uint16_t GetNextFree() const { return (uint16_t)((bits >> 16) & 0xFFFFu); }
  void SetFree(uint16_t uNext) { bits = ((uintptr_t)uNext << 16) | 1u; }
};

class EEntityManager {
public:
  enum : uint16_t { kNO_SLOT = 0xFFFF };
  // Slots 0 to 0xFFFE; 0xFFFF means "not registered".
  enum { kMAX_ENTITIES = 0xFFFF };

  EEntityManager() : m_aInfo(kMEMTYPE_Entity), m_uFirstFree(kNO_SLOT) {}
  EEntityManager(const EEntityManager&) = delete;
  EEntityManager& operator=(const EEntityManager&) = delete;

  // Gives the entity a slot; false (reported) when every slot is taken.
  bool Register(EEntity* pEntity);
  void Unregister(EEntity* pEntity);
  // A slot for a new entity: the most recently freed one, or a new one at
  // the end; kNO_SLOT when the table is full.
  uint16_t GetFreeIndex();
  // Frees a slot; free slots at the end of the table are trimmed at once.
  void AddFreeIndex(uint16_t idx);

  int GetNumSlots() const { return m_aInfo.Num(); }
  const EEntityInfo& GetInfo(int idx) const { return m_aInfo[idx]; }
  EEntityInfo& GetInfo(int idx) { return m_aInfo[idx]; }
  uint16_t GetFirstFree() const { return m_uFirstFree; }
  // Number of entries in the free list.
  int GetNumFree() const;
  EArray<EEntityInfo>* GetSlots() { return &m_aInfo; }

private:
  EArray<EEntityInfo> m_aInfo;
  uint16_t m_uFirstFree;
};

extern EEntityManager gEntities;

// Walks the live entities in slot order. With a domain, only the entities
// of that domain (with bRecurse, of its subtree) are visited, unless bAll;
// the domains stay marked while the iterator lives, and only one such
// iterator may exist at a time.
class EEntityIter {
public:
  EEntityIter(EDomain* pDomain, bool bRecurse = false, bool bAll = false);
  ~EEntityIter();
  EEntityIter(const EEntityIter&) = delete;
  EEntityIter& operator=(const EEntityIter&) = delete;

  explicit operator bool() const { return m_iIndex < m_pTable->Num(); }
  EEntity* operator*() const { return (*m_pTable)[m_iIndex].ptr; }
  EEntity* operator->() const { return (*m_pTable)[m_iIndex].ptr; }
  const EEntityInfo& GetInfo() const { return (*m_pTable)[m_iIndex]; }
  EEntityIter& operator++();

  static void RecurseMarkDomain(EDomain* pDomain, bool bMark);
  static int GetNumActive() { return sm_iNumActive; }

private:
  EDomain* m_pDomain;
  EArray<EEntityInfo>* m_pTable;
  int m_iIndex;
  bool m_bRecurse;
  bool m_bAll;

  static int sm_iNumActive;
};
