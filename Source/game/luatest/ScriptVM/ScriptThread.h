// Script threads: a state function runs as a coroutine on a machine stack of
// its own, with a Lua stack of its own swapped into the interpreter while it
// runs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Lua/lua.h"

class EScriptObject;

class EScriptThread {
public:
  enum ThreadState { kThreadFree = 0, kThreadReady = 1, kThreadRunning = 3, kThreadPaused = 4 };
  enum : uint32_t { SENTINEL_VALUE_DWORD = 0xDCDCDCDCu };
  enum { kLUA_STACK_SLOTS = 1024 };

  explicit EScriptThread(lua_State* pGlobalState);
  ~EScriptThread();
  EScriptThread(const EScriptThread&) = delete;
  static void* operator new(size_t bytes);
  static void operator delete(void* p, size_t bytes);
  EScriptThread& operator=(const EScriptThread&) = delete;

  // Start address for the machine stack pointer: 16 bytes below the end.
  void* GetStack() const;
  int GetStackSize() const { return m_iStackSize; }
  // Size of the machine stack of every thread in this build.
  static int GetDefaultStackSize();

  void InitThreadForRun(EScriptObject* pObject);
  void BindThread();
  void UnbindThread();
  void FreeThread();
  ThreadState GetState() const { return m_eState; }
  void SetState(ThreadState eState) { m_eState = eState; }
  lua_State* GetCurrentLuaState() const { return m_pOwnStack; }
  // While bound: the holder keeping the global state's own stack fields.
  lua_State* GetSavedLuaState() const { return m_pSavedStack; }
  EScriptObject* GetObject() const { return m_pObject; }

  // Switches from the main stack into the thread: starts the entry function
  // of a ready thread, or resumes one that was paused (and is now marked
  // running). Returns when the thread
  // yields or finishes.
  void SwitchIn(void (*fnEntry)(EScriptThread*));
  // Switches from the thread back to the main stack. With bFinished the
  // thread's stack content is abandoned for good.
  void SwitchOut(bool bFinished);

  static uint32_t sm_dwHighwater;

private:
  static void Trampoline(EScriptThread* pThread);
  void MeasureStackUse();

  void* m_pThreadSp;           // saved machine stack pointer of the thread
  void* m_pReturnSp;           // saved machine stack pointer of the main side
  lua_State* m_pOwnStack;      // holder of the thread's own Lua stack
  lua_State* m_pSavedStack;    // holder of the global state's fields while bound
  lua_State* m_pGlobalState;
  ThreadState m_eState;
  unsigned char* m_pStack;     // machine stack buffer (above its guard page)
  int m_iStackSize;
  EScriptObject* m_pObject;
  EScriptObject* m_pPrevObject;
  EScriptThread* m_pPrevThread;
  void (*m_fnEntry)(EScriptThread*);
  // Lowest word of the stack found in use, in words from the start.
  int m_iLowestUsedWord;
  // Sanitizer bookkeeping of the two stacks.
  void* m_pFakeStack;
  const void* m_pMainStackBottom;
  size_t m_uMainStackSize;
};

// The native-call stack pair: the main machine stack position while a state
// function runs on its thread, and whether a wrapped native runs there.
extern void* g_pOriginalStack;
extern bool g_bStackSwapped;
