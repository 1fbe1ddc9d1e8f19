// A sound-entity definition: the players, local variables and actions
// (conditions over variables and the results they trigger) that every
// instance of it (CEntity) shares. It is stored in a content bank and never
// played itself.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

// One condition, seven words in the "seca" chunk.
struct CENTITYCONDITION {
  uint32_t dwOpens;     // parentheses opened before it
  uint32_t dwScope;     // 0 local variable, else global
  uint32_t dwVariable;
  uint32_t dwCompare;   // 0 >, 1 >=, 2 <, 3 <=, 4 ==, 5 !=
  uint32_t dwValue;     // a state index
  uint32_t dwCloses;    // parentheses closed after it
  uint32_t dwJoin;      // with the next: 0 AND, 1 OR
};

// One result, seven words: a kind, a player index and five values.
struct CENTITYRESULT {
  uint32_t dwType;
  uint32_t dwPlayer;
  uint32_t dwValue[5];
};

struct CENTITYACTION {
  uint32_t dwNumConditions;
  CENTITYCONDITION* pConditions;  // owned
  uint32_t dwNumResults;
  CENTITYRESULT* pResults;  // owned
};

// The bank's real-time-parameter controller an instance attaches to the player.
struct CENTITYPLAYER {
  uint32_t dwRPCIndex;
};

class CSoundEntity : public IAUDContentObject {
 public:
  explicit CSoundEntity(IAUDContentBank* bank);
  ~CSoundEntity() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;

  // Exact, case-sensitive lookups; false for a null argument or no match.
  bool GetCLocalVarIndex(const uint16_t* name, uint32_t* pIndex) const;
  bool GetCLocalStateIndex(uint32_t var, const uint16_t* name, uint32_t* pIndex) const;
  void DeleteArrays();

  // Usable for instances: read and registered.
  bool IsValid() const { return m_bLoaded; }
  int32_t GetMasterPlayer() const { return m_nMasterPlayer; }
  uint32_t GetNumLocalVars() const { return (uint32_t)m_aVariables.GetElementCount(); }
  const CENTITYVARIABLE* GetLocalVar(uint32_t i) const { return m_aVariables.GetElementMember((int32_t)i); }
  uint32_t GetNumPlayers() const { return (uint32_t)m_aPlayers.GetElementCount(); }
  const CENTITYPLAYER* GetPlayer(uint32_t i) const { return m_aPlayers.GetElementMember((int32_t)i); }
  uint32_t GetNumActions() const { return (uint32_t)m_aActions.GetElementCount(); }
  const CENTITYACTION* GetAction(uint32_t i) const { return m_aActions.GetElementMember((int32_t)i); }

 private:
  void ReadVariables(const uint8_t* data, uint32_t size);
  void ReadPlayers(const uint8_t* data, uint32_t size);
  void ReadActions(const uint8_t* data, uint32_t size);

  int32_t m_nMasterPlayer = -1;
  TCArray<CENTITYACTION> m_aActions;
  TCArray<CENTITYVARIABLE> m_aVariables;
  TCArray<CENTITYPLAYER> m_aPlayers;
  bool m_bLoaded = false;
};
