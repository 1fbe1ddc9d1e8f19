// The mesh cache, its purges and the mesh packs.
#include "VERirezo/MeshManager.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"
#include "VERirezo/SceneRecord.h"

EMeshManager* EMeshManager::sm_pInstance = nullptr;

namespace meshmanager {

const char* const kCATEGORY_NAMES[5] = {"kDATATYPE_UNKNOWN", "kDATATYPE_COMMON", "kDATATYPE_LEVEL_WORLD",
                                        "kDATATYPE_LEVEL_CHARACTER", "kDATATYPE_LEVEL_MISC"};

int CategoryOf(EMesh* pMesh) { return pMesh->GetModel()->m_eDataType; }

const char* CategoryName(int eType) { return eType >= 0 && eType < 5 ? kCATEGORY_NAMES[eType] : "?"; }

void HardBreakf(const char* szFormat, const char* szName) {
  char szMessage[1024];
  snprintf(szMessage, sizeof(szMessage), szFormat, szName, gGameApp ? gGameApp->GetFullCurrentLevelName() : "");
  if (EScriptVM::m_spScriptVM) EScriptVM::m_spScriptVM->HardBreak(szMessage, nullptr);
  else g_ErrorManager.TraceMessagef(TT_Warning, "%s", szMessage);
}

}  // namespace meshmanager

EMeshManager::EMeshManager() : m_Cache(kMEMTYPE_Misc), m_aEntityMeshes(kMEMTYPE_Misc) {}

EMeshManager::~EMeshManager() { PurgeCache(true); }

bool EMeshManager::Initialize() {
  if (sm_pInstance) return false;
  sm_pInstance = new EMeshManager();
  return true;
}

void EMeshManager::Destroy() {
  delete sm_pInstance;
  sm_pInstance = nullptr;
}

EMeshManager* EMeshManager::Get() {
  if (!sm_pInstance) sm_pInstance = new EMeshManager();
  return sm_pInstance;
}

void EMeshManager::MakeKey(const char* szName, char* szKey, int iKeySize) {
  const int iSize = iKeySize < kKEY_SIZE ? iKeySize : (int)kKEY_SIZE;
  const char* szFull = gFile->GetFullPath(szName, kFILELOC_AsGiven);
  if (!szFull) szFull = szName;
  int i = 0;
  for (; szFull[i] && i < iSize - 1; ++i) {
    const char c = szFull[i] == '\\' ? '/' : szFull[i];
    szKey[i] = (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
  }
  szKey[i] = 0;
}

EMesh* EMeshManager::LoadFromFile(const char* szKey, int eType) {
  EDomain* pLevel = gGameApp ? gGameApp->m_pLevelDomain : nullptr;
  if (pLevel) return pLevel->LoadSingleMesh(szKey, eType);
  EDomain temp(nullptr, nullptr);
  return temp.LoadSingleMesh(szKey, eType);
}

EMesh* EMeshManager::LoadMesh(const char* szName, DATATYPE eType) {
  char szKey[kKEY_SIZE];
  MakeKey(szName, szKey, sizeof(szKey));
  if (EMesh* pCached = m_Cache.Find(szKey, nullptr)) return static_cast<EMesh*>(pCached->Instantiate());
  if (gGameApp && gGameApp->GetPrefs().m_bProductionLoading && gGameApp->GetLevelLoadedState() == 3) {
    meshmanager::HardBreakf("Mesh preload error: '%s' <%s>", szName);
    return nullptr;
  }
  if (eType == kDATATYPE_COMMON && gGameApp && gGameApp->StartUpComplete()) {
    meshmanager::HardBreakf("Cannot load common mesh after startup complete: '%s' <%s>", szName);
    eType = kDATATYPE_LEVEL_MISC;
  }
  EMesh* pMesh = LoadFromFile(szKey, eType);
  if (!pMesh) return nullptr;
  m_Cache.Set(szKey, pMesh);
  return static_cast<EMesh*>(pMesh->Instantiate());
}

bool EMeshManager::PreloadMesh(const char* szName, DATATYPE eType) {
  char szKey[kKEY_SIZE];
  MakeKey(szName, szKey, sizeof(szKey));
  if (m_Cache.Find(szKey, nullptr)) return true;
  EMesh* pInstance = LoadMesh(szKey, eType);
  if (!pInstance) return false;
  UnloadMesh(pInstance);
  return true;
}

bool EMeshManager::IsCached(const EMesh* pMesh) {
  for (EHashIter<EMesh*> it(m_Cache); it; ++it) {
    if (*it == pMesh) return true;
  }
  return false;
}

void EMeshManager::UnloadMesh(EMesh* pMesh) {
  if (!pMesh) return;
  // An empty mesh of GetEmptyMesh goes at once; a cached mesh never does.
  if (pMesh->IsOriginal() && !pMesh->GetNumMeshFrags() && !pMesh->GetNumChildren() && !pMesh->GetNumLights() &&
      !pMesh->GetCollisionTree() && !pMesh->GetModel()->GetNumTriggers() && !IsCached(pMesh)) {
    delete pMesh;
    return;
  }
  pMesh->DestroyInstance();
  if (!pMesh->IsOriginal() && !pMesh->IsEntityMesh()) delete pMesh;
}

EMesh* EMeshManager::GetEmptyMesh(EMeshEntity* pEntity) {
  EMesh* pMesh = new EMesh();
  pMesh->SetOwner(pEntity);
  return pMesh;
}

void EMeshManager::RegisterEntityMesh(EMesh* pMesh) {
  m_aEntityMeshes.AddData(pMesh);
  pMesh->MarkNonCached();
}

void EMeshManager::PurgeCache(bool bAll) {
  for (EHashIter<EMesh*> it(m_Cache); it;) {
    EMesh* pMesh = *it;
    const int eType = meshmanager::CategoryOf(pMesh);
    bool bDelete = false;
    if (bAll || (eType != kDATATYPE_UNKNOWN && eType != kDATATYPE_COMMON)) {
      if (pMesh->GetRefCount() != 0 && !bAll)
        g_ErrorManager.TraceMessagef(TT_Warning, "Deleting a level mesh with a non-zero reference count: %s",
                                     pMesh->GetName());
      bDelete = true;
    } else if (eType == kDATATYPE_UNKNOWN && pMesh->GetRefCount() == 0) {
      bDelete = true;
    }
    if (bDelete) {
      it.remove_cur();
      delete pMesh;
    } else {
      ++it;
    }
  }
  for (int i = 0; i < m_aEntityMeshes.Num(); ++i) delete m_aEntityMeshes[i];
  m_aEntityMeshes.Empty();
}

void EMeshManager::ReadPackFile(const char* szLevelName) {
  char szPath[4096];
  snprintf(szPath, sizeof(szPath), "levels/packfiles/%s.mpf", szLevelName);
  EFile* pFile = gFile->Open(szPath, FILE_READ, kFILELOC_Default);
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Developer4, "Could not open mesh packfile '%s'", szLevelName);
    return;
  }
  g_ErrorManager.TraceMessagef(TT_Developer4, "Loading mesh packfile '%s'", szLevelName);
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  ReadPackFile(reader);
}

