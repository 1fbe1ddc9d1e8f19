// The script host's life cycle: opening and preparing the interpreter, its
// tags and tag methods, the error handler, the collector callbacks and the
// memory policy, and closing it again.
#include "ScriptVM/ScriptVM.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DebugServer/DebugManager.h"
#include "Game/GameApp.h"
#include "Lua/lstate.h"
#include "Lua/lualib.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptClass.h"
#include "ScriptVM/ScriptConstants.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptThread.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BucketAlloc.h"

int gLuaDefaultTableTag = 0;
int gLuaInheritTag = 0;
int gLuaROTableTag = 0;
bool g_bUseFastLookup = true;

EScriptVM* EScriptVM::m_spScriptVM = nullptr;

namespace {
long s_lHostBytes = 0;
int s_iHostAllocs = 0;

const float kMEMORY_CAP_MB = 60.0f;
const float kMEMORY_CAP_RAISE_MB = 30.0f;
const unsigned kFREE_MEMORY_WATERMARK = 2097152;
}  // namespace

// ---------------------------------------------------------------------------
// The host's own memory (memory type 4), counted so that a shut-down host
// can be shown to hold nothing.

void EScriptVM::HostAccount(long bytes, int allocs) {
  s_lHostBytes += bytes;
  s_iHostAllocs += allocs;
}

void* EScriptVM::HostAlloc(size_t bytes) {
  void* p = malloc(bytes ? bytes : 1);
  EASSERT(p);
  HostAccount((long)bytes, 1);
  return p;
}

void EScriptVM::HostFree(void* p, size_t bytes) {
  if (!p) return;
  HostAccount(-(long)bytes, -1);
  free(p);
}

char* EScriptVM::HostCopyText(const char* szText) {
  if (!szText) return nullptr;
  size_t n = strlen(szText) + 1;
  char* p = static_cast<char*>(HostAlloc(n));
  memcpy(p, szText, n);
  return p;
}

void EScriptVM::HostFreeText(char* szText) {
  if (szText) HostFree(szText, strlen(szText) + 1);
}

long EScriptVM::GetHostBytesInUse() { return s_lHostBytes; }
int EScriptVM::GetHostAllocsInUse() { return s_iHostAllocs; }

void ScriptConsoleLine(const char* szFormat, ...) {
  va_list args;
  va_start(args, szFormat);
  g_ErrorManager.TraceMessagev(TT_None, szFormat, args);
  va_end(args);
}

// ---------------------------------------------------------------------------

EScriptVM::EScriptVM()
    : m_szCurrentFunctionName(nullptr), m_iRunAllScriptsDepth(0), m_iRunOneScriptDepth(0), m_pRunOneObject(nullptr),
      m_bInitialized(false), m_bRunning(false), m_bLineHookInstalled(false), m_bCallHookInstalled(false),
      m_pGlobalState(nullptr), m_pCallbackHandler(nullptr), m_iAllocatedThreads(0), m_iPeakAllocatedThreads(0),
      m_uThreadSlotsInUse(0), m_iSuppressWarnings(0), m_pMostExpensiveScript(nullptr), m_fMostExpensiveTime(0.0f),
      m_fMaxRunTime(0.0f), m_bHandlerLocked(false), m_aStartupDoFiles(kMEMTYPE_ScriptVM),
      m_aLevelDoFiles(kMEMTYPE_ScriptVM), m_fMemoryCapMB(kMEMORY_CAP_MB),
      m_uFreeMemoryWatermark(kFREE_MEMORY_WATERMARK), m_BaseClassHash(kMEMTYPE_ScriptVM), m_pBaseClassPool(nullptr),
      m_PassCur(nullptr), m_PassPrev(nullptr) {
  m_szFunctionNameBuffer[0] = '\0';
  m_szLastClassType[0] = '\0';
  for (int i = 0; i < kNUM_THREADS; ++i) m_AllocatedThreadPool[i] = nullptr;
}

EScriptVM::~EScriptVM() {
  if (m_bInitialized) g_ErrorManager.TraceMessagef(TT_Warning, "ScriptVM needs call to Shutdown()");
}

void EScriptVM::ResetPoolCounters() {
  for (int i = 0; i < kNUM_THREADS; ++i) m_AllocatedThreadPool[i] = nullptr;
  m_uThreadSlotsInUse = 0;
  m_iAllocatedThreads = 0;
  m_iPeakAllocatedThreads = 0;
}

