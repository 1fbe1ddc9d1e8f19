// Natives for what scripts cannot do in single precision: quaternions,
// curves, bit operations, id comparison; and the link and test natives.
#include <cmath>
#include <cstdint>

#include "Game/GameApp.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "TWMath/Curve.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"
#include "TWUtil/ErrorManager.h"

// The families of natives kept by the build through LinkCheckOnly.
void LinkScript_PsiPowers() {}
void LinkScript_Particle() {}
void LinkScript_Debug() {}
void LinkScript_NonGeneric() {}
void LinkScript_Sound() {}

void Lua_PushQuat(lua_State* L, const EQuat& q) {
  lua_pushnumber(L, q.x);
  lua_pushnumber(L, q.y);
  lua_pushnumber(L, q.z);
  lua_pushnumber(L, q.w);
}

namespace script_math {
EQuat ReadQuat(lua_State* L, int iFirst) {
  return EQuat(Lua_ToNumberStrict(L, iFirst, false), Lua_ToNumberStrict(L, iFirst + 1, false),
               Lua_ToNumberStrict(L, iFirst + 2, false), Lua_ToNumberStrict(L, iFirst + 3, false));
}
EVec3 ReadVec(lua_State* L, int iFirst) {
  return EVec3(Lua_ToNumberStrict(L, iFirst, false), Lua_ToNumberStrict(L, iFirst + 1, false),
               Lua_ToNumberStrict(L, iFirst + 2, false));
}
// A number truncated toward zero, modulo 2^32.
uint32_t ReadBits(lua_State* L, int iIndex) {
  double d = std::trunc((double)Lua_ToNumberStrict(L, iIndex, false));
  if (!std::isfinite(d)) return 0;
  d = std::fmod(d, 4294967296.0);
  if (d < 0) d += 4294967296.0;
  return (uint32_t)d;
}
int PushBits(lua_State* L, uint32_t u) {
  lua_pushnumber(L, (float)u);
  return 1;
}
// The low width bits set; all 32 for a width of 32 or more.
uint32_t LowMask(uint32_t uWidth) { return uWidth >= 32 ? 0xFFFFFFFFu : (1u << uWidth) - 1u; }
}  // namespace script_math

LUA_NATIVE(NativeMulQuatQuat) {
  if (!_lh_checkArgs(L, 8, 8)) return 0;
  Lua_PushQuat(L, script_math::ReadQuat(L, 1) * script_math::ReadQuat(L, 5));
  return 4;
}

LUA_NATIVE(NativeMulQuatVec) {
  if (!_lh_checkArgs(L, 7, 7)) return 0;
  Lua_PushVector(L, script_math::ReadQuat(L, 1) * script_math::ReadVec(L, 5));
  return 3;
}

LUA_NATIVE(NativeQuatToEuler) {
  if (!_lh_checkArgs(L, 4, 4)) return 0;
  Lua_PushVector(L, script_math::ReadQuat(L, 1).ToEuler());
  return 3;
}

LUA_NATIVE(NativeEulerToQuat) {
  if (!_lh_checkArgs(L, 3, 3)) return 0;
  Lua_PushQuat(L, EQuat(script_math::ReadVec(L, 1)));
  return 4;
}

LUA_NATIVE(NativeQuatFromAxisAngle) {
  if (!_lh_checkArgs(L, 4, 4)) return 0;
  const EVec3 axis = script_math::ReadVec(L, 1);
  Lua_PushQuat(L, EQuat(EVec4(axis.x, axis.y, axis.z, Lua_ToNumberStrict(L, 4, false))));
  return 4;
}

LUA_NATIVE(NativeQuatFromVectorPair) {
  if (!_lh_checkArgs(L, 6, 6)) return 0;
  EVec3 a = script_math::ReadVec(L, 1), b = script_math::ReadVec(L, 4);
  a.Normalize();
  b.Normalize();
  Lua_PushQuat(L, ShortestArcQuaternion(a, b));
  return 4;
}

LUA_NATIVE(NativeQuatSlerp) {
  if (!_lh_checkArgs(L, 9, 9)) return 0;
  Lua_PushQuat(L, script_math::ReadQuat(L, 1).Slerp(script_math::ReadQuat(L, 5), Lua_ToNumberStrict(L, 9, false), true));
  return 4;
}

LUA_NATIVE(EvaluateCurve) {
  if (!_lh_checkArgs(L, 13, 13)) return 0;
  EVec3 k[4];
  for (int i = 0; i < 4; ++i) k[i] = script_math::ReadVec(L, 1 + 3 * i);
  EPositionCurveSegment seg;
  seg.InitCatmullRom(k);
  Lua_PushVector(L, seg.Evaluate(Lua_ToNumberStrict(L, 13, false)));
  return 3;
}

