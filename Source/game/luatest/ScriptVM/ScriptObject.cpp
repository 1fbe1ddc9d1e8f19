// Script objects: creation, lookup, attachment to entities, state changes,
// two-step removal and soft references; and the natives that make object
// tables and set states.
#include "ScriptVM/ScriptObject.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "Lua/lstate.h"
#include "Game/GameApp.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptIds.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptThread.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

namespace {
EScriptIdTable& ScriptObjectIds() {
  static EScriptIdTable s_Ids(EScriptIdTable::kKIND_ScriptObject);
  return s_Ids;
}

const lua_Id kREMOVED_OBJECT_ID = 1;
}  // namespace

// ---------------------------------------------------------------------------
// EScriptObject

void* EScriptObject::operator new(size_t bytes) { return EScriptVM::HostAlloc(bytes); }
void EScriptObject::operator delete(void* p, size_t bytes) { EScriptVM::HostFree(p, bytes); }

EScriptObject::EScriptObject()
    : m_pEntity(nullptr), m_fLastRunTime(0.0f), m_uFlags(0), m_uStateMessagesSent(0), m_uDeletionState(kDELETE_Live),
      m_threadIndex(0), m_hObject(0), m_szName(nullptr), m_uScriptId(0) {
  m_uScriptId = ScriptObjectIds().Add(this);
  EASSERT(m_uScriptId != 0);
}

EScriptObject::~EScriptObject() {
  if (m_uDeletionState == kDELETE_Live) DelayedDelete();
  m_uDeletionState = kDELETE_Destroyed;
  FreeMessages();
  ScriptObjectIds().Remove(m_uScriptId);
  EScriptVM::HostFreeText(m_szName);
  m_szName = nullptr;
  EASSERT(m_threadIndex == 0);
}

EScriptObject* EScriptObject::FromScriptId(uint32_t id) {
  EScriptObject* pObject = static_cast<EScriptObject*>(ScriptObjectIds().Find(id));
  return (pObject && !pObject->IsDead()) ? pObject : nullptr;
}

void EScriptObject::SetName(const char* szName) {
  EScriptVM::HostFreeText(m_szName);
  m_szName = EScriptVM::HostCopyText(szName);
}

bool EScriptObject::PushTable(lua_State* L) const {
  if (m_hObject == 0) return false;
  int iTop = lua_gettop(L);
  if (!lua_getref(L, m_hObject)) return false;
  if (!lua_istable(L, -1)) {
    lua_settop(L, iTop);
    return false;
  }
  return true;
}

const char* EScriptObject::GetName() const {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !pVM->GetGlobalState()) return nullptr;
  lua_State* L = pVM->GetGlobalState();
  int iTop = lua_gettop(L);
  const char* szName = nullptr;
  if (PushTable(L)) {
    lua_pushstring(L, "Name");
    lua_gettable(L, -2);
    if (lua_isstring(L, -1)) szName = lua_tostring(L, -1);
  }
  lua_settop(L, iTop);
  return szName;
}

const void* EScriptObject::GetLuaObj() const {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !pVM->GetGlobalState()) return nullptr;
  lua_State* L = pVM->GetGlobalState();
  int iTop = lua_gettop(L);
  const void* p = PushTable(L) ? lua_topointer(L, -1) : nullptr;
  lua_settop(L, iTop);
  return p;
}

bool EScriptObject::IsA(const char* szClass) {
  bool bResult = false;
  if (!CallMethodf("IsA", "s/b", szClass, &bResult)) return false;
  return bResult;
}

const EEntity::EClassInfo* EScriptObject::GetEntityClass() const {
  const EEntity::EClassInfo* pClass = nullptr;
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  lua_State* L = pVM ? pVM->GetGlobalState() : nullptr;
  if (L) {
    const int iTop = lua_gettop(L);
    if (PushTable(L)) {
      lua_pushstring(L, "EntityType");
      lua_gettable(L, -2);
      const char* szName = DebugGetName() ? DebugGetName() : "";
      if (lua_type(L, -1) == LUA_TNUMBER) {
        const int iType = (int)lua_tonumber(L, -1);
        if (iType == EntityType_None) {
          lua_settop(L, iTop);
          return nullptr;
        }
        pClass = EEntity::EClassInfo::Lookup(iType);
        if (!pClass) g_ErrorManager.TraceMessagef(TT_Warning, "%s: Unknown entity type %d", szName, iType);
      } else if (lua_type(L, -1) == LUA_TSTRING) {
        const char* szType = lua_tostring(L, -1);
        pClass = EEntity::EClassInfo::Lookup(szType);
        if (!pClass) g_ErrorManager.TraceMessagef(TT_Warning, "%s: Unknown entity type %s", szName, szType);
      }
    }
    lua_settop(L, iTop);
  }
  return pClass ? pClass : EMeshEntity::StaticClass();
}

