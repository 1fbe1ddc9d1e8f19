// Native function registration, the native wrapper and the conversions
// between script values and engine objects.
#include "ScriptVM/LuaHelper.h"

#include "VERirezo/MeshEntity.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "Lua/lstate.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptThread.h"
#include "ScriptVM/ScriptVM.h"
#include "TWMath/Vector.h"
#include "TWUtil/ErrorManager.h"

ELuaHelper* ELuaHelper::sm_Head = nullptr;
int ELuaHelper::sm_iNum = 0;

ELuaHelper::ELuaHelper(lua_CFunction fnFunction, const char* szName)
    : m_pFunction(fnFunction), m_szName(szName), m_pNext(sm_Head) {
  EASSERT((sm_iNum == 0) || (sm_Head != 0));
  sm_Head = this;
  ++sm_iNum;
}

void RegisterScriptAPIFunctions(lua_State* L) {
  // Bubble sort of the list by name, ignoring case; equal names keep their
  // order.
  bool bSwapped = true;
  while (bSwapped) {
    bSwapped = false;
    ELuaHelper** ppLink = &ELuaHelper::sm_Head;
    ELuaHelper* pCur = *ppLink;
    while (pCur && pCur->m_pNext) {
      ELuaHelper* pNext = pCur->m_pNext;
      if (strcasecmp(pCur->m_szName, pNext->m_szName) > 0) {
        pCur->m_pNext = pNext->m_pNext;
        pNext->m_pNext = pCur;
        *ppLink = pNext;
        ppLink = &pNext->m_pNext;
        bSwapped = true;
      } else {
        ppLink = &pCur->m_pNext;
        pCur = pNext;
      }
    }
  }

  int iRegistered = 0;
  for (ELuaHelper* p = ELuaHelper::sm_Head; p; p = p->m_pNext) {
    lua_pushcclosure(L, p->m_pFunction, 0);
    lua_setglobal(L, p->m_szName);
    ++iRegistered;
  }
  // Only the complete set of native families reaches this count; while
  // families are missing the shortfall is reported and play goes on.
  EASSERT_WARN(iRegistered > (0x32e - 8));
  EASSERT(iRegistered == ELuaHelper::sm_iNum);
}

ELuaNativeScope::ELuaNativeScope() : m_bSet(false) {
  if (!g_bStackSwapped && g_pOriginalStack) {
    g_bStackSwapped = true;
    m_bSet = true;
  }
}

ELuaNativeScope::~ELuaNativeScope() {
  if (m_bSet) g_bStackSwapped = false;
}

// ---------------------------------------------------------------------------
// Checks and diagnostics.

bool _lh_checkArgs(lua_State* L, int iMin, int iMax) {
  int n = lua_gettop(L);
  if (n >= iMin && n <= iMax) return true;
  if (iMin == iMax)
    g_ErrorManager.TraceMessagef(TT_None, "%s: invalid # of arguments (need %d)", Lua_GetFrameInfo(L), iMin);
  else
    g_ErrorManager.TraceMessagef(TT_None, "%s: invalid # of arguments (need %d-%d)", Lua_GetFrameInfo(L), iMin,
                                 iMax);
  return false;
}

const char* GetScriptName(lua_State* L) {
  EScriptObject* pObject = L->scriptObject;
  return pObject ? pObject->DebugGetName() : nullptr;
}

const char* Lua_GetFrameInfo(lua_State* L) {
  static char s_szBuffer[100];
  lua_Debug ar0, ar1;
  const char* szFunction = nullptr;
  if (lua_getstack(L, 0, &ar0) && lua_getinfo(L, "lnS", &ar0)) szFunction = ar0.name;
  char szSource[LUA_IDSIZE + 16];
  szSource[0] = '\0';
  int iLine = 0;
  if (lua_getstack(L, 1, &ar1) && lua_getinfo(L, "lnS", &ar1)) {
    iLine = ar1.currentline;
    const char* src = ar1.short_src;
    if (strncmp(src, "string ", 7) == 0) {
      snprintf(szSource, sizeof(szSource), "[dostring] ");
    } else {
      const char* pFound = nullptr;
      for (const char* p = src; *p && !pFound; ++p) {
        if ((*p == '\\' || *p == '/') && strncasecmp(p + 1, "scripts", 7) == 0 && (p[8] == '\\' || p[8] == '/'))
          pFound = p + 9;
      }
      snprintf(szSource, sizeof(szSource), "%s", pFound ? pFound : src);
    }
  }
  const char* szObject = GetScriptName(L);
  snprintf(s_szBuffer, sizeof(s_szBuffer), "%s%d) %s %s", szSource, iLine, szFunction ? szFunction : "(null)",
           szObject ? szObject : "(null)");
  // The source part's last character (the closing quote of a file chunk, or
  // the blank after [dostring]) becomes the bracket before the line.
  size_t uLen = strlen(szSource);
  if (uLen > 0 && uLen <= sizeof(s_szBuffer) - 1) s_szBuffer[uLen - 1] = '(';
  return s_szBuffer;
}

