// Script threads, their pool in the host and the per-frame script pass.
//
// A state function runs on a machine stack of its own. The switch between
// the main stack and a thread's stack is a small routine of our own that
// saves the callee-saved registers and the stack pointer; AddressSanitizer
// is told about every switch. Each stack has an inaccessible guard page
// below it, so an overflow stops at once.
#include "ScriptVM/ScriptThread.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>

#include "Lua/ldo.h"
#include "Lua/lmem.h"
#include "Lua/lstate.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/Entity.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUILLOMAR_FIBER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLOMAR_FIBER_ASAN 1
#endif
#endif

#ifdef QUILLOMAR_FIBER_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

void* g_pOriginalStack = nullptr;
bool g_bStackSwapped = false;

uint32_t EScriptThread::sm_dwHighwater = 12288;

// ---------------------------------------------------------------------------
// The stack switch (x86-64 System V).
//
// QuillomarSwitchStack(save, next): pushes the callee-saved registers and the
// floating-point control words, stores the stack pointer through save, loads
// next and pops the same record from there.
// QuillomarThreadStart: first code run on a new stack; calls r13(r12).
extern "C" void QuillomarSwitchStack(void** ppSaveSp, void* pNextSp);
extern "C" void QuillomarThreadStart();

asm(R"(
  .text
  .p2align 4
  .globl QuillomarSwitchStack
  .hidden QuillomarSwitchStack
  .type QuillomarSwitchStack,@function
QuillomarSwitchStack:
  pushq %rbp
  pushq %rbx
  pushq %r12
  pushq %r13
  pushq %r14
  pushq %r15
  subq $8, %rsp
  stmxcsr (%rsp)
  fnstcw 4(%rsp)
  movq %rsp, (%rdi)
  movq %rsi, %rsp
  ldmxcsr (%rsp)
  fldcw 4(%rsp)
  addq $8, %rsp
  popq %r15
  popq %r14
  popq %r13
  popq %r12
  popq %rbx
  popq %rbp
  ret
  .size QuillomarSwitchStack,.-QuillomarSwitchStack

  .p2align 4
  .globl QuillomarThreadStart
  .hidden QuillomarThreadStart
  .type QuillomarThreadStart,@function
QuillomarThreadStart:
  .cfi_startproc
  .cfi_undefined rip
  xorl %ebp, %ebp
  movq %r12, %rdi
  callq *%r13
  ud2
  .cfi_endproc
  .size QuillomarThreadStart,.-QuillomarThreadStart
)");

namespace {
const size_t kGUARD_BYTES = 4096;

size_t PageSize() {
  long l = sysconf(_SC_PAGESIZE);
  return l > 0 ? (size_t)l : kGUARD_BYTES;
}

// Words examined just below the deepest use seen so far; a turn that wrote
// there went deeper and is measured exactly.
const int kHIGHWATER_PROBE_WORDS = 64;
}  // namespace

int EScriptThread::GetDefaultStackSize() {
  // The original 64 KB was sized for 32-bit code; pointers and frames are
  // twice as large here, and the sanitizer's red zones larger still.
#ifdef QUILLOMAR_FIBER_ASAN
  return 1024 * 1024;
#else
  return 256 * 1024;
#endif
}

