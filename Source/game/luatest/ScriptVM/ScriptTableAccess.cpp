// Table access for engine code: values below a script object's table named
// by dotted paths, arrays, bit fields, and the path walkers the state writer
// and the debugger use.
//
// Every step of a walk is checked to be a table before it is indexed:
// indexing anything else raises an interpreter error, and these operations
// run outside any protected call.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"

namespace {

// Stack slots a walk keeps free before each push.
const int kWALK_STACK_MARGIN = 4;

// The components of a dotted path, empty ones included; no length limits.
class EPathComponents {
public:
  explicit EPathComponents(const char* szPath) : m_p(szPath ? szPath : ""), m_bDone(false) {}
  bool Next(const char*& szStart, size_t& uLength) {
    if (m_bDone) return false;
    szStart = m_p;
    const char* pDot = strchr(m_p, '.');
    if (pDot) {
      uLength = size_t(pDot - m_p);
      m_p = pDot + 1;
    } else {
      uLength = strlen(m_p);
      m_bDone = true;
    }
    return true;
  }
  // True once the component last returned was the last one.
  bool AtEnd() const { return m_bDone; }

private:
  const char* m_p;
  bool m_bDone;
};

// Restores the interpreter stack height on leaving the scope.
class EStackRestore {
public:
  explicit EStackRestore(lua_State* L) : m_L(L), m_iTop(L ? lua_gettop(L) : 0) {}
  ~EStackRestore() {
    if (m_L) lua_settop(m_L, m_iTop);
  }
  EStackRestore(const EStackRestore&) = delete;
  EStackRestore& operator=(const EStackRestore&) = delete;

private:
  lua_State* m_L;
  int m_iTop;
};

// A number truncated toward zero, held within the range of int.
int TruncateToInt(float f) {
  if (f != f) return 0;
  if (f >= 2147483648.0f) return INT_MAX;
  if (f < -2147483648.0f) return INT_MIN;
  return (int)f;
}

// Reads the index of an array step "[i]" (decimal, 0x hexadecimal or
// 0-prefixed octal). Negative or unreadable indices are refused.
bool ParseIndexStep(const char* szStep, size_t uLength, int& iIndex) {
  char szBuffer[32];
  if (uLength < 2 || uLength >= sizeof(szBuffer)) return false;
  memcpy(szBuffer, szStep, uLength);
  szBuffer[uLength] = '\0';
  char* pEnd = nullptr;
  long lValue = strtol(szBuffer + 1, &pEnd, 0);
  if (pEnd == szBuffer + 1) return false;
  EASSERT_WARN(lValue > -1);
  if (lValue < 0 || lValue > INT_MAX) return false;
  iIndex = (int)lValue;
  return true;
}

// Number text of an array element read in string form: the interpreter makes
// a new string that nothing references, so the text is copied here and stays
// valid until the next such read.
EString& ArrayNumberText() {
  static EString s_sText;
  return s_sText;
}

}  // namespace

// ---------------------------------------------------------------------------
// Path walks

bool WalkLuaTablePath(lua_State* L, const char* szPath) {
  if (!L || !szPath || !lua_istable(L, -1)) return false;
  EPathComponents path(szPath);
  const char* szStep;
  size_t uLength;
  while (path.Next(szStep, uLength)) {
    if (lua_stackspace(L) < kWALK_STACK_MARGIN) return false;
    if (uLength > 0 && szStep[0] == '[') {
      int iIndex = 0;
      if (!ParseIndexStep(szStep, uLength, iIndex)) return false;
      lua_rawgeti(L, -1, iIndex);
    } else {
      lua_pushlstring(L, szStep, uLength);
      lua_gettable(L, -2);
    }
    if (!lua_istable(L, -1)) return false;
  }
  return true;
}