// ---------------------------------------------------------------------------
// Script objects and entities.

static bool IsTableIdentity(const void* pDesignator) {
  intptr_t i = reinterpret_cast<intptr_t>(pDesignator);
  return i >= 20 || i <= -20;
}

EScriptObject* APIFastFindScript(lua_State* L, const void* pTable) {
  EScriptObject* pRunning = L->scriptObject;
  if (pRunning && !pRunning->IsDead() && pRunning->GetLuaObj() == pTable) return pRunning;
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  return pVM ? pVM->FindScriptByLuaPtr(pTable) : nullptr;
}

EScriptObject* Lua_LSOToScriptObject(lua_State* L, const void* pDesignator, bool bAllowNil, bool bQuiet) {
  if (IsTableIdentity(pDesignator)) {
    EScriptObject* pObject = APIFastFindScript(L, pDesignator);
    if (!pObject && !bQuiet) g_ErrorManager.TraceMessagef(TT_Warning, "%s: Could not find script object", Lua_GetFrameInfo(L));
    return pObject;
  }
  int iIndex = (int)reinterpret_cast<intptr_t>(pDesignator);
  switch (lua_type(L, iIndex)) {
    case LUA_TSTRING: {
      const char* szName = lua_tostring(L, iIndex);
      EScriptVM* pVM = EScriptVM::m_spScriptVM;
      EScriptObject* pObject = pVM ? pVM->FindScriptByName(szName) : nullptr;
      if (!pObject && !bQuiet)
        g_ErrorManager.TraceMessagef(TT_Warning, "%s: Could not find script object named '%s'", Lua_GetFrameInfo(L),
                                     szName);
      return pObject;
    }
    case LUA_TNIL:
    case LUA_TNONE:
      if (!bAllowNil && !bQuiet) g_ErrorManager.TraceMessagef(TT_Warning, "%s: NULL script object passed", Lua_GetFrameInfo(L));
      return nullptr;
    case LUA_TTABLE: {
      int iTop = lua_gettop(L);
      lua_pushvalue(L, iIndex);
      lua_pushstring(L, "m_pScriptObject");
      lua_gettable(L, -2);
      EScriptObject* pObject = nullptr;
      if (lua_type(L, -1) == LUA_TNUMBER) {
        lua_Id id = lua_toid(L, -1);
        if (id == 1) {
          // A removed script object.
        } else {
          pObject = EScriptObject::FromScriptId(id);
          if (!pObject && !bQuiet) {
            g_ErrorManager.TraceMessagef(TT_Warning, "%s: Could not find script object", Lua_GetFrameInfo(L));
            Lua_DoCallStackDump(L, 0, 0);
          }
        }
      }
      lua_settop(L, iTop);
      return pObject;
    }
    default:
      if (!bQuiet)
        g_ErrorManager.TraceMessagef(TT_Warning, "%s: Non table and non NULL script object passed", Lua_GetFrameInfo(L));
      return nullptr;
  }
}

