// Natives of script messages: SendMessage, SendMessageEx,
// SendMessageToDomain and CanHandleMessage.
#include <cstdio>

#include "DebugServer/TWConsole.h"
#include "Game/GameApp.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Scene.h"

// The text form of a message, which these natives and domains send. It
// lives beside the natives so that the engine's references to it keep
// them in the program.
void EScriptVM::QueueScriptMessage(const char* szName, const char* szArg, EScriptObject* pReceiver,
                                   EScriptObject* pSender, int iPriority) {
  if (pReceiver) pReceiver->SendMessagef(szName, pSender, iPriority, "s", szArg);
}

// SendMessage(sender, receiver, name, data [, priority])
LUA_NATIVE(SendMessage) {
  if (!_lh_checkArgs(L, 4, 5)) return 0;
  EScriptObject* pSender = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pSender) return 0;
  EScriptObject* pReceiver = Lua_LSOToScriptObject(L, LuaArg(2), false, false);
  if (!pReceiver) return 0;
  const char* szName = Lua_ToStringStrict(L, 3, false);
  const char* szData = lua_tostring(L, 4);
  if (!szData) szData = "";
  int iPriority = (int)Lua_ToNumberStrict(L, 5, true);
  if (!szName) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: null message name", Lua_GetFrameInfo(L));
    return 0;
  }
  EScriptVM::m_spScriptVM->QueueScriptMessage(szName, szData, pReceiver, pSender, iPriority);
  return 0;
}

// SendMessageEx(sender, receiver, name, priority, letters [, v1 [, v2 [, v3]]])
LUA_NATIVE(SendMessageEx) {
  if (!_lh_checkArgs(L, 6, 8)) return 0;
  EScriptObject* pSender = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pSender) return 0;
  EScriptObject* pReceiver = Lua_LSOToScriptObject(L, LuaArg(2), false, false);
  if (!pReceiver) return 0;
  const char* szName = Lua_ToStringStrict(L, 3, false);
  if (lua_isnil(L, 4)) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: invalid argument %d", Lua_GetFrameInfo(L), 4);
    return 0;
  }
  int iPriority = (int)Lua_ToNumberStrict(L, 4, false);
  const char* szLetters = Lua_ToStringStrict(L, 5, false);
  if (!szName) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: null message name", Lua_GetFrameInfo(L));
    return 0;
  }
  if (!szLetters) {
    pReceiver->SendMessagef(szName, pSender, iPriority, nullptr);
    return 0;
  }
  EScriptMessage* pMessage = new EScriptMessage();
  pMessage->SetMessageName(szName);
  pMessage->SetReceiver(pReceiver);
  pMessage->SetSender(pSender);
  for (int i = 0; szLetters[i] && i < EScriptMessage::kINLINE_ARGS; ++i) {
    int iArg = 6 + i;
    switch (szLetters[i]) {
      case 'i': pMessage->SetArg(i, (int)lua_tonumber(L, iArg)); break;
      case 's': pMessage->SetArg(i, lua_tostring(L, iArg)); break;
      case 'f': pMessage->SetArg(i, (float)lua_tonumber(L, iArg)); break;
      default:
        SingletonTWConsole::AddStringf("Unknown message data specifier '%c'\n", szLetters[i]);
        delete pMessage;
        return 0;
    }
  }
  EScriptVM::m_spScriptVM->QueueScriptMessage(pMessage, iPriority);
  return 0;
}

// SendMessageToDomain(sender, domain, include children, name, data [, priority])
LUA_NATIVE(SendMessageToDomain) {
  if (!_lh_checkArgs(L, 5, 6)) return 0;
  EScriptObject* pSender = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pSender) return 0;
  const char* szDomain = Lua_ToStringStrict(L, 2, false);
  bool bChildren = Lua_ToNumberStrict(L, 3, false) != 0.0f;
  const char* szName = Lua_ToStringStrict(L, 4, false);
  const char* szData = Lua_ToStringStrict(L, 5, false);
  int iPriority = (int)Lua_ToNumberStrict(L, 6, true);
  if (!szDomain || !szName || !szData) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: no string passed", Lua_GetFrameInfo(L));
    return 0;
  }
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EDomain* pRoot = pScenes ? pScenes->GetDefaultSceneRootDomain() : nullptr;
  EDomain* pDomain = pRoot ? pRoot->FindDomain(szDomain) : nullptr;
  if (!pDomain) {
    g_ErrorManager.TraceMessagef(TT_None, "%s: Unknown Domain '%s'", Lua_GetFrameInfo(L), szDomain);
    return 0;
  }
  pDomain->SendMessageToAllEntities(pSender, szName, szData, iPriority, bChildren);
  return 0;
}

// CanHandleMessage(object, name): 1 when the object has a handler for it.
LUA_NATIVE(CanHandleMessage) {
  if (!_lh_checkArgs(L, 2, 2)) return 0;
  EScriptObject* pObject = Lua_LSOToScriptObject(L, LuaArg(1), false, false);
  if (!pObject) return 0;
  const char* szName = Lua_ToStringStrict(L, 2, false);
  lua_pushnumber(L, (szName && pObject->CanHandleMessage(szName)) ? 1.0f : 0.0f);
  return 1;
}
