// Script messages: the message record, queueing and delivery to "on"
// handlers, the state messages and the level clean-up of the script host.
#include "ScriptVM/ScriptMessage.h"

#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "Lua/lstate.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptClass.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"

const char* const sScriptStateMessage[kSSM_NumMessages] = {"Spawn",          "PreBeginLevel", "BeginLevel",
                                                           "PostBeginLevel", "EndLevel",      "Destroyed"};

namespace {

// Releases what one argument owns.
void FreeArg(char cLetter, EScriptMessage::Arg& arg) {
  switch (cLetter) {
    case 's':
      EScriptVM::HostFreeText(arg.s);
      arg.s = nullptr;
      break;
    case 't': {
      EScriptVM* pVM = EScriptVM::m_spScriptVM;
      if (pVM && pVM->GetGlobalState()) lua_unref(pVM->GetGlobalState(), arg.i);
      arg.i = 0;
      break;
    }
    default: break;
  }
}

// Drops the dead references of the arguments of one letter list.
void CleanupArgs(char* szLetters, EScriptMessage::Arg* pArgs) {
  for (int i = 0; szLetters[i]; ++i) {
    if (szLetters[i] == 'E' && pArgs[i].e && pArgs[i].e->IsDead()) {
      szLetters[i] = '-';
      pArgs[i].p = nullptr;
    } else if (szLetters[i] == 'L' && pArgs[i].o && pArgs[i].o->IsDead()) {
      // A script object that dies before delivery arrives as nil, like a
      // dead entity.
      szLetters[i] = '-';
      pArgs[i].p = nullptr;
    }
  }
}

// The receiver's handler name, kept for the debugger while it runs.
char s_szHandlerName[300];

}  // namespace

// ---------------------------------------------------------------------------
// The record

void* EScriptMessage::operator new(size_t bytes) { return EScriptVM::HostAlloc(bytes); }
void EScriptMessage::operator delete(void* p, size_t bytes) { EScriptVM::HostFree(p, bytes); }

EScriptMessage::EScriptMessage() : m_pReceiver(nullptr), m_pSender(nullptr) {
  m_szName[0] = '\0';
  memset(m_szArgs, 0, sizeof(m_szArgs));
  for (Arg& a : m_aArgs) a.p = nullptr;
}

EScriptMessage::~EScriptMessage() { Free(); }

const char* EScriptMessage::GetLetters() const {
  if (m_szArgs[0] == '+') return m_aArgs[0].block[0].s;
  return m_szArgs;
}

void EScriptMessage::SetMessageName(const char* szName) {
  if (!szName) szName = "";
  if (strlen(szName) >= (size_t)kNAME_SIZE)
    g_ErrorManager.TraceMessagef(TT_Warning, "Message name '%s' is too long; truncating.", szName);
  strncpy(m_szName, szName, kNAME_SIZE - 1);
  m_szName[kNAME_SIZE - 1] = '\0';
}

void EScriptMessage::Createv(const char* szName, EScriptObject* pReceiver, EScriptObject* pSender, int,
                             const char* szLetters, va_list args) {
  Free();
  if (!szLetters) szLetters = "";
  SetMessageName(szName);
  m_pReceiver = pReceiver;
  m_pSender = pSender;

  int n = (int)strlen(szLetters);
  char* szStored;
  Arg* pArgs;
  if (n > kINLINE_ARGS) {
    Arg* pBlock = static_cast<Arg*>(EScriptVM::HostAlloc(sizeof(Arg) * (size_t)(n + 1)));
    pBlock[0].s = EScriptVM::HostCopyText(szLetters);
    m_szArgs[0] = '+';
    m_szArgs[1] = '\0';
    m_aArgs[0].block = pBlock;
    szStored = pBlock[0].s;
    pArgs = pBlock + 1;
  } else {
    szStored = m_szArgs;
    pArgs = m_aArgs;
  }

  for (int i = 0; i < n; ++i) {
    char c = szLetters[i];
    Arg& a = pArgs[i];
    a.p = nullptr;
    switch (c) {
      case 'E':
        a.e = va_arg(args, EEntity*);
        if (!a.e) c = '-';
        break;
      case 'L':
        a.o = va_arg(args, EScriptObject*);
        if (!a.o) c = '-';
        break;
      case 'H': a.u = va_arg(args, uint32_t); break;
      case 'i':
      case 't': a.i = va_arg(args, int); break;
      case 'S':
      case 's': {
        // Both forms keep a copy: the sender's text may be gone by the time
        // a queued message is delivered.
        const char* szText = va_arg(args, const char*);
        if (szText) {
          a.s = EScriptVM::HostCopyText(szText);
          c = 's';
        } else {
          c = '-';
        }
        break;
      }
      case 'f': a.f = (float)va_arg(args, double); break;
      case '-': break;
      default:
        g_ErrorManager.TraceMessagef(TT_Warning, "Unknown type '%c' in SendMessage '%s'", c, m_szName);
        c = '-';
        break;
    }
    szStored[i] = c;
  }
  szStored[n] = '\0';
}

