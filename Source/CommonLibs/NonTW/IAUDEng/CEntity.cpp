#include "NonTW/IAUDEng/CEntity.h"

#include <cstdlib>
#include <cstring>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/CSoundEntity.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDPlayerApi.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDString.h"

namespace soundentityinstance {

const uint32_t kAllVars = 0xFFFFFFFFu;

enum : uint32_t {
  kPlay = 0,
  kStop = 1,
  kTransition = 2,
  kPosition = 3,
  kVelocity = 4,
  kOrientation = 5,
  kMode = 6,
  kPitch = 7,
  kSetVariable = 8,
  kSyncLock = 9,
  kSyncUnlock = 10,
};

uint32_t Combine(uint32_t join, uint32_t v, uint32_t next) {
  if (join == 0) return v && next;
  if (join == 1) return v || next;
  return v;
}

float AsFloat(uint32_t bits) {
  float f;
  memcpy(&f, &bits, sizeof(f));
  return f;
}

// Folds entries first..last of the evaluation list from left to right into
// entry first, which takes the join and closes of entry last.
void FoldRange(TCArray<ENTITYCONDRESULT>& list, int32_t first, int32_t last) {
  ENTITYCONDRESULT* o = list.GetElementMember(first);
  uint32_t v = o->dwResult;
  for (int32_t k = first + 1; k <= last; ++k)
    v = Combine(list.GetElementMember(k - 1)->dwJoin, v, list.GetElementMember(k)->dwResult);
  const ENTITYCONDRESULT* c = list.GetElementMember(last);
  o->dwResult = v;
  o->dwJoin = c->dwJoin;
  o->dwCloses = c->dwCloses;
  for (int32_t k = last; k > first; --k) list.RemoveElement(k);
}

}  // namespace soundentityinstance

CEntity::CEntity(CSoundEntity* definition) : m_pDefinition(definition) {
  m_pBank = definition ? definition->GetContentBank() : nullptr;
  m_nMasterPlayer = definition ? definition->GetMasterPlayer() : -1;
  if (definition) {
    for (uint32_t v = 0; v < definition->GetNumLocalVars(); ++v) {
      const CENTITYVARIABLE* d = definition->GetLocalVar(v);
      CENTITYINSTANCEVARIABLE var{d->dwNumStates, d->dwInitialState, d->dwInitialState};
      m_aVariables.AddElement(&var);
    }
  }
  m_dwNumLocalVars = (uint32_t)m_aVariables.GetElementCount();
  m_dwNumGlobalVars = m_pBank ? m_pBank->GetNumGlobalVars() : 0;
  if (m_dwNumLocalVars) m_pLocalMarks = static_cast<uint8_t*>(calloc(m_dwNumLocalVars, 1));
  if (m_dwNumGlobalVars) m_pGlobalMarks = static_cast<uint8_t*>(calloc(m_dwNumGlobalVars, 1));
  if (!m_pLocalMarks) m_dwNumLocalVars = 0;
  if (!m_pGlobalMarks) m_dwNumGlobalVars = 0;
  for (uint32_t p = 0; definition && p < definition->GetNumPlayers(); ++p) {
    CPlayer* player = nullptr;
    if (apiCreateAudioPlayer(&player) != kIAUD_OK) break;
    player->SetEntityOwner(this);
    uint32_t rpc = definition->GetPlayer(p)->dwRPCIndex;
    CRPController* controller = m_pBank ? m_pBank->GetRPController(rpc) : nullptr;
    if (controller) player->AttachRPC(controller, 0.0f);
    CENTITYINSTANCEPLAYER entry{player,
                                controller ? (int32_t)rpc : -1,
                                {0.0f, 0.0f, 0.0f},
                                {0.0f, 0.0f, 0.0f},
                                {0.0f, 0.0f, 1.0f},
                                {0.0f, 1.0f, 0.0f},
                                0.0f,
                                0.0f,
                                0.0f,
                                0,
                                1.0f};
    if (m_aPlayers.AddElement(&entry) < 0) {
      apiDestroyAudioPlayer(player);
      break;
    }
  }
  BuildMatrix();
  if (m_pBank) {
    m_pNext = m_pBank->GetFirstEntity();
    if (m_pNext) m_pNext->m_pPrev = this;
    m_pBank->SetFirstEntity(this);
  }
}