LUA_NATIVE(CalculateRightVector) {
  if (!_lh_checkArgs(L, 3, 3)) return 0;
  Lua_PushVector(L, script_math::ReadVec(L, 1).CalculateRightVector(cg_vDefaultUpVector));
  return 3;
}

LUA_NATIVE(BitAnd) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  return script_math::PushBits(L, script_math::ReadBits(L, 1) & script_math::ReadBits(L, 2));
}

LUA_NATIVE(BitOr) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  return script_math::PushBits(L, script_math::ReadBits(L, 1) | script_math::ReadBits(L, 2));
}

LUA_NATIVE(BitXor) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  return script_math::PushBits(L, script_math::ReadBits(L, 1) ^ script_math::ReadBits(L, 2));
}

// The complement kept to 23 bits, so that it stays exact as a number.
LUA_NATIVE(BitNot) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  return script_math::PushBits(L, ~script_math::ReadBits(L, 1) & 0x7FFFFFu);
}

LUA_NATIVE(BitLsh) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  return script_math::PushBits(L, script_math::ReadBits(L, 1) << (script_math::ReadBits(L, 2) & 31u));
}

LUA_NATIVE(BitRsh) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  return script_math::PushBits(L, script_math::ReadBits(L, 1) >> (script_math::ReadBits(L, 2) & 31u));
}

// BitStore(value, field, shift, width): an id value.
LUA_NATIVE(BitStore) {
  if (!_lh_checkArgs(L, 4, 4)) return 0;
  uint32_t uValue = script_math::ReadBits(L, 1);
  uint32_t uField = script_math::ReadBits(L, 2);
  const uint32_t uShift = script_math::ReadBits(L, 3);
  const uint32_t uWidth = script_math::ReadBits(L, 4);
  if (uShift + uWidth > 32u) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not enough bits to store %d at << %d", (int)uWidth, (int)uShift);
    lua_pushid(L, uValue);
    return 1;
  }
  uint32_t uMask = script_math::LowMask(uWidth);
  if (uField & ~uMask) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Field %#x too big to fit in %#x (%d bits)", uField, uMask, (int)uWidth);
    uField &= uMask;
  }
  // a shift of 32 comes only with a width of 0: nothing to store
  uMask = uShift >= 32 ? 0 : uMask << uShift;
  uField = uShift >= 32 ? 0 : uField << uShift;
  if (uValue & uMask) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%#x already has data at %#x", uValue, uMask);
    uValue &= ~uMask;
  }
  lua_pushid(L, uValue | uField);
  return 1;
}

// BitFetch(value, shift, width): an id value.
LUA_NATIVE(BitFetch) {
  if (!_lh_checkArgs(L, 3, 3)) return 0;
  const uint32_t uValue = script_math::ReadBits(L, 1);
  const uint32_t uShift = script_math::ReadBits(L, 2);
  const uint32_t uWidth = script_math::ReadBits(L, 3);
  if (uShift + uWidth > 32u) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not enough bits to fetch %d at << %d", (int)uWidth, (int)uShift);
    lua_pushid(L, 0);
    return 1;
  }
  lua_pushid(L, (uShift >= 32 ? 0u : uValue >> uShift) & script_math::LowMask(uWidth));
  return 1;
}

LUA_NATIVE(IDsAreEqual) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  lua_pushnumber(L, lua_toid(L, 1) == lua_toid(L, 2) ? 1.0f : 0.0f);
  return 1;
}

LUA_NATIVE(DoNothing) { return 0; }

LUA_NATIVE(LinkCheckOnly) {
  LinkScript_PsiPowers();
  LinkScript_Particle();
  LinkScript_Debug();
  LinkScript_NonGeneric();
  LinkScript_Sound();
  return 0;
}

// Writes fixed values into the player's "stats" table through the table
// writers. The thought-bubble companion is not part of this build, so
// stats.Yes1 is not written.
LUA_NATIVE(SetScriptValueTest) {
  EEntity* pPlayer = gGameApp ? gGameApp->GetPlayer() : nullptr;
  EScriptObject* pObject = pPlayer ? pPlayer->GetScriptObject() : nullptr;
  if (!pObject) return 0;
  const int iTop = lua_gettop(L);
  bool bHasStats = false;
  if (pObject->PushTable(L)) {
    lua_pushstring(L, "stats");
    lua_gettable(L, -2);
    bHasStats = lua_istable(L, -1);
  }
  lua_settop(L, iTop);
  if (!bHasStats) return 0;
  pObject->SetTableValue("stats.Yes2", "Howdy");
  pObject->SetTableValue("stats.Yes3", 34);
  pObject->SetTableValue("stats.Yes4", 98.7f);
  return 0;
}
