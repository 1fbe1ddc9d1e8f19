// Script classes, the base-class cache, compiled script packs and running
// script files.
#include "ScriptVM/ScriptClass.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Game/GameApp.h"
#include "Lua/lstate.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"

namespace {
const int kPATH_SIZE = 4096;
const uint16_t kPACK_EXTENDED_HEADER = 0xFCFC;

// What the host asks of the application about the game's progress and its
// preference switches. Without an application (tools, tests of the host on
// its own) start-up has not completed, no level is loaded and the switches
// have their defaults.
bool StartUpComplete() { return gGameApp && gGameApp->StartUpComplete(); }
bool LevelFullyLoaded() { return gGameApp && gGameApp->GetLevelLoadedState() == 3; }
bool PrefScriptDebug() { return gGameApp && gGameApp->GetPrefs().m_bScriptDebug; }
bool PrefDvdEnvironment() { return gGameApp && gGameApp->GetPrefs().m_bDvdEnvironment; }
bool PrefProductionLoading() { return !gGameApp || gGameApp->GetPrefs().m_bProductionLoading; }

// Reads a whole file through the file manager; the caller frees the block.
char* ReadWholeFile(const char* szPath, EFileLoc location, size_t* pSize) {
  EFile* pFile = gFile->Open(szPath, FILE_READ, location);
  if (!pFile) return nullptr;
  void* pData = nullptr;
  int iSize = pFile->ReadAndAlloc(&pData);
  pFile->Close();
  if (iSize < 0) {
    free(pData);
    return nullptr;
  }
  *pSize = (size_t)iSize;
  return static_cast<char*>(pData);
}

// Runs a script file found through the file manager. The chunk is named by
// the lower-cased path, as the class and file names are.
int RunFile(lua_State* L, const char* szResolvedPath) {
  size_t uSize = 0;
  char* pData = ReadWholeFile(szResolvedPath, kFILELOC_AsGiven, &uSize);
  if (!pData) pData = ReadWholeFile(szResolvedPath, kFILELOC_ReadPaths, &uSize);
  if (!pData) return LUA_ERRFILE;
  char szName[kPATH_SIZE + 2];
  snprintf(szName, sizeof(szName), "@%s", szResolvedPath);
  StringToLower(szName);
  int iResult = lua_dobuffer(L, pData, uSize, szName);
  free(pData);
  return iResult;
}

uint16_t ReadU16(EStream& s) {
  unsigned char b[2] = {0, 0};
  s.Read(b, 1, 2);
  return (uint16_t)(b[0] | (b[1] << 8));
}

uint32_t ReadU32(EStream& s) {
  unsigned char b[4] = {0, 0, 0, 0};
  s.Read(b, 1, 4);
  return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

// A block of pack code: on the thread's scratch stack when it fits there.
class EPackCode {
public:
  EPackCode(EStream& s, unsigned uSize) : m_Mark(*GetThreadLocalStack()), m_pHeap(nullptr), m_pData(nullptr) {
    EMemStack* pStack = GetThreadLocalStack();
    if ((unsigned long long)pStack->GetUsedBytes() + uSize + 16 <= pStack->GetSize()) {
      m_pData = reinterpret_cast<char*>(pStack->Push(uSize ? uSize : 1, 4));
    } else {
      m_pHeap = static_cast<char*>(malloc(uSize ? uSize : 1));
      EASSERT(m_pHeap);
      m_pData = m_pHeap;
    }
    s.Read(m_pData, 1, uSize);
  }
  ~EPackCode() { free(m_pHeap); }
  const char* Data() const { return m_pData; }

private:
  EMemMark m_Mark;
  char* m_pHeap;
  char* m_pData;
};
}  // namespace

// ---------------------------------------------------------------------------
// Names.

char* EScriptVM::MakeClassNameCanonical(char* szName) {
  char* pLastDot = strrchr(szName, '.');
  if (pLastDot) {
    for (char* p = szName; p < pLastDot; ++p) *p = (char)tolower((unsigned char)*p);
  }
  return pLastDot;
}

void EScriptVM::MakeClassNameCanonical(const char* szSource, char* szDest, int iDestSize) {
  if (iDestSize <= 0) return;
  snprintf(szDest, (size_t)iDestSize, "%s", szSource ? szSource : "");
  MakeClassNameCanonical(szDest);
}

void EScriptVM::ClassNameToConstructorName(const char* szClass, char* szDest, int iDestSize) {
  if (iDestSize <= 0) return;
  snprintf(szDest, (size_t)iDestSize, "base_%s", szClass ? szClass : "");
  for (char* p = szDest; *p; ++p) {
    *p = (char)tolower((unsigned char)*p);
    if (p >= szDest + 5 && *p == '.') *p = '_';
  }
}

bool EScriptVM::ClassNameToFileName(const char* szClass, char* szPath, const char* szWhat, bool bQuiet) {
  char szName[kPATH_SIZE];
  int n = snprintf(szName, sizeof(szName), "scripts/%s.lua", szClass ? szClass : "");
  if (n < 0 || n >= (int)sizeof(szName)) n = (int)sizeof(szName) - 1;
  for (int i = 8; i < n - 4; ++i) {
    if (szName[i] == '.') szName[i] = '/';
  }
  const char* szFull = gFile->Exists(szName, kFILELOC_ReadPaths) ? gFile->GetFullPath(szName, kFILELOC_ReadPaths)
                                                                   : nullptr;
  if (!szFull) {
    snprintf(szPath, kPATH_SIZE, "%s", szName);
    if (!bQuiet)
      g_ErrorManager.TraceMessagef(TT_Script, "%s script '%s' does not exist", szWhat ? szWhat : "Base class", szPath);
    return false;
  }
  snprintf(szPath, kPATH_SIZE, "%s", szFull);
  return true;
}

// ---------------------------------------------------------------------------
// Loading classes.

bool EScriptVM::LoadLuaClass(const char* szClass, char* szConstructor, int iConstructorSize,
                             const char* szRequester) {
  lua_State* L = m_pGlobalState;
  EScriptObject* pRunning = L->scriptObject;
  L->scriptObject = nullptr;
  bool bOk = false;
  char szPath[kPATH_SIZE];
  const char* szShort = strrchr(szClass, '.');
  szShort = szShort ? szShort + 1 : szClass;

  ClassNameToConstructorName(szClass, szConstructor, iConstructorSize);
  if (!ClassNameToFileName(szClass, szPath, nullptr, m_iSuppressWarnings != 0)) {
    // fails
  } else if (PrefProductionLoading() && LevelFullyLoaded()) {
    char szMessage[kPATH_SIZE + 512];
    snprintf(szMessage, sizeof(szMessage), "Script preload error: '%s' <%s>", szPath,
             gGameApp ? gGameApp->GetFullCurrentLevelName() : "");
    HardBreak(szMessage, nullptr);
  } else {
    if (PrefScriptDebug()) g_ErrorManager.TraceMessagef(TT_Script, "loading new script '%s'", szPath);
    if (RunFile(L, szPath) != 0) {
      if (!m_iSuppressWarnings)
        g_ErrorManager.TraceMessagef(TT_Warning, "%s: '%s' didn't load", szRequester ? szRequester : "", szPath);
    } else {
      lua_getglobal(L, szShort);
      if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        g_ErrorManager.TraceMessagef(TT_Warning, "%s: '%s' doesn't define constructor '%s'",
                                     szRequester ? szRequester : "", szPath, szShort);
      } else {
        lua_setglobal(L, szConstructor);
        lua_pushnil(L);
        lua_setglobal(L, szShort);
        MakeClassNameCanonical(szClass, m_szLastClassType, (int)sizeof(m_szLastClassType));
        bOk = true;
      }
    }
  }
  L->scriptObject = pRunning;
  return bOk;
}