EScriptThread::EScriptThread(lua_State* pGlobalState)
    : m_pThreadSp(nullptr), m_pReturnSp(nullptr), m_pOwnStack(nullptr), m_pSavedStack(nullptr),
      m_pGlobalState(pGlobalState), m_eState(kThreadFree), m_pStack(nullptr), m_iStackSize(0), m_pObject(nullptr),
      m_pPrevObject(nullptr), m_pPrevThread(nullptr), m_fnEntry(nullptr), m_iLowestUsedWord(0), m_pFakeStack(nullptr),
      m_pMainStackBottom(nullptr), m_uMainStackSize(0) {
  EASSERT(pGlobalState);
  m_pOwnStack = static_cast<lua_State*>(EScriptVM::HostAlloc(sizeof(lua_State)));
  m_pSavedStack = static_cast<lua_State*>(EScriptVM::HostAlloc(sizeof(lua_State)));
  EASSERT(m_pOwnStack && m_pSavedStack);
  memset(static_cast<void*>(m_pOwnStack), 0, sizeof(lua_State));
  memset(static_cast<void*>(m_pSavedStack), 0, sizeof(lua_State));
  luaD_init(m_pOwnStack, kLUA_STACK_SLOTS);

  size_t page = PageSize();
  size_t size = ((size_t)GetDefaultStackSize() + page - 1) & ~(page - 1);
  void* p = mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  EASSERT(p != MAP_FAILED);
  // The lowest page stays inaccessible: running off the stack faults there.
  EASSERT(mprotect(p, page, PROT_NONE) == 0);
  EScriptVM::HostAccount((long)(size + page), 1);
  m_pStack = static_cast<unsigned char*>(p) + page;
  m_iStackSize = (int)size;
  memset(m_pStack, 0xDC, size);
  m_iLowestUsedWord = m_iStackSize / 4;
}

EScriptThread::~EScriptThread() {
  if (m_pOwnStack) {
    luaM_free(m_pGlobalState, m_pOwnStack->stack);
    EScriptVM::HostFree(m_pOwnStack, sizeof(lua_State));
    m_pOwnStack = nullptr;
  }
  EScriptVM::HostFree(m_pSavedStack, sizeof(lua_State));
  m_pSavedStack = nullptr;
  if (m_pStack) {
    size_t page = PageSize();
#ifdef QUILLOMAR_FIBER_ASAN
    __asan_unpoison_memory_region(m_pStack, (size_t)m_iStackSize);
#endif
    munmap(m_pStack - page, (size_t)m_iStackSize + page);
    EScriptVM::HostAccount(-(long)((size_t)m_iStackSize + page), -1);
    m_pStack = nullptr;
  }
}

void* EScriptThread::operator new(size_t bytes) { return EScriptVM::HostAlloc(bytes); }
void EScriptThread::operator delete(void* p, size_t bytes) { EScriptVM::HostFree(p, bytes); }

void* EScriptThread::GetStack() const {
  EASSERT(m_pStack && m_iStackSize);
  return m_pStack + m_iStackSize - 16;
}

void EScriptThread::InitThreadForRun(EScriptObject* pObject) {
  m_pObject = pObject;
  m_eState = kThreadReady;
}

void EScriptThread::FreeThread() {
  // Empty the Lua stack; values left there are no longer kept alive.
  m_pOwnStack->top = m_pOwnStack->stack;
  m_pOwnStack->Cbase = m_pOwnStack->stack;
  m_pOwnStack->stack_last = m_pOwnStack->stack + (m_pOwnStack->stacksize - 1);
  m_pOwnStack->errorJmp = nullptr;
  m_pObject = nullptr;
  m_eState = kThreadFree;
}

// The stack part of the state, and the innermost protected call, which lives
// on the thread's machine stack while its function runs.
static void CopyStackFields(lua_State* pTo, const lua_State* pFrom) {
  pTo->top = pFrom->top;
  pTo->stack = pFrom->stack;
  pTo->stack_last = pFrom->stack_last;
  pTo->stacksize = pFrom->stacksize;
  pTo->Cbase = pFrom->Cbase;
  pTo->errorJmp = pFrom->errorJmp;
}

void EScriptThread::BindThread() {
  CopyStackFields(m_pSavedStack, m_pGlobalState);
  CopyStackFields(m_pGlobalState, m_pOwnStack);
  m_pPrevThread = m_pGlobalState->scriptThread;
  m_pPrevObject = m_pGlobalState->scriptObject;
  m_pGlobalState->scriptThread = this;
  m_pGlobalState->scriptObject = m_pObject;
}

