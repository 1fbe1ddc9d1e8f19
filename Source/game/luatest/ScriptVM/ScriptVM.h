// The script host: owns the interpreter, loads script classes, keeps the
// script objects and runs their state functions once per frame on script
// threads of their own.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "Lua/lua.h"
#include "TWUtil/Array.h"
#include "TWUtil/HashTable.h"
#include "TWUtil/List.h"
#include "TWUtil/String.h"

class EEntity;
class EScriptObject;
class EScriptThread;
class EScriptTimer;
class EStream;
struct EScriptMessage;
enum SCRIPT_STATE_MESSAGE : int;
template <class T> class EHeap;
struct ESVMBaseClassEntry;
template <class T> class EDataArray;

// Followers of the script pass: the debugger's breakpoint manager and the
// script profiler.
class EScriptVMCallbackHandler {
public:
  virtual void StartScriptRun(const char* szObjectName) = 0;
  virtual void EndScriptRun(const char* szObjectName) = 0;
  virtual void StartRunningAllScripts() = 0;
  virtual void EndRunningAllScripts() = 0;
  virtual void LuaLineHook(lua_State* L, lua_Debug* ar) = 0;
  virtual void LuaCallHook(lua_State* L, lua_Debug* ar) = 0;

protected:
  ~EScriptVMCallbackHandler() {}
};

extern int gLuaDefaultTableTag;
extern int gLuaInheritTag;
extern int gLuaROTableTag;
extern bool g_bUseFastLookup;

class EScriptVM {
public:
  enum { kNUM_THREADS = 64, kMAX_CLASSES = 300 };

  EScriptVM();
  ~EScriptVM();
  EScriptVM(const EScriptVM&) = delete;
  EScriptVM& operator=(const EScriptVM&) = delete;

  // ---- Life cycle and interpreter set-up ----
  EScriptVM* Initialise();
  void Shutdown();
  void CleanUp();
  void CleanupReferences();
  bool IsInitialised() const { return m_bInitialized; }

  // Marks the tables held by the table on top of the stack read-only.
  void MarkContainedTablesAsReadOnly(bool bRecurse);
  void ForceGarbageCollection();
  unsigned GetVMMem() const;
  lua_State* GetGlobalState() const { return m_pGlobalState; }
  void SuppressWarnings(bool bSuppress) { m_iSuppressWarnings += bSuppress ? 1 : -1; }
  bool WarningsSuppressed() const { return m_iSuppressWarnings != 0; }
  const char* GetLastClassType() const { return m_szLastClassType; }
  float GetMemoryCap() const { return m_fMemoryCapMB; }
  unsigned GetFreeMemoryWatermark() const { return m_uFreeMemoryWatermark; }

  static void ScriptVM_GCCallback(GCCALLBACK_REASON reason, lua_State* L);
  void GCThreadCallback(lua_MarkStackFn fnMark);
  // Free system memory in bytes as the memory policy sees it.
  static unsigned GetFreeMemoryEstimate();

  // Bytes and blocks the host itself holds outside the interpreter (pooled
  // names, thread stacks, script objects): zero once everything is shut down.
  static long GetHostBytesInUse();
  static int GetHostAllocsInUse();
  static void* HostAlloc(size_t bytes);
  static void HostFree(void* p, size_t bytes);
  // A copy of a text (null for null) held as host memory; freed with HostFreeText.
  static char* HostCopyText(const char* szText);
  static void HostFreeText(char* szText);
  // Counts memory the host holds by other means (stack mappings).
  static void HostAccount(long bytes, int allocs);

  // ---- Script classes and packs ----
  static char* MakeClassNameCanonical(char* szName);
  static void MakeClassNameCanonical(const char* szSource, char* szDest, int iDestSize);
  static void ClassNameToConstructorName(const char* szClass, char* szDest, int iDestSize);
  bool ClassNameToFileName(const char* szClass, char* szPath, const char* szWhat, bool bQuiet);
  bool LoadLuaClass(const char* szClass, char* szConstructor, int iConstructorSize, const char* szRequester);
  int GetBaseClass(const char* szClass, const char* szRequester, bool bOnlyIfLoaded);
  void PreloadLuaClass(const char* szClass);
  bool ReadPackFile(EStream& reader);
  bool ReadPackFile(const char* szPackName, bool bDiskOnly);
  void DoFile(const char* szPath, bool bQuiet);
  bool LoadAndRunLuaScript(const char* szName, EScriptObject* pObject);
  void DumpDoFileArray(bool bStartUp);
  void DebugDumpBaseClassHash();
  int GetNumBaseClasses() const { return (int)m_BaseClassHash.GetNumEntries(); }