int EScriptVM::AddBaseClassEntry(const char* szKey) {
  // Expects the base instance on top of the stack; pops it.
  lua_State* L = m_pGlobalState;
  EDataId id = m_pBaseClassPool->ElementNew();
  if (id == 0) {
    // The cache is full: the class is not kept.
    g_ErrorManager.TraceMessagef(TT_Warning, "Too many script classes (%d): '%s' is not cached", kMAX_CLASSES, szKey);
    lua_pop(L, 1);
    return 0;
  }
  ESVMBaseClassEntry* pEntry = m_pBaseClassPool->ElementGet(id);
  pEntry->m_uInUse = 0;
  pEntry->m_uLoadedBeforeStartUp = StartUpComplete() ? 0 : 1;
  MarkContainedTablesAsReadOnly(true);
  pEntry->m_iRef = lua_ref(L, 1);
  pEntry->m_uOrder = (uint16_t)m_BaseClassHash.GetNumEntries();
  ESVMBaseClassEntry* vpPrev = m_BaseClassHash.Set(szKey, pEntry);
  EASSERT(vpPrev==0);
  return pEntry->m_iRef;
}

int EScriptVM::GetBaseClass(const char* szClass, const char* szRequester, bool bOnlyIfLoaded) {
  if (!szClass) return 0;
  char szCanonical[1024];
  MakeClassNameCanonical(szClass, szCanonical, (int)sizeof(szCanonical));
  ESVMBaseClassEntry* pEntry = m_BaseClassHash.Find(szCanonical, nullptr);
  if (pEntry) return pEntry->m_iRef;
  if (bOnlyIfLoaded) return 0;

  char szConstructor[256];
  if (!LoadLuaClass(szClass, szConstructor, (int)sizeof(szConstructor), szRequester)) return 0;

  lua_State* L = m_pGlobalState;
  lua_getglobal(L, szConstructor);
  if (lua_call(L, 0, 1) != 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s: couldn't create base instance '%s'", szRequester ? szRequester : "",
                                 szCanonical);
    return 0;
  }
  if (!lua_istable(L, -1) || lua_tag(L, -1) != gLuaInheritTag) {
    g_ErrorManager.TraceMessagef(TT_Warning, "%s constructor didn't return a class object", szCanonical);
    lua_pop(L, 1);
    return 0;
  }
  if (m_BaseClassHash.GetNumEntries() >= (unsigned)kMAX_CLASSES) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Too many script classes (%d): '%s' is not cached", kMAX_CLASSES,
                                 szCanonical);
    lua_pop(L, 1);
    return 0;
  }
  int iRef = AddBaseClassEntry(szCanonical);
  if (iRef) {
    lua_pushnil(L);
    lua_setglobal(L, szConstructor);
  }
  return iRef;
}