void EScriptThread::UnbindThread() {
  EASSERT(((uint32_t*)m_pStack)[0] == SENTINEL_VALUE_DWORD);
  MeasureStackUse();
  CopyStackFields(m_pOwnStack, m_pGlobalState);
  CopyStackFields(m_pGlobalState, m_pSavedStack);
  m_pGlobalState->scriptThread = m_pPrevThread;
  m_pGlobalState->scriptObject = m_pPrevObject;
}

void EScriptThread::MeasureStackUse() {
  const uint32_t* pWords = reinterpret_cast<const uint32_t*>(m_pStack);
  int iWords = m_iStackSize / 4;
  int iBoundary = iWords - (int)sm_dwHighwater;
  if (iBoundary <= 0) return;
  int iProbeStart = iBoundary > kHIGHWATER_PROBE_WORDS ? iBoundary - kHIGHWATER_PROBE_WORDS : 0;
  bool bDeeper = false;
  for (int i = iProbeStart; i < iBoundary; ++i) {
    if (pWords[i] != SENTINEL_VALUE_DWORD) {
      bDeeper = true;
      break;
    }
  }
  if (!bDeeper) return;
  int iUntouched = 0;
  while (iUntouched < iWords && pWords[iUntouched] == SENTINEL_VALUE_DWORD) ++iUntouched;
  if (iUntouched < m_iLowestUsedWord) m_iLowestUsedWord = iUntouched;
  uint32_t uUsed = (uint32_t)(iWords - iUntouched);
  if (uUsed > sm_dwHighwater) {
    sm_dwHighwater = uUsed;
    g_ErrorManager.TraceMessagef(TT_Warning, "New highwater: %d", (int)uUsed);
  }
}

void EScriptThread::Trampoline(EScriptThread* pThread) {
#ifdef QUILLOMAR_FIBER_ASAN
  __sanitizer_finish_switch_fiber(nullptr, &pThread->m_pMainStackBottom, &pThread->m_uMainStackSize);
#endif
  try {
    pThread->m_fnEntry(pThread);
  } catch (...) {
    // Interpreter errors are caught by its protected calls; anything else
    // cannot be carried across the stack switch.
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unexpected exception in a script thread", false);
  }
  pThread->SwitchOut(true);
  std::abort();  // a finished thread is never resumed
}

void EScriptThread::SwitchIn(void (*fnEntry)(EScriptThread*)) {
  if (m_eState == kThreadReady) {
    // A new run: lay out the record that QuillomarSwitchStack pops so that it
    // "returns" into QuillomarThreadStart with r12 = this, r13 = the entry.
    m_fnEntry = fnEntry;
#ifdef QUILLOMAR_FIBER_ASAN
    __asan_unpoison_memory_region(m_pStack, (size_t)m_iStackSize);
#endif
    uint64_t* pTop = static_cast<uint64_t*>(GetStack());  // 16-byte aligned
    uint64_t* sp = pTop - 10;
    uint32_t uMxcsr;
    uint16_t uFpuCw;
    asm volatile("stmxcsr %0" : "=m"(uMxcsr));
    asm volatile("fnstcw %0" : "=m"(uFpuCw));
    sp[0] = (uint64_t)uMxcsr | ((uint64_t)uFpuCw << 32);
    sp[1] = 0;                                   // r15
    sp[2] = 0;                                   // r14
    sp[3] = (uint64_t)(uintptr_t)&Trampoline;    // r13
    sp[4] = (uint64_t)(uintptr_t)this;           // r12
    sp[5] = 0;                                   // rbx
    sp[6] = 0;                                   // rbp
    sp[7] = (uint64_t)(uintptr_t)&QuillomarThreadStart;
    sp[8] = 0;
    sp[9] = 0;
    m_pThreadSp = sp;
  }
#ifdef QUILLOMAR_FIBER_ASAN
  void* pFake = nullptr;
  __sanitizer_start_switch_fiber(&pFake, m_pStack, (size_t)m_iStackSize);
#endif
  QuillomarSwitchStack(&m_pReturnSp, m_pThreadSp);
#ifdef QUILLOMAR_FIBER_ASAN
  __sanitizer_finish_switch_fiber(pFake, nullptr, nullptr);
#endif
}