EScriptMessage::Arg* EScriptMessage::SlotForSet(int iPos, char cLetter) {
  if (iPos < 0 || iPos >= kINLINE_ARGS || m_szArgs[0] == '+') return nullptr;
  FreeArg(m_szArgs[iPos], m_aArgs[iPos]);
  for (int i = 0; i < iPos; ++i) {
    if (!m_szArgs[i]) m_szArgs[i] = '-';
  }
  m_szArgs[iPos] = cLetter;
  m_aArgs[iPos].p = nullptr;
  return &m_aArgs[iPos];
}

bool EScriptMessage::SetArg(int iPos, const char* szValue) {
  Arg* a = SlotForSet(iPos, szValue ? 's' : '-');
  if (!a) return false;
  if (szValue) a->s = EScriptVM::HostCopyText(szValue);
  return true;
}

bool EScriptMessage::SetArg(int iPos, float fValue) {
  Arg* a = SlotForSet(iPos, 'f');
  if (!a) return false;
  a->f = fValue;
  return true;
}

bool EScriptMessage::SetArg(int iPos, int iValue) {
  Arg* a = SlotForSet(iPos, 'i');
  if (!a) return false;
  a->i = iValue;
  return true;
}

void EScriptMessage::Free() {
  if (m_szArgs[0] == '+') {
    Arg* pBlock = m_aArgs[0].block;
    char* szLetters = pBlock[0].s;
    int n = (int)strlen(szLetters);
    for (int i = 0; i < n; ++i) FreeArg(szLetters[i], pBlock[i + 1]);
    EScriptVM::HostFreeText(szLetters);
    EScriptVM::HostFree(pBlock, sizeof(Arg) * (size_t)(n + 1));
    m_aArgs[0].p = nullptr;
  } else {
    for (int i = 0; i < kINLINE_ARGS && m_szArgs[i]; ++i) FreeArg(m_szArgs[i], m_aArgs[i]);
  }
  memset(m_szArgs, 0, sizeof(m_szArgs));
  m_pReceiver = nullptr;
  m_pSender = nullptr;
}

bool EScriptMessage::CleanupReferences() {
  if (m_pReceiver && m_pReceiver->IsDead()) m_pReceiver = nullptr;
  if (m_pSender && m_pSender->IsDead()) m_pSender = nullptr;
  if (m_szArgs[0] == '+')
    CleanupArgs(m_aArgs[0].block[0].s, m_aArgs[0].block + 1);
  else
    CleanupArgs(m_szArgs, m_aArgs);
  return m_pReceiver == nullptr;
}