bool EScriptObject::AttachToEntity(EEntity* pEntity) {
  if (pEntity->GetScriptObject()) {
    g_ErrorManager.TraceMessagef(TT_None, "ERROR: Entity already has a script");
    return false;
  }
  if (m_pEntity) {
    g_ErrorManager.TraceMessagef(TT_None, "ERROR: Script already has an entity attached");
    return false;
  }
  pEntity->SetScriptObject(this);
  m_pEntity = pEntity;
  SetFlag(kFLAG_GoesWithLevel, false);
  return true;
}

bool EScriptObject::DetachFromEntity() {
  if (!m_pEntity) {
    g_ErrorManager.TraceMessagef(TT_None, "ERROR: Script does not have an entity to remove itself from");
    return false;
  }
  m_pEntity->SetScriptObject(nullptr);
  m_pEntity = nullptr;
  SetFlag(kFLAG_GoesWithLevel, true);
  return true;
}

EMeshEntity* EScriptObject::GetMeshEntity() const {
  return (m_pEntity && m_pEntity->IsMeshEntity()) ? static_cast<EMeshEntity*>(m_pEntity) : nullptr;
}

void EScriptObject::SetState(lua_State* L) {
  int n = lua_gettop(L);
  if (n == 0) lua_error(L, "ScriptVM: Wrong call to SetState. Usage: object:SetState(object.NewState);");
  int t2 = lua_type(L, 2);
  bool bNil = (t2 == LUA_TNIL || t2 == LUA_TNONE);
  if (!lua_istable(L, 1) || (!bNil && t2 != LUA_TFUNCTION))
    lua_error(L, "ScriptVM: Wrong args passed to SetState. Usage: object:SetState(object.NewState);");
  lua_pushvalue(L, 1);
  lua_pushstring(L, "CurrentState");
  if (bNil)
    lua_pushnil(L);
  else
    lua_pushvalue(L, 2);
  lua_settable(L, -3);
  lua_pop(L, 1);
  SetFlag(kFLAG_NoState, bNil);
  // A state function paused in a yield is dropped; the new state starts
  // from its beginning at the next turn.
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  EScriptThread* pThread = pVM ? pVM->GetThreadFromIndex(m_threadIndex) : nullptr;
  if (pThread && pThread->GetState() == EScriptThread::kThreadPaused) pVM->ReleaseObjectThread(this);
}

bool EScriptObject::HasFunction(const char* szName) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !pVM->GetGlobalState()) return false;
  lua_State* L = pVM->GetGlobalState();
  int iTop = lua_gettop(L);
  bool bResult = false;
  if (PushTable(L)) {
    lua_pushstring(L, szName);
    lua_gettable(L, -2);
    bResult = lua_isfunction(L, -1);
  }
  lua_settop(L, iTop);
  return bResult;
}

bool EScriptObject::CanHandleMessage(const char* szMessage) {
  char szName[300];
  snprintf(szName, sizeof(szName), "on%s", szMessage ? szMessage : "");
  return HasFunction(szName);
}

void EScriptObject::DelayedDelete() {
  if (m_hObject != 0) {
    EScriptVM* pVM = EScriptVM::m_spScriptVM;
    if (pVM && pVM->GetGlobalState()) lua_unref(pVM->GetGlobalState(), m_hObject);
    m_hObject = 0;
  }
  m_uDeletionState = kDELETE_Released;
}

void EScriptObject::CleanupReferences() {
  if (m_pEntity && m_pEntity->IsDead()) m_pEntity = nullptr;
  for (POSITION pos = m_MessageQueue.GetHeadPosition(); pos;) m_MessageQueue.GetNext(pos)->CleanupReferences();
}

void EScriptObject::DebugAppendClassPath(EString& sPath) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  EString sClassPath;
  if (pVM && pVM->GetGlobalState()) {
    lua_State* L = pVM->GetGlobalState();
    int iTop = lua_gettop(L);
    if (PushTable(L)) {
      // Collect the ancestors' own Types, then write them root first.
      EArray<EString> aTypes(kMEMTYPE_ScriptVM);
      for (int iDepth = 0; iDepth < 256; ++iDepth) {
        lua_pushstring(L, "Parent");
        lua_rawget(L, -2);
        lua_remove(L, -2);
        if (!lua_istable(L, -1)) break;
        lua_pushstring(L, "Type");
        lua_rawget(L, -2);
        if (lua_isstring(L, -1)) aTypes.AddData(EString(lua_tostring(L, -1)));
        lua_pop(L, 1);
      }
      for (int i = aTypes.Num() - 1; i >= 0; --i) {
        sClassPath += ":";
        sClassPath += aTypes[i];
      }
    }
    lua_settop(L, iTop);
  }
  EASSERT(sClassPath.Length() > 0);
  sPath += sClassPath;
}