EScriptVM* EScriptVM::Initialise() {
  EASSERT(!m_bInitialized);

  m_pGlobalState = lua_open(0);
  EASSERT(m_pGlobalState);

  ResetPoolCounters();
  m_iSuppressWarnings = 0;
  m_fMemoryCapMB = kMEMORY_CAP_MB;
  m_uFreeMemoryWatermark = kFREE_MEMORY_WATERMARK;
  m_pGlobalState->scriptThread = nullptr;
  m_pGlobalState->scriptObject = nullptr;
  m_bHandlerLocked = false;

  lua_baselibopen(m_pGlobalState);
  lua_iolibopen(m_pGlobalState);
  lua_strlibopen(m_pGlobalState);
  lua_mathlibopen(m_pGlobalState);
  lua_dblibopen(m_pGlobalState);

  lua_register(m_pGlobalState, LUA_ERRORMESSAGE, ScriptErrorHandler);

  gLuaDefaultTableTag = lua_newtag(m_pGlobalState);
  gLuaInheritTag = lua_newtag(m_pGlobalState);
  lua_pushcfunction(m_pGlobalState, InheritIndexTagMethod);
  lua_settagmethod(m_pGlobalState, gLuaInheritTag, "index");
  gLuaROTableTag = lua_newtag(m_pGlobalState);
  lua_pushcfunction(m_pGlobalState, ReadOnlyTableSetTagMethod);
  lua_settagmethod(m_pGlobalState, gLuaROTableTag, "settable");

  m_pBaseClassPool = new EDataArray<ESVMBaseClassEntry>("ScriptVM Base Classes", kMAX_CLASSES, 0, kMEMTYPE_ScriptVM);

  // The published host is needed by the callbacks from here on.
  m_spScriptVM = this;
  lua_setgcthreadcallback(GCThreadCallbackThunk);
  lua_setgccallback(ScriptVM_GCCallback);

  RegisterScriptAPIFunctions(m_pGlobalState);

  // The debugger's hooks survive a reboot of the interpreter.
  if (m_bLineHookInstalled) lua_setlinehook(m_pGlobalState, &LineHookForwarder);
  if (m_bCallHookInstalled) lua_setcallhook(m_pGlobalState, &CallHookForwarder);

  lua_newtable(m_pGlobalState);
  lua_setglobal(m_pGlobalState, "gLSO");
  lua_newtable(m_pGlobalState);
  static const char* const s_apszControlTables[] = {"button_pressed", "button_released", "button_state"};
  for (const char* szName : s_apszControlTables) {
    lua_pushstring(m_pGlobalState, szName);
    lua_newtable(m_pGlobalState);
    lua_settable(m_pGlobalState, -3);
  }
  lua_setglobal(m_pGlobalState, "ControlTable");

  m_pCallbackHandler = nullptr;
  m_spScriptVM = this;
  RegisterScriptConstants(m_pGlobalState);

  m_bInitialized = true;
  return this;
}

void EScriptVM::Shutdown() {
  EASSERT(m_bInitialized);

  m_aStartupDoFiles.Empty();
  m_aLevelDoFiles.Empty();
  DestroyAllTimers();

  while (!m_ScriptList.IsEmpty()) {
    EScriptObject* pObject = m_ScriptList.GetHead();
    if (!pObject->IsBeingRemoved())
      g_ErrorManager.TraceMessagef(TT_None, "Script not removed yet: %s",
                                   pObject->DebugGetName() ? pObject->DebugGetName() : "(null)");
    RemoveScript(pObject, true);
  }
  DestroyDeletedScriptObjects();

  while (!m_ConsoleCommands.IsEmpty()) free(m_ConsoleCommands.RemoveHead());
  m_CutsceneList.RemoveAll();

  delete m_pBaseClassPool;
  m_pBaseClassPool = nullptr;
  DestroyAllThreads();

  lua_close(m_pGlobalState);
  m_pGlobalState = nullptr;
  m_pCallbackHandler = nullptr;
  lua_setgccallback(nullptr);
  lua_setgcthreadcallback(nullptr);

  m_BaseClassHash.RemoveAll();
  m_BaseClassHash.Rehash(7);
  m_pMostExpensiveScript = nullptr;
  m_pRunOneObject = nullptr;
  if (m_spScriptVM == this) m_spScriptVM = nullptr;

  m_bInitialized = false;
}

