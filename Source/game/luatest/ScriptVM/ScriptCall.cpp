// Calls from engine code into scripts: global functions and methods with a
// compact format of argument and result letters, Lua text, the name of the
// calling script object, the hard-break report and the Lua call-stack dump.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "DebugServer/DebugManager.h"
#include "DebugServer/TWConsole.h"
#include "Game/GameApp.h"
#include "Lua/lstate.h"
#include "Lua/luadebug.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"

bool EScriptVM::CallFunctionf(const char* szName, const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  bool bResult = CallFunctionv(szName, szFormat, args, nullptr);
  va_end(args);
  return bResult;
}

bool EScriptVM::CallFunctionv(const char* szName, const char* szFormat, va_list args, EScriptObject* pObject) {
  lua_State* L = m_pGlobalState;
  if (!L) return false;
  int iTop = lua_gettop(L);
  // Every letter stands for at most one value on the stack (and a result
  // conversion pushes two more for a moment): make sure there is room, so
  // that no push can raise an error outside a protected call.
  const char* szLetters = szFormat ? szFormat : "";
  int iLetters = (int)strlen(szLetters);
  if (lua_stackspace(L) < iLetters + 4) {
    g_ErrorManager.TraceMessagef(TT_Warning, "CallFunction: no stack space for %d format letters", iLetters);
    return false;
  }
  if (szName) lua_getglobal(L, szName);
  if (!lua_isfunction(L, -1)) {
    lua_settop(L, iTop);
    return false;
  }
  int iArgs = 0;
  if (pObject) {
    if (!pObject->PushTable(L)) lua_pushnil(L);
    ++iArgs;
  }
  const char* p = szLetters;
  for (; *p && *p != '/'; ++p) {
    switch (*p) {
      case 'I': lua_pushid(L, va_arg(args, unsigned)); break;
      case 'b': lua_pushnumber(L, va_arg(args, int) ? 1.0f : 0.0f); break;
      case 'd':
      case 'f': lua_pushnumber(L, (float)va_arg(args, double)); break;
      case 'e': {
        EEntity* pEntity = va_arg(args, EEntity*);
        EScriptObject* pEntityObject = pEntity ? pEntity->GetScriptObject() : nullptr;
        Lua_PushLSO(L, pEntityObject);
        break;
      }
      case 'i': lua_pushnumber(L, (float)va_arg(args, int)); break;
      case 'n':
        (void)va_arg(args, int);
        lua_pushnil(L);
        break;
      case 'o': Lua_PushLSO(L, va_arg(args, EScriptObject*)); break;
      case 's': lua_pushstring(L, va_arg(args, const char*)); break;
      case 'v': {
        const char* szGlobal = va_arg(args, const char*);
        if (szGlobal)
          lua_getglobal(L, szGlobal);
        else
          lua_pushnil(L);
        break;
      }
      default:
        g_ErrorManager.TraceMessagef(TT_None, "Unknown arg format char in CallFunction: '%c'", *p);
        lua_settop(L, iTop);
        return false;
    }
    ++iArgs;
  }
  const char* szResults = (*p == '/') ? p + 1 : p;
  int iResults = (int)strlen(szResults);
  if (lua_call(L, iArgs, iResults) != 0) {
    lua_settop(L, iTop);
    return false;
  }
  int iFirst = lua_gettop(L) - iResults + 1;
  for (int i = 0; i < iResults; ++i) {
    int idx = iFirst + i;
    switch (szResults[i]) {
      case 'I': *va_arg(args, int*) = (int)lua_toid(L, idx); break;
      case 'b': *va_arg(args, bool*) = lua_tonumber(L, idx) != 0.0f; break;
      case 'd': *va_arg(args, double*) = lua_tonumber(L, idx); break;
      case 'e': {
        EScriptObject* pResult = Lua_LSOToScriptObject(L, LuaArg(idx), true, true);
        *va_arg(args, EEntity**) = pResult ? pResult->GetEntity() : nullptr;
        break;
      }
      case 'f': *va_arg(args, float*) = lua_tonumber(L, idx); break;
      case 'i': *va_arg(args, int*) = (int)lua_tonumber(L, idx); break;
      case 'o': *va_arg(args, EScriptObject**) = Lua_LSOToScriptObject(L, LuaArg(idx), true, true); break;
      default:
        g_ErrorManager.TraceMessagef(TT_None, "Unknown return format char in CallFunction: '%c'", szResults[i]);
        lua_settop(L, iTop);
        return false;
    }
  }
  lua_settop(L, iTop);
  return true;
}

bool EScriptObject::CallMethodf(const char* szMethod, const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  bool bResult = CallMethodv(szMethod, szFormat, args);
  va_end(args);
  return bResult;
}

