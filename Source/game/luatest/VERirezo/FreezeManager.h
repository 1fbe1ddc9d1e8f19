// Freezing of distant objects: placed props kept as small records until the
// camera comes near, then thawed into scripted mesh entities, and frozen
// back into records when far away and at rest.
#pragma once

#include <cstdint>

#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/HandleAllocator.h"
#include "TWUtil/HashTable.h"
#include "TWUtil/String.h"

class EDomain;
class EEntity;

enum FreezeState : int32_t {
  kFS_None = 0,
  kFS_InitialFrozen = 1,  // payload: the placement text (owned) or null
  kFS_Frozen = 2,         // payload: the value the script's onFreeze kept
  kFS_Thawed = 3,         // payload: the live entity
};

struct FFrozenEntity {
  FFrozenEntity(uint16_t uClass, EDomain* pDomain);
  ~FFrozenEntity() { SetState(kFS_None); }
  FFrozenEntity(const FFrozenEntity&) = delete;
  FFrozenEntity& operator=(const FFrozenEntity&) = delete;

  // Leaving kFS_InitialFrozen frees the placement text.
  void SetState(FreezeState eState);
  FreezeState GetState() const { return m_eState; }

  uint16_t m_uClass;
  union {
    char* m_szText;
    uint32_t m_uKept;
    EEntity* m_pEntity;
  };
  EVec3 m_vPosition;
  EDomain* m_pDomain;
  EQuat m_qRotation;
  float m_fDistSq;
  uint16_t m_uIndex;
  FreezeState m_eState;
};

struct FFrozenClass {
  EString m_sName;
  uint16_t m_uCount = 0;
};

class EFreezeManager {
public:
  typedef EHandleAllocator<FFrozenEntity, uint16_t, uint16_t> Records;
  static constexpr uint16_t kInvalidHandle = 0xFFFF;
  static constexpr int kMaxRecords = 0x7FFF;

  EFreezeManager();
  ~EFreezeManager();
  EFreezeManager(const EFreezeManager&) = delete;
  EFreezeManager& operator=(const EFreezeManager&) = delete;

  // Takes over the placement text (szText is set to null). kInvalidHandle
  // when the records are full.
  uint16_t AddEntity(const char* szClass, char*& szText, EDomain* pDomain, const EVec3& vPosition,
                     const EQuat& qRotation);
  // One frame with the simulated step in seconds, measured from the camera
  // (or the locked simulation position).
  void ProcessFrame(float fSeconds);
  // The same, measured from the given point.
  void ProcessFrameAt(float fSeconds, const EVec3& vReference);
  void Thaw(uint16_t hRecord);
  void Freeze(uint16_t hRecord);
  // The live entity of a frozen record; null when its script object or
  // entity cannot be made (the record stays frozen).
  EEntity* CreateEntity(uint16_t hRecord);
  uint16_t GetClassInfo(const char* szClass);
  void SetInstaThaw() { m_bInstaThaw = true; }
  void MoveEntitiesToDomain(EDomain* pNewDomain, EDomain* pOldDomain);
  void CleanupReferences();
  void LevelReset();
  void GetStats(int& iThawed, int& iTotal) const {
    iThawed = m_iThawed;
    iTotal = m_Records.Num();
  }

  float GetThawDistSq() const { return m_fThawDistSq; }
  float GetFreezeDistSq() const { return m_fFreezeDistSq; }
  void SetDistances(float fThaw, float fFreeze) {
    m_fThawDistSq = fThaw * fThaw;
    m_fFreezeDistSq = fFreeze * fFreeze;
  }
  const FFrozenEntity* GetRecord(uint16_t hRecord) const {
    return m_Records.IsValid(hRecord) ? m_Records.Get(hRecord) : nullptr;
  }

private:
  // Deletes a record whose entity is live or dead; the thawed count drops.
  void DeleteThawedRecord(uint16_t hRecord);

  Records m_Records;
  EArray<FFrozenClass> m_Classes;
  EHashTable<unsigned int> m_ClassIndex;
  bool m_bInstaThaw;
  float m_fThawDistSq;
  float m_fFreezeDistSq;
  int32_t m_iThawed;
  int32_t m_iFreezeLimit;
  int32_t m_iThawLimit;
};