  // ---- Script objects ----
  EScriptObject* CreateScriptObject(const char* szClass, const char* szName, EEntity* pEntity, const char* szInit,
                                    bool bUnused, bool bProtected, bool bGoesWithLevel, bool bSendSpawn);
  EScriptObject* CreateScriptObject1(const char* szClass, const char* szName, unsigned uSwitches, const char* szInit,
                                     EEntity* pEntity);
  EScriptObject* FindScriptByName(const char* szName);
  EScriptObject* FindScriptByLuaPtr(const void* pTable);
  EScriptObject* GetLevelScriptObject() { return FindScriptByName("LevelScript"); }
  void DelayedRemoveScript(EScriptObject* pObject);
  void RemoveScript(EScriptObject* pObject, bool bDeleteEntity);
  void ProcessRemovals();
  void RegisterCutscene(EScriptObject* pObject);
  bool UnregisterCutscene(EScriptObject* pObject);
  // Queues "CutsceneOverride" for the cutscene registered last.
  bool CutsceneOverride();
  // A cutscene runs while any object is registered as one.
  bool InCutscene() const { return !m_CutsceneList.IsEmpty(); }
  void DebugListAllScripts(EString& sText);
  void DebugDumpDupeLSOs();
  EList<EScriptObject*>& GetScriptList() { return m_ScriptList; }
  // Destroys the script objects whose deletion was requested; the end of
  // the frame calls it after every holder dropped its references.
  void DestroyDeletedScriptObjects();
  int GetNumPendingDeletes() const;

  // ---- Script threads and the script pass ----
  int GetFreeThreadIndex();
  EScriptThread* GetThreadFromIndex(int iIndex);
  void ReturnFreeThread(EScriptThread* pThread);
  int GetNumFreeThreads() const;
  int GetNumUsedThreads() const;
  int GetNumAllocatedThreads() const { return m_iAllocatedThreads; }
  int GetPeakAllocatedThreads() const { return m_iPeakAllocatedThreads; }
  void FreeUnusedThreads();
  // Releases an object's thread (a paused coroutine is abandoned).
  void ReleaseObjectThread(EScriptObject* pObject);

  void RunAllScripts();
  void RunScript(EScriptObject* pObject);
  int YieldThread(lua_State* L);
  bool IsRunning() const { return m_bRunning; }
  void QueueConsoleCommand(const char* szText);
  void ProcessConsoleCommands();
  void onRunAllScripts(bool bStart);
  void onRunOneScript(bool bStart, EScriptObject* pObject);
  void SetScriptVMCallbackHandler(EScriptVMCallbackHandler* pHandler);
  EScriptVMCallbackHandler* GetScriptVMCallbackHandler() const { return m_pCallbackHandler; }
  void DebugLockCallbackHandler() { m_bHandlerLocked = true; }
  void DebugUnlockCallbackHandler() { m_bHandlerLocked = false; }
  void DebugInstallLineHook(bool bOn);
  void DebugInstallCallHook(bool bOn);
  bool DebugIsCallHookInstalled() const { return m_bCallHookInstalled; }
  const char* DebugGetCurrentFunctionName() const { return m_szCurrentFunctionName; }
  void DebugSetCurrentFunctionName(const char* szName) { m_szCurrentFunctionName = const_cast<char*>(szName); }
  EScriptObject* GetMostExpensiveScript(float* pTime) const;
  void DebugDumpAllScriptTimes();

  // ---- Calls into scripts ----
  bool CallFunctionf(const char* szName, const char* szFormat, ...);
  bool CallFunctionv(const char* szName, const char* szFormat, va_list args, EScriptObject* pObject);
  bool RunLuaCommands(const char* szText, EScriptObject* pObject, float* pResult, int iLength);
  void HardBreak(const char* szMessage, lua_State* L);
  // The Name of the nearest calling script object (the first local "self"
  // with a value, from the caller of the running native outward), or
  // "Engine".
  static const char* GetCallersName(lua_State* L);

