// A content bank: the playable content of one part of the sound design, its
// kind arrays by resource index and its name index. So far it makes folders,
// paths, parameter curve sets and transitions, keeps the arrays of those
// three kinds, and answers the name index as an empty one.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDBankObject.h"

class CGlobalEffect;
class CPath;
class CRPController;
class CSequence;
class CSoundEntity;
class CSoundEvent;
class CSoundQueue;
class CSoundRandomizer;
class CSoundTimeline;
class CTransition;

// One entry of the name index, 264 bytes.
struct SIndexEntry {
  uint16_t wszTitle[128];
  uint32_t dwType;
  uint32_t dwResourceIndex;
};

class IAUDContentBank : public IAUDBankObject {
 public:
  IAUDContentBank();
  ~IAUDContentBank() override;

  IAUDContentObject* CreateContentObject(uint32_t type) override;

  // Name index.
  bool FindContentObjectByName(const uint16_t* title, uint32_t* pType, uint32_t* pIndex);
  void AddIndexEntry(const SIndexEntry* entry);
  void RemoveIndexEntry(const uint16_t* title);

  // Kind arrays. The add-in-a-free-slot forms return the slot; the indexed
  // forms take away an object already in the slot and set the object's
  // resource index. An index of 4096 or more is not a slot: such an
  // object goes to a free slot instead.
  CGlobalEffect* GetGlobalEffect(uint32_t index);
  int32_t AddNewGlobalEffect(CGlobalEffect* effect);
  void AddGlobalEffect(CGlobalEffect* effect, uint32_t index);
  void NullOutGlobalEffect(uint32_t index);
  int32_t AddNewPath(CPath* path);
  void AddPath(CPath* path, uint32_t index);
  CPath* GetPath(uint32_t index);
  void NullOutPath(uint32_t index);
  int32_t AddNewRPController(CRPController* rpc);
  void AddRPController(CRPController* rpc, uint32_t index);
  CRPController* GetRPController(uint32_t index);
  void NullOutRPController(uint32_t index);
  int32_t AddNewTransition(CTransition* transition);
  void AddTransition(CTransition* transition, uint32_t index);
  CTransition* GetTransition(uint32_t index);
  void NullOutTransition(uint32_t index);

 private:
  TCArray<CGlobalEffect*> m_aGlobalEffects;
  TCArray<CSequence*> m_aSequences;
  TCArray<CSoundEvent*> m_aSoundEvents;
  TCArray<CSoundQueue*> m_aSoundQueues;
  TCArray<CSoundTimeline*> m_aSoundTimelines;
  TCArray<CSoundRandomizer*> m_aSoundRandomizers;
  TCArray<CPath*> m_aPaths;
  TCArray<CRPController*> m_aRPControllers;
  TCArray<CTransition*> m_aTransitions;
  TCArray<CSoundEntity*> m_aSoundEntities;
};