CEntity::~CEntity() {
  ActivateEntity(false);
  // Players made while the runtime was closed are in no list: the instance
  // alone owns them.
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) {
    CPlayer* p = m_aPlayers.GetElementMember((int32_t)i)->pPlayer;
    if (apiDestroyAudioPlayer(p) != kIAUD_OK) delete p;
  }
  m_aPlayers.RemoveAllElements();
  m_aVariables.RemoveAllElements();
  if (m_pBank && m_pBank->GetFirstEntity() == this) m_pBank->SetFirstEntity(m_pNext);
  if (m_pPrev) m_pPrev->m_pNext = m_pNext;
  if (m_pNext) m_pNext->m_pPrev = m_pPrev;
  m_pPrev = m_pNext = nullptr;
  free(m_pLocalMarks);
  free(m_pGlobalMarks);
}

CPlayer* CEntity::GetPlayer(uint32_t i) const {
  const CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
  return p ? p->pPlayer : nullptr;
}

bool CEntity::IsValidEntity(const CEntity* entity) const {
  if (!entity || !m_pBank) return false;
  for (const CEntity* e = m_pBank->GetFirstEntity(); e; e = e->m_pNext)
    if (e == entity) return true;
  return false;
}

int32_t CEntity::GetGroupIndex() const { return m_pDefinition ? m_pDefinition->GetGroupIndex() : -1; }

// ---------------------------------------------------------------- activation

void CEntity::ActivateEntity(bool active) {
  if (active == m_bActive) return;
  m_bActive = active;
  if (active) {
    m_bSuspended = false;
    if (m_nMasterPlayer != -1) {
      if (CPlayer* master = GetPlayer((uint32_t)m_nMasterPlayer)) apiSetMasterAudioPlayer(master);
    }
    if (m_pLocalMarks) memset(m_pLocalMarks, 1, m_dwNumLocalVars);
    MarkAllGlobalVars();
    RunStateMachine();
    ClearVarRefArrays();
    return;
  }
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) {
    CPlayer* p = GetPlayer(i);
    if (m_papiResourceManager && IAUDResourceManager::m_pMasterPlayer == p) apiSetMasterAudioPlayer(nullptr);
    apiStopAudioPlayer(p);
  }
}

void CEntity::ProcessEntity() {
  m_bSuspended = false;
  RunStateMachine();
  ClearVarRefArrays();
}

void CEntity::ClearVarRefArrays() {
  if (m_pLocalMarks) memset(m_pLocalMarks, 0, m_dwNumLocalVars);
  if (m_pGlobalMarks) memset(m_pGlobalMarks, 0, m_dwNumGlobalVars);
}

void CEntity::MarkGlobalVar(uint32_t var) {
  if (var < m_dwNumGlobalVars) m_pGlobalMarks[var] = 1;
}

void CEntity::MarkAllGlobalVars() {
  if (m_pGlobalMarks) memset(m_pGlobalMarks, 1, m_dwNumGlobalVars);
}

void CEntity::ResetEntityLocalVars() {
  for (uint32_t v = 0; v < m_dwNumLocalVars; ++v) {
    CENTITYINSTANCEVARIABLE* var = m_aVariables.GetElementMember((int32_t)v);
    var->dwCurrentState = var->dwInitialState;
    m_pLocalMarks[v] = 1;
  }
  RunStateMachine();
  if (!m_bSuspended) ClearVarRefArrays();
}

// ---------------------------------------------------------------- local variables

bool CEntity::SetLocalVarState(uint32_t var, uint32_t state) {
  if (var >= m_dwNumLocalVars) return false;
  if (state >= m_aVariables.GetElementMember((int32_t)var)->dwNumStates) return false;
  SetLocalVarStateChecked(var, state);
  return true;
}

bool CEntity::SetLocalVarState(const uint16_t* var, const uint16_t* state) {
  uint32_t v = 0, s = 0;
  if (!m_pDefinition || !m_pDefinition->GetCLocalVarIndex(var, &v) || !m_pDefinition->GetCLocalStateIndex(v, state, &s))
    return false;
  if (v >= m_dwNumLocalVars) return false;
  SetLocalVarStateChecked(v, s);
  return true;
}

void CEntity::SetLocalVarStateChecked(uint32_t var, uint32_t state) {
  CENTITYINSTANCEVARIABLE* v = m_aVariables.GetElementMember((int32_t)var);
  if (state == v->dwCurrentState) return;
  m_pLocalMarks[var] = 1;
  v->dwCurrentState = state;
  RunStateMachine();
  if (!m_bSuspended) ClearVarRefArrays();
}