  // ---- Table access from engine code ----
  // Paths are dotted key names below a script object's table ("stats.rank");
  // every operation leaves the interpreter stack as it found it and fails
  // (false, nothing changed) when a step is missing or is not a table.
  bool GetLuaTableFromName(const char* szPath, bool bKeepLast);
  bool CheckOrCreateTable(EScriptObject* pObject, const char* szPath);
  bool SetScriptTableValue(const EScriptObject* pObject, const char* szPath, float fValue);
  bool SetScriptTableValueAsFloat(const EScriptObject* pObject, const char* szPath, int iValue);
  bool SetScriptTableValueAsId(const EScriptObject* pObject, const char* szPath, int iValue);
  bool SetScriptTableValue(const EScriptObject* pObject, const char* szPath, const char* szValue);
  bool SetScriptTableValue(const EScriptObject* pObject, const char* szPath, EScriptObject* pValue);
  bool SetScriptTableValueToBlankTable(const EScriptObject* pObject, const char* szPath);
  bool GetScriptTableValue(const EScriptObject* pObject, const char* szPath, float& fValue);
  bool GetScriptTableValueFromFloat(const EScriptObject* pObject, const char* szPath, int& iValue);
  bool GetScriptTableValueFromId(const EScriptObject* pObject, const char* szPath, int& iValue);
  bool GetScriptTableValue(const EScriptObject* pObject, const char* szPath, const char*& szValue);
  bool GetScriptTableValue(const EScriptObject* pObject, const char* szPath, EScriptObject*& pValue);
  // Elements of the array at path; index counts from 0 and is never negative.
  bool GetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, const char*& szValue);
  bool GetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, int& iValue);
  bool GetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, float& fValue);
  bool SetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, const char* szValue);
  bool SetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, int iValue);
  bool SetScriptTableArrayValue(const EScriptObject* pObject, const char* szPath, int iIndex, float fValue);
  bool SetScriptTableBitfield(const EScriptObject* pObject, const char* szPath, unsigned uBit, bool bOn);
  bool GetScriptTableBitfield(const EScriptObject* pObject, const char* szPath, unsigned uBit);
  bool GetTableArray(EScriptObject* pObject, const char* szPath, EArray<EString>* pOut);
  bool GetTableArray(EScriptObject* pObject, const char* szPath, EArray<int>* pOut);
  bool GetTableArray(EScriptObject* pObject, const char* szPath, EArray<EScriptObject*>* pOut);
  void GetScriptNamesFromTable(EScriptObject* pObject, EArray<EString>* pOut, const char* szName, const char* szMatch);

  // ---- Script state as text ----
  // Appends one line per saved value of the listed tables (paths below the
  // table of the object named by szRoot) to pLines; hSig is the save-game
  // signature handle, -1 for none.
  void TableWriteToFile(EArray<EString>* pLines, int& hSig, const char* szRoot, EList<char*>* pNames,
                        const char* szSeparator);
  // Writes the entries of the table below the nil key on top of the stack,
  // each path starting with szPrefix. Pops the key.
  void tableWriteRecurse(EArray<EString>* pLines, int& hSig, const char* szPrefix, EList<char*>* pNames,
                         const char* szSeparator);

  // ---- Messages ----
  // Makes a message from the letters and the arguments and delivers it at
  // once (priority 1) or queues it on the receiver; a deleted receiver gets
  // nothing.
  void QueueScriptMessagev(const char* szName, EScriptObject* pReceiver, EScriptObject* pSender, int iPriority,
                           const char* szLetters, va_list args);
  // Delivers or queues a prepared message, which the host takes over.
  void QueueScriptMessage(EScriptMessage* pMessage, int iPriority);
  // A message with one text argument.
  void QueueScriptMessage(const char* szName, const char* szArg, EScriptObject* pReceiver, EScriptObject* pSender,
                          int iPriority);
  void SendStateMessageToAllScripts(SCRIPT_STATE_MESSAGE eMessage);
  // Level clean-up: removes the objects that go with the level, resets the
  // survivors' state messages and queues, and drops unused classes.
  void UnloadingLevel();

  // ---- Timers ----
  void CreateTimer(EScriptObject* pObject, float fTime, uint16_t uId, unsigned uFlags, const char* szName);
  // The timer of (object, id, name) or null; *pPos its heap index or -1.
  EScriptTimer* FindTimer(EScriptObject* pObject, uint16_t uId, const char* szName, int* pPos);
  bool KillTimer(EScriptObject* pObject, uint16_t uId, const char* szName);
  void KillAllTimers(EScriptObject* pObject);
  void ProcessTimers();
  int GetNumTimers() const;
  // The timer at a heap index (index 0 fires first).
  EScriptTimer* GetTimerAt(int iIndex) const;

  // ---- Script debugger queries ----
  // The entries of the table a query names ("Object", "Object.path",
  // "local:N", "local:N.path"), each ending in the byte 1, with a closing
  // zero; iLength is the text length plus one. The 64 KB buffer is the
  // caller's, to release with free(). Null when the query fails.
  char* DebugGetLuaTableEntries(const char* szQuery, int& iLength);
  // Formats the pair on top of the stack (key -2, value -1) as one entry
  // into szOut (at most iSize bytes with the zero); returns the full length
  // of the entry as snprintf does.
  int DebugParseLuaTable(char* szOut, int iSize);
  // "local:N": pushes a new table of the local variables of call level N by
  // name. False (leaving the stack to the caller) when there is no level N.
  bool DebugCreateLocalTable(const char* szSpec);
  // The call stack from a level outward: "count" + byte 2, then per level
  // "name,kind" + byte 1 + source + byte 1 + line, separated by the byte 3.
  // The caller releases it with free(); null when the level has no frame.
  char* GetCallStack(int iLevel);

  static EScriptVM* m_spScriptVM;