void EMeshManager::ReadPackFile(EStream& s) {
  uint32_t dwHeader = 0;
  s << dwHeader;
  if (dwHeader != 0x4B41504D) SCENE_RECORD_REFUSE("dwHeader == 'KAPM'");
  uint16_t nEntries = 0;
  s << nEntries;
  EArray<uint8_t> aData(kMEMTYPE_Misc);
  for (unsigned i = 0; i < nEntries && !s.Err(); ++i) {
    char szName[4096];
    s.StreamString_2b(szName, sizeof(szName));
    uint16_t uCategory = 0;
    uint32_t uSize = 0;
    s << uCategory << uSize;
    const unsigned uBytes = s.BoundLength(uSize);
    if (s.Err()) break;
    char szKey[kKEY_SIZE];
    MakeKey(szName, szKey, sizeof(szKey));
    if (m_Cache.Find(szKey, nullptr)) {
      s.Stream(nullptr, uBytes);
      continue;
    }
    // The entry is read whole first, so that a refused mesh is skipped by
    // its size and the next entry starts in step.
    aData.GrowTo((int)uBytes, true);
    if (uBytes) s.Read(&aData[0], 1, uBytes);
    ENamedMemReader reader(uBytes ? &aData[0] : nullptr, uBytes, szName);
    EDomain* pLevel = gGameApp ? gGameApp->m_pLevelDomain : nullptr;
    EDomain temp(nullptr, nullptr);
    EMesh* pMesh = (pLevel ? pLevel : &temp)->LoadSingleMesh(reader, uCategory);
    if (!pMesh) {
      SCENE_RECORD_REFUSE("pOriginalMesh");
      continue;
    }
    m_Cache.Set(szKey, pMesh);
  }
}

void EMeshManager::DumpDebugInfo() {
  g_ErrorManager.TraceMessagef(TT_Developer4, "Dumping Mesh Manager Info");
  g_ErrorManager.TraceMessagef(TT_Developer4, "-------------------------");
  for (EHashIter<EMesh*> it(m_Cache); it; ++it) {
    const int eType = meshmanager::CategoryOf(*it);
    g_ErrorManager.TraceMessagef(TT_Developer4, "%i : %i : %s : '%s'", (*it)->GetRefCount(), eType,
                                 meshmanager::CategoryName(eType), it.key());
  }
  g_ErrorManager.TraceMessagef(TT_Developer4, "----------------------------");
  g_ErrorManager.TraceMessagef(TT_Developer4, "All Done :)");
}

void EMeshManager::Debug_ShowUnusedMeshes() {
  g_ErrorManager.TraceMessagef(TT_Developer4, "Unused meshes:");
  for (EHashIter<EMesh*> it(m_Cache); it; ++it) {
    EMesh* pMesh = *it;
    if (pMesh->GetRefCount() >= 1) continue;
    EMesh* pTop = pMesh->GetTopMesh();
    if (pTop == pMesh)
      g_ErrorManager.TraceMessagef(TT_Developer4, "  %s", pMesh->GetName());
    else
      g_ErrorManager.TraceMessagef(TT_Developer4, "  %s (from %s)", pMesh->GetName(), pTop->GetName());
  }
}