// ---------------------------------------------------------------------------
// Soft references

void EScriptObjectSoftReference::Release() {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (m_iRef != -1 && pVM && pVM->GetGlobalState()) lua_unref(pVM->GetGlobalState(), m_iRef);
  m_iRef = -1;
}

EScriptObject* EScriptObjectSoftReference::Find(const char* szName) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !pVM->GetGlobalState()) return nullptr;
  lua_State* L = pVM->GetGlobalState();
  int iTop = lua_gettop(L);
  if (m_iRef != -1 && lua_getref(L, m_iRef) && lua_istable(L, -1)) {
    lua_pushstring(L, "m_pScriptObject");
    lua_rawget(L, -2);
    if (lua_type(L, -1) == LUA_TNUMBER && lua_toid(L, -1) != kREMOVED_OBJECT_ID) {
      EScriptObject* pObject = EScriptObject::FromScriptId(lua_toid(L, -1));
      if (pObject) {
        lua_settop(L, iTop);
        return pObject;
      }
    }
  }
  lua_settop(L, iTop);
  Release();
  EScriptObject* pObject = pVM->FindScriptByName(szName);
  if (pObject && pObject->PushTable(L)) m_iRef = lua_ref(L, 0);
  lua_settop(L, iTop);
  return pObject;
}

// ---------------------------------------------------------------------------
// Creation, lookup and removal (members of the host)

EScriptObject* EScriptVM::CreateScriptObject(const char* szClass, const char* szName, EEntity* pEntity,
                                             const char* szInit, bool, bool bProtected, bool bGoesWithLevel,
                                             bool bSendSpawn) {
  lua_State* L = m_pGlobalState;
  char szUnique[255];
  snprintf(szUnique, sizeof(szUnique), "%s", szName ? szName : "");
  EScriptObject* pExisting = FindScriptByName(szUnique);
  if (pExisting && !pExisting->IsBeingRemoved()) {
    for (int i = 1;; ++i) {
      snprintf(szUnique, sizeof(szUnique), "__Dupe_%s__%i", szName, i);
      if (!FindScriptByName(szUnique)) break;
    }
    g_ErrorManager.TraceMessagef(TT_Warning, "A Script called '%s' has already been created. Renaming to '%s'", szName,
                                 szUnique);
    Lua_DoCallStackDump(L, 0, 0);
  }

  int iBase = GetBaseClass(szClass, "CreateScriptObject", false);
  if (iBase == 0) return nullptr;

  int iTop = lua_gettop(L);
  EScriptObject* pObject = new EScriptObject();
  pObject->SetName(szUnique);
  if (bProtected) pObject->m_uFlags |= EScriptObject::kFLAG_Protected;
  if (bGoesWithLevel && !pEntity) pObject->m_uFlags |= EScriptObject::kFLAG_GoesWithLevel;

  lua_newtable(L);
  lua_settag(L, gLuaInheritTag);
  int iTable = lua_gettop(L);
  lua_pushstring(L, "Parent");
  lua_getref(L, iBase);
  lua_rawset(L, iTable);
  lua_pushstring(L, "Name");
  lua_pushstring(L, szUnique);
  lua_rawset(L, iTable);
  lua_pushstring(L, "m_pScriptObject");
  lua_pushid(L, pObject->GetScriptId());
  lua_rawset(L, iTable);

  // Errors while the new object sets itself up belong to it, not to the
  // object whose script asked for it.
  EScriptObject* pRunning = L->scriptObject;
  EScriptThread* pRunningThread = L->scriptThread;
  L->scriptObject = nullptr;
  bool bOk = true;
  if (szInit && szInit[0]) {
    lua_getglobal(L, "self");
    int iSavedSelf = lua_gettop(L);
    lua_pushvalue(L, iTable);
    lua_setglobal(L, "self");
    int iResult = lua_dostring(L, szInit);
    if (iResult != 0) {
      bOk = false;
      if (!m_iSuppressWarnings)
        g_ErrorManager.TraceMessagef(TT_None, "Lua Error %d when initializing %s with:\n%s\n", iResult, szUnique, szInit);
    }
    lua_pushvalue(L, iSavedSelf);
    lua_setglobal(L, "self");
    lua_settop(L, iTable);
  }
  if (bOk) {
    lua_pushstring(L, "setState");
    lua_gettable(L, iTable);
    lua_pushvalue(L, iTable);
    lua_pushstring(L, "initialState");
    lua_gettable(L, iTable);
    if (lua_call(L, 2, 0) != 0) {
      bOk = false;
      if (!m_iSuppressWarnings) g_ErrorManager.TraceMessagef(TT_Warning, "Error in %s setState", szClass);
    }
    lua_settop(L, iTable);
  }
  L->scriptObject = pRunning;
  L->scriptThread = pRunningThread;
  if (!bOk) {
    // A half-made object is not kept.
    lua_pushstring(L, "m_pScriptObject");
    lua_pushid(L, kREMOVED_OBJECT_ID);
    lua_rawset(L, iTable);
    lua_settop(L, iTop);
    if (pObject->m_threadIndex) ReleaseObjectThread(pObject);
    delete pObject;
    return nullptr;
  }

  lua_pushvalue(L, iTable);
  pObject->m_hObject = lua_ref(L, 1);
  EASSERT(pObject->m_hObject > 0);
  pObject->m_pEntity = pEntity;
  if (bSendSpawn) pObject->SendStateMessage(kSSM_Spawn);

  m_ScriptList.AddTail(pObject);
  lua_getglobal(L, "gLSO");
  if (lua_istable(L, -1)) {
    lua_pushstring(L, szUnique);
    lua_pushvalue(L, iTable);
    lua_rawset(L, -3);
  }
  lua_settop(L, iTop);
  return pObject;
}

