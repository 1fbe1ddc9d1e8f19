// The script state as text: the saveable tables below one script object
// written as lines "path<sep>value" and "Table<sep>path", for save games and
// for carrying the state across an interpreter restart.
//
// Paths, keys and values go through the state-text escapes, so a separator
// or a line break inside a string reads back as written. Lines are built
// whole, with no length limit. A table met again on the same call (a cycle,
// or a table shared by two fields) is written once only.
#include <cstring>
#include <unordered_set>

#include "Game/SaveLoadGame.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptStateText.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"

namespace {

// Nesting below a listed table that is still written; deeper tables are
// left out with a warning (each level also takes interpreter stack slots).
const int kMAX_TABLE_DEPTH = 64;
const int kDESCEND_STACK_MARGIN = 8;

struct EStateWriteContext {
  lua_State* L = nullptr;
  EArray<EString>* pLines = nullptr;
  int* phSig = nullptr;
  const char* szSeparator = "";
  std::unordered_set<const void*> tablesWritten;
  int iDepth = 0;
  int iRepeats = 0;
  EString sFirstRepeat;
  int iTooDeep = 0;
  EString sFirstTooDeep;
};

// The context of the write in progress on this (the main) thread.
EStateWriteContext* s_pWriteContext = nullptr;

void WriteLine(EStateWriteContext& ctx, const EString& sLine) {
  ELoadSaveGame::writeFileSig(ctx.pLines, *sLine, sLine.Length(), *ctx.phSig);
}

// Appends the text of the value at index: strings and numbers escaped, any
// other value "(null)". The text is taken from a copy, so a number key in a
// traversal stays a number.
void AppendValueText(EStateWriteContext& ctx, EString& sLine, int iIndex) {
  lua_State* L = ctx.L;
  int iType = lua_type(L, iIndex);
  if (iType != LUA_TSTRING && iType != LUA_TNUMBER) {
    sLine += "(null)";
    return;
  }
  lua_pushvalue(L, iIndex);
  ScriptStateText_AppendEscaped(sLine, lua_tostring(L, -1), ctx.szSeparator);
  lua_pop(L, 1);
}

// Counts a table that is not written; the whole call traces once at its end.
void NoteSkipped(int& iCount, EString& sFirst, const EString& sPath) {
  if (iCount++ == 0) sFirst = sPath;
}

void WriteEntries(EStateWriteContext& ctx, const EString& sPrefix);

// Writes the table on top of the stack as the field at sPath: its table
// line, then its entries. The stack is left as it was.
void WriteNestedTable(EStateWriteContext& ctx, const EString& sPath) {
  lua_State* L = ctx.L;
  if (!ctx.tablesWritten.insert(lua_topointer(L, -1)).second) {
    NoteSkipped(ctx.iRepeats, ctx.sFirstRepeat, sPath);
    return;
  }
  if (ctx.iDepth >= kMAX_TABLE_DEPTH || lua_stackspace(L) < kDESCEND_STACK_MARGIN) {
    NoteSkipped(ctx.iTooDeep, ctx.sFirstTooDeep, sPath);
    return;
  }
  EString sLine("Table");
  sLine += ctx.szSeparator;
  sLine += sPath;
  sLine += "\n";
  WriteLine(ctx, sLine);
  lua_pushvalue(L, -1);
  lua_pushnil(L);
  ++ctx.iDepth;
  WriteEntries(ctx, sPath);
  --ctx.iDepth;
  lua_pop(L, 1);
}

// Writes the entries of the table below the nil key on top; pops the key.
void WriteEntries(EStateWriteContext& ctx, const EString& sPrefix) {
  lua_State* L = ctx.L;
  int iTable = lua_gettop(L) - 1;
  if (!lua_next(L, iTable)) return;

  if (lua_type(L, -2) == LUA_TNUMBER) {
    // Array form: elements 0 through the length, not descended into.
    lua_settop(L, iTable);
    ForEachLuaArrayElement(L, iTable, [&](int i) {
      EString sLine(sPrefix);
      EString sIndex(EPrintfTag(), ".[%i]", i);
      sLine += sIndex;
      sLine += ctx.szSeparator;
      AppendValueText(ctx, sLine, -1);
      sLine += "\n";
      WriteLine(ctx, sLine);
    });
    return;
  }

  do {
    int iValueType = lua_type(L, -1);
    if (iValueType != LUA_TFUNCTION && lua_type(L, -2) != LUA_TFUNCTION) {
      lua_pushvalue(L, -2);
      const char* szKey = lua_tostring(L, -1);
      EString sPath(sPrefix);
      sPath += ".";
      if (szKey) ScriptStateText_AppendEscaped(sPath, szKey, ctx.szSeparator);
      lua_pop(L, 1);
      if (!szKey) {
        // A key without text (a table or userdata) cannot be named in a path.
      } else if (iValueType == LUA_TTABLE) {
        WriteNestedTable(ctx, sPath);
      } else {
        EString sLine(sPath);
        sLine += ctx.szSeparator;
        AppendValueText(ctx, sLine, -1);
        sLine += "\n";
        WriteLine(ctx, sLine);
      }
    }
    lua_pop(L, 1);
  } while (lua_next(L, iTable));
}

// Sets up the write context for the outermost call and reports what was
// left out when that call ends.
class EStateWriteScope {
public:
  EStateWriteScope(lua_State* L, EArray<EString>* pLines, int& hSig, const char* szSeparator)
      : m_bOwner(s_pWriteContext == nullptr) {
    if (!m_bOwner) return;
    m_Context.L = L;
    m_Context.pLines = pLines;
    m_Context.phSig = &hSig;
    m_Context.szSeparator = szSeparator ? szSeparator : "";
    s_pWriteContext = &m_Context;
  }
  ~EStateWriteScope() {
    if (!m_bOwner) return;
    s_pWriteContext = nullptr;
    if (m_Context.iRepeats) {
      g_ErrorManager.TraceMessagef(TT_Warning,
                                   "TableWriteToFile: %d table(s) met again were not written again, the first at '%s'",
                                   m_Context.iRepeats, *m_Context.sFirstRepeat);
    }
    if (m_Context.iTooDeep) {
      g_ErrorManager.TraceMessagef(TT_Warning,
                                   "TableWriteToFile: %d table(s) nested deeper than %d levels were not written, the "
                                   "first at '%s'",
                                   m_Context.iTooDeep, kMAX_TABLE_DEPTH, *m_Context.sFirstTooDeep);
    }
  }
  EStateWriteScope(const EStateWriteScope&) = delete;
  EStateWriteScope& operator=(const EStateWriteScope&) = delete;

