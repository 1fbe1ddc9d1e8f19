#include "VERirezo/ActionTable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "Lua/lua.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/BucketAlloc.h"

namespace ActionTableDetail {

enum : unsigned { kLINE_CAPACITY = 300, kFLAG_CAPACITY = 10, kMAX_WORD = 0xFFFF, kMAX_ITEM_INDEX = 0x7FFF };
enum : unsigned { kLUA_BUFFER = 3000, kLUA_MAX_LENGTH = 2985 };
const char kLUA_FUNCTION[] = "dummyActionTableCommand";

struct Fixup {
  uint16_t uSrc, uDst, uTargetSrc, uTargetDst;
};

struct FlagName {
  const char* szName;
  bool bIsStateFlag;
  int32_t iStateFlag;
  uint32_t uMask;
};

const FlagName kFLAG_NAMES[] = {
    {"APPLYGRAVITY", false, -1, 8},   {"COLLIDER", false, -1, 2},        {"COLLIDEE", false, -1, 1},
    {"JUMPING", true, 20, 0},         {"MOUNTINGBALL", true, 7, 0},      {"RIDINGBALL", true, 8, 0},
    {"IgnoreGravity", true, 54, 0},   {"CLIMBING", true, 4, 0},          {"HANGING", true, 6, 0},
    {"DROPDOWNLEDGE", true, 5, 0},    {"PSIFLOAT", true, 14, 0},         {"MOUNTING_LEDGE", true, 12, 0},
    {"ONGROUND", true, 0, 0},         {"LADDERDISMOUNTTOP", true, 35, 0}, {"LADDERMOUNTTOP", true, 34, 0},
    {"FIREDPSIBLAST", true, 22, 0},   {"KeepBase", true, 58, 0},
};

char* CopyName(const char* szText, size_t uLength) {
  char* p = static_cast<char*>(AllocFromBuckets((int)uLength + 1));
  EASSERT(p);
  memcpy(p, szText, uLength);
  p[uLength] = '\0';
  return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A damaged table: traced with what was found wrong.
bool Refuse(const char* szWhat) {
  g_ErrorManager.TraceMessagef(TT_Warning, "Action table refused: %s", szWhat);
  return false;
}

}  // namespace ActionTableDetail

using namespace ActionTableDetail;

// Text lines of a file in memory. Every run of NUL, LF and CR after a line
// is passed over, so empty lines vanish.
class EActionLineReader {
public:
  EActionLineReader(const unsigned char* pData, unsigned uSize) : m_pData(pData), m_uSize(uSize), m_uPos(0) {}

  bool AtEnd() const { return m_uPos >= m_uSize; }
  char Peek() const { return AtEnd() ? '\0' : (char)m_pData[m_uPos]; }