void EScriptThread::SwitchOut(bool bFinished) {
#ifdef QUILLOMAR_FIBER_ASAN
  __sanitizer_start_switch_fiber(bFinished ? nullptr : &m_pFakeStack, m_pMainStackBottom, m_uMainStackSize);
#else
  (void)bFinished;
#endif
  QuillomarSwitchStack(&m_pThreadSp, m_pReturnSp);
#ifdef QUILLOMAR_FIBER_ASAN
  __sanitizer_finish_switch_fiber(m_pFakeStack, &m_pMainStackBottom, &m_uMainStackSize);
#endif
}

// ---------------------------------------------------------------------------
// The pool of threads in the host.

int EScriptVM::GetFreeThreadIndex() {
  if (m_uThreadSlotsInUse == ~0ull) return 0;
  int slot = __builtin_ctzll(~m_uThreadSlotsInUse);
  m_uThreadSlotsInUse |= 1ull << slot;
  if (!m_AllocatedThreadPool[slot]) {
    m_AllocatedThreadPool[slot] = new EScriptThread(m_pGlobalState);
    ++m_iAllocatedThreads;
    if (m_iAllocatedThreads > m_iPeakAllocatedThreads) m_iPeakAllocatedThreads = m_iAllocatedThreads;
  }
  return slot + 1;
}

EScriptThread* EScriptVM::GetThreadFromIndex(int iIndex) {
  if (iIndex == 0) return nullptr;
  int n = iIndex - 1;
  EASSERT(( 0 <= n ) && ( n < (int)(sizeof(m_AllocatedThreadPool)/sizeof(m_AllocatedThreadPool[0])) ));
  return m_AllocatedThreadPool[n];
}

void EScriptVM::ReturnFreeThread(EScriptThread* pThread) {
  for (int i = 0; i < kNUM_THREADS; ++i) {
    if ((m_uThreadSlotsInUse & (1ull << i)) && m_AllocatedThreadPool[i] == pThread) {
      m_uThreadSlotsInUse &= ~(1ull << i);
      return;
    }
  }
  EASSERT(0);
}

int EScriptVM::GetNumUsedThreads() const { return __builtin_popcountll(m_uThreadSlotsInUse); }

int EScriptVM::GetNumFreeThreads() const { return m_iAllocatedThreads - GetNumUsedThreads(); }

void EScriptVM::FreeUnusedThreads() {
  int iIdle = GetNumFreeThreads();
  for (int i = kNUM_THREADS - 1; i >= 0 && iIdle >= 2; --i) {
    if (m_AllocatedThreadPool[i] && !(m_uThreadSlotsInUse & (1ull << i))) {
      delete m_AllocatedThreadPool[i];
      m_AllocatedThreadPool[i] = nullptr;
      --m_iAllocatedThreads;
      --iIdle;
    }
  }
}

void EScriptVM::DestroyAllThreads() {
  for (int i = 0; i < kNUM_THREADS; ++i) {
    delete m_AllocatedThreadPool[i];
    m_AllocatedThreadPool[i] = nullptr;
  }
  m_uThreadSlotsInUse = 0;
  m_iAllocatedThreads = 0;
  m_iPeakAllocatedThreads = 0;
}

void EScriptVM::ReleaseObjectThread(EScriptObject* pObject) {
  EScriptThread* pThread = GetThreadFromIndex(pObject->m_threadIndex);
  if (!pThread) return;
  pObject->m_threadIndex = 0;
  // The thread whose state function is running finishes its turn first;
  // the turn gives it back.
  if (pThread->GetState() == EScriptThread::kThreadRunning) return;
  pThread->FreeThread();
  ReturnFreeThread(pThread);
}