EScriptObject* EScriptVM::CreateScriptObject1(const char* szClass, const char* szName, unsigned uSwitches,
                                              const char* szInit, EEntity* pEntity) {
  return CreateScriptObject(szClass, szName, pEntity, szInit, false, (uSwitches & 0x02) != 0,
                            (uSwitches & 0x04) == 0, (uSwitches & 0x08) == 0);
}

EScriptObject* EScriptVM::FindScriptByName(const char* szName) {
  if (!szName || !m_pGlobalState) return nullptr;
  if (g_bUseFastLookup) {
    lua_State* L = m_pGlobalState;
    int iTop = lua_gettop(L);
    EScriptObject* pObject = nullptr;
    lua_getglobal(L, "gLSO");
    if (lua_istable(L, -1)) {
      lua_pushstring(L, szName);
      lua_rawget(L, -2);
      pObject = Lua_LSOToScriptObject(L, LuaArg(-1), true, true);
    }
    lua_settop(L, iTop);
    return pObject;
  }
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    const char* szObjectName = pObject->GetName();
    if (szObjectName && strcmp(szObjectName, szName) == 0) return pObject;
  }
  return nullptr;
}

EScriptObject* EScriptVM::FindScriptByLuaPtr(const void* pTable) {
  if (!pTable) return nullptr;
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    if (pObject->GetLuaObj() == pTable) return pObject;
  }
  return nullptr;
}

void EScriptVM::DelayedRemoveScript(EScriptObject* pObject) {
  const char* szName = pObject->DebugGetName() ? pObject->DebugGetName() : "";
  if (pObject->IsBeingRemoved()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Double DelayedRemoveScript of %s", szName);
    return;
  }
  lua_State* L = m_pGlobalState;
  int iTop = lua_gettop(L);
  lua_getglobal(L, "gLSO");
  if (lua_istable(L, -1)) {
    lua_pushstring(L, szName);
    lua_pushnil(L);
    lua_rawset(L, -3);
  }
  lua_settop(L, iTop);
  pObject->m_uFlags |= EScriptObject::kFLAG_BeingRemoved;
}