  EStateWriteContext& Context() { return *s_pWriteContext; }

private:
  bool m_bOwner;
  EStateWriteContext m_Context;
};

}  // namespace

void EScriptVM::tableWriteRecurse(EArray<EString>* pLines, int& hSig, const char* szPrefix, EList<char*>*,
                                  const char* szSeparator) {
  lua_State* L = m_pGlobalState;
  if (!L || lua_gettop(L) < 2 || !lua_istable(L, -2)) return;
  EStateWriteScope scope(L, pLines, hSig, szSeparator);
  EStateWriteContext& ctx = scope.Context();
  ctx.tablesWritten.insert(lua_topointer(L, -2));
  WriteEntries(ctx, EString(szPrefix));
}

void EScriptVM::TableWriteToFile(EArray<EString>* pLines, int& hSig, const char* szRoot, EList<char*>* pNames,
                                 const char* szSeparator) {
  lua_State* L = m_pGlobalState;
  if (!L || !szRoot) return;
  int iEntryTop = lua_gettop(L);
  const char* pDot = strchr(szRoot, '.');
  EString sObjectName(szRoot, pDot ? (int)(pDot - szRoot) : -1);
  EScriptObject* pObject = FindScriptByName(*sObjectName ? *sObjectName : "");
  if (!pObject) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ScriptVM Error: Couldn't find script '%s' for GetLuaTableEntries",
                                 *sObjectName ? *sObjectName : "");
    return;
  }
  if (!pObject->PushTable(L)) return;
  if (pDot && !WalkLuaTablePath(L, pDot + 1)) {
    ScriptConsoleLine("Not Valid '%s'", szRoot);
    lua_settop(L, iEntryTop);
    return;
  }
  lua_settop(L, iEntryTop);
  if (!pNames) return;

  EStateWriteScope scope(L, pLines, hSig, szSeparator);
  EStateWriteContext& ctx = scope.Context();
  POSITION pos = pNames->GetHeadPosition();
  while (pos) {
    const char* szName = pNames->GetNext(pos);
    lua_settop(L, iEntryTop);
    if (!szName || !pObject->PushTable(L) || !GetLuaTableFromName(szName, false) || !lua_istable(L, -1)) continue;
    EString sPrefix;
    ScriptStateText_AppendEscaped(sPrefix, szName, ctx.szSeparator);
    if (!ctx.tablesWritten.insert(lua_topointer(L, -1)).second) {
      NoteSkipped(ctx.iRepeats, ctx.sFirstRepeat, sPrefix);
      continue;
    }
    lua_pushnil(L);
    WriteEntries(ctx, sPrefix);
  }
  lua_settop(L, iEntryTop);
}

void EScriptObject::TableWriteToFile(EArray<EString>* pLines, int& hSig, EList<char*>* pNames,
                                     const char* szSeparator) {
  const char* szName = GetName();
  if (EScriptVM::m_spScriptVM && szName) {
    EString sRoot(szName);
    EScriptVM::m_spScriptVM->TableWriteToFile(pLines, hSig, *sRoot, pNames, szSeparator);
  }
}