bool EScriptMessage::Dispatch(lua_State* L) {
  const char* szLetters;
  const Arg* pArgs;
  if (m_szArgs[0] == '+') {
    szLetters = m_aArgs[0].block[0].s;
    pArgs = m_aArgs[0].block + 1;
  } else {
    szLetters = m_szArgs;
    pArgs = m_aArgs;
  }
  if (!m_pReceiver) return false;
  L->scriptThread = nullptr;
  L->scriptObject = m_pReceiver;

  char szHandler[300];
  snprintf(szHandler, sizeof(szHandler), "on%s", m_szName);

  int iTop = lua_gettop(L);
  if (!m_pReceiver->PushTable(L)) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "!lua_isnil(pState,-1)", false);
  int iTable = lua_gettop(L);
  lua_pushstring(L, szHandler);
  lua_gettable(L, iTable);
  if (!lua_isfunction(L, -1)) {
    lua_settop(L, iTop);
    return false;
  }
  lua_pushvalue(L, iTable);
  if (EScriptVM* pVM = EScriptVM::m_spScriptVM) {
    memcpy(s_szHandlerName, szHandler, sizeof(s_szHandlerName));
    pVM->DebugSetCurrentFunctionName(s_szHandlerName);
  }

  if (!szLetters[0]) szLetters = "-";
  int n = 0;
  for (; szLetters[n]; ++n) {
    const Arg& a = pArgs[n];
    switch (szLetters[n]) {
      case 'E': Lua_PushLSO(L, a.e ? a.e->GetScriptObject() : nullptr); break;
      case 'L': Lua_PushLSO(L, a.o); break;
      case 'H': lua_pushid(L, a.u); break;
      case 'i': lua_pushnumber(L, (float)a.i); break;
      case 't':
        if (!lua_getref(L, a.i)) {
          g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "bRet", false);
          lua_pushnil(L);
        }
        break;
      case 'S':
      case 's': lua_pushstring(L, a.s); break;
      case 'f': lua_pushnumber(L, a.f); break;
      default: lua_pushnil(L); break;
    }
    if (n == 0) Lua_PushLSO(L, m_pSender);
  }

  if (lua_call(L, n + 2, 0) != 0) {
    lua_settop(L, iTop);
    const char* szType = "";
    if (m_pReceiver->PushTable(L)) {
      lua_pushstring(L, "Type");
      lua_gettable(L, -2);
      if (lua_isstring(L, -1)) szType = lua_tostring(L, -1);
    }
    g_ErrorManager.TraceMessagef(TT_Warning, "Message '%s' on script '%s %s' had errors.", szHandler, szType,
                                 m_pReceiver->DebugGetName() ? m_pReceiver->DebugGetName() : "");
    // The caller's values stay; only what the delivery pushed goes.
    lua_settop(L, iTop);
    return false;
  }
  lua_settop(L, iTop);
  return true;
}

// ---------------------------------------------------------------------------
// Sending (the host)

void EScriptVM::QueueScriptMessagev(const char* szName, EScriptObject* pReceiver, EScriptObject* pSender,
                                    int iPriority, const char* szLetters, va_list args) {
  if (!pReceiver) return;
  if (pReceiver->IsDead()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ScriptVM: script '%s' is trying to send a message to a deleted script '%s'",
                                 (pSender && pSender->DebugGetName()) ? pSender->DebugGetName() : "NULL",
                                 pReceiver->DebugGetName() ? pReceiver->DebugGetName() : "Null");
    return;
  }
  EScriptMessage* pMessage = new EScriptMessage();
  pMessage->Createv(szName, pReceiver, pSender, iPriority, szLetters, args);
  QueueScriptMessage(pMessage, iPriority);
}

void EScriptVM::QueueScriptMessage(EScriptMessage* pMessage, int iPriority) {
  EScriptObject* pReceiver = pMessage->GetReceiver();
  // Both paths refuse a deleted receiver: its table is gone and it is freed
  // at the end of the frame.
  if (!pReceiver || pReceiver->IsDead() || !m_pGlobalState) {
    EScriptObject* pSender = pMessage->GetSender();
    if (pReceiver)
      g_ErrorManager.TraceMessagef(TT_Warning,
                                   "ScriptVM: script '%s' is trying to send a message to a deleted script '%s'",
                                   (pSender && pSender->DebugGetName()) ? pSender->DebugGetName() : "NULL",
                                   pReceiver->DebugGetName() ? pReceiver->DebugGetName() : "Null");
    delete pMessage;
    return;
  }
  if (iPriority != kMESSAGE_Immediate) {
    pReceiver->m_MessageQueue.AddTail(pMessage);
    return;
  }
  lua_State* L = m_pGlobalState;
  EScriptThread* pThread = L->scriptThread;
  EScriptObject* pObject = L->scriptObject;
  pMessage->Dispatch(L);
  L->scriptThread = pThread;
  L->scriptObject = pObject;
  delete pMessage;
}

// ---------------------------------------------------------------------------
// Sending and delivery (the receiver)

void EScriptObject::SendMessagef(const char* szName, EScriptObject* pSender, int iPriority, const char* szLetters,
                                 ...) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM) return;
  va_list args;
  va_start(args, szLetters);
  pVM->QueueScriptMessagev(szName, this, pSender, iPriority, szLetters, args);
  va_end(args);
}

void EScriptObject::SendMessage(const char* szName, EScriptObject* pSender, const char* szArg, int iPriority) {
  if (EScriptVM* pVM = EScriptVM::m_spScriptVM) pVM->QueueScriptMessage(szName, szArg, this, pSender, iPriority);
}

void EScriptObject::ProcessMessages(lua_State* L) {
  // Messages that handlers queue here meanwhile are delivered in this call.
  while (!m_MessageQueue.IsEmpty() && !IsDead()) {
    EScriptMessage* pMessage = m_MessageQueue.RemoveHead();
    pMessage->Dispatch(L);
    delete pMessage;
  }
}

