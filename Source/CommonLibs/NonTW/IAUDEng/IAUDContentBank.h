// A content bank: the playable content of one part of the sound design, its
// kind arrays by resource index, its sorted name index in pages of 50 and its
// global variables.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDBankObject.h"

class CEntity;
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

// One page of the name index; pages form a singly linked list.
struct SIndexPage {
  static const uint32_t kEntries = 50;
  uint32_t dwCount;
  SIndexEntry entries[kEntries];
  SIndexPage* pNext;
};

// One global variable (or a sound entity's local one).
struct CENTITYVARIABLE {
  uint16_t wszName[32];
  uint32_t dwNumStates;
  uint16_t** ppStateNames;  // dwNumStates names of 32 units, owned by the bank
  uint32_t dwInitialState;
  uint32_t dwCurrentState;
};

class IAUDContentBank : public IAUDBankObject {
 public:
  IAUDContentBank();
  ~IAUDContentBank() override;

  IAUDContentObject* CreateContentObject(uint32_t type) override;
  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  // Joins the resource manager's list of content banks (once) and rebuilds
  // the index when the file asked for it.
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  // Reads the file's first chunk when it is a content bank; skips it otherwise.
  void ParseFile(void* file) override;

  IAUDContentBank* GetPostContentBank() const { return m_pNextBank; }

  int32_t AddContentBankReference() { return ++m_nReferences; }
  int32_t RemoveContentBankReference() {
    if (m_nReferences > 0) --m_nReferences;
    return m_nReferences;
  }
  int32_t GetContentBankReference() const { return m_nReferences; }

  // Name index: ascending by title, equal titles in insertion order.
  bool FindContentObjectByName(const uint16_t* title, uint32_t* pType, uint32_t* pIndex);
  void AddIndexEntry(const SIndexEntry* entry);
  // Removes one entry of that title from each page holding one.
  bool RemoveIndexEntry(const uint16_t* title);
  // When the file held "obdx": every object of the kind arrays enters the
  // index afresh under its title, type and resource index.
  void ReIndexContent();
  const SIndexPage* GetFirstIndexPage() const { return m_pIndex; }

  // Trailing empty slots go first; 0 for a type that has no array.
  int32_t GetBankContentSlotCount(uint32_t type);
  // The type tag of the first array holding the object; 0 for none.
  uint32_t FindContent(const IAUDContentObject* object);
  // The object at that index of the array of one of the six playable kinds
  // ("gbef", "sqob", "snde", "sdqu", "sdtl", "sdri"); null for another
  // type, an empty slot or an index past the array.
  IAUDContentObject* GetPlayableContent(uint32_t type, uint32_t index);

  // Global variables.
  uint32_t GetNumGlobalVars() const { return (uint32_t)m_aGlobalVars.GetElementCount(); }
  int32_t GetNumGlobalVarStates(uint32_t var);
  uint16_t* GetGlobalVarName(uint32_t var, uint16_t* buffer, int32_t length);
  uint16_t* GetGlobalVarStateName(uint32_t var, uint32_t state, uint16_t* buffer, int32_t length);
  bool GetCGlobalVarIndex(const uint16_t* name, uint32_t* pIndex);
  bool GetCGlobalStateIndex(uint32_t var, const uint16_t* name, uint32_t* pIndex);
  int32_t GetGlobalVarState(uint32_t var);
  int32_t GetGlobalVarState(const uint16_t* name);
  bool SetGlobalVarState(uint32_t var, uint32_t state);
  bool SetGlobalVarState(const uint16_t* name, const uint16_t* state);
  // Every variable back to its initial state; every instance sees all of
  // them changed and runs.
  void ResetEntityGlobalVars();
  // A set-variable result of an entity: the state is stored and marked in
  // every instance whether it changed or not, and every instance but the
  // acting one runs.
  void SetGlobalVarStateFromEntity(uint32_t var, uint32_t state, CEntity* actor);

  // Sound-entity instances made from this bank's definitions, newest first.
  CEntity* GetFirstEntity() const { return m_pFirstEntity; }
  void SetFirstEntity(CEntity* entity) { m_pFirstEntity = entity; }
  void SuspendAllEntities();
  void ProcessAllEntities();

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
  int32_t AddNewSoundEvent(CSoundEvent* event);
  void AddSoundEvent(CSoundEvent* event, uint32_t index);
  CSoundEvent* GetSoundEvent(uint32_t index);
  void NullOutSoundEvent(uint32_t index);
  int32_t AddNewSoundQueue(CSoundQueue* queue);
  void AddSoundQueue(CSoundQueue* queue, uint32_t index);
  CSoundQueue* GetSoundQueue(uint32_t index);
  void NullOutSoundQueue(uint32_t index);
  int32_t AddNewSoundTimeline(CSoundTimeline* timeline);
  void AddSoundTimeline(CSoundTimeline* timeline, uint32_t index);
  CSoundTimeline* GetSoundTimeline(uint32_t index);
  void NullOutSoundTimeline(uint32_t index);
  int32_t AddNewSequence(CSequence* sequence);
  void AddSequence(CSequence* sequence, uint32_t index);
  CSequence* GetSequence(uint32_t index);
  void NullOutSequence(uint32_t index);
  int32_t AddNewSoundRandomizer(CSoundRandomizer* randomizer);
  void AddSoundRandomizer(CSoundRandomizer* randomizer, uint32_t index);
  CSoundRandomizer* GetSoundRandomizer(uint32_t index);
  void NullOutSoundRandomizer(uint32_t index);
  int32_t AddNewSoundEntity(CSoundEntity* entity);
  void AddSoundEntity(CSoundEntity* entity, uint32_t index);
  CSoundEntity* GetSoundEntity(uint32_t index);
  void NullOutSoundEntity(uint32_t index);
  int32_t AddNewTransition(CTransition* transition);
  void AddTransition(CTransition* transition, uint32_t index);
  CTransition* GetTransition(uint32_t index);
  void NullOutTransition(uint32_t index);

 protected:
  // "secg": the global variables; the project file writes it.
  void WriteGlobalVars(void* file);

 private:
  void FreeIndex();
  void FreeGlobalVars();
  void ReadIndexChunk(void* file, const RiffChunk& chunk);
  void ReadGlobalVarsChunk(void* file, const RiffChunk& chunk);
  void UnlinkFromBankList();
  // Marks the global variable (every one for all bits set) changed in
  // every instance, then runs every instance but skip.
  void RunEntitiesOnGlobalChange(uint32_t var, CEntity* skip);

  IAUDContentBank* m_pPrevBank = nullptr;
  IAUDContentBank* m_pNextBank = nullptr;
  SIndexPage* m_pIndex = nullptr;
  int32_t m_nReferences = 0;
  bool m_bReIndex = false;
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
  TCArray<CENTITYVARIABLE> m_aGlobalVars;
  CEntity* m_pFirstEntity = nullptr;
};