private:
  friend class EScriptObject;
  static int InheritIndexTagMethod(lua_State* L);
  static int ReadOnlyTableSetTagMethod(lua_State* L);
  static int ScriptErrorHandler(lua_State* L);
  static void GCThreadCallbackThunk(lua_MarkStackFn fnMark);
  static void LineHookForwarder(lua_State* L, lua_Debug* ar);
  static void CallHookForwarder(lua_State* L, lua_Debug* ar);
  void CheckMemoryAfterPass();
  void ResetPoolCounters();
  void DestroyAllThreads();
  int AddBaseClassEntry(const char* szKey);
  // The turn body that runs on a script thread's own stack.
  static void ThreadMain(EScriptThread* pThread);
  void StartStateFunction(EScriptThread* pThread);

  char* m_szCurrentFunctionName;
  char m_szFunctionNameBuffer[512];
  int m_iRunAllScriptsDepth;
  int m_iRunOneScriptDepth;
  EScriptObject* m_pRunOneObject;
  bool m_bInitialized;
  bool m_bRunning;
  bool m_bLineHookInstalled;
  bool m_bCallHookInstalled;
  lua_State* m_pGlobalState;
  char m_szLastClassType[4096];
  EScriptVMCallbackHandler* m_pCallbackHandler;
  EList<EScriptObject*> m_ScriptList;
  int m_iAllocatedThreads;
  int m_iPeakAllocatedThreads;
  EScriptThread* m_AllocatedThreadPool[kNUM_THREADS];
  uint64_t m_uThreadSlotsInUse;
  EList<char*> m_ConsoleCommands;
  EList<EScriptObject*> m_CutsceneList;
  int m_iSuppressWarnings;
  EScriptObject* m_pMostExpensiveScript;
  float m_fMostExpensiveTime;
  float m_fMaxRunTime;
  bool m_bHandlerLocked;
  EArray<EString> m_aStartupDoFiles;
  EArray<EString> m_aLevelDoFiles;
  float m_fMemoryCapMB;
  unsigned m_uFreeMemoryWatermark;
  EHashTable<ESVMBaseClassEntry*> m_BaseClassHash;
  EDataArray<ESVMBaseClassEntry>* m_pBaseClassPool;
  // The script pass's place in the script list.
  POSITION m_PassCur;
  POSITION m_PassPrev;
  // Script objects removed during the frame, destroyed at its end.
  // All timers of all objects, the earliest fire time on top.
  EHeap<EScriptTimer*>* m_pTimerHeap = nullptr;
  void DestroyAllTimers();
  void CleanupTimerReferences();
};

// Walks a dotted path from the table on top of the stack: a component "[i]"
// reads element i raw, any other component reads the field. Every step must
// give a table; true with the final table on top. Pushed values are left for
// the caller to pop.
bool WalkLuaTablePath(lua_State* L, const char* szPath);

// Visits the elements 0 through the length of the table at the absolute
// stack index iTable in order, holes left out: each element is pushed,
// fn(i) called, and the element popped again.
template <class F>
void ForEachLuaArrayElement(lua_State* L, int iTable, F fn) {
  int n = lua_getn(L, iTable);
  for (int i = 0; i <= n; ++i) {
    lua_rawgeti(L, iTable, i);
    if (!lua_isnil(L, -1)) fn(i);
    lua_pop(L, 1);
  }
}

// Writes one line to the output console.
void ScriptConsoleLine(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));
// Writes the Lua call stack of L from level first + 1 to the console.
void Lua_DoCallStackDump(lua_State* L, int iFirst, int iCount);