bool EScriptVM::GetLuaTableFromName(const char* szPath, bool bKeepLast) {
  lua_State* L = m_pGlobalState;
  if (!L || !szPath) return false;
  EPathComponents path(szPath);
  const char* szStep;
  size_t uLength;
  while (path.Next(szStep, uLength)) {
    if (!lua_istable(L, -1) || lua_stackspace(L) < kWALK_STACK_MARGIN) return false;
    lua_pushlstring(L, szStep, uLength);
    if (bKeepLast && path.AtEnd()) return true;
    lua_gettable(L, -2);
    if (lua_isnil(L, -1)) return false;
  }
  return true;
}

namespace {

// Pushes the object's table and walks to the last key of the path: the
// table that holds it at -2, the key at -1.
bool PushFieldSlot(EScriptVM* pVM, const EScriptObject* pObject, const char* szPath) {
  lua_State* L = pVM->GetGlobalState();
  if (!L || !pObject || !pObject->PushTable(L)) return false;
  return pVM->GetLuaTableFromName(szPath, true);
}

// Pushes the value of the field at path (nil when missing); false when the
// walk fails.
bool PushFieldValue(EScriptVM* pVM, const EScriptObject* pObject, const char* szPath) {
  if (!PushFieldSlot(pVM, pObject, szPath)) return false;
  lua_gettable(pVM->GetGlobalState(), -2);
  return true;
}

// Pushes the table at path; false when the walk fails or the value is not a
// table.
bool PushTableAt(EScriptVM* pVM, const EScriptObject* pObject, const char* szPath) {
  lua_State* L = pVM->GetGlobalState();
  if (!L || !pObject || !pObject->PushTable(L)) return false;
  return pVM->GetLuaTableFromName(szPath, false) && lua_istable(L, -1);
}

// True when the first step of a traversal of the table on top gives a number
// key (the table reads as an array). The stack is left as it was.
bool FirstKeyIsNumber(lua_State* L) {
  lua_pushnil(L);
  if (!lua_next(L, -2)) return false;
  bool bNumber = lua_type(L, -2) == LUA_TNUMBER;
  lua_pop(L, 2);
  return bNumber;
}

}  // namespace

bool EScriptVM::CheckOrCreateTable(EScriptObject* pObject, const char* szPath) {
  lua_State* L = m_pGlobalState;
  if (!L || !pObject || !szPath) return false;
  EStackRestore restore(L);
  if (!pObject->PushTable(L)) return false;
  EPathComponents path(szPath);
  const char* szStep;
  size_t uLength;
  while (path.Next(szStep, uLength)) {
    lua_pushlstring(L, szStep, uLength);
    lua_gettable(L, -2);
    if (lua_isnil(L, -1)) {
      lua_pop(L, 1);
      lua_newtable(L);
      lua_pushlstring(L, szStep, uLength);
      lua_pushvalue(L, -2);
      lua_settable(L, -4);
    } else if (!lua_istable(L, -1)) {
      g_ErrorManager.TraceMessagef(TT_Warning, "CheckOrCreateTable Error: found non-table entry");
      return false;
    }
    lua_remove(L, -2);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Field writers: the value is stored with the ordinary indexed write, so the
// tag methods of the table apply.

#define TABLE_WRITER_BODY(PUSH)                            \
  lua_State* L = m_pGlobalState;                           \
  EStackRestore restore(L);                                \
  if (!PushFieldSlot(this, pObject, szPath)) return false; \
  PUSH;                                                    \
  lua_settable(L, -3);                                     \
  return true;

bool EScriptVM::SetScriptTableValue(const EScriptObject* pObject, const char* szPath, float fValue) {
  TABLE_WRITER_BODY(lua_pushnumber(L, fValue))
}

bool EScriptVM::SetScriptTableValueAsFloat(const EScriptObject* pObject, const char* szPath, int iValue) {
  TABLE_WRITER_BODY(lua_pushint(L, iValue))
}

bool EScriptVM::SetScriptTableValueAsId(const EScriptObject* pObject, const char* szPath, int iValue) {
  TABLE_WRITER_BODY(lua_pushid(L, (lua_Id)iValue))
}

bool EScriptVM::SetScriptTableValue(const EScriptObject* pObject, const char* szPath, const char* szValue) {
  TABLE_WRITER_BODY(lua_pushstring(L, szValue))
}

bool EScriptVM::SetScriptTableValue(const EScriptObject* pObject, const char* szPath, EScriptObject* pValue) {
  TABLE_WRITER_BODY(if (!pValue || !pValue->PushTable(L)) lua_pushnil(L))
}

bool EScriptVM::SetScriptTableValueToBlankTable(const EScriptObject* pObject, const char* szPath) {
  TABLE_WRITER_BODY(lua_newtable(L))
}

#undef TABLE_WRITER_BODY

// ---------------------------------------------------------------------------
// Field readers: a missing value or one of another type gives false and
// leaves the out-parameter as it was.

bool EScriptVM::GetScriptTableValue(const EScriptObject* pObject, const char* szPath, float& fValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushFieldValue(this, pObject, szPath) || lua_type(L, -1) != LUA_TNUMBER) return false;
  fValue = lua_tonumber(L, -1);
  return true;
}

bool EScriptVM::GetScriptTableValueFromFloat(const EScriptObject* pObject, const char* szPath, int& iValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushFieldValue(this, pObject, szPath) || lua_type(L, -1) != LUA_TNUMBER) return false;
  iValue = TruncateToInt(lua_tonumber(L, -1));
  return true;
}

