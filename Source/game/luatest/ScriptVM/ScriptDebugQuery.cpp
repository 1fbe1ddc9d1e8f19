// Answers to the script debugger: the entries of a script table (of a
// script object, or of the local variables of a call level) and the call
// stack, as compact text with the bytes 1, 2 and 3 as separators.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Lua/luadebug.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"

namespace {

const int kENTRIES_BUFFER_SIZE = 65536;
const int kMAX_KEY_TEXT = 4095;
// Stack slots kept free before each push.
const int kQUERY_STACK_MARGIN = 6;

const char kENTRY_END = '\x01';
const char kCALLSTACK_HEAD_END = '\x02';
const char kCALLSTACK_ENTRY_SEPARATOR = '\x03';

// Reads a call level: decimal digits only, no sign, within int.
bool ParseLevel(const char* szText, int& iLevel) {
  if (!szText || !*szText) return false;
  long lValue = 0;
  for (const char* p = szText; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    lValue = lValue * 10 + (*p - '0');
    if (lValue > 0x7FFFFFFF) return false;
  }
  iLevel = (int)lValue;
  return true;
}

// The key text of the pair on top of the stack (key at -2). Number keys are
// converted on a copy so that the key itself stays a number for the
// traversal; keys without text of their own (tables, functions, userdata)
// show their address.
void KeyText(lua_State* L, char* szOut, size_t uSize) {
  switch (lua_type(L, -2)) {
    case LUA_TSTRING: snprintf(szOut, uSize, "%.*s", kMAX_KEY_TEXT, lua_tostring(L, -2)); break;
    case LUA_TNUMBER: {
      lua_pushvalue(L, -2);
      const char* szNumber = lua_tostring(L, -1);
      snprintf(szOut, uSize, "%.*s", kMAX_KEY_TEXT, szNumber ? szNumber : "");
      lua_pop(L, 1);
      break;
    }
    default:
      snprintf(szOut, uSize, "0x%llX", (unsigned long long)(uintptr_t)lua_topointer(L, -2));
      break;
  }
}

}  // namespace

int EScriptVM::DebugParseLuaTable(char* szOut, int iSize) {
  lua_State* L = m_pGlobalState;
  char szKey[kMAX_KEY_TEXT + 1];
  KeyText(L, szKey, sizeof(szKey));
  size_t uSize = iSize > 0 ? (size_t)iSize : 0;
  char* pOut = uSize ? szOut : nullptr;
  switch (lua_type(L, -1)) {
    case LUA_TSTRING: return snprintf(pOut, uSize, "%s='%s'%c", szKey, lua_tostring(L, -1), kENTRY_END);
    case LUA_TNUMBER: return snprintf(pOut, uSize, "%s=%f%c", szKey, (double)lua_tonumber(L, -1), kENTRY_END);
    case LUA_TTABLE: return snprintf(pOut, uSize, "%s={Table}%c", szKey, kENTRY_END);
    case LUA_TFUNCTION: return snprintf(pOut, uSize, "%s={Function}%c", szKey, kENTRY_END);
    case LUA_TUSERDATA: return snprintf(pOut, uSize, "%s=%p%c", szKey, lua_touserdata(L, -1), kENTRY_END);
    default: return snprintf(pOut, uSize, "%s={Unknown Type '%i'}%c", szKey, lua_type(L, -1), kENTRY_END);
  }
}

bool EScriptVM::DebugCreateLocalTable(const char* szSpec) {
  lua_State* L = m_pGlobalState;
  if (!L || !szSpec) return false;
  // "local:N": exactly one colon, and a level of digits.
  const char* pColon = strchr(szSpec, ':');
  int iLevel = 0;
  if (!pColon || strchr(pColon + 1, ':') || !ParseLevel(pColon + 1, iLevel)) {
    ScriptConsoleLine("Error: Invalid local stack specifier '%s'", szSpec);
    return false;
  }
  if (lua_stackspace(L) < kQUERY_STACK_MARGIN) return false;
  lua_newtable(L);
  lua_Debug ar;
  if (!lua_getstack(L, iLevel, &ar)) {
    ScriptConsoleLine("Error: Invalid local stack level '%i'", iLevel);
    return false;
  }
  int iTable = lua_gettop(L);
  for (int iLocal = 1;; ++iLocal) {
    if (lua_stackspace(L) < kQUERY_STACK_MARGIN) return false;
    const char* szName = lua_getlocal(L, &ar, iLocal);
    if (!szName) break;
    // A later local of the same name replaces an earlier one.
    lua_pushstring(L, szName);
    lua_insert(L, -2);
    lua_rawset(L, iTable);
  }
  return true;
}