// ---------------------------------------------------------------------------
// The script pass.

void EScriptVM::QueueConsoleCommand(const char* szText) {
  m_ConsoleCommands.AddTail(StringDuplicate(szText ? szText : "", kMEMTYPE_ScriptVM));
}

void EScriptVM::ProcessConsoleCommands() {
  while (!m_ConsoleCommands.IsEmpty()) {
    char* szText = m_ConsoleCommands.RemoveHead();
    RunLuaCommands(szText, nullptr, nullptr, 0);
    free(szText);
  }
}

void EScriptVM::RunAllScripts() {
  EErrorManager::InhibitDebugString(true);
  ProcessConsoleCommands();
  m_bRunning = true;
  ProcessTimers();
  onRunAllScripts(true);

  float fDecay = 1.0f - 1.35f * (1.0f / 30.0f);
  if (fDecay < 0.0f) fDecay = 0.0f;
  m_fMaxRunTime *= fDecay;

  // The walk survives removals during a turn (RemoveScript moves the two
  // positions) and reaches objects appended during the pass.
  m_PassPrev = nullptr;
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    m_PassCur = pos;
    EScriptObject* pObject = m_ScriptList.GetAt(pos);
    int64_t iStart = Profile_GetTimestamp();
    RunScript(pObject);
    float fElapsed = (float)Profile_TimestampsToSeconds(Profile_GetTimestamp() - iStart);
    if (fElapsed > m_fMaxRunTime) {
      m_fMaxRunTime = fElapsed;
      m_pMostExpensiveScript = pObject;
      m_fMostExpensiveTime = fElapsed;
    }
    // The object may have been removed during its turn; it is destroyed
    // only at the end of the frame, so it can still take its timing.
    pObject->m_RunTimeHistory.Set(fElapsed);
    pObject->m_fLastRunTime = fElapsed;
    if (m_PassCur) {
      pos = m_PassCur->pNext;
      m_PassPrev = m_PassCur;
    } else {
      pos = m_PassPrev ? m_PassPrev->pNext : m_ScriptList.GetHeadPosition();
    }
  }
  m_PassCur = nullptr;
  m_PassPrev = nullptr;

  lua_getglobal(m_pGlobalState, "MathCheckRecursionCount");
  if (lua_isfunction(m_pGlobalState, -1)) {
    lua_call(m_pGlobalState, 0, 0);
  } else {
    lua_pop(m_pGlobalState, 1);
  }
  onRunAllScripts(false);
  CheckMemoryAfterPass();

  m_pGlobalState->scriptObject = nullptr;
  m_bRunning = false;
  EErrorManager::InhibitDebugString(false);
  FreeUnusedThreads();
}

void EScriptVM::RunScript(EScriptObject* pObject) {
  lua_State* L = m_pGlobalState;
  L->scriptThread = nullptr;
  L->scriptObject = pObject;
  if (pObject->IsBeingRemoved()) {
    RemoveScript(pObject, true);
    return;
  }
  onRunOneScript(true, pObject);
  bool bIdle = pObject->IsPaused() || (pObject->m_pEntity && pObject->m_pEntity->IsSimulationCulled());
  // Queued messages arrive on the main stack, outside any thread, also for
  // idle objects and objects without a state.
  pObject->ProcessMessages(L);
  if (pObject->HasNoState() || bIdle) {
    onRunOneScript(false, pObject);
    return;
  }

  EScriptThread* pThread;
  if (pObject->m_threadIndex == 0) {
    int iIndex = GetFreeThreadIndex();
    if (iIndex == 0) {
      // Every thread holds a paused state function: this one waits a frame.
      g_ErrorManager.TraceMessagef(TT_Warning, "No free script thread for %s; its state skips this frame",
                                   pObject->DebugGetName() ? pObject->DebugGetName() : "(null)");
      onRunOneScript(false, pObject);
      return;
    }
    pObject->m_threadIndex = (uint8_t)iIndex;
    pThread = GetThreadFromIndex(iIndex);
    pThread->InitThreadForRun(pObject);
  } else {
    pThread = GetThreadFromIndex(pObject->m_threadIndex);
    EASSERT(GetThreadFromIndex(pObject->m_threadIndex)->GetState() == EScriptThread::kThreadPaused);
  }

  pThread->BindThread();
  L->scriptObject = pObject;
  g_pOriginalStack = __builtin_frame_address(0);
  if (pThread->GetState() == EScriptThread::kThreadPaused) pThread->SetState(EScriptThread::kThreadRunning);
  pThread->SwitchIn(&EScriptVM::ThreadMain);

  bool bPaused = pThread->GetState() == EScriptThread::kThreadPaused;
  pThread->UnbindThread();
  if (!bPaused) {
    if (pObject->m_threadIndex && GetThreadFromIndex(pObject->m_threadIndex) == pThread) pObject->m_threadIndex = 0;
    pThread->FreeThread();
    ReturnFreeThread(pThread);
  }
  g_pOriginalStack = nullptr;
  onRunOneScript(false, pObject);
}