int32_t CEntity::GetLocalVarState(uint32_t var) const {
  if (var >= m_dwNumLocalVars) return -1;
  return (int32_t)m_aVariables.GetElementMember((int32_t)var)->dwCurrentState;
}

int32_t CEntity::GetLocalVarState(const uint16_t* var) const {
  uint32_t v = 0;
  if (!m_pDefinition || !m_pDefinition->GetCLocalVarIndex(var, &v)) return -1;
  return GetLocalVarState(v);
}

int32_t CEntity::GetNumLocalVarStates(uint32_t var) const {
  if (var >= m_dwNumLocalVars) return -1;
  return (int32_t)m_aVariables.GetElementMember((int32_t)var)->dwNumStates;
}

uint16_t* CEntity::GetLocalVarName(uint32_t var, uint16_t* buffer, int32_t length) const {
  if (!buffer || !m_pDefinition || var >= m_pDefinition->GetNumLocalVars()) return nullptr;
  IAUDCopyNumString(buffer, m_pDefinition->GetLocalVar(var)->wszName, length);
  return buffer;
}

uint16_t* CEntity::GetLocalVarStateName(uint32_t var, uint32_t state, uint16_t* buffer, int32_t length) const {
  if (!buffer || !m_pDefinition || var >= m_pDefinition->GetNumLocalVars()) return nullptr;
  const CENTITYVARIABLE* v = m_pDefinition->GetLocalVar(var);
  if (state >= v->dwNumStates) return nullptr;
  IAUDCopyNumString(buffer, v->ppStateNames[state], length);
  return buffer;
}

// ---------------------------------------------------------------- state machine

bool CEntity::IsTriggered(uint32_t action) const {
  const CENTITYACTION* a = m_pDefinition->GetAction(action);
  for (uint32_t c = 0; c < a->dwNumConditions; ++c) {
    const CENTITYCONDITION& k = a->pConditions[c];
    if (k.dwScope == 0) {
      if (k.dwVariable < m_dwNumLocalVars && m_pLocalMarks[k.dwVariable]) return true;
    } else if (k.dwVariable < m_dwNumGlobalVars && m_pGlobalMarks[k.dwVariable]) {
      return true;
    }
  }
  return false;
}

// A condition naming no variable is false.
bool CEntity::ConditionHolds(uint32_t scope, uint32_t var, uint32_t compare, uint32_t value) const {
  uint32_t s;
  if (scope == 0) {
    if (var >= m_dwNumLocalVars) return false;
    s = m_aVariables.GetElementMember((int32_t)var)->dwCurrentState;
  } else {
    if (!m_pBank || var >= m_pBank->GetNumGlobalVars()) return false;
    s = (uint32_t)m_pBank->GetGlobalVarState(var);
  }
  switch (compare) {
    case 0: return s > value;
    case 1: return s >= value;
    case 2: return s < value;
    case 3: return s <= value;
    case 4: return s == value;
    case 5: return s != value;
    default: return false;
  }
}

// Joins apply from left to right without precedence; parentheses fold
// innermost-last first. An opening without a closing after it closes at
// the end of the list.
bool CEntity::Evaluate(uint32_t action) {
  using soundentityinstance::FoldRange;
  const CENTITYACTION* a = m_pDefinition->GetAction(action);
  m_aEval.RemoveAllElements();
  uint64_t pending = 0;
  for (uint32_t c = 0; c < a->dwNumConditions; ++c) {
    const CENTITYCONDITION& k = a->pConditions[c];
    ENTITYCONDRESULT e{k.dwOpens, ConditionHolds(k.dwScope, k.dwVariable, k.dwCompare, k.dwValue) ? 1u : 0u,
                       k.dwCloses, k.dwJoin};
    if (m_aEval.AddElement(&e) < 0) return false;
    pending += k.dwOpens;
  }
  while (pending > 0) {
    int32_t n = m_aEval.GetElementCount();
    int32_t o = n - 1;
    while (o >= 0 && m_aEval.GetElementMember(o)->dwOpens == 0) --o;
    if (o < 0) break;
    int32_t c = o;
    while (c < n && m_aEval.GetElementMember(c)->dwCloses == 0) ++c;
    if (c == n) c = n - 1;
    ENTITYCONDRESULT* first = m_aEval.GetElementMember(o);
    if (o == c) {
      // A pair around one entry changes nothing: drop as many as match at once.
      uint64_t k = first->dwCloses ? (first->dwOpens < first->dwCloses ? first->dwOpens : first->dwCloses)
                                   : first->dwOpens;
      if (k > pending) k = pending;
      first->dwOpens -= (uint32_t)k;
      first->dwCloses -= first->dwCloses ? (uint32_t)k : 0;
      pending -= k;
      continue;
    }
    uint32_t opens = first->dwOpens - 1;
    FoldRange(m_aEval, o, c);
    first = m_aEval.GetElementMember(o);
    first->dwOpens = opens;
    if (first->dwCloses) --first->dwCloses;
    --pending;
  }
  int32_t n = m_aEval.GetElementCount();
  if (n == 0) return false;
  FoldRange(m_aEval, 0, n - 1);
  bool result = m_aEval.GetElementMember(0)->dwResult != 0;
  m_aEval.RemoveAllElements();
  return result;
}

