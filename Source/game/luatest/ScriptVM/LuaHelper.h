// Native script functions: their registration by name, the wrapper they
// are entered through, and the conversions between script values and
// engine objects that every native body uses.
#pragma once

#include "Lua/lua.h"
#include "VERirezo/Entity.h"

class EMeshEntity;
class EScriptObject;
class EMesh;
class EVec3;
class EVec4;
class EEuler;

// One registration of a native function; one static instance per function.
class ELuaHelper {
public:
  ELuaHelper(lua_CFunction fnFunction, const char* szName);

  lua_CFunction m_pFunction;
  const char* m_szName;
  ELuaHelper* m_pNext;

  static ELuaHelper* sm_Head;
  static int sm_iNum;
};

// Sorts the registrations by name (ignoring case) and installs each as a
// global of the state.
void RegisterScriptAPIFunctions(lua_State* L);

// Marks g_bStackSwapped for the body of a wrapped native running inside a
// script thread; restores it however the body ends (a script error unwinds
// through it).
class ELuaNativeScope {
public:
  ELuaNativeScope();
  ~ELuaNativeScope();
  ELuaNativeScope(const ELuaNativeScope&) = delete;
  ELuaNativeScope& operator=(const ELuaNativeScope&) = delete;

private:
  bool m_bSet;
};

// Defines a native entered through the wrapper:
//   LUA_NATIVE(Name) { ...body using L... }
#define LUA_NATIVE(Name)                                                       \
  static int Name##_Body(lua_State* L);                                        \
  static int Name##_Wrapped(lua_State* L) {                                    \
    ELuaNativeScope scope;                                                     \
    return Name##_Body(L);                                                     \
  }                                                                            \
  static ELuaHelper s_LuaHelper_##Name(Name##_Wrapped, #Name);                 \
  static int Name##_Body([[maybe_unused]] lua_State* L)

// Defines a native registered bare (it may suspend the script thread or run
// script code that does).
#define LUA_NATIVE_BARE(Name)                                                  \
  static int Name(lua_State* L);                                               \
  static ELuaHelper s_LuaHelper_##Name(Name, #Name);                           \
  static int Name([[maybe_unused]] lua_State* L)

// ---- Checks and diagnostics ----
bool _lh_checkArgs(lua_State* L, int iMin, int iMax);
const char* Lua_GetFrameInfo(lua_State* L);
const char* GetScriptName(lua_State* L);

// ---- Script values to engine objects ----
// A designator below 20 in absolute value is a stack index; anything else
// is the identity of a table (lua_topointer).
EScriptObject* APIFastFindScript(lua_State* L, const void* pTable);
EScriptObject* Lua_LSOToScriptObject(lua_State* L, const void* pDesignator, bool bAllowNil, bool bQuiet);
EEntity* Lua_LSOToEntity(lua_State* L, const void* pDesignator, bool bAllowNil,
                         const EEntity::EClassInfo* pClass = nullptr);
EMeshEntity* Lua_LSOToMeshEntity(lua_State* L, const void* pDesignator, bool bAllowNil);
EMesh* Lua_LSOToMesh(lua_State* L, const void* pDesignator, bool bAllowNil);

// Designator of a stack index.
inline const void* LuaArg(int iIndex) { return reinterpret_cast<const void*>(static_cast<intptr_t>(iIndex)); }

// ---- Plain values ----
float Lua_ToNumberStrict(lua_State* L, int iIndex, bool bAllowNil);
const char* Lua_ToStringStrict(lua_State* L, int iIndex, bool bAllowNil);
EVec4 Lua_ToColor(lua_State* L, int iIndex, bool bAllowNil);
EVec3 Lua_TableToEVec3(lua_State* L, int iIndex);
bool GetLuaTableParameter(lua_State* L, const char* szField, int iUnused);
bool Lua_CallMethod(lua_State* L, int iIndex, const char* szMethod, int iNumArgs, const float* pArgs, int iNumResults,
                    float* pResults);
bool Lua_GetLSOPosition(lua_State* L, int iIndex, EVec3& vPosition);
bool Lua_GetLSOOrientation(lua_State* L, int iIndex, EEuler& eAngles);

// ---- Engine values to script values ----
void Lua_PushVector(lua_State* L, const EVec3& v);
void Lua_PushTableVector(lua_State* L, const EVec3& v, const char* szGlobal);
bool Lua_PushEntity(lua_State* L, EEntity* pEntity, bool bPushId);
bool Lua_PushLSO(lua_State* L, EScriptObject* pObject);