void EScriptVM::PreloadLuaClass(const char* szClass) {
  lua_State* L = m_pGlobalState;
  int iLuaTop = lua_gettop(L);
  int iRef = GetBaseClass(szClass, "PreLoadLuaClass", false);
  if (iRef) {
    lua_getref(L, iRef);
    lua_pushstring(L, "onPreLoad");
    lua_gettable(L, -2);
    if (lua_isfunction(L, -1)) {
      lua_pushvalue(L, -2);
      lua_call(L, 1, 0);
    } else {
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
  }
  EASSERT(iLuaTop == lua_gettop(m_pGlobalState));
}

// ---------------------------------------------------------------------------
// Compiled script packs.

bool EScriptVM::ReadPackFile(EStream& reader) {
  lua_State* L = m_pGlobalState;
  uint16_t uFirst = ReadU16(reader);
  bool bNamedChunks = false;
  unsigned uClassCount = uFirst;
  if (uFirst == kPACK_EXTENDED_HEADER) {
    bNamedChunks = ReadU16(reader) != 0;
    uClassCount = ReadU16(reader);
  }

  for (unsigned i = 0; i < uClassCount && !reader.Err(); ++i) {
    char szName[kPATH_SIZE];
    reader.StreamString_2b(szName, (int)sizeof(szName));
    uint32_t uSize = ReadU32(reader);
    if (reader.Err()) break;
    if (uSize == 0) {
      // An empty entry carries no class; the rest of the pack still loads.
      g_ErrorManager.TraceMessagef(TT_Warning, "Script pack entry '%s' is empty; skipped", szName);
      continue;
    }
    unsigned uBytes = reader.BoundLength(uSize);
    if (reader.Err()) {
      reader.Stream(nullptr, uBytes);
      break;
    }
    char szCanonical[kPATH_SIZE];
    MakeClassNameCanonical(szName, szCanonical, (int)sizeof(szCanonical));
    if (m_BaseClassHash.Find(szCanonical, nullptr)) {
      reader.Stream(nullptr, uBytes);
      continue;
    }
    EPackCode code(reader, uBytes);
    if (reader.Err()) break;
    int iTop = lua_gettop(L);
    if (lua_dobuffer(L, code.Data(), uBytes, "ReadLuaPackFile") != 0) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Error loading lua byte code for script '%s'", szName);
      lua_settop(L, iTop);
      continue;
    }
    lua_settop(L, iTop);
    snprintf(m_szLastClassType, sizeof(m_szLastClassType), "%s", szCanonical);
    EStringSplit ssName(szName, '.');
    EASSERT(ssName.GetNumStrings() > 0);
    const char* szShort = ssName[ssName.GetNumStrings() - 1];
    lua_getglobal(L, szShort);
    if (lua_call(L, 0, 1) != 0) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Could not create base instance of script '%s'", szName);
    } else if (m_BaseClassHash.GetNumEntries() >= (unsigned)kMAX_CLASSES) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Too many script classes (%d): '%s' is not cached", kMAX_CLASSES,
                                   szCanonical);
      lua_pop(L, 1);
    } else {
      AddBaseClassEntry(szCanonical);
    }
    lua_pushnil(L);
    lua_setglobal(L, szShort);
  }
  if (reader.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Script pack is damaged: it ends inside its class table");
    return false;
  }

  uint16_t uChunks = ReadU16(reader);
  for (unsigned i = 0; i < uChunks && !reader.Err(); ++i) {
    char szName[kPATH_SIZE];
    if (bNamedChunks) {
      reader.StreamString_2b(szName, (int)sizeof(szName));
    } else {
      snprintf(szName, sizeof(szName), "<unknown>");
    }
    uint32_t uSize = ReadU32(reader);
    unsigned uBytes = reader.BoundLength(uSize);
    if (reader.Err()) break;
    EPackCode code(reader, uBytes);
    if (reader.Err()) break;
    int iTop = lua_gettop(L);
    if (lua_dobuffer(L, code.Data(), uBytes, "ReadLuaPackFileDoFile") != 0)
      g_ErrorManager.TraceMessagef(TT_Warning, "Error running lua chunk for LuaDoFile %s", szName);
    lua_settop(L, iTop);
  }
  if (reader.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Script pack is damaged: it ends inside its chunk table");
    return false;
  }
  return true;
}