void CEntity::RunStateMachine() {
  if (!m_bActive || m_bSuspended || m_bRunning || !m_pDefinition) return;
  m_bRunning = true;
  for (uint32_t a = 0; a < m_pDefinition->GetNumActions(); ++a) {
    if (!IsTriggered(a)) continue;
    if (Evaluate(a)) RenderResults(a);
    m_aEval.RemoveAllElements();
  }
  m_bRunning = false;
}

void CEntity::RenderResults(uint32_t action) {
  using namespace soundentityinstance;
  const CENTITYACTION* a = m_pDefinition->GetAction(action);
  for (uint32_t i = 0; i < a->dwNumResults; ++i) {
    const CENTITYRESULT& r = a->pResults[i];
    if (r.dwType == kSetVariable) {
      RenderSetVariable(r);
      continue;
    }
    if (r.dwType == kSyncLock) {
      apiPlayerSyncLock();
      continue;
    }
    if (r.dwType == kSyncUnlock) {
      apiPlayerSyncUnlock();
      continue;
    }
    // A player index naming no player does nothing.
    CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)r.dwPlayer);
    if (r.dwPlayer >= GetNumPlayers() || !p) continue;
    switch (r.dwType) {
      case kPlay:
        RenderPlay(r, false);
        break;
      case kStop:
        apiStopAudioPlayer(p->pPlayer);
        break;
      case kTransition:
        RenderPlay(r, true);
        break;
      case kPosition:
        p->vPosition = IAUDVector{AsFloat(r.dwValue[0]), AsFloat(r.dwValue[1]), AsFloat(r.dwValue[2])};
        UpdatePosition(r.dwPlayer);
        break;
      case kVelocity:
        p->vVelocity = IAUDVector{AsFloat(r.dwValue[0]), AsFloat(r.dwValue[1]), AsFloat(r.dwValue[2])};
        UpdateVelocity(r.dwPlayer);
        break;
      case kOrientation:
        p->flAzimuth = (float)(int32_t)r.dwValue[0];
        p->flElevation = (float)(int32_t)r.dwValue[1];
        p->flRoll = (float)(int32_t)r.dwValue[2];
        IAUDcreateorientation(p->flElevation, p->flAzimuth, p->flRoll, p->vFront, p->vTop);
        UpdateOrientation(r.dwPlayer);
        break;
      case kMode:
        p->dwMode = r.dwValue[0];
        UpdateMode(r.dwPlayer);
        break;
      case kPitch:
        p->flPitch = AsFloat(r.dwValue[0]);
        UpdatePitch(r.dwPlayer);
        break;
      default:
        break;
    }
  }
}