void EScriptObject::FreeMessages() {
  while (!m_MessageQueue.IsEmpty()) delete m_MessageQueue.RemoveHead();
}

void EScriptObject::SendStateMessage(SCRIPT_STATE_MESSAGE eMessage) {
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !pVM->GetGlobalState()) return;
  if ((int)eMessage < 0 || (int)eMessage >= kSSM_NumMessages) return;
  const uint8_t uBit = (uint8_t)(1u << (int)eMessage);
  if (IsBeingRemoved() || (m_uStateMessagesSent & uBit)) return;
  lua_State* L = pVM->GetGlobalState();
  int iTop = lua_gettop(L);
  if (PushTable(L)) {
    lua_pushstring(L, "pendingStateMessage");
    lua_pushnumber(L, 1.0f);
    lua_rawset(L, -3);
  }
  lua_settop(L, iTop);

  pVM->onRunAllScripts(true);
  pVM->onRunOneScript(true, this);
  SendMessagef(sScriptStateMessage[eMessage], nullptr, kMESSAGE_Immediate, nullptr);
  pVM->onRunOneScript(false, this);
  pVM->onRunAllScripts(false);

  if (!IsBeingRemoved() && PushTable(L)) {
    int iTable = lua_gettop(L);
    lua_pushstring(L, "pendingStateMessage");
    lua_gettable(L, iTable);
    if (lua_type(L, -1) == LUA_TNUMBER) {
      lua_pushstring(L, "Type");
      lua_gettable(L, iTable);
      const char* szType = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
      g_ErrorManager.TraceMessagef(TT_Warning, "%s %s: Message %s did not make it to base class", szType,
                                   m_szName ? m_szName : "", sScriptStateMessage[eMessage]);
    }
  }
  lua_settop(L, iTop);
  m_uStateMessagesSent |= uBit;
}

void EScriptObject::SendUnsentStateMessages() {
  SendStateMessage(kSSM_Spawn);
  if (!gGameApp || !gGameApp->LevelLoaded()) return;
  SendStateMessage(kSSM_PreBeginLevel);
  int iState = gGameApp->GetLevelLoadedState();
  if (iState >= 1) SendStateMessage(kSSM_BeginLevel);
  if (iState >= 2) SendStateMessage(kSSM_PostBeginLevel);
}

void EScriptVM::SendStateMessageToAllScripts(SCRIPT_STATE_MESSAGE eMessage) {
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    ScriptVM_GCCallback(GCCALLBACK_HOST, m_pGlobalState);
    pObject->SendStateMessage(eMessage);
  }
}

// ---------------------------------------------------------------------------
// Level clean-up

void EScriptVM::UnloadingLevel() {
  lua_State* L = m_pGlobalState;
  m_aLevelDoFiles.Empty();
  m_CutsceneList.RemoveAll();

  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    if (pObject->GoesWithLevel()) {
      RemoveScript(pObject, true);
      continue;
    }
    // Only Spawn counts as sent: the level messages, EndLevel and Destroyed
    // can reach the object again.
    pObject->m_uStateMessagesSent = 1;
    int iTop = lua_gettop(L);
    if (pObject->PushTable(L)) {
      for (int iDepth = 0; iDepth < 256; ++iDepth) {
        lua_pushstring(L, "Parent");
        lua_rawget(L, -2);
        if (!lua_istable(L, -1)) break;
        lua_pushstring(L, "Type");
        lua_rawget(L, -2);
        if (!lua_isstring(L, -1))
          g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "lua_isstring(m_pGlobalState,-1)", false);
        char szKey[1024];
        MakeClassNameCanonical(lua_tostring(L, -1), szKey, (int)sizeof(szKey));
        ESVMBaseClassEntry* pEntry = m_BaseClassHash.Find(szKey, nullptr);
        if (!pEntry) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pBaseEntry", false);
        else pEntry->m_uInUse = 1;
        lua_pop(L, 1);
      }
    }
    lua_settop(L, iTop);
    pObject->FreeMessages();
  }

  for (EHashIter<ESVMBaseClassEntry*> it(m_BaseClassHash); it;) {
    ESVMBaseClassEntry* pEntry = *it;
    if (!pEntry->m_uInUse && !pEntry->m_uLoadedBeforeStartUp) {
      lua_unref(L, pEntry->m_iRef);
      it.remove_cur();
      m_pBaseClassPool->ElementDelete(pEntry);
    } else {
      pEntry->m_uInUse = 0;
      ++it;
    }
  }

  CleanUp();
}