// Runs on the thread's own machine stack: the object's current state
// function from its beginning.
void EScriptVM::ThreadMain(EScriptThread* pThread) { m_spScriptVM->StartStateFunction(pThread); }

void EScriptVM::StartStateFunction(EScriptThread* pThread) {
  lua_State* L = m_pGlobalState;
  EScriptObject* pObject = pThread->GetObject();
  int iTop = lua_gettop(L);
  if (!pObject->PushTable(L)) {
    EASSERT(0);
  }
  if (m_pCallbackHandler) {
    lua_pushstring(L, "state_name");
    lua_gettable(L, -2);
    const char* szState = lua_isstring(L, -1) ? lua_tostring(L, -1) : "Unknown";
    snprintf(m_szFunctionNameBuffer, 5 + 507 + 1, "state%s", szState);
    lua_pop(L, 1);
    m_szCurrentFunctionName = m_szFunctionNameBuffer;
  }
  lua_pushstring(L, "CurrentState");
  lua_gettable(L, -2);
  lua_pushvalue(L, -2);
  EASSERT(lua_isfunction(m_pGlobalState,-2));
  pThread->SetState(EScriptThread::kThreadRunning);
  if (lua_call(L, 1, 0) != 0) {
    const char* szName = pObject->DebugGetName() ? pObject->DebugGetName() : "(null)";
    if (pObject->IsProtected()) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Error running state for protected script %s", szName);
      lua_pushstring(L, "CurrentState");
      lua_pushnil(L);
      lua_settable(L, -3);
      pObject->SetFlag(EScriptObject::kFLAG_NoState, true);
    } else {
      g_ErrorManager.TraceMessagef(TT_Warning, "Error running state for %s... removing", szName);
      DelayedRemoveScript(pObject);
    }
  }
  lua_settop(L, iTop);
  pThread->SetState(EScriptThread::kThreadFree);
}

int EScriptVM::YieldThread(lua_State* L) {
  EScriptThread* pThread = L->scriptThread;
  if (!pThread) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: Yield not allowed without a thread", Lua_GetFrameInfo(L));
    return 0;
  }
  pThread->SetState(EScriptThread::kThreadPaused);
  pThread->SwitchOut(false);
  return 1;
}

void EScriptVM::onRunAllScripts(bool bStart) {
  if (bStart) {
    ++m_iRunAllScriptsDepth;
    if (m_pCallbackHandler) m_pCallbackHandler->StartRunningAllScripts();
  } else {
    --m_iRunAllScriptsDepth;
    EASSERT(m_iRunAllScriptsDepth >= 0);
    if (m_pCallbackHandler) m_pCallbackHandler->EndRunningAllScripts();
  }
}