void CEntity::RenderPlay(const CENTITYRESULT& r, bool transition) {
  CPlayer* player = GetPlayer(r.dwPlayer);
  uint32_t tag = r.dwValue[0];
  int32_t index = (int32_t)r.dwValue[1];
  uint32_t markerIndex = r.dwValue[2];
  int32_t loops = (int32_t)r.dwValue[3];
  if (!player || !m_pBank || index < 0) return;
  const bool effect = tag == IAUDFourCC("gbef");
  IAUDContentObject* content = nullptr;
  if (tag == IAUDFourCC("samp") || tag == IAUDFourCC("bfob"))
    content = reinterpret_cast<IAUDContentObject*>(IAUDResourceManager::GetSample((uint32_t)index));
  else
    content = m_pBank->GetPlayableContent(tag, (uint32_t)index);
  if (effect && !transition) {
    apiAttachPlayerPrimaryContent(player, content);
    apiPlayAudioPlayer(player, 0, nullptr);
    return;
  }
  if (!content) return;
  IAUDContentMarker* marker = nullptr;
  if (!effect && content->GetNumMarkers() > 0 && markerIndex < (uint32_t)content->GetNumMarkers())
    marker = content->GetMarkerByIndex((int32_t)markerIndex);
  SPlayerStatus status{};
  apiGetAudioPlayerStatus(player, &status);
  if (!transition) {
    if (status.pPrimaryContent == content) {
      if (status.pPrimaryMarker == marker && status.nStatus == CPlayer::kPlaying) return;
    } else {
      apiAttachPlayerPrimaryContent(player, content);
    }
    apiPlayAudioPlayer(player, loops, marker);
    return;
  }
  CTransition* t = m_pBank->GetTransition(r.dwValue[4]);
  if (!t) return;
  STransition record;
  t->GetTransition(&record);
  switch (status.nStatus) {
    case 0:
      apiReleasePlayerPrimaryContent(player);
      break;
    case 1:
    case 3:
      if (status.pPrimaryContent == content && status.pPrimaryMarker == marker) return;
      break;
    case 4:
    case 5:
      if (status.pTransitionContent == content && status.pTransitionMarker == marker) return;
      break;
    default:
      return;
  }
  apiAttachPlayerTransitionContent(player, content);
  apiTransitionAudioPlayer(player, &record, loops, marker);
}

// Marks are set whether the state changes or not; a variable index naming
// no variable does nothing.
void CEntity::RenderSetVariable(const CENTITYRESULT& r) {
  uint32_t scope = r.dwValue[0], var = r.dwValue[1], state = r.dwValue[2];
  if (scope == 0) {
    if (var >= m_dwNumLocalVars) return;
    m_aVariables.GetElementMember((int32_t)var)->dwCurrentState = state;
    m_pLocalMarks[var] = 1;
  } else if (scope == 1 && m_pBank) {
    m_pBank->SetGlobalVarStateFromEntity(var, state, this);
  }
}

// ---------------------------------------------------------------- placement

void CEntity::BuildMatrix() { IAUDcreatematrix(m_vFront, m_vTop, m_aflMatrix); }

IAUDVector CEntity::WorldPoint(const IAUDVector& offset, const IAUDVector& base) {
  IAUDVector v = offset;
  IAUDmatrixvector(v, m_aflMatrix);
  return IAUDVector{v.x + base.x, v.y + base.y, v.z + base.z};
}

void CEntity::UpdatePosition(uint32_t i) {
  CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
  IAUDVector world = WorldPoint(p->vPosition, m_vPosition);
  apiSetAudioPlayerPosition(p->pPlayer, world);
}

void CEntity::UpdateVelocity(uint32_t i) {
  CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
  IAUDVector world = WorldPoint(p->vVelocity, m_vVelocity);
  apiSetAudioPlayerVelocity(p->pPlayer, world);
}

void CEntity::UpdateOrientation(uint32_t i) {
  CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
  IAUDVector position = WorldPoint(p->vPosition, m_vPosition);
  IAUDVector velocity = WorldPoint(p->vVelocity, m_vVelocity);
  IAUDVector front = p->vFront, top = p->vTop;
  IAUDmatrixvector(front, m_aflMatrix);
  IAUDmatrixvector(top, m_aflMatrix);
  apiSetAudioPlayerPosition(p->pPlayer, position);
  apiSetAudioPlayerVelocity(p->pPlayer, velocity);
  apiSetAudioPlayerOrientation(p->pPlayer, front, top);
}

void CEntity::UpdateMode(uint32_t i) {
  CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
  apiSetAudioPlayerMode(p->pPlayer, (uint32_t)(m_dwMode | p->dwMode));
}

void CEntity::UpdatePitch(uint32_t i) {
  CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
  apiSetAudioPlayerPitch(p->pPlayer, p->flPitch * m_flPitch);
}

void CEntity::UpdateAllPositions() {
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) UpdatePosition(i);
}
void CEntity::UpdateAllVelocities() {
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) UpdateVelocity(i);
}
void CEntity::UpdateAllOrientations() {
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) UpdateOrientation(i);
}
void CEntity::UpdateAllModes() {
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) UpdateMode(i);
}
void CEntity::UpdateAllPitches() {
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) UpdatePitch(i);
}