bool EScriptObject::CallMethodv(const char* szMethod, const char* szFormat, va_list args) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !pVM->GetGlobalState()) return false;
  lua_State* L = pVM->GetGlobalState();
  int iTop = lua_gettop(L);
  if (!PushTable(L)) return false;
  lua_pushstring(L, szMethod);
  lua_gettable(L, -2);
  bool bResult = pVM->CallFunctionv(nullptr, szFormat, args, this);
  lua_settop(L, iTop);
  return bResult;
}

bool EScriptVM::RunLuaCommands(const char* szText, EScriptObject* pObject, float* pResult, int iLength) {
  lua_State* L = m_pGlobalState;
  if (!L) {
    if (pResult) *pResult = 0.0f;
    return false;
  }
  EScriptThread* pPrevThread = L->scriptThread;
  EScriptObject* pPrevObject = L->scriptObject;
  L->scriptThread = nullptr;
  L->scriptObject = pObject;
  lua_getglobal(L, "self");
  int iSavedSelf = lua_gettop(L);
  if (!pObject || !pObject->PushTable(L)) lua_pushnil(L);
  lua_setglobal(L, "self");
  int iStatus = (iLength > 0) ? lua_dobuffer(L, szText, (size_t)iLength, "buff") : lua_dostring(L, szText ? szText : "");
  L->scriptThread = pPrevThread;
  L->scriptObject = pPrevObject;
  if (pResult) {
    *pResult = (iStatus == 0 && lua_gettop(L) > iSavedSelf && lua_type(L, -1) == LUA_TNUMBER) ? lua_tonumber(L, -1)
                                                                                                : 0.0f;
  }
  lua_settop(L, iSavedSelf);
  lua_setglobal(L, "self");
  return iStatus == 0;
}

const char* EScriptVM::GetCallersName(lua_State* L) {
  if (!L) return "Engine";
  lua_Debug ar;
  for (int iLevel = 1; lua_getstack(L, iLevel, &ar); ++iLevel) {
    for (int iLocal = 1; lua_stackspace(L) > 2; ++iLocal) {
      const char* szLocal = lua_getlocal(L, &ar, iLocal);
      if (!szLocal) break;
      if (strcmp(szLocal, "self") != 0 || lua_isnil(L, -1)) {
        lua_pop(L, 1);
        continue;
      }
      // The first self that holds a value decides.
      const char* szResult = "Engine";
      if (lua_istable(L, -1)) {
        // A raw read: no tag method runs outside a protected call. The
        // table is a local of a running function, so its Name stays alive
        // while the caller runs.
        lua_pushstring(L, "Name");
        lua_rawget(L, -2);
        if (lua_type(L, -1) == LUA_TSTRING) szResult = lua_tostring(L, -1);
        lua_pop(L, 2);
      } else {
        lua_pop(L, 1);
        ScriptConsoleLine("Error getting value of 'self' in GetCallersName");
        Lua_DoCallStackDump(L, 0, 0);
      }
      return szResult;
    }
  }
  return "Engine";
}

void EScriptVM::HardBreak(const char* szMessage, lua_State* L) {
  EDebugManager* pDebugManager = gGameApp ? gGameApp->GetDebugManager() : nullptr;
  if (!pDebugManager) return;
  lua_State* G = m_pGlobalState;
  if (!szMessage) {
    // Only a real string is taken: a number would be turned into a string
    // in place, and an empty stack has no top to read.
    szMessage = (G && lua_gettop(G) > 0 && lua_type(G, -1) == LUA_TSTRING) ? lua_tostring(G, -1) : "";
  }
  g_ErrorManager.TraceMessagef(TT_Warning, "HardBreak: %s", szMessage);
  if (!pDebugManager->HandleScriptError(szMessage)) Lua_DoCallStackDump(L ? L : G, 0, 0);
}

void Lua_DoCallStackDump(lua_State* L, int iFirst, int iCount) {
  if (!L || !SingletonTWConsole::Exists()) return;
  ScriptConsoleLine("* Stack Trace");
  int iWritten = 0;
  lua_Debug ar;
  for (int iLevel = iFirst + 1; lua_getstack(L, iLevel, &ar); ++iLevel) {
    if (!lua_getinfo(L, "lnS", &ar)) {
      ScriptConsoleLine("Error Getting lua stack info");
      return;
    }
    const char* szFile = ar.short_src;
    for (const char* p = ar.short_src; *p; ++p) {
      if ((*p == '\\' || *p == '/') && strncasecmp(p + 1, "scripts", 7) == 0 && (p[8] == '\\' || p[8] == '/')) {
        szFile = p + 9;
        break;
      }
    }
    ScriptConsoleLine("%d: %-25s (line %4d, file '%s) (%s)", iLevel, ar.name ? ar.name : "(null)", ar.currentline,
                      szFile, ar.namewhat ? ar.namewhat : "");
    ++iWritten;
    if (iCount && iWritten >= iCount) break;
  }
  if (iWritten == 0 && iFirst == 0) ScriptConsoleLine("** No Stack Trace Available");
}