void EScriptVM::CleanUp() {
  int iRemoved = 0, iSeen = 0;
  bool bOk = CallFunctionf("onEndLevel_static", "/ii", &iRemoved, &iSeen);
  ForceGarbageCollection();
  FreeUnusedThreads();
  if (bOk && iRemoved != 0) g_ErrorManager.TraceMessagef(TT_Script, "Removed %d/%d lso refs", iRemoved, iSeen);
}

void EScriptVM::CleanupReferences() {
  POSITION pos = m_ScriptList.GetHeadPosition();
  while (pos) m_ScriptList.GetNext(pos)->CleanupReferences();
  CleanupTimerReferences();
  pos = m_CutsceneList.GetHeadPosition();
  while (pos) {
    POSITION cur = pos;
    EScriptObject* pObject = m_CutsceneList.GetNext(pos);
    if (pObject->IsDead()) m_CutsceneList.RemoveAt(cur);
  }
}

// ---------------------------------------------------------------------------
// Tags and tag methods.

int EScriptVM::InheritIndexTagMethod(lua_State* L) {
  // Arguments: the table and the key it lacks.
  lua_pushstring(L, "Parent");
  lua_rawget(L, 1);
  while (lua_istable(L, -1)) {
    lua_pushvalue(L, 2);
    lua_rawget(L, -2);
    if (!lua_isnil(L, -1)) return 1;
    lua_pop(L, 1);
    lua_pushstring(L, "Parent");
    lua_rawget(L, -2);
    lua_remove(L, -2);
  }
  lua_pushnil(L);
  return 1;
}

int EScriptVM::ReadOnlyTableSetTagMethod(lua_State* L) {
  if (m_spScriptVM) m_spScriptVM->HardBreak("Tried to set value in shared base class table", L);
  return 0;
}

void EScriptVM::MarkContainedTablesAsReadOnly(bool bRecurse) {
  lua_State* L = m_pGlobalState;
  int iTable = lua_gettop(L);
  lua_pushnil(L);
  while (lua_next(L, iTable)) {
    if (lua_istable(L, -1)) {
      int iTag = lua_tag(L, -1);
      if (iTag != gLuaInheritTag && iTag != gLuaROTableTag) {
        lua_settag(L, gLuaROTableTag);
        if (bRecurse) MarkContainedTablesAsReadOnly(true);
      }
    }
    lua_pop(L, 1);
  }
}

// ---------------------------------------------------------------------------
// The error handler.