void EScriptVM::RemoveScript(EScriptObject* pObject, bool bDeleteEntity) {
  if (!pObject->IsBeingRemoved()) DelayedRemoveScript(pObject);
  if (pObject->IsDead()) EERRORF("Re-killing a dead script: %s", pObject->DebugGetName() ? pObject->DebugGetName() : "");
  POSITION ScriptPos = m_ScriptList.Find(pObject);
  EASSERT(ScriptPos);
  if (ScriptPos == m_PassCur) m_PassCur = nullptr;
  if (ScriptPos == m_PassPrev) m_PassPrev = ScriptPos->pPrev;
  m_ScriptList.RemoveAt(ScriptPos);

  if (!(pObject->m_uStateMessagesSent & (1u << kSSM_Destroyed))) {
    pObject->m_uStateMessagesSent |= (uint8_t)(1u << kSSM_Destroyed);
    if (gGameApp && gGameApp->LevelUnloading())
      pObject->SendMessagef(sScriptStateMessage[kSSM_Destroyed], nullptr, kMESSAGE_Immediate, "i", 1);
    else
      pObject->SendMessagef(sScriptStateMessage[kSSM_Destroyed], nullptr, kMESSAGE_Immediate, nullptr);
  }

  lua_State* L = m_pGlobalState;
  int iTop = lua_gettop(L);
  if (pObject->PushTable(L)) {
    lua_pushstring(L, "m_pScriptObject");
    lua_pushid(L, kREMOVED_OBJECT_ID);
    lua_rawset(L, -3);
  }
  lua_settop(L, iTop);

  if (EEntity* pEntity = pObject->m_pEntity) {
    pEntity->DetachScript();
    pObject->m_pEntity = nullptr;
    if (bDeleteEntity && !pEntity->IsDead()) {
      if (gGameApp)
        gGameApp->DelayedDelete(pEntity);
      else
        pEntity->InternalDelayedDelete();
    }
  }
  ReleaseObjectThread(pObject);

  // Queued with the application's deletions at the end of the frame; the
  // table goes at once.
  EASSERT(gGameApp);
  gGameApp->DelayedDelete(pObject);
}

void EScriptVM::ProcessRemovals() {
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    if (pObject->IsBeingRemoved() && !pObject->IsDead()) RemoveScript(pObject, true);
  }
}

void EScriptVM::DestroyDeletedScriptObjects() {
  if (gGameApp) gGameApp->CleanupDestroyedEntities(false);
}

int EScriptVM::GetNumPendingDeletes() const { return gGameApp ? gGameApp->m_aDelayedDeleteScriptObjects.Num() : 0; }

void EScriptVM::RegisterCutscene(EScriptObject* pObject) { m_CutsceneList.AddTail(pObject); }

bool EScriptVM::CutsceneOverride() {
  if (m_CutsceneList.IsEmpty()) return true;
  EScriptObject* pLast = m_CutsceneList.GetTail();
  pLast->SendMessagef("CutsceneOverride", pLast, kMESSAGE_Queued, "s", (const char*)nullptr);
  return true;
}

bool EScriptVM::UnregisterCutscene(EScriptObject* pObject) {
  POSITION pos = m_CutsceneList.Find(pObject);
  if (!pos) return false;
  m_CutsceneList.RemoveAt(pos);
  return true;
}

void EScriptVM::DebugListAllScripts(EString& sText) {
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    sText += pObject->DebugGetName() ? pObject->DebugGetName() : "";
    sText += "\x01";
    pObject->DebugAppendClassPath(sText);
    sText += "\n";
  }
}

void EScriptVM::DebugDumpDupeLSOs() {
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    const char* szName = pObject->GetName();
    if (!szName) continue;
    EString sName(szName);
    int iCount = 0;
    POSITION pos2 = pos;
    while (pos2) {
      const char* szOther = m_ScriptList.GetNext(pos2)->GetName();
      if (szOther && strcmp(szOther, *sName) == 0) ++iCount;
    }
    if (iCount) g_ErrorManager.TraceMessagef(TT_None, "Dupe '%s' %i times", *sName, iCount);
  }
}

// ---------------------------------------------------------------------------
// Natives that make object tables and change states.

LUA_NATIVE(CreateObject) {
  int n = lua_gettop(L);
  if (n != 1 && n != 2)
    g_ErrorManager.TraceMessagef(TT_None, "Incorrect args to CreateObject\nShould be:\nCreateObject(BaseClass)");
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM) return 0;
  lua_newtable(L);
  int iTable = lua_gettop(L);
  char szType[4096];
  snprintf(szType, sizeof(szType), "%s", pVM->GetLastClassType());
  int t = lua_type(L, 1);
  if (t == LUA_TSTRING || t == LUA_TNUMBER) {
    int iRef = pVM->GetBaseClass(lua_tostring(L, 1), "", false);
    if (iRef == 0) return 0;
    lua_pushstring(L, "Parent");
    lua_getref(L, iRef);
    lua_rawset(L, iTable);
  } else if (t != LUA_TNIL) {
    g_ErrorManager.TraceMessagef(TT_None, "Could not get baseclass of script");
    return 0;
  }
  lua_pushstring(L, "Type");
  lua_pushstring(L, szType);
  lua_rawset(L, iTable);
  lua_pushvalue(L, iTable);
  lua_settag(L, gLuaInheritTag);
  return 1;
}

LUA_NATIVE(APISetState) {
  if (!_lh_checkArgs(L, 1, 2)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  pObject->SetState(L);
  return 0;
}
