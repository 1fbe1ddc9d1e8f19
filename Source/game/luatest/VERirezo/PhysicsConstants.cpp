// The movement tuning table, its bound references and the two script
// functions that read and write it by index.
#include "VERirezo/PhysicsConstants.h"

#include "ScriptVM/LuaHelper.h"
#include "TWUtil/ErrorManager.h"

namespace physicsconstants {

float g_aTable[PHYSICS_NUM_CONSTANTS] = {
#define PHYSICS_CONSTANT_DEFAULT(i, name, value) value,
    PHYSICS_CONSTANT_LIST(PHYSICS_CONSTANT_DEFAULT)
#undef PHYSICS_CONSTANT_DEFAULT
};

bool IsValidIndex(int i) { return i >= 0 && i < PHYSICS_NUM_CONSTANTS; }

}  // namespace physicsconstants

static_assert(PHYSICS_NUM_CONSTANTS == 84, "the table has 84 entries");

#define PHYSICS_CONSTANT_BIND(i, name, value) const float& kPC_##name = physicsconstants::g_aTable[i];
PHYSICS_CONSTANT_LIST(PHYSICS_CONSTANT_BIND)
#undef PHYSICS_CONSTANT_BIND

float GetPhysicsConstant(PHYSICS_CONSTANT c) { return physicsconstants::g_aTable[c]; }

void SetPhysicsConstant(PHYSICS_CONSTANT c, float fValue) { physicsconstants::g_aTable[c] = fValue; }

// GetPhysicsConstant(index): the entry, or nothing for an index outside the table.
LUA_NATIVE(GetPhysicsConstant) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  if (lua_isnil(L, 1)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: invalid argument %d", Lua_GetFrameInfo(L), 1);
    return 0;
  }
  const int i = (int)Lua_ToNumberStrict(L, 1, false);
  if (!physicsconstants::IsValidIndex(i)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: invalid value", Lua_GetFrameInfo(L));
    return 0;
  }
  lua_pushnumber(L, GetPhysicsConstant((PHYSICS_CONSTANT)i));
  return 1;
}

// SetPhysicsConstant(index, value).
// SetPhysicsConstant([self,] index, value): with three arguments the first
// is the caller and is not read.
LUA_NATIVE(SetPhysicsConstant) {
  if (!_lh_checkArgs(L, 2, 3)) return 0;
  const int iIndexArg = lua_gettop(L) - 1;
  const float fValue = Lua_ToNumberStrict(L, iIndexArg + 1, false);
  if (lua_isnil(L, iIndexArg)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: invalid constant (value = %f)", Lua_GetFrameInfo(L), (double)fValue);
    return 0;
  }
  const int i = (int)Lua_ToNumberStrict(L, iIndexArg, false);
  if (!physicsconstants::IsValidIndex(i)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: invalid value", Lua_GetFrameInfo(L));
    return 0;
  }
  SetPhysicsConstant((PHYSICS_CONSTANT)i, fValue);
  return 0;
}