bool EScriptVM::ReadPackFile(const char* szPackName, bool bDiskOnly) {
  char szPath[kPATH_SIZE];
  snprintf(szPath, sizeof(szPath), "scripts/packfile/%s.lpf", szPackName ? szPackName : "");
  EFile* pFile = gFile->Open(szPath, FILE_READ, bDiskOnly ? kFILELOC_ReadDirs : kFILELOC_Default);
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Developer4, "Could not open lua packfile '%s'", szPath);
    return false;
  }
  g_ErrorManager.TraceMessagef(TT_Developer4, "Loading lua packfile '%s'", szPath);
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  ReadPackFile(reader);
  return true;
}

// ---------------------------------------------------------------------------
// Script files.

void EScriptVM::DoFile(const char* szPath, bool bQuiet) {
  if (!szPath) return;
  if (PrefDvdEnvironment()) return;
  if (PrefProductionLoading() && LevelFullyLoaded()) {
    char szMessage[kPATH_SIZE + 64];
    snprintf(szMessage, sizeof(szMessage), "DoFile() load request after level has loaded. '%s'", szPath);
    HardBreak(szMessage, nullptr);
    return;
  }
  const char* szFull = gFile->Exists(szPath, kFILELOC_ReadPaths) ? gFile->GetFullPath(szPath, kFILELOC_ReadPaths)
                                                                   : nullptr;
  if (!szFull) {
    if (!bQuiet) g_ErrorManager.TraceMessagef(TT_Script, "DoFile Script '%s' does not exist", szPath);
    return;
  }
  char szResolved[kPATH_SIZE];
  snprintf(szResolved, sizeof(szResolved), "%s", szFull);
  if (StartUpComplete())
    m_aLevelDoFiles.AddData(EString(szPath));
  else
    m_aStartupDoFiles.AddData(EString(szPath));
  lua_State* L = m_pGlobalState;
  int iTop = lua_gettop(L);
  RunFile(L, szResolved);
  lua_settop(L, iTop);
}

