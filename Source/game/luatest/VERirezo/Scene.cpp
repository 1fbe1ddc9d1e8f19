// Scene files: header, texture table, root domain, navigation meshes,
// visibility data and runtime references; the scene manager.
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"

#include "Game/DebugScreen.h"
#include "Game/GameApp.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/SceneRecord.h"
#include "VERirezo/TextureManager.h"
#include "VERirezo/Visibility.h"

SceneRuntimeReference::SceneRuntimeReference(EDomain* pDomain, const char* szFile)
    : m_pDomain(pDomain), m_szFile(StringDuplicatePooled(szFile, kMEMTYPE_String)) {}

SceneRuntimeReference::~SceneRuntimeReference() { StringFreePooled(m_szFile, kMEMTYPE_String); }

EScene::EScene()
    : m_pSceneManager(nullptr),
      m_dwSceneFlags(0),
      m_pVisibilityTree(nullptr),
      m_bLoadingReferences(false),
      m_bReferencesInline(false),
      m_pRootDomain(nullptr),
      m_pActiveDomain(nullptr),
      m_iLoadDepth(0),
      m_pSettings(new ESceneSettings()) {
  m_pRootDomain = new EDomain(this, nullptr);
  m_pActiveDomain = m_pRootDomain;
}

EScene::~EScene() {
  while (!m_lRuntimeReferences.IsEmpty()) delete m_lRuntimeReferences.RemoveTail();
  delete m_pRootDomain;
  m_pRootDomain = nullptr;
  m_pActiveDomain = nullptr;
  delete m_pVisibilityTree;
  m_pVisibilityTree = nullptr;
  delete m_pSettings;
  m_pSettings = nullptr;
}

void EScene::Reset() {
  delete m_pVisibilityTree;
  m_pVisibilityTree = nullptr;
  m_dwSceneFlags = 0;
  m_pSettings->Reset();
}

void EScene::Update(float fRealMs, float fSimMs) { m_pSettings->Update(fRealMs, fSimMs); }

void EScene::AddRuntimeReferenceToList(EDomain* pDomain, const char* szFile) {
  SceneRuntimeReference* pRef = new SceneRuntimeReference(pDomain, szFile);
  pRef->m_iGeneration = m_bLoadingReferences ? m_iReferenceGeneration + 1 : 0;
  m_lRuntimeReferences.AddTail(pRef);
}

void EScene::SwapDomainsInRuntimeReferences(EDomain* pOld, EDomain* pNew) {
  for (POSITION pos = m_lRuntimeReferences.GetHeadPosition(); pos;) {
    SceneRuntimeReference* pRef = m_lRuntimeReferences.GetNext(pos);
    if (pRef->GetReferencingDomain() == pOld) pRef->SetReferencingDomain(pNew);
  }
}

void EScene::RemoveRuntimeReferences(EDomain* pDomain) {
  for (POSITION pos = m_lRuntimeReferences.GetHeadPosition(); pos;) {
    POSITION cur = pos;
    SceneRuntimeReference* pRef = m_lRuntimeReferences.GetNext(pos);
    if (pRef->GetReferencingDomain() && pRef->GetReferencingDomain()->IsChildOf(pDomain)) {
      m_lRuntimeReferences.RemoveAt(cur);
      delete pRef;
    }
  }
}

EMesh* EScene::FindMesh(const char* szName) { return m_pRootDomain->FindMesh(szName); }

ENavMesh* EScene::GetNavMesh() {
  if (!m_pActiveDomain || m_pActiveDomain->GetChildDomains().IsEmpty()) return nullptr;
  const EList<EDomain*>& children = m_pActiveDomain->GetChildDomains();
  EDomain* pFirst = children.GetAt(children.GetHeadPosition());
  const EList<EMesh*>& meshes = pFirst->GetMeshes();
  for (POSITION pos = meshes.GetHeadPosition(); pos;) {
    EMesh* pMesh = meshes.GetNext(pos);
    if (pMesh->GetActive() && pMesh->GetCollisionTree()) return pMesh->GetNavMesh();
  }
  return nullptr;
}

bool EScene::LoadSceneInto(EDomain* pDomain, const char* szFile, bool bNonScene, int eDataType) {
  EFile* pFile = gFile->Open(szFile, FILE_READ, kFILELOC_Default);
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unable to open scene <%s>", szFile);
    return false;
  }
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  return LoadSceneInto(pDomain, reader, bNonScene, eDataType);
}

unsigned SceneTextureFlags(int eDataType, uint8_t a, uint8_t b) {
  unsigned uFlags = 0;
  if (eDataType == 1) uFlags = 0x10001;
  else if (eDataType >= 2 && eDataType <= 4) uFlags = (unsigned)eDataType << 16;
  if (a != 0) uFlags |= 0x2;
  if (b != 1) uFlags |= 0x10;
  return uFlags;
}

namespace scenefile {

// The header, textures, root domain, navigation meshes and visibility data
// of one scene record.
bool ReadSceneRecord(EScene& scene, EDomain* pDomain, EStream& s, bool bNonScene, int eDataType,
                     uint32_t& dwSceneFlags, EVisibilityTree*& pTree) {
  uint32_t dwMagic = 0;
  s << dwMagic;
  if (dwMagic != SceneTag('V', 'O', 'R', 'P')) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Not a scene file: %s", SceneStreamName(s));
    return false;
  }
  uint32_t uVersion = 0;
  s << uVersion;
  s.SetVersion(uVersion);
  if (uVersion < kSCENE_VERSION_MIN || uVersion > kSCENE_VERSION_MAX) {
    char szMessage[512];
    snprintf(szMessage, sizeof(szMessage), "%s: unsupported plb version %#04x (require %#04x - %#04x)",
             SceneStreamName(s), uVersion, (unsigned)kSCENE_VERSION_MIN, (unsigned)kSCENE_VERSION_MAX);
    if (EScriptVM::m_spScriptVM) EScriptVM::m_spScriptVM->HardBreak(szMessage, nullptr);
    g_ErrorManager.TraceMessagef(TT_Warning, "%s", szMessage);
    return false;
  }
  uint32_t dwFlags = 0;
  s.Read(&dwFlags, 1, 4);
  if (dwFlags) {
    if (dwSceneFlags)
      g_ErrorManager.TraceMessagef(TT_Warning, "Non-scene meshes shouldn't contain scene flags, skipping over: %s",
                                   SceneStreamName(s));
    else
      dwSceneFlags = dwFlags;
  }