char* EScriptVM::DebugGetLuaTableEntries(const char* szQuery, int& iLength) {
  lua_State* L = m_pGlobalState;
  iLength = 0;
  if (!L || !szQuery || lua_stackspace(L) < kQUERY_STACK_MARGIN) return nullptr;
  int iTop = lua_gettop(L);

  const char* pDot = strchr(szQuery, '.');
  EString sObject(szQuery, pDot ? (int)(pDot - szQuery) : -1);
  const char* szObject = *sObject ? *sObject : "";
  if (strncmp(szQuery, "local:", 6) == 0) {
    if (!DebugCreateLocalTable(szObject)) {
      lua_settop(L, iTop);
      return nullptr;
    }
  } else {
    EScriptObject* pObject = FindScriptByName(szObject);
    if (!pObject || !pObject->PushTable(L)) {
      g_ErrorManager.TraceMessagef(TT_None, "ScriptVM Error: Couldn't find script '%s' for GetLuaTableEntries",
                                   szObject);
      lua_settop(L, iTop);
      return nullptr;
    }
  }
  if (pDot && !WalkLuaTablePath(L, pDot + 1)) {
    g_ErrorManager.TraceMessagef(TT_None, "Not Valid '%s'", szQuery);
    lua_settop(L, iTop);
    return nullptr;
  }

  char* pszReturnBuffer = (char*)malloc(kENTRIES_BUFFER_SIZE);
  if (!pszReturnBuffer) {
    lua_settop(L, iTop);
    return nullptr;
  }
  pszReturnBuffer[0] = '\0';
  int iUsed = 0;
  // Appends the pair on top; false once the buffer is full.
  auto Append = [&]() {
    int iSpace = kENTRIES_BUFFER_SIZE - iUsed;
    int iWritten = DebugParseLuaTable(pszReturnBuffer + iUsed, iSpace);
    if (iWritten < 0) return true;
    if (iWritten >= iSpace) {
      iUsed = kENTRIES_BUFFER_SIZE - 1;
      return false;
    }
    iUsed += iWritten;
    return true;
  };

  int iTable = lua_gettop(L);
  lua_pushnil(L);
  if (lua_next(L, iTable)) {
    if (lua_type(L, -2) == LUA_TNUMBER) {
      // An array: its elements in order, holes left out.
      lua_pop(L, 2);
      int n = lua_getn(L, iTable);
      for (int i = 0; i <= n; ++i) {
        char szIndex[24];
        snprintf(szIndex, sizeof(szIndex), "[%i]", i);
        lua_pushstring(L, szIndex);
        lua_rawgeti(L, iTable, i);
        bool bFull = !lua_isnil(L, -1) && !Append();
        lua_pop(L, 2);
        if (bFull) break;
      }
    } else {
      do {
        bool bFull = !Append();
        lua_pop(L, 1);
        if (bFull) break;
      } while (lua_next(L, iTable));
    }
  }
  pszReturnBuffer[iUsed] = '\0';
  lua_settop(L, iTop);
  iLength = iUsed + 1;
  return pszReturnBuffer;
}

char* EScriptVM::GetCallStack(int iLevel) {
  lua_State* L = m_pGlobalState;
  if (!L || iLevel < 0) return nullptr;
  EString sEntries;
  int iEntries = 0;
  lua_Debug ar;
  for (int i = iLevel; lua_getstack(L, i, &ar); ++i) {
    if (!lua_getinfo(L, "lnS", &ar)) return nullptr;
    if (iEntries > 0) {
      char szSeparator[2] = {kCALLSTACK_ENTRY_SEPARATOR, '\0'};
      sEntries += szSeparator;
    }
    EString sEntry;
    if (ar.name)
      sEntry.Printf("%s,%s", ar.name, ar.namewhat ? ar.namewhat : "");
    else
      sEntry = "Unknown,(unknown)";
    char szLine[16];
    snprintf(szLine, sizeof(szLine), "%c%d", kENTRY_END, ar.currentline);
    char szEnd[2] = {kENTRY_END, '\0'};
    sEntries += sEntry;
    sEntries += szEnd;
    sEntries += ar.source ? ar.source : "";
    sEntries += szLine;
    ++iEntries;
  }
  if (iEntries == 0) return nullptr;

  char szHead[16];
  int iHead = snprintf(szHead, sizeof(szHead), "%i%c", iEntries, kCALLSTACK_HEAD_END);
  char* pszResult = (char*)malloc((size_t)iHead + (size_t)sEntries.Length() + 1);
  if (!pszResult) return nullptr;
  memcpy(pszResult, szHead, (size_t)iHead);
  memcpy(pszResult + iHead, *sEntries ? *sEntries : "", (size_t)sEntries.Length());
  pszResult[iHead + sEntries.Length()] = '\0';
  return pszResult;
}