int EScriptVM::ScriptErrorHandler(lua_State* L) {
  const char* pErrorString = lua_tostring(L, 1);
  EASSERT(pErrorString);
  ScriptConsoleLine("-- Lua ERROR: %s", pErrorString);
  Lua_DoCallStackDump(L, 0, 0);
  if (gGameApp && gGameApp->GetDebugManager()) gGameApp->GetDebugManager()->HandleScriptError(nullptr);

  EScriptObject* pObject = L->scriptObject;
  if (!pObject || !m_spScriptVM) return 0;
  const char* szName = pObject->DebugGetName() ? pObject->DebugGetName() : "";
  if (pObject->IsProtected()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Error in protected script %s", szName);
  } else if (strcmp(szName, "Ruzi") == 0) {
    ScriptConsoleLine("Got Error in Ruzi's script... Will not remove");
  } else if (strcmp(szName, "LevelScript") == 0) {
    ScriptConsoleLine("Got Error in LevelScript script... Will not remove");
  } else if (!pObject->IsDead()) {
    m_spScriptVM->DelayedRemoveScript(pObject);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Memory policy.

void EScriptVM::ForceGarbageCollection() { lua_setgcthreshold(m_pGlobalState, 1); }

unsigned EScriptVM::GetVMMem() const { return (unsigned)lua_getgccount(m_pGlobalState) * 1024u; }

unsigned EScriptVM::GetFreeMemoryEstimate() { return 31457280u; }

void EScriptVM::CheckMemoryAfterPass() {
  unsigned uMem = GetVMMem();
  if ((float)uMem / 1048576.0f > m_fMemoryCapMB) {
    ForceGarbageCollection();
    g_ErrorManager.TraceMessagef(TT_Warning, "Forcing in-level Lua garbage collection. mem exceeded %i Megs",
                                 (int)m_fMemoryCapMB);
    uMem = GetVMMem();
    if ((float)uMem / 1048576.0f > m_fMemoryCapMB) {
      if (m_fMemoryCapMB == kMEMORY_CAP_MB) {
        g_ErrorManager.TraceMessagef(
            TT_Warning, "ERROR: Could not recover enough lua memory. Upping max to %i Megs so game can still run",
            (int)(kMEMORY_CAP_MB + kMEMORY_CAP_RAISE_MB));
        m_fMemoryCapMB += kMEMORY_CAP_RAISE_MB;
      } else {
        g_ErrorManager.ErrorMessage(__FILE__, __LINE__,
                                    "ERROR: Ran out of lua memory. We have already used up the safty buffer", false);
      }
    }
  }

  unsigned uFree = GetFreeMemoryEstimate();
  while (2u * m_uFreeMemoryWatermark < uFree && m_uFreeMemoryWatermark <= 2097151u) m_uFreeMemoryWatermark *= 2;
  if (uFree < m_uFreeMemoryWatermark) {
    ForceGarbageCollection();
    unsigned uNow = GetFreeMemoryEstimate();
    g_ErrorManager.TraceMessagef(
        TT_Warning, "Forced in-level Lua garbage collection. free memory dropped below %d (was %d, now %d free)",
        (int)m_uFreeMemoryWatermark, (int)uFree, (int)uNow);
    while (m_uFreeMemoryWatermark > uNow && m_uFreeMemoryWatermark > 16384) m_uFreeMemoryWatermark /= 2;
  }
}

void EScriptVM::ScriptVM_GCCallback(GCCALLBACK_REASON reason, lua_State* L) {
  if (reason == GCCALLBACK_BEGIN) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ENGINE: Lua garbage collection starting");
    return;
  }
  // No level system yet: the level is never counted as fully loaded.
  const bool bLevelLoaded = false;
  const unsigned uReserveKB = bLevelLoaded ? 2000u : 800u;
  unsigned uFreeKB = GetFreeMemoryEstimate() / 1024u;
  unsigned uThreshold = (unsigned)lua_getgcthreshold(L);
  unsigned uCount = (unsigned)lua_getgccount(L);
  unsigned uHeadroom = uThreshold - uCount;
  if (reason == GCCALLBACK_HOST) {
    if (uFreeKB < uHeadroom + uReserveKB) lua_setgcthreshold(L, 1);
    return;
  }
  unsigned uFreeBefore = GetFreeMemoryEstimate();
  FreeUnusedBlocksInBuckets();
  g_ErrorManager.TraceMessagef(TT_None, "FreeUnusedBlocksInBuckets released %d Kb",
                               (int)((GetFreeMemoryEstimate() - uFreeBefore) / 1024u));
  unsigned uLimit = bLevelLoaded ? 1048576u : 838860u;
  if (uFreeKB < uLimit / 1024u) {
    g_ErrorManager.TraceMessagef(TT_Warning,
                                 "Forcing texture size reduction. Memory dropped below limit of %dKb (currently %dKb)",
                                 (int)(uLimit / 1024u), (int)uFreeKB);
    uFreeKB = GetFreeMemoryEstimate() / 1024u;
    g_ErrorManager.TraceMessagef(TT_None, "After texture reduction, %dKb free", (int)uFreeKB);
  }
  if (uFreeKB > uReserveKB && uFreeKB - uReserveKB < uHeadroom) {
    unsigned uBest = uCount + uFreeKB - uReserveKB;
    unsigned uThird = uCount + uCount / 3;
    g_ErrorManager.TraceMessagef(TT_None, "GC Info. Best Size = '%i' ThirdSize = '%i'", (int)uBest, (int)uThird);
    unsigned uNew = uBest < uThird ? uBest : uThird;
    // Only ever lowered; setting it must not start another collection.
    if (uNew < uThreshold && uNew > uCount) L->GCthreshold = (lu_mem)uNew * 1024;
  }
}

void EScriptVM::GCThreadCallbackThunk(lua_MarkStackFn fnMark) {
  if (m_spScriptVM) m_spScriptVM->GCThreadCallback(fnMark);
}

void EScriptVM::GCThreadCallback(lua_MarkStackFn fnMark) {
  EScriptThread* pBound = m_pGlobalState ? m_pGlobalState->scriptThread : nullptr;
  for (int i = 0; i < kNUM_THREADS; ++i) {
    if (!(m_uThreadSlotsInUse & (1ull << i)) || !m_AllocatedThreadPool[i]) continue;
    EScriptThread* pThread = m_AllocatedThreadPool[i];
    if (pThread == pBound) continue;
    fnMark(pThread->GetCurrentLuaState());
  }
  // The stack that the bound thread displaced holds values of the caller of
  // the script pass; they must survive as well.
  if (pBound) fnMark(pBound->GetSavedLuaState());
}