bool EScriptVM::GetScriptTableValueFromId(const EScriptObject* pObject, const char* szPath, int& iValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushFieldValue(this, pObject, szPath) || lua_type(L, -1) != LUA_TNUMBER) return false;
  iValue = (int)lua_toid(L, -1);
  return true;
}

bool EScriptVM::GetScriptTableValue(const EScriptObject* pObject, const char* szPath, const char*& szValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushFieldValue(this, pObject, szPath) || lua_type(L, -1) != LUA_TSTRING) return false;
  // The table holds the string, so its text outlives this call.
  szValue = lua_tostring(L, -1);
  return true;
}

bool EScriptVM::GetScriptTableValue(const EScriptObject* pObject, const char* szPath, EScriptObject*& pValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushFieldValue(this, pObject, szPath) || !lua_istable(L, -1)) return false;
  pValue = FindScriptByLuaPtr(lua_topointer(L, -1));
  return pValue != nullptr;
}

// ---------------------------------------------------------------------------
// Array elements (raw reads and writes, no tag methods)

namespace {

// Pushes element index of the array at path; false when the walk fails, the
// table is not an array, the index is negative or the element is nil.
bool PushArrayElement(EScriptVM* pVM, const EScriptObject* pObject, const char* szPath, int iIndex) {
  lua_State* L = pVM->GetGlobalState();
  if (iIndex < 0 || !PushTableAt(pVM, pObject, szPath) || !FirstKeyIsNumber(L)) return false;
  lua_rawgeti(L, -1, iIndex);
  return !lua_isnil(L, -1);
}

}  // namespace

bool EScriptVM::GetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex,
                                         const char*& szValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushArrayElement(this, pObject, szPath, iIndex)) return false;
  if (lua_type(L, -1) == LUA_TNUMBER) {
    EString& sText = ArrayNumberText();
    sText = lua_tostring(L, -1);
    szValue = *sText;
  } else {
    szValue = lua_tostring(L, -1);  // a string held by the table, or null
  }
  return true;
}

bool EScriptVM::GetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, int& iValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushArrayElement(this, pObject, szPath, iIndex)) return false;
  iValue = TruncateToInt(lua_tonumber(L, -1));
  return true;
}

bool EScriptVM::GetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex,
                                         float& fValue) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushArrayElement(this, pObject, szPath, iIndex)) return false;
  fValue = lua_tonumber(L, -1);
  return true;
}