  uint32_t nTextures = 0;
  s << nTextures;
  if (s.Err()) return false;
  EArray<unsigned> aTextureIds;
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  for (uint32_t i = 0; i < nTextures; ++i) {
    char szName[4096];
    s.StreamString_4b(szName, sizeof(szName));
    uint8_t a = 0, b = 0;
    s << a << b;
    if (s.Err()) return false;
    unsigned uId = 0;
    if (pTextures) {
      pTextures->CheckTrapTextureString(szName, SceneStreamName(s));
      uId = pTextures->AddTexture(szName, SceneTextureFlags(eDataType, a, b), nullptr);
    }
    aTextureIds.AddData(uId);
  }

  const int nMeshesBefore = pDomain->GetMeshes().GetCount();
  if (!pDomain->Read(s, uVersion, aTextureIds, bNonScene, eDataType)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to load root domain: %s", SceneStreamName(s));
    return false;
  }

  int32_t nNav = 0;
  s << nNav;
  if (nNav) {
    // The navigation mesh belongs to the first mesh this load added.
    EMesh* pFirst = nullptr;
    int i = 0;
    const EList<EMesh*>& meshes = pDomain->GetMeshes();
    for (POSITION pos = meshes.GetHeadPosition(); pos; ++i) {
      EMesh* pMesh = meshes.GetNext(pos);
      if (i == nMeshesBefore) pFirst = pMesh;
    }
    if (!pFirst) return SCENE_RECORD_REFUSE("posFirstMesh");
    ENavMesh* pNav = new ENavMesh();
    if (!pNav->Read(s, uVersion, (unsigned)nNav)) {
      delete pNav;
      return false;
    }
    pFirst->SetNavMesh(pNav);
  }

  if (dwFlags & kSCENEFLAG_Visibility) {
    EVisibilityTree* pNew = new EVisibilityTree();
    const bool bRead = pNew->Read(s);
    if (pTree) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Non-scene meshes shouldn't contain PVS data, skipping over: %s",
                                   SceneStreamName(s));
      delete pNew;
    } else if (bRead) {
      pTree = pNew;
    } else {
      delete pNew;
    }
  }
  (void)scene;
  return true;
}

}  // namespace scenefile

bool EScene::LoadSceneInto(EDomain* pDomain, EStream& s, bool bNonScene, int eDataType) {
  ++m_iLoadDepth;
  const bool bWasLoadingReferences = m_bLoadingReferences;
  const bool bResult =
      scenefile::ReadSceneRecord(*this, pDomain, s, bNonScene, eDataType, m_dwSceneFlags, m_pVisibilityTree);

  if (m_iLoadDepth == 1 && !bWasLoadingReferences) {
    m_bLoadingReferences = true;
    // References that these loads add are appended and taken in this pass.
    while (!m_lRuntimeReferences.IsEmpty()) {
      SceneRuntimeReference* pRef = m_lRuntimeReferences.RemoveHead();
      EDomain* pTarget = pRef->GetReferencingDomain();
      if (pRef->m_iGeneration >= kMAX_REFERENCE_GENERATIONS) {
        g_ErrorManager.TraceMessagef(TT_Warning, "Runtime reference %s nested too deep (a file naming itself?): skipped",
                                     pRef->GetFilename() ? pRef->GetFilename() : "(inline)");
        delete pRef;
        continue;
      }
      m_iReferenceGeneration = pRef->m_iGeneration;
      if (m_bReferencesInline)
        pTarget->LoadDomain(s, eDataType);
      else
        pTarget->LoadDomain(pRef->GetFilename(), eDataType);
      delete pRef;
    }
    m_bLoadingReferences = false;
    m_iReferenceGeneration = 0;
  }
  --m_iLoadDepth;
  return bResult;
}

void EScene::RequestRender(int iRenderMode, int iChannel) {
  if (!gGameApp) return;
  gGameApp->SetRenderChannel(iChannel ? &gGameApp->GetCameraChannel(iChannel) : nullptr);
  gGameApp->m_iRenderMode = iRenderMode;
  if (gGameApp->m_pSkyBoxDomain) gGameApp->m_pSkyBoxDomain->RequestRender(true);
  if (m_pActiveDomain) m_pActiveDomain->RequestRender(true);
  gGameApp->SetRenderChannel(nullptr);
}

ESceneManager::ESceneManager() : m_pCurrentScene(nullptr) {
  EScene* pScene = new EScene();
  pScene->SetSceneManager(this);
  m_SceneList.AddTail(pScene);
  m_pCurrentScene = pScene;
}

ESceneManager::~ESceneManager() {
  while (!m_SceneList.IsEmpty()) delete m_SceneList.RemoveTail();
  m_pCurrentScene = nullptr;
  if (gGameApp && gGameApp->GetGameTextureManager()) gGameApp->GetGameTextureManager()->PurgeTextures(false);
}

void ESceneManager::SetCurrentScene(EScene* pScene) {
  EASSERT(m_SceneList.Find(pScene));
  m_pCurrentScene = pScene;
}