EEntity* Lua_LSOToEntity(lua_State* L, const void* pDesignator, bool bAllowNil, const EEntity::EClassInfo* pClass) {
  if (!IsTableIdentity(pDesignator)) {
    int iIndex = (int)reinterpret_cast<intptr_t>(pDesignator);
    if (lua_type(L, iIndex) == LUA_TNUMBER) {
      // Only the engine's own entity ids name entities; any other number
      // (a stale id, another object's id, a plain value) names nothing.
      EEntity* pEntity = EEntity::FromScriptId(lua_toid(L, iIndex));
      if (!pEntity) {
        g_ErrorManager.TraceMessagef(TT_Warning, "%s: %s is not an entity id", Lua_GetFrameInfo(L),
                                     lua_tostring(L, iIndex) ? lua_tostring(L, iIndex) : "?");
        return nullptr;
      }
      if (pEntity->IsDead()) return nullptr;
      return pEntity;
    }
  }
  EEntity* pCandidate = nullptr;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, pDesignator, bAllowNil, false);
  if (pObject) {
    pCandidate = pObject->GetEntity();
    if (!pCandidate) {
      g_ErrorManager.TraceMessagef(TT_Warning, "%s: Warn: LSO %s does not have an entity", Lua_GetFrameInfo(L),
                                   pObject->DebugGetName() ? pObject->DebugGetName() : "(null)");
      return nullptr;
    }
  } else {
    // An entity of that name in the current scene's domain tree; there is
    // no scene to search yet.
    return nullptr;
  }
  if (pCandidate->IsDead()) return nullptr;
  if (pClass && !pCandidate->IsA(pClass, false)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: Entity '%s' is not a %s", Lua_GetFrameInfo(L), pCandidate->GetName(),
                                 pClass->m_szName);
    return nullptr;
  }
  return pCandidate;
}

EMeshEntity* Lua_LSOToMeshEntity(lua_State* L, const void* pDesignator, bool bAllowNil) {
  return static_cast<EMeshEntity*>(Lua_LSOToEntity(L, pDesignator, bAllowNil, EMeshEntity::StaticClass()));
}

EMesh* Lua_LSOToMesh(lua_State* L, const void* pDesignator, bool bAllowNil) {
  EMeshEntity* pEntity = Lua_LSOToMeshEntity(L, pDesignator, bAllowNil);
  if (!pEntity) return nullptr;
  EMesh* pMesh = pEntity->GetMesh();
  if (!pMesh)
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: Warn: Entity '%s' does not have a mesh", Lua_GetFrameInfo(L),
                                 pEntity->GetName());
  return pMesh;
}

// ---------------------------------------------------------------------------
// Plain values.

float Lua_ToNumberStrict(lua_State* L, int iIndex, bool bAllowNil) {
  int t = lua_type(L, iIndex);
  if (bAllowNil && (t == LUA_TNIL || t == LUA_TNONE)) return 0.0f;
  if (t != LUA_TNUMBER && t != LUA_TSTRING)
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: argument %d is %s (not a number)", Lua_GetFrameInfo(L), iIndex,
                                 lua_typename(L, t));
  return lua_tonumber(L, iIndex);
}

const char* Lua_ToStringStrict(lua_State* L, int iIndex, bool) {
  int t = lua_type(L, iIndex);
  if (t != LUA_TSTRING && t != LUA_TNUMBER && t != LUA_TNIL && t != LUA_TNONE)
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: argument %d: expected string, got %s", Lua_GetFrameInfo(L), iIndex,
                                 lua_typename(L, t));
  return lua_tostring(L, iIndex);
}

static float Clamp01(float f) { return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f); }

EVec4 Lua_ToColor(lua_State* L, int iIndex, bool bAllowNil) {
  const float kInv255 = 0.0039215689f;
  float a = Lua_ToNumberStrict(L, iIndex + 3, bAllowNil);
  float b = Lua_ToNumberStrict(L, iIndex + 2, bAllowNil);
  float g = Lua_ToNumberStrict(L, iIndex + 1, bAllowNil);
  float r = Lua_ToNumberStrict(L, iIndex, bAllowNil);
  return EVec4(Clamp01(r * kInv255), Clamp01(g * kInv255), Clamp01(b * kInv255), Clamp01(a * kInv255));
}

EVec3 Lua_TableToEVec3(lua_State* L, int iIndex) {
  if (!lua_istable(L, iIndex)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: argument is not a table-vector", Lua_GetFrameInfo(L));
    return EVec3(0.0f, 0.0f, 0.0f);
  }
  if (iIndex < 0) iIndex = lua_gettop(L) + 1 + iIndex;
  float f[3];
  static const char* const s_apszFields[3] = {"x", "y", "z"};
  for (int i = 0; i < 3; ++i) {
    lua_pushstring(L, s_apszFields[i]);
    lua_rawget(L, iIndex);
    f[i] = lua_tonumber(L, -1);
    lua_pop(L, 1);
  }
  return EVec3(f[0], f[1], f[2]);
}