#define ARRAY_WRITER_BODY(PUSH)                                           \
  lua_State* L = m_pGlobalState;                                          \
  EStackRestore restore(L);                                               \
  if (iIndex < 0 || !PushTableAt(this, pObject, szPath)) return false;   \
  PUSH;                                                                   \
  lua_rawseti(L, -2, iIndex);                                             \
  return true;

bool EScriptVM::SetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex,
                                         const char* szValue) {
  ARRAY_WRITER_BODY(lua_pushstring(L, szValue))
}

bool EScriptVM::SetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, int iValue) {
  ARRAY_WRITER_BODY(lua_pushint(L, iValue))
}

bool EScriptVM::SetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex,
                                         float fValue) {
  ARRAY_WRITER_BODY(lua_pushnumber(L, fValue))
}

#undef ARRAY_WRITER_BODY

// ---------------------------------------------------------------------------
// Bit fields: bit b lives in element b / 16 + 1, bit b mod 16 of its id.

bool EScriptVM::SetScriptTableBitfield(const EScriptObject* pObject, const char* szPath, unsigned uBit, bool bOn) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushTableAt(this, pObject, szPath)) return false;
  int iElement = (int)(uBit / 16 + 1);
  for (int i = lua_getn(L, -1) + 1; i <= iElement; ++i) {
    lua_pushid(L, 0);
    lua_rawseti(L, -2, i);
  }
  lua_rawgeti(L, -1, iElement);
  lua_Id uBits = lua_toid(L, -1);
  lua_pop(L, 1);
  lua_Id uMask = (lua_Id)1 << (uBit % 16);
  uBits = bOn ? (uBits | uMask) : (uBits & ~uMask);
  lua_pushid(L, uBits);
  lua_rawseti(L, -2, iElement);
  return true;
}

bool EScriptVM::GetScriptTableBitfield(const EScriptObject* pObject, const char* szPath, unsigned uBit) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!PushTableAt(this, pObject, szPath)) return false;
  int iElement = (int)(uBit / 16 + 1);
  if (lua_getn(L, -1) < iElement) return false;
  lua_rawgeti(L, -1, iElement);
  return (lua_toid(L, -1) & ((lua_Id)1 << (uBit % 16))) != 0;
}

// ---------------------------------------------------------------------------
// Whole arrays into engine arrays: elements 0 through the length, nil skipped.

bool EScriptVM::GetTableArray(EScriptObject* pObject, const char* szPath, EArray<EString>* pOut) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!pOut || !PushTableAt(this, pObject, szPath) || !FirstKeyIsNumber(L)) return false;
  ForEachLuaArrayElement(L, lua_gettop(L), [&](int) { pOut->AddData(EString(lua_tostring(L, -1))); });
  return true;
}

bool EScriptVM::GetTableArray(EScriptObject* pObject, const char* szPath, EArray<int>* pOut) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!pOut || !PushTableAt(this, pObject, szPath) || !FirstKeyIsNumber(L)) return false;
  ForEachLuaArrayElement(L, lua_gettop(L), [&](int) { pOut->AddData(TruncateToInt(lua_tonumber(L, -1))); });
  return true;
}

bool EScriptVM::GetTableArray(EScriptObject* pObject, const char* szPath, EArray<EScriptObject*>* pOut) {
  lua_State* L = m_pGlobalState;
  EStackRestore restore(L);
  if (!pOut || !PushTableAt(this, pObject, szPath)) return false;
  if (!FirstKeyIsNumber(L)) return true;
  ForEachLuaArrayElement(L, lua_gettop(L), [&](int) {
    pOut->AddData(lua_istable(L, -1) ? FindScriptByLuaPtr(lua_topointer(L, -1)) : nullptr);
  });
  return true;
}

// ---------------------------------------------------------------------------
// Key names