void CEntity::SetPosition(IAUDVector& position) {
  m_vPosition = IAUDVector{position.x * g_flDistanceFactor, position.y * g_flDistanceFactor,
                           position.z * g_flDistanceFactor};
  UpdateAllPositions();
}

void CEntity::GetPosition(IAUDVector* out) const {
  if (!out) return;
  *out = IAUDVector{m_vPosition.x / g_flDistanceFactor, m_vPosition.y / g_flDistanceFactor,
                    m_vPosition.z / g_flDistanceFactor};
}

void CEntity::SetVelocity(IAUDVector& velocity) {
  m_vVelocity = IAUDVector{velocity.x * g_flDistanceFactor, velocity.y * g_flDistanceFactor,
                           velocity.z * g_flDistanceFactor};
  UpdateAllVelocities();
}

void CEntity::GetVelocity(IAUDVector* out) const {
  if (!out) return;
  *out = IAUDVector{m_vVelocity.x / g_flDistanceFactor, m_vVelocity.y / g_flDistanceFactor,
                    m_vVelocity.z / g_flDistanceFactor};
}

void CEntity::SetOrientation(IAUDVector& front, IAUDVector& top) {
  m_vFront = front;
  m_vTop = top;
  BuildMatrix();
  UpdateAllOrientations();
}

void CEntity::SetOrientation(float azimuth, float elevation, float roll) {
  m_flAzimuth = azimuth;
  m_flElevation = elevation;
  m_flRoll = roll;
  IAUDcreateorientation(elevation, azimuth, roll, m_vFront, m_vTop);
  BuildMatrix();
  UpdateAllOrientations();
}

void CEntity::GetOrientation(IAUDVector* front, IAUDVector* top) const {
  if (front) *front = m_vFront;
  if (top) *top = m_vTop;
}

void CEntity::GetOrientation(float* azimuth, float* elevation, float* roll) const {
  if (azimuth) *azimuth = m_flAzimuth;
  if (elevation) *elevation = m_flElevation;
  if (roll) *roll = m_flRoll;
}

void CEntity::SetMode(unsigned long mode) {
  m_dwMode = mode;
  UpdateAllModes();
}

void CEntity::SetPitch(float pitch) {
  m_flPitch = pitch;
  UpdateAllPitches();
}

// ---------------------------------------------------------------- levels and EAX

void CEntity::SetRPCLevel(const uint16_t* name, float level) {
  if (!name) {
    m_flRPCLevel = level;
    for (uint32_t i = 0; i < GetNumPlayers(); ++i) {
      const CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
      if (p->nRPCIndex != -1) apiSetAudioPlayerRPCLevel(p->pPlayer, level);
    }
    return;
  }
  uint32_t type = 0, index = 0;
  if (!m_pBank || !m_pBank->FindContentObjectByName(name, &type, &index) || type != IAUDFourCC("rpc ")) return;
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) {
    const CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
    if (p->nRPCIndex == (int32_t)index) apiSetAudioPlayerRPCLevel(p->pPlayer, level);
  }
}

bool CEntity::GetRPCLevel(const uint16_t* name, float* out) const {
  if (!out) return false;
  if (!name) {
    *out = m_flRPCLevel;
    return true;
  }
  uint32_t type = 0, index = 0;
  if (!m_pBank || !m_pBank->FindContentObjectByName(name, &type, &index) || type != IAUDFourCC("rpc ")) return false;
  for (uint32_t i = 0; i < GetNumPlayers(); ++i) {
    const CENTITYINSTANCEPLAYER* p = m_aPlayers.GetElementMember((int32_t)i);
    if (p->nRPCIndex == (int32_t)index) return apiGetAudioPlayerRPCLevel(p->pPlayer, out) == kIAUD_OK;
  }
  return false;
}

int32_t CEntity::SetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) {
  int32_t result = kIAUD_BAD_ARGUMENT;
  for (uint32_t i = 0; i < GetNumPlayers(); ++i)
    if (CPlayer* p = GetPlayer(i)) result = p->SetEAXProperty(propertySet, id, data, size);
  return result;
}

int32_t CEntity::GetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) {
  for (uint32_t i = 0; i < GetNumPlayers(); ++i)
    if (CPlayer* p = GetPlayer(i)) return p->GetEAXProperty(propertySet, id, data, size);
  return kIAUD_BAD_ARGUMENT;
}