void EScriptVM::onRunOneScript(bool bStart, EScriptObject* pObject) {
  const char* szName = pObject ? pObject->DebugGetName() : nullptr;
  if (bStart) {
    if (++m_iRunOneScriptDepth == 1) m_pRunOneObject = pObject;
    if (m_pCallbackHandler) m_pCallbackHandler->StartScriptRun(szName);
  } else {
    --m_iRunOneScriptDepth;
    EASSERT(m_iRunOneScriptDepth >= 0);
    if (m_pCallbackHandler) m_pCallbackHandler->EndScriptRun(szName);
  }
}

void EScriptVM::SetScriptVMCallbackHandler(EScriptVMCallbackHandler* pHandler) {
  if (m_bHandlerLocked) return;
  const char* szRunOne = m_pRunOneObject ? m_pRunOneObject->DebugGetName() : nullptr;
  if (m_pCallbackHandler) {
    for (int i = 0; i < m_iRunOneScriptDepth; ++i) m_pCallbackHandler->EndScriptRun(szRunOne);
    for (int i = 0; i < m_iRunAllScriptsDepth; ++i) m_pCallbackHandler->EndRunningAllScripts();
  }
  m_pCallbackHandler = pHandler;
  if (m_pCallbackHandler) {
    for (int i = 0; i < m_iRunAllScriptsDepth; ++i) m_pCallbackHandler->StartRunningAllScripts();
    for (int i = 0; i < m_iRunOneScriptDepth; ++i) m_pCallbackHandler->StartScriptRun(szRunOne);
  }
}

void EScriptVM::LineHookForwarder(lua_State* L, lua_Debug* ar) {
  if (m_spScriptVM && m_spScriptVM->m_pCallbackHandler) m_spScriptVM->m_pCallbackHandler->LuaLineHook(L, ar);
}

void EScriptVM::CallHookForwarder(lua_State* L, lua_Debug* ar) {
  if (m_spScriptVM && m_spScriptVM->m_pCallbackHandler) m_spScriptVM->m_pCallbackHandler->LuaCallHook(L, ar);
}

void EScriptVM::DebugInstallLineHook(bool bOn) {
  if (bOn && !m_pCallbackHandler) return;
  if (bOn == m_bLineHookInstalled) return;
  if (m_pGlobalState) lua_setlinehook(m_pGlobalState, bOn ? &LineHookForwarder : nullptr);
  m_bLineHookInstalled = bOn;
}

void EScriptVM::DebugInstallCallHook(bool bOn) {
  if (bOn && !m_pCallbackHandler) return;
  if (bOn == m_bCallHookInstalled) return;
  if (m_pGlobalState) lua_setcallhook(m_pGlobalState, bOn ? &CallHookForwarder : nullptr);
  m_bCallHookInstalled = bOn;
}

EScriptObject* EScriptVM::GetMostExpensiveScript(float* pTime) const {
  if (pTime) *pTime = m_fMostExpensiveTime;
  return m_pMostExpensiveScript;
}

void EScriptVM::DebugDumpAllScriptTimes() {
  // The application's display threshold, in milliseconds.
  const float fThresholdMS = 0.0f;
  g_ErrorManager.TraceMessagef(TT_None, "Starting dump of script times");
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) {
    EScriptObject* pObject = m_ScriptList.GetNext(pos);
    if (pObject->m_pEntity && pObject->m_pEntity->IsSimulationCulled()) continue;
    float fLastMS = pObject->m_fLastRunTime * 1000.0f;
    if (fLastMS <= fThresholdMS) continue;
    const EHistoryScalar& h = pObject->m_RunTimeHistory;
    float fVar = h.GetAvgSquare(1) - h.GetAvg(1) * h.GetAvg(1);
    if (fVar < 0.0f) fVar = 0.0f;
    g_ErrorManager.TraceMessagef(TT_None, "%40s %8.2f %8.2f %8.2f", pObject->DebugGetName(), fLastMS,
                                 h.GetAvg(1) * 1000.0f, fVar * 1000.0f);
  }
  g_ErrorManager.TraceMessagef(TT_None, "All Done");
}