bool GetLuaTableParameter(lua_State* L, const char* szField, int) {
  lua_pushstring(L, szField);
  lua_gettable(L, -2);
  return !lua_isnil(L, -1);
}

bool Lua_CallMethod(lua_State* L, int iIndex, const char* szMethod, int iNumArgs, const float* pArgs,
                    int iNumResults, float* pResults) {
  int iTop = lua_gettop(L);
  if (iIndex < 0 && iIndex > -20) iIndex = iTop + 1 + iIndex;
  if (lua_isnil(L, iIndex) || lua_type(L, iIndex) == LUA_TNONE) {
    lua_settop(L, iTop);
    return false;
  }
  lua_pushvalue(L, iIndex);
  lua_pushstring(L, szMethod);
  lua_gettable(L, -2);
  if (!lua_isfunction(L, -1)) {
    lua_settop(L, iTop);
    return false;
  }
  lua_pushvalue(L, iIndex);
  for (int i = 0; i < iNumArgs; ++i) lua_pushnumber(L, pArgs[i]);
  if (lua_call(L, iNumArgs + 1, iNumResults) != 0) {
    lua_settop(L, iTop);
    return false;
  }
  int iFirst = lua_gettop(L) - iNumResults + 1;
  for (int i = 0; i < iNumResults; ++i) pResults[i] = lua_tonumber(L, iFirst + i);
  lua_settop(L, iTop);
  return true;
}

bool Lua_GetLSOPosition(lua_State* L, int iIndex, EVec3& vPosition) {
  float f[3];
  if (Lua_CallMethod(L, iIndex, "getPosition", 0, nullptr, 3, f)) {
    vPosition.Set(f[0], f[1], f[2]);
    return true;
  }
  static const char* const s_apszFields[3] = {"xpos", "ypos", "zpos"};
  for (int i = 0; i < 3; ++i) {
    if (!GetLuaTableParameter(L, s_apszFields[i], 0)) {
      lua_pop(L, 1);
      vPosition.Set(0.0f, 0.0f, 0.0f);
      return false;
    }
    f[i] = lua_tonumber(L, -1);
    lua_pop(L, 1);
  }
  vPosition.Set(f[0], f[1], f[2]);
  return true;
}

bool Lua_GetLSOOrientation(lua_State* L, int iIndex, EEuler& eAngles) {
  float f[3];
  if (Lua_CallMethod(L, iIndex, "getOrientation", 0, nullptr, 3, f)) {
    eAngles.Set(f[0], f[1], f[2]);
    return true;
  }
  eAngles.Set(0.0f, 0.0f, 0.0f);
  return false;
}

// ---------------------------------------------------------------------------
// Engine values to script values.

void Lua_PushVector(lua_State* L, const EVec3& v) {
  lua_pushnumber(L, v.x);
  lua_pushnumber(L, v.y);
  lua_pushnumber(L, v.z);
}

void Lua_PushTableVector(lua_State* L, const EVec3& v, const char* szGlobal) {
  lua_getglobal(L, szGlobal);
  if (!lua_istable(L, -1)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: global '%s' is not a table", Lua_GetFrameInfo(L),
                                 szGlobal ? szGlobal : "(null)");
    lua_pop(L, 1);
    lua_pushnil(L);
    return;
  }
  const float af[3] = {v.x, v.y, v.z};
  static const char* const s_apszFields[3] = {"x", "y", "z"};
  for (int i = 0; i < 3; ++i) {
    lua_pushstring(L, s_apszFields[i]);
    lua_pushnumber(L, af[i]);
    lua_rawset(L, -3);
  }
}

bool Lua_PushEntity(lua_State* L, EEntity* pEntity, bool bPushId) {
  if (pEntity && pEntity->GetScriptObject() && pEntity->GetScriptObject()->PushTable(L)) return true;
  if (bPushId) {
    lua_pushid(L, pEntity ? pEntity->GetScriptId() : 0);
    return true;
  }
  lua_pushnil(L);
  return false;
}

bool Lua_PushLSO(lua_State* L, EScriptObject* pObject) {
  if (pObject && pObject->PushTable(L)) return true;
  lua_pushnil(L);
  return false;
}

// ---------------------------------------------------------------------------
// Yield: suspends the running state function until its object's next turn.

LUA_NATIVE_BARE(Yield) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (pVM) pVM->YieldThread(L);
  return 0;
}