  // Reads a line into a buffer of uCapacity bytes. A line of uCapacity
  // characters or more keeps its first uCapacity - 1, loses the next one and
  // goes on as the following line.
  void ReadLine(char* szOut, unsigned uCapacity) {
    unsigned n = 0;
    while (n < uCapacity && m_uPos < m_uSize) {
      const char c = (char)m_pData[m_uPos];
      if (c == '\0' || c == '\n' || c == '\r') break;
      szOut[n++] = c;
      ++m_uPos;
    }
    if (n == uCapacity) {
      --n;
      szOut[n] = '\0';
      g_ErrorManager.TraceMessagef(TT_None, "ReadLine: Line too long:\n%s", szOut);
    }
    szOut[n] = '\0';
    while (m_uPos < m_uSize) {
      const char c = (char)m_pData[m_uPos];
      if (c != '\0' && c != '\n' && c != '\r') break;
      ++m_uPos;
    }
  }

private:
  const unsigned char* m_pData;
  unsigned m_uSize;
  unsigned m_uPos;
};

// ---- States -----------------------------------------------------------------------------------

EActionState::EActionState(const char* szName, bool bLocked)
    : m_szName(CopyName(szName, strlen(szName))), m_bLocked(bLocked ? 1 : 0) {}

EActionState::~EActionState() { FreeFromBuckets(m_szName); }

// ---- Items ------------------------------------------------------------------------------------

EActionListItem::EActionListItem() : m_iKind(kACTION_Empty) {
  memset(&m_Custom, 0, sizeof(m_Custom));
  memset(&m_Anim, 0, sizeof(m_Anim));
  m_iWord = -1;
}

EActionListItem::~EActionListItem() {
  switch (m_iKind) {
    case kACTION_Anim:
      FreeFromBuckets(m_Anim.m_szFile);
      break;
    case kACTION_Preload:
      FreeFromBuckets(m_Preload.m_szFile);
      break;
    case kACTION_Lua:
      if (m_Lua.m_iRef != -1 && EScriptVM::m_spScriptVM && EScriptVM::m_spScriptVM->GetGlobalState())
        lua_unref(EScriptVM::m_spScriptVM->GetGlobalState(), m_Lua.m_iRef);
      break;
    default:
      break;
  }
}

bool EActionListItem::Read(EActionLineReader& reader, EActionTable& table) {
  m_iKind = kACTION_Empty;
  m_iWord = -1;
  if (reader.AtEnd()) return Refuse("the file ends inside a transition");
  if (reader.Peek() == '[') {
    m_iKind = kACTION_End;
    return true;
  }
  char szLine[kLINE_CAPACITY];
  reader.ReadLine(szLine, sizeof(szLine));
  int iKind = 0;
  if (IsDigit(szLine[0])) iKind = szLine[0] - '0';
  if (szLine[0] && IsDigit(szLine[1])) iKind = iKind * 10 + (szLine[1] - '0');
  const char* szRest = strlen(szLine) >= 2 ? szLine + 2 : "";
  bool bParsed = false;
  switch (iKind) {
    case kACTION_Anim:
    case kACTION_Preload: {
      if (szRest[0] != '"') break;
      const char* szClose = strchr(szRest + 1, '"');
      if (!szClose || !szClose[1]) break;
      const char* szNumbers = szClose + 2;
      if (iKind == kACTION_Anim) {
        float fBlend = 0.5f;
        int iOptions = 0, iSwitch = 0, iPriority = 0;
        const int n = sscanf(szNumbers, "%f %i %i %d", &fBlend, &iOptions, &iSwitch, &iPriority);
        if (n < 2) break;
        m_Anim.m_szFile = CopyName(szRest + 1, (size_t)(szClose - szRest - 1));
        m_Anim.m_fBlendTime = fBlend;
        m_Anim.m_iPriority = (n >= 4 && iSwitch != 0) ? iPriority : 0;
        m_Anim.m_uOptions = (uint8_t)(iOptions & 0x7F);
      } else {
        float fBias = 0.0f;
        if (sscanf(szNumbers, "%f", &fBias) < 1) break;
        m_Preload.m_szFile = CopyName(szRest + 1, (size_t)(szClose - szRest - 1));
        m_Preload.m_fBias = fBias;
      }
      m_iKind = iKind;
      bParsed = true;
      break;
    }
    case kACTION_Goto: {
      const int iTarget = table.GetStateIndex(szRest);
      if (iTarget == INVALID_ACTION_STATE) return Refuse("m_iGotoTarget != INVALID_ACTION_STATE");
      m_iKind = kACTION_Goto;
      m_Goto.m_uTarget = (uint16_t)iTarget;
      bParsed = true;
      break;
    }
    case kACTION_Lua: {
      bool bFailed = false;
      if (!ReadLua(reader, bFailed)) return false;
      bParsed = !bFailed;
      break;
    }
    case kACTION_Yield:
      m_iKind = kACTION_Yield;
      bParsed = true;
      break;
    case kACTION_PhysicsFlag: {
      char szName[kLINE_CAPACITY];
      int iValue = 0, iAssert = 0;
      if (sscanf(szLine, "%*i %299s %i %i", szName, &iValue, &iAssert) < 2) break;
      for (const FlagName& f : kFLAG_NAMES) {
        if (strcasecmp(f.szName, szName) != 0) continue;
        m_iKind = kACTION_PhysicsFlag;
        m_Flag.m_iStateFlag = f.iStateFlag;
        m_Flag.m_uMask = f.uMask;
        m_Flag.m_bIsStateFlag = f.bIsStateFlag ? 1 : 0;
        m_Flag.m_uValue = (uint8_t)iValue;
        m_Flag.m_uAssert = (uint8_t)iAssert;
        bParsed = true;
        break;
      }
      break;
    }
    case kACTION_Custom: {
      int iCustom = 0, iArg = 0, iArg2 = 0;
      float fWait = 0.0f, fValue2 = 0.0f;
      if (sscanf(szLine, "%*i %i %i %i %f %f", &iCustom, &iArg, &iArg2, &fWait, &fValue2) < 1) break;
      m_iKind = kACTION_Custom;
      m_Custom.m_iCustomKind = iCustom;
      m_Custom.m_iArg = iArg;
      m_Custom.m_iArg2 = iArg2;
      m_Custom.m_fWait = fWait;
      m_Custom.m_fValue2 = fValue2;
      bParsed = true;
      break;
    }
    default:
      break;
  }
  if (!bParsed) {
    g_ErrorManager.TraceMessagef(TT_None, "Action table: Bad command %s", szLine);
    m_iKind = kACTION_Empty;
    m_iWord = -1;
  }
  return true;
}

bool EActionListItem::ReadLua(EActionLineReader& reader, bool& bFailed) {
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  char* szBuffer = reinterpret_cast<char*>(stack.Push(kLUA_BUFFER, 1));
  strcpy(szBuffer, "function dummyActionTableCommand(self)\n\t");
  size_t uLength = strlen(szBuffer);
  for (;;) {
    if (reader.AtEnd()) return Refuse("the file ends inside a script body");
    char* szLine = szBuffer + uLength;
    reader.ReadLine(szLine, (unsigned)(kLUA_BUFFER - 1 - uLength));
    if (strncmp(szLine, "[LUAEND]", 8) == 0) {
      strcpy(szLine, "end\n");
      break;
    }
    uLength += strlen(szLine);
    szBuffer[uLength++] = '\n';
    szBuffer[uLength] = '\0';
    if (uLength > kLUA_MAX_LENGTH) {
      g_ErrorManager.TraceMessagef(TT_Warning, "ActionTable: Lua command %s too big", szBuffer);
      bFailed = true;
      return true;
    }
  }
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  lua_State* L = pVM ? pVM->GetGlobalState() : nullptr;
  if (!L || !pVM->RunLuaCommands(szBuffer, nullptr, nullptr, 0)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ActionTable: Syntax error in lua %s", szBuffer);
    if (L) {
      lua_pushnil(L);
      lua_setglobal(L, kLUA_FUNCTION);
    }
    bFailed = true;
    return true;
  }
  lua_getglobal(L, kLUA_FUNCTION);
  if (lua_type(L, -1) != LUA_TFUNCTION) {
    lua_settop(L, -2);
    g_ErrorManager.TraceMessagef(TT_Warning, "ActionTable: Syntax error in lua %s", szBuffer);
    bFailed = true;
  } else {
    m_iKind = kACTION_Lua;
    m_Lua.m_iRef = lua_ref(L, 1);
  }
  lua_pushnil(L);
  lua_setglobal(L, kLUA_FUNCTION);
  return true;
}

// ---- The table --------------------------------------------------------------------------------

EActionTable::EActionTable()
    : m_aState(kMEMTYPE_Action), m_pTable(nullptr), m_aItems(kMEMTYPE_Action), m_iBeginState(-1), m_iEndState(-1) {}

EActionTable::~EActionTable() { Clear(); }

void EActionTable::Clear() {
  free(m_pTable);
  m_pTable = nullptr;
  m_aItems.Empty();
  m_aState.Empty();
  m_iBeginState = -1;
  m_iEndState = -1;
}

bool EActionTable::ReadActionTable(EMemFile& file) {
  Clear();
  EActionLineReader reader(file.GetBuffer() ? file.GetBuffer() + file.GetPos() : nullptr,
                           file.GetBuffer() ? file.GetSize() - file.GetPos() : 0);
  char szLine[kLINE_CAPACITY];
  szLine[0] = '\0';
  if (!reader.AtEnd()) reader.ReadLine(szLine, sizeof(szLine));
  if (strcmp(szLine, "ActionFile") != 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not a valid action file");
    return false;
  }
  if (!ReadBody(reader)) {
    Clear();
    return false;
  }
  m_iBeginState = (int16_t)GetStateIndex("_Begin");
  m_iEndState = (int16_t)GetStateIndex("_End");
  return true;
}

bool EActionTable::ReadBody(EActionLineReader& reader) {
  char szLine[kLINE_CAPACITY];
  for (;;) {
    if (reader.AtEnd()) return Refuse("the file ends inside the header");
    reader.ReadLine(szLine, sizeof(szLine));
    if (strcmp(szLine, "[EndHeaders]") == 0) break;
    if (reader.AtEnd()) return Refuse("the file ends inside the header");
    char szFlag[kFLAG_CAPACITY];
    reader.ReadLine(szFlag, sizeof(szFlag));
    if ((unsigned)m_aState.Num() >= kMAX_WORD) return Refuse("m_aState.Num() <= MAX_WORD");
    EActionState& state = m_aState[m_aState.Add()];
    state.m_szName = CopyName(szLine, strlen(szLine));
    state.m_bLocked = szFlag[0] == '1' ? 1 : 0;
  }
  m_aState.Compact();
  const unsigned uNum = (unsigned)m_aState.Num();
  m_pTable = static_cast<uint16_t*>(malloc(sizeof(uint16_t) * (size_t)uNum * uNum + 1));
  if (!m_pTable) return Refuse("no memory for the transition table");
  for (size_t i = 0; i < (size_t)uNum * uNum; ++i) m_pTable[i] = kNO_TRANSITION;

  ETempArray<Fixup> aFixups(*GetThreadLocalStack());
  for (;;) {
    if (reader.AtEnd()) return Refuse("the file ends before [End]");
    reader.ReadLine(szLine, sizeof(szLine));
    if (strcmp(szLine, "[End]") == 0) break;
    unsigned dwSrc = 0, dwDst = 0;
    if (sscanf(szLine, "[%u,%u]", &dwSrc, &dwDst) != 2) return Refuse("false");
    if (dwSrc >= uNum) return Refuse("dwSrc < m_aState.Num()");
    if (dwDst >= uNum) return Refuse("dwDst < m_aState.Num()");
    if (reader.Peek() == 'L') {
      reader.ReadLine(szLine, sizeof(szLine));
      unsigned iTargetSrc = 0, iTargetDst = 0;
      if (sscanf(szLine, "Linked %u,%u", &iTargetSrc, &iTargetDst) != 2) return Refuse("false");
      if (iTargetSrc >= uNum) return Refuse("iTargetSrc < m_aState.Num()");
      if (iTargetDst >= uNum) return Refuse("iTargetDst < m_aState.Num()");
      const unsigned dwFixupIdx = aFixups.Num();
      if (dwFixupIdx >= kMAX_ITEM_INDEX) return Refuse("dwFixupIdx < MAX_ITEM_INDEX");
      TableRef((int)dwSrc, (int)dwDst) = (uint16_t)(kLINK_BIT + dwFixupIdx);
      aFixups.AddData(Fixup{(uint16_t)dwSrc, (uint16_t)dwDst, (uint16_t)iTargetSrc, (uint16_t)iTargetDst});
      continue;
    }
    const unsigned dwCurIdx = (unsigned)m_aItems.Num();
    if (dwCurIdx >= kMAX_ITEM_INDEX) return Refuse("dwCurIdx < MAX_ITEM_INDEX");
    TableRef((int)dwSrc, (int)dwDst) = (uint16_t)dwCurIdx;
    for (;;) {
      EActionListItem& item = m_aItems[m_aItems.Add()];
      if (!item.Read(reader, *this)) return false;
      if (item.m_iKind == kACTION_End) break;
    }
  }
  m_aItems.Compact();

  // Links resolve to the list at the end of their chain; a chain that runs
  // longer than there are links goes round a cycle and leads nowhere.
  const unsigned nFixups = aFixups.Num();
  for (unsigned i = 0; i < nFixups; ++i) {
    unsigned j = i;
    uint16_t uValue = kNO_TRANSITION;
    for (unsigned uSteps = 0;; ++uSteps) {
      if (uSteps > nFixups) {
        uValue = kNO_TRANSITION;
        break;
      }
      uValue = TableRef(aFixups[j].uTargetSrc, aFixups[j].uTargetDst);
      if (uValue == kNO_TRANSITION || !(uValue & kLINK_BIT)) break;
      j = uValue - kLINK_BIT;
      if (j >= nFixups) return Refuse("iCur < aFixups.Num()");
    }
    if (uValue == kNO_TRANSITION)
      g_ErrorManager.TraceMessagef(TT_Warning, "Error: linking to nonexistent transition");
    TableRef(aFixups[i].uSrc, aFixups[i].uDst) = uValue;
  }
  return true;
}

void EActionTable::PreloadAnims() {
  if (!EAnimManager::IsCreated()) return;
  EAnimManager* pCache = EAnimManager::Get();
  for (int i = 0; i < m_aItems.Num(); ++i) {
    const EActionListItem& item = m_aItems[i];
    if (item.m_iKind == kACTION_Anim)
      pCache->Preload(item.m_Anim.m_szFile, 0.0f, EAnimManager::kFLAG_NoReload);
    else if (item.m_iKind == kACTION_Preload)
      pCache->Preload(item.m_Preload.m_szFile, item.m_Preload.m_fBias, EAnimManager::kFLAG_NoReload);
  }
}

EActionState* EActionTable::GetState(int iIndex) {
  return (uint16_t)iIndex < (unsigned)m_aState.Num() ? &m_aState[(uint16_t)iIndex] : nullptr;
}

const char* EActionTable::GetStateName(int iIndex) {
  EActionState* pState = GetState(iIndex);
  return pState ? pState->m_szName : nullptr;
}

int EActionTable::GetStateIndex(const char* szName) const {
  for (int i = 0; i < m_aState.Num(); ++i) {
    if (strcmp(m_aState[i].m_szName, szName) == 0) return i;
  }
  return INVALID_ACTION_STATE;
}

EActionListItem* EActionTable::GetEntry(int iFrom, int iTo) {
  if (!m_pTable || !IsValid(iFrom, iTo)) return nullptr;
  const uint16_t uCell = TableRef(iFrom, iTo);
  if (uCell == kNO_TRANSITION || uCell >= (unsigned)m_aItems.Num()) return nullptr;
  return &m_aItems[uCell];
}
