// A sound-entity instance: the audio players of a definition placed around
// a point, the instance's local variables with their change marks, and the
// state machine that runs the definition's actions when a variable they read
// has changed.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/CIAUDEAXObject.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

class CPlayer;
class CSoundEntity;
class IAUDContentBank;
struct CENTITYRESULT;

// One player of an instance; offsets and vectors are in the entity's frame.
struct CENTITYINSTANCEPLAYER {
  CPlayer* pPlayer;
  int32_t nRPCIndex;
  IAUDVector vPosition;
  IAUDVector vVelocity;
  IAUDVector vFront;
  IAUDVector vTop;
  float flElevation;
  float flAzimuth;
  float flRoll;
  uint32_t dwMode;
  float flPitch;
};

struct CENTITYINSTANCEVARIABLE {
  uint32_t dwNumStates;
  uint32_t dwInitialState;
  uint32_t dwCurrentState;
};

// One evaluated condition.
struct ENTITYCONDRESULT {
  uint32_t dwOpens;
  uint32_t dwResult;
  uint32_t dwCloses;
  uint32_t dwJoin;
};

class CEntity final : public CIAUDEAXObject {
 public:
  // Joins the head of the definition's bank's instance list.
  explicit CEntity(CSoundEntity* definition);
  // Deactivates, destroys the players and leaves the list.
  ~CEntity();
  CEntity(const CEntity&) = delete;
  CEntity& operator=(const CEntity&) = delete;

  CEntity* GetPostEntity() const { return m_pNext; }
  IAUDContentBank* GetContentBank() const { return m_pBank; }
  CSoundEntity* GetDefinition() const { return m_pDefinition; }
  // Whether the instance is in this instance's bank's list.
  bool IsValidEntity(const CEntity* entity) const;
  int32_t GetGroupIndex() const;

  void ActivateEntity(bool active);
  bool IsActive() const { return m_bActive; }
  void SuspendEntity() { m_bSuspended = true; }
  bool IsSuspended() const { return m_bSuspended; }
  void ProcessEntity();
  void ClearVarRefArrays();
  void ResetEntityLocalVars();
  // Runs only when active, not suspended and not already running.
  void RunStateMachine();
  bool IsRunning() const { return m_bRunning; }
  void MarkGlobalVar(uint32_t var);
  void MarkAllGlobalVars();

  // Local variables.
  bool SetLocalVarState(uint32_t var, uint32_t state);
  bool SetLocalVarState(const uint16_t* var, const uint16_t* state);
  int32_t GetLocalVarState(uint32_t var) const;
  int32_t GetLocalVarState(const uint16_t* var) const;
  uint32_t GetNumLocalVars() const { return m_dwNumLocalVars; }
  int32_t GetNumLocalVarStates(uint32_t var) const;
  uint16_t* GetLocalVarName(uint32_t var, uint16_t* buffer, int32_t length) const;
  uint16_t* GetLocalVarStateName(uint32_t var, uint32_t state, uint16_t* buffer, int32_t length) const;

  // Placement, in world units; stored multiplied by the distance factor.
  void SetPosition(IAUDVector& position);
  void GetPosition(IAUDVector* out) const;
  void SetVelocity(IAUDVector& velocity);
  void GetVelocity(IAUDVector* out) const;
  void SetOrientation(IAUDVector& front, IAUDVector& top);
  void SetOrientation(float azimuth, float elevation, float roll);
  void GetOrientation(IAUDVector* front, IAUDVector* top) const;
  void GetOrientation(float* azimuth, float* elevation, float* roll) const;
  void SetMode(unsigned long mode);
  void GetMode(unsigned long* out) const {
    if (out) *out = m_dwMode;
  }
  void SetPitch(float pitch);
  void GetPitch(float* out) const {
    if (out) *out = m_flPitch;
  }

  // A null name is the entity-wide level.
  void SetRPCLevel(const uint16_t* name, float level);
  bool GetRPCLevel(const uint16_t* name, float* out) const;

  int32_t SetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) override;
  int32_t GetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) override;

  uint32_t GetNumPlayers() const { return (uint32_t)m_aPlayers.GetElementCount(); }
  CPlayer* GetPlayer(uint32_t i) const;

 private:
  void UpdatePosition(uint32_t i);
  void UpdateVelocity(uint32_t i);
  void UpdateOrientation(uint32_t i);
  void UpdateMode(uint32_t i);
  void UpdatePitch(uint32_t i);
  void UpdateAllPositions();
  void UpdateAllVelocities();
  void UpdateAllOrientations();
  void UpdateAllModes();
  void UpdateAllPitches();
  IAUDVector WorldPoint(const IAUDVector& offset, const IAUDVector& base);
  void BuildMatrix();
  // Whether the action has a condition whose variable carries a mark.
  bool IsTriggered(uint32_t action) const;
  bool Evaluate(uint32_t action);
  bool ConditionHolds(uint32_t scope, uint32_t var, uint32_t compare, uint32_t value) const;
  void RenderResults(uint32_t action);
  void RenderPlay(const CENTITYRESULT& r, bool transition);
  void RenderSetVariable(const CENTITYRESULT& r);
  void SetLocalVarStateChecked(uint32_t var, uint32_t state);

  CEntity* m_pPrev = nullptr;
  CEntity* m_pNext = nullptr;
  IAUDVector m_vPosition{0.0f, 0.0f, 0.0f};
  IAUDVector m_vVelocity{0.0f, 0.0f, 0.0f};
  IAUDVector m_vFront{0.0f, 0.0f, 1.0f};
  IAUDVector m_vTop{0.0f, 1.0f, 0.0f};
  float m_flElevation = 0.0f;
  float m_flAzimuth = 0.0f;
  float m_flRoll = 0.0f;
  float m_aflMatrix[3][3] = {};
  unsigned long m_dwMode = 0;
  float m_flPitch = 1.0f;
  float m_flRPCLevel = 0.0f;
  bool m_bActive = false;
  bool m_bSuspended = false;
  bool m_bRunning = false;
  TCArray<CENTITYINSTANCEPLAYER> m_aPlayers;
  TCArray<CENTITYINSTANCEVARIABLE> m_aVariables;
  int32_t m_nMasterPlayer = -1;
  CSoundEntity* m_pDefinition = nullptr;
  IAUDContentBank* m_pBank = nullptr;
  uint32_t m_dwNumLocalVars = 0;
  uint32_t m_dwNumGlobalVars = 0;
  uint8_t* m_pLocalMarks = nullptr;
  uint8_t* m_pGlobalMarks = nullptr;
  TCArray<ENTITYCONDRESULT> m_aEval;
};
