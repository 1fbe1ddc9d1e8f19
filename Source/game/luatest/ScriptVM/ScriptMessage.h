// Script messages: a named message with typed arguments for the "on"
// handler of a script object, delivered at once or queued until the
// receiver's next turn; and the six state messages every object receives
// at most once each.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "Lua/lua.h"

class EEntity;
class EScriptObject;

// Priority of a message: immediate messages are handled inside the sending
// call; every other value queues the message on the receiver.
enum EMessagePriority { kMESSAGE_Queued = 0, kMESSAGE_Immediate = 1 };

enum SCRIPT_STATE_MESSAGE : int {
  kSSM_Spawn = 0,
  kSSM_PreBeginLevel = 1,
  kSSM_BeginLevel = 2,
  kSSM_PostBeginLevel = 3,
  kSSM_EndLevel = 4,
  kSSM_Destroyed = 5,
  kSSM_NumMessages = 6
};

extern const char* const sScriptStateMessage[kSSM_NumMessages];

// Argument letters:
//   E entity (delivered as its script object's table), L script object,
//   H 32-bit id, i integer, t interpreter reference (owned), S and s text
//   (both copied into the message), f number, - nil.
// Up to three arguments live in the record; longer lists use an extension
// block: the first letter is '+' and the first argument points at a block
// whose word 0 is a copy of the letters and words 1..n the arguments.
struct EScriptMessage {
  union Arg {
    void* p;
    char* s;
    EEntity* e;
    EScriptObject* o;
    Arg* block;
    int i;
    uint32_t u;
    float f;
  };
  enum { kNAME_SIZE = 40, kINLINE_ARGS = 3 };

  EScriptMessage();
  ~EScriptMessage();
  EScriptMessage(const EScriptMessage&) = delete;
  EScriptMessage& operator=(const EScriptMessage&) = delete;
  static void* operator new(size_t bytes);
  static void operator delete(void* p, size_t bytes);

  // Fills the message from the letters and the argument list.
  void Createv(const char* szName, EScriptObject* pReceiver, EScriptObject* pSender, int iPriority,
               const char* szLetters, va_list args);
  // Copies the name; a name that does not fit is cut to 39 characters.
  void SetMessageName(const char* szName);
  void SetReceiver(EScriptObject* pReceiver) { m_pReceiver = pReceiver; }
  void SetSender(EScriptObject* pSender) { m_pSender = pSender; }
  // Sets argument 0, 1 or 2: a copied text ('s'; null gives nil), a number
  // ('f') or an integer ('i'). False for any other position.
  bool SetArg(int iPos, const char* szValue);
  bool SetArg(int iPos, float fValue);
  bool SetArg(int iPos, int iValue);
  // Releases what the message owns; clears letters, receiver and sender.
  void Free();
  // Drops dead references: a dead receiver or sender becomes null, an
  // entity or script-object argument that died becomes nil. True when the
  // receiver is gone.
  bool CleanupReferences();
  // Calls the receiver's handler "on" + name; true when a handler ran
  // without error.
  bool Dispatch(lua_State* L);

  const char* GetName() const { return m_szName; }
  EScriptObject* GetReceiver() const { return m_pReceiver; }
  EScriptObject* GetSender() const { return m_pSender; }
  // The letters (from the extension block in the extended form).
  const char* GetLetters() const;

  char m_szName[kNAME_SIZE];
  char m_szArgs[4];
  EScriptObject* m_pReceiver;
  EScriptObject* m_pSender;
  Arg m_aArgs[kINLINE_ARGS];

private:
  Arg* SlotForSet(int iPos, char cLetter);
};