void EScriptVM::GetScriptNamesFromTable(EScriptObject* pObject, EArray<EString>* pOut, const char* szName,
                                        const char* szMatch) {
  lua_State* L = m_pGlobalState;
  if (!L || !szName) return;
  const char* pDot = strchr(szName, '.');
  if (!pObject) {
    EString sObject(szName, pDot ? (int)(pDot - szName) : -1);
    ScriptConsoleLine("ScriptVM Error: Couldn't find script '%s' for GetScriptNamesFromTable", *sObject ? *sObject : "");
    return;
  }
  EStackRestore restore(L);
  if (!pOut || !pObject->PushTable(L)) return;
  if (pDot && !WalkLuaTablePath(L, pDot + 1)) return;
  int iTable = lua_gettop(L);
  lua_pushnil(L);
  if (!lua_next(L, iTable)) return;
  if (lua_type(L, -2) == LUA_TNUMBER) {
    lua_settop(L, iTable);
    ForEachLuaArrayElement(L, iTable, [&](int i) { pOut->AddData(EString(EPrintfTag(), "[%i]", i)); });
    return;
  }
  do {
    int iValueType = lua_type(L, -1);
    if (iValueType != LUA_TTABLE && iValueType != LUA_TFUNCTION && lua_type(L, -2) != LUA_TFUNCTION) {
      bool bTake = true;
      if (szMatch) {
        // Texts are taken from copies so the traversal key stays as it is.
        lua_pushvalue(L, -1);
        const char* szValue = lua_tostring(L, -1);
        bTake = szValue && strcmp(szValue, szMatch) == 0;
        lua_pop(L, 1);
      }
      if (bTake) {
        lua_pushvalue(L, -2);
        const char* szKey = lua_tostring(L, -1);
        if (szKey) pOut->AddData(EString(szKey));
        lua_pop(L, 1);
      }
    }
    lua_pop(L, 1);
  } while (lua_next(L, iTable));
}

// ---------------------------------------------------------------------------
// The script object's forwarders

#define FORWARD_TO_VM(CALL)                     \
  EScriptVM* pVM = EScriptVM::m_spScriptVM;     \
  return pVM != nullptr && pVM->CALL;

bool EScriptObject::GetTableValue(const char* szPath, float& fValue) const {
  FORWARD_TO_VM(GetScriptTableValue(this, szPath, fValue))
}
bool EScriptObject::GetTableValue(const char* szPath, int& iValue) const {
  FORWARD_TO_VM(GetScriptTableValueFromFloat(this, szPath, iValue))
}
bool EScriptObject::GetTableValue(const char* szPath, const char*& szValue) const {
  FORWARD_TO_VM(GetScriptTableValue(this, szPath, szValue))
}
bool EScriptObject::GetTableValue(const char* szPath, EScriptObject*& pValue) const {
  FORWARD_TO_VM(GetScriptTableValue(this, szPath, pValue))
}
bool EScriptObject::SetTableValue(const char* szPath, float fValue) const {
  FORWARD_TO_VM(SetScriptTableValue(this, szPath, fValue))
}
bool EScriptObject::SetTableValue(const char* szPath, int iValue) const {
  FORWARD_TO_VM(SetScriptTableValueAsFloat(this, szPath, iValue))
}
bool EScriptObject::SetTableValue(const char* szPath, const char* szValue) const {
  FORWARD_TO_VM(SetScriptTableValue(this, szPath, szValue))
}
bool EScriptObject::SetTableValue(const char* szPath, EScriptObject* pValue) const {
  FORWARD_TO_VM(SetScriptTableValue(this, szPath, pValue))
}

#undef FORWARD_TO_VM

void EScriptObject::GetScriptNamesFromTable(EArray<EString>* pOut, const char* szName, const char* szMatch) {
  if (EScriptVM::m_spScriptVM) EScriptVM::m_spScriptVM->GetScriptNamesFromTable(this, pOut, szName, szMatch);
}
