// Timers as the scripts see them: firing the due timers into their
// objects' "onTimer" methods, and the natives that hand requests of a
// script to the host (named timers, files, classes, hard breaks and the
// cutscene list).
#include <cmath>
#include <cstdio>

#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptTimer.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Heap.h"

void EScriptVM::ProcessTimers() {
  if (!m_pTimerHeap) return;
  const double dNow = EScriptTimer::GetCurrentTimerTime();
  while (m_pTimerHeap->Num() > 0) {
    EScriptTimer* pTimer = (*m_pTimerHeap)[0];
    EScriptObject* pObject = pTimer->GetScript();
    if (!pObject || pObject->IsBeingRemoved()) {
      m_pTimerHeap->HeapRemove(0);
      delete pTimer;
      continue;
    }
    if (pTimer->GetFireTime() > dNow) break;

    const int iId = pTimer->GetId();
    const bool bNamed = pTimer->GetName() != nullptr;
    char szMethod[50];
    snprintf(szMethod, sizeof(szMethod), "onTimer%s", bNamed ? pTimer->GetName() : "");

    // Rescheduled or gone before its method runs, so the method may create
    // and kill timers freely, this one included. A periodic timer stays on
    // its grid of whole periods and skips the periods it missed.
    const float fPeriod = pTimer->GetPeriod();
    if (fPeriod <= 0.0f) {
      m_pTimerHeap->HeapRemove(0);
      delete pTimer;
    } else {
      pTimer->SetFireTime(dNow + fPeriod - fmod(dNow - pTimer->GetFireTime(), (double)fPeriod));
      m_pTimerHeap->HeapFixup(0);
    }

    bool bOk;
    if (bNamed) {
      bOk = pObject->CallMethodf(szMethod, "io", iId, pObject);
    } else {
      char szId[10];
      snprintf(szId, sizeof(szId), "%d", iId);
      bOk = pObject->CallMethodf(szMethod, "so", szId, pObject);
    }
    if (!bOk)
      g_ErrorManager.TraceMessagef(TT_Warning, "Error running timer %s:%s/%d.",
                                   pObject->DebugGetName() ? pObject->DebugGetName() : "", szMethod, iId);
  }
}

// ---------------------------------------------------------------------------
// Named timers

// CreateNamedTimer(object, period, name, id [, fire once])
LUA_NATIVE(CreateNamedTimer) {
  if (!_lh_checkArgs(L, 4, 5)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  float fPeriod = Lua_ToNumberStrict(L, 2, false);
  const char* szName = Lua_ToStringStrict(L, 3, true);
  uint16_t uId = (uint16_t)(int)Lua_ToNumberStrict(L, 4, false);
  bool bOnce = Lua_ToNumberStrict(L, 5, true) != 0.0f;
  if (szName && !szName[0]) szName = nullptr;
  if (!(fPeriod > 0.0f) || uId == 0) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: bad args", Lua_GetFrameInfo(L));
    return 0;
  }
  EScriptVM::m_spScriptVM->CreateTimer(pObject, fPeriod, uId, bOnce ? (unsigned)EScriptTimer::kFLAG_FireOnce : 0u, szName);
  return 0;
}

// GetTimerSecs(object, id [, name]): seconds until it fires, or -1.
LUA_NATIVE(GetTimerSecs) {
  if (!_lh_checkArgs(L, 2, 3)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  uint16_t uId = (uint16_t)(int)Lua_ToNumberStrict(L, 2, false);
  const char* szName = Lua_ToStringStrict(L, 3, true);
  EScriptTimer* pTimer = EScriptVM::m_spScriptVM->FindTimer(pObject, uId, szName, nullptr);
  lua_pushnumber(L, pTimer ? (float)pTimer->GetTimeLeftSecs() : -1.0f);
  return 1;
}

// KillTimer(object, id [, quiet [, name]])
LUA_NATIVE(KillTimer) {
  if (!_lh_checkArgs(L, 2, 4)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  uint16_t uId = (uint16_t)(int)Lua_ToNumberStrict(L, 2, false);
  bool bQuiet = Lua_ToNumberStrict(L, 3, true) != 0.0f;
  const char* szName = Lua_ToStringStrict(L, 4, true);
  if (uId == 0) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: bad args", Lua_GetFrameInfo(L));
    return 0;
  }
  if (!EScriptVM::m_spScriptVM->KillTimer(pObject, uId, szName) && !bQuiet)
    g_ErrorManager.TraceMessagef(TT_None, "%s: Could not find %s timer %d", Lua_GetFrameInfo(L),
                                 pObject->DebugGetName() ? pObject->DebugGetName() : "", (int)uId);
  return 0;
}

// KillAllTimers(object)
LUA_NATIVE(KillAllTimers) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  EScriptVM::m_spScriptVM->KillAllTimers(pObject);
  return 0;
}

// ---------------------------------------------------------------------------
// Requests to the host

// HardBreak(message)
LUA_NATIVE(HardBreak) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const char* szMessage = Lua_ToStringStrict(L, 1, false);
  EScriptVM::m_spScriptVM->HardBreak(szMessage ? szMessage : "", L);
  return 0;
}

// DoFile(path [, quiet]): runs script code of its own, so it is not wrapped.
LUA_NATIVE_BARE(DoFile) {
  if (!_lh_checkArgs(L, 1, 2)) return 0;
  const char* szPath = Lua_ToStringStrict(L, 1, false);
  bool bQuiet = Lua_ToNumberStrict(L, 2, true) != 0.0f;
  if (szPath) EScriptVM::m_spScriptVM->DoFile(szPath, bQuiet);
  return 0;
}

// PreloadLuaClass(class name)
LUA_NATIVE(PreloadLuaClass) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  const char* szClass = Lua_ToStringStrict(L, 1, false);
  if (szClass) EScriptVM::m_spScriptVM->PreloadLuaClass(szClass);
  return 0;
}

// RegisterCutscene(object)
LUA_NATIVE(RegisterCutscene) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (pObject) EScriptVM::m_spScriptVM->RegisterCutscene(pObject);
  return 0;
}

// UnregisterCutscene(object): removes its first entry.
LUA_NATIVE(UnregisterCutscene) {
  if (!_lh_checkArgs(L, 1, 1)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (pObject) EScriptVM::m_spScriptVM->UnregisterCutscene(pObject);
  return 0;
}