bool EScriptVM::LoadAndRunLuaScript(const char* szName, EScriptObject* pObject) {
  char szPath[kPATH_SIZE];
  snprintf(szPath, sizeof(szPath), "workresource\\scripts\\%s.lua", szName ? szName : "");
  // The file manager takes the name without its folder of game data.
  char szLookup[kPATH_SIZE];
  snprintf(szLookup, sizeof(szLookup), "scripts/%s.lua", szName ? szName : "");
  const char* szFull = gFile->Exists(szLookup, kFILELOC_ReadPaths) ? gFile->GetFullPath(szLookup, kFILELOC_ReadPaths)
                                                                     : nullptr;
  if (!szFull) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ScriptVM LoadAndRunLuaScript: Could not find script '%s'", szPath);
    return false;
  }
  if (m_bRunning) {
    ScriptConsoleLine("**************************");
    ScriptConsoleLine("Trying to reenter lua when script vm is already running....");
    ScriptConsoleLine("This is NOT allowed.");
    ScriptConsoleLine("Please report this at once.");
    ScriptConsoleLine("**************************");
    return false;
  }
  char szResolved[kPATH_SIZE];
  snprintf(szResolved, sizeof(szResolved), "%s", szFull);
  lua_State* L = m_pGlobalState;
  L->scriptThread = nullptr;
  L->scriptObject = pObject;
  if (pObject && pObject->PushTable(L)) lua_setglobal(L, "self");
  int iTop = lua_gettop(L);
  int iResult = RunFile(L, szResolved);
  lua_settop(L, iTop);
  return iResult == 0;
}

void EScriptVM::DumpDoFileArray(bool bStartUp) {
  EArray<EString>& a = bStartUp ? m_aStartupDoFiles : m_aLevelDoFiles;
  g_ErrorManager.TraceMessagef(TT_None, "Dumping DoFile Array");
  for (int i = 0; i < a.Num(); ++i) g_ErrorManager.TraceMessagef(TT_None, "%s", *a[i]);
  g_ErrorManager.TraceMessagef(TT_None, "All Done :)");
}

void EScriptVM::DebugDumpBaseClassHash() {
  ScriptConsoleLine("Dumping BaseClass Hash");
  ScriptConsoleLine("----------------------");
  for (EHashIter<ESVMBaseClassEntry*> it(m_BaseClassHash); it; ++it) {
    ESVMBaseClassEntry* p = *it;
    ScriptConsoleLine("%i %i %s", (int)p->m_uLoadedBeforeStartUp, (int)p->m_uOrder, it.key());
  }
  ScriptConsoleLine("All Done :)");
}
