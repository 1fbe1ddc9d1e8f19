// Domain records: meshes, init data, placed objects and runtime
// references; single-mesh files; searches, bounds and render requests.
#include <strings.h>

#include <cstring>

#include "Game/DebugScreen.h"
#include "Game/GameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/FreezeManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/EntityInitData.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Model.h"
#include "VERirezo/Physics.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneRecord.h"

struct EDomain::Placement {
  char* m_szName = nullptr;
  char* m_szClass = nullptr;
  char* m_szEditVars = nullptr;
  EVec3 m_vPosition;
  EVec3 m_vRotation;  // degrees
  EVec3 m_vScale;
  int32_t m_iInitialMesh = -1;
  int32_t m_iInitialData = -1;
  uint32_t m_dwFlags = 0;
  void Release() {
    StringFreePooled(m_szName, kMEMTYPE_String);
    StringFreePooled(m_szClass, kMEMTYPE_String);
    StringFreePooled(m_szEditVars, kMEMTYPE_String);
    m_szName = m_szClass = m_szEditVars = nullptr;
  }
};

namespace domainrecord {

const char* const kFIGMENT_CLASS = "global.collectibles.Figment";
// Deepest chain of child domains a record may hold.
const int kMAX_DEPTH = 64;
int s_iDepth = 0;

struct DepthGuard {
  DepthGuard() { ++s_iDepth; }
  ~DepthGuard() { --s_iDepth; }
};

bool ReadTag(EStream& s, uint32_t dwWanted, const char* szCheck) {
  uint32_t dwTag = 0;
  s << dwTag;
  if (s.Err()) return false;
  return dwTag == dwWanted || SCENE_RECORD_REFUSE(szCheck);
}

bool IsFrozenPlacement(uint32_t dwFlags, const char* szClass, const char* szEditVars) {
  if (dwFlags & kSCRIPT_FROZEN) return true;
  if (!szClass) return false;
  if (strcmp(szClass, "global.props.GIO") == 0) return true;
  return strcmp(szClass, kFIGMENT_CLASS) == 0 && !(szEditVars && strstr(szEditVars, "splineName = '"));
}

void DeleteMeshes(EArray<EMesh*>& aMeshes) {
  for (int i = 0; i < aMeshes.Num(); ++i) delete aMeshes[i];
  aMeshes.Empty();
}

}  // namespace domainrecord

bool EDomain::Read(EStream& s, unsigned uVersion, const EArray<unsigned>& aTextureIds, bool bNonScene,
                   int eDataType) {
  if (s.GetVersion() != uVersion) return SCENE_RECORD_REFUSE("fInput.GetVersion() == nVer");
  domainrecord::DepthGuard depth;
  if (domainrecord::s_iDepth > domainrecord::kMAX_DEPTH) return SCENE_RECORD_REFUSE("iDepth <= kMAX_DEPTH");
  // 1: name and bounds, taken only by an unnamed domain.
  char szName[4096];
  s.StreamString_4b(szName, sizeof(szName));
  EBox3 bounds;
  s << bounds.vMin << bounds.vMax;
  if (s.Err()) return false;
  if (!m_szName) {
    SetName(szName[0] ? szName : nullptr);
    m_Bounds = bounds;
  }

  // 2: meshes, each with its placement values.
  if (!domainrecord::ReadTag(s, SceneTag('M', 'E', 'S', 'H'), "dwTag == ('MESH')")) return false;
  int32_t nMeshes = 0;
  s << nMeshes;
  if (s.Err() || nMeshes < 0) return false;
  EArray<EMesh*> aMeshes;
  for (int32_t i = 0; i < nMeshes; ++i) {
    EMesh* pMesh = new EMesh();
    _EEntityMeshInfo info;
    const bool bRead = pMesh->Read(s, uVersion, aTextureIds, &info, eDataType);
    info.Release();
    if (!bRead) {
      delete pMesh;
      domainrecord::DeleteMeshes(aMeshes);
      return false;
    }
    aMeshes.AddData(pMesh);
  }

  // 3: init data.
  bool bOk = domainrecord::ReadTag(s, SceneTag('E', 'D', 'A', 'T'), "dwTag == ('EDAT')");
  uint32_t nInitData = 0;
  if (bOk) s << nInitData;
  for (uint32_t i = 0; bOk && i < nInitData; ++i) {
    EEntityInitData* pData = new EEntityInitData();
    uint32_t nBytes = 0;
    s << pData->m_dwTag << nBytes;
    nBytes = s.BoundLength(nBytes);
    if (s.Err()) {
      delete pData;
      bOk = false;
      break;
    }
    pData->m_aData.GrowTo((int)nBytes, true);
    if (nBytes) s.Read(&pData->m_aData[0], 1, nBytes);
    m_aEntityInitData.AddData(pData);
  }

  // 4: placements.
  bOk = bOk && domainrecord::ReadTag(s, SceneTag('S', 'C', 'R', 'P'), "dwTag == ('SCRP')");
  int32_t nPlacements = 0;
  if (bOk) s << nPlacements;
  bOk = bOk && !s.Err() && nPlacements >= 0;
  EArray<Placement> aPlacements;
  for (int32_t i = 0; bOk && i < nPlacements; ++i) {
    Placement p;
    p.m_szName = s.StreamStringPooled_4b(kMEMTYPE_String);
    p.m_szClass = s.StreamStringPooled_4b(kMEMTYPE_String);
    if (p.m_szClass) EScriptVM::MakeClassNameCanonical(p.m_szClass);
    uint32_t dwHasEditVars = 0;
    s << dwHasEditVars;
    if (dwHasEditVars) p.m_szEditVars = s.StreamStringPooled_4b(kMEMTYPE_String);
    EVec3 vRotation;
    s << p.m_vPosition << vRotation << p.m_vScale << p.m_dwFlags << p.m_iInitialMesh << p.m_iInitialData;
    p.m_vRotation = vRotation * 57.29578f;
    aPlacements.AddData(p);
    if (s.Err()) bOk = false;
  }

  // 5: the placed objects.
  if (bOk && !bNonScene) {
    for (int i = 0; i < aPlacements.Num(); ++i) CreatePlacedObject(aPlacements[i], aMeshes);
  } else if (bOk && aPlacements.Num() > 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Mesh .plb %s contains scripts (example: %s %s)", SceneStreamName(s),
                                 aPlacements[0].m_szClass ? aPlacements[0].m_szClass : "",
                                 aPlacements[0].m_szName ? aPlacements[0].m_szName : "");
  }
  for (int i = 0; i < aPlacements.Num(); ++i) aPlacements[i].Release();
  for (int i = 0; i < m_aEntityInitData.Num(); ++i) delete m_aEntityInitData[i];
  m_aEntityInitData.Empty();

  // 6: runtime references.
  bOk = bOk && domainrecord::ReadTag(s, SceneTag('R', 'T', 'R', 'F'), "dwTag == ('RTRF')");
  uint32_t nReferences = 0;
  if (bOk) s << nReferences;
  for (uint32_t i = 0; bOk && i < nReferences; ++i) {
    char szReference[100];
    s.StreamString_4b(szReference, sizeof(szReference));
    if (s.Err()) bOk = false;
    else if (m_pScene) m_pScene->AddRuntimeReferenceToList(this, szReference);
  }
  if (!bOk) {
    domainrecord::DeleteMeshes(aMeshes);
    return false;
  }

  // 7: the meshes no placement claimed, in file order.
  for (int i = 0; i < aMeshes.Num(); ++i) {
    EMesh* pMesh = aMeshes[i];
    if (!pMesh) continue;
    if (pMesh->IsEntityMeshRecord()) {
      // A mesh standing for an entity that no placement claimed.
      SCENE_RECORD_REFUSE("! pMesh->m_bEntityMesh");
      delete pMesh;
      continue;
    }
    AddMesh(pMesh);
  }
  aMeshes.Empty();

  // 8: child domains.
  uint32_t nChildren = 0;
  s << nChildren;
  for (uint32_t i = 0; i < nChildren; ++i) {
    if (s.Err()) return false;
    EDomain* pChild = new EDomain(m_pScene, m_pCM);
    if (!pChild->Read(s, uVersion, aTextureIds, bNonScene, eDataType)) {
      if (m_pScene) m_pScene->RemoveRuntimeReferences(pChild);
      delete pChild;
      return false;
    }
    pChild->SetParent(this);
    m_lChildDomains.AddTail(pChild);
  }
  return !s.Err();
}

bool EDomain::CreatePlacedObject(Placement& p, EArray<EMesh*>& aMeshes) {
  if (domainrecord::IsFrozenPlacement(p.m_dwFlags, p.m_szClass, p.m_szEditVars)) {
    if (p.m_dwFlags & kSCRIPT_NOENTITY) return SCENE_RECORD_REFUSE("(it->m_dwFlags & kSCRIPT_NOENTITY) == 0");
    if (p.m_iInitialMesh >= 0) return SCENE_RECORD_REFUSE("it->m_iInitialMesh < 0");
    if (p.m_iInitialData >= 0) return SCENE_RECORD_REFUSE("it->m_iInitialData < 0");
    if (gGameApp && gGameApp->m_pFreezeManager)
      gGameApp->m_pFreezeManager->AddEntity(p.m_szClass, p.m_szEditVars, this, p.m_vPosition,
                                            EQuat(p.m_vRotation));
    return true;
  }
  if (p.m_iInitialData >= m_aEntityInitData.Num())
    return SCENE_RECORD_REFUSE("it->m_iInitialData < (int)m_aEntityInitData.Num()");
  if (p.m_iInitialMesh >= 0 && (p.m_iInitialMesh >= aMeshes.Num() || !aMeshes[p.m_iInitialMesh]))
    return SCENE_RECORD_REFUSE("it->m_iInitialMesh < (int)aMeshes.Num()");
  EScriptVM* pVM = EScriptVM::m_spScriptVM;
  if (!pVM || !p.m_szClass) return false;
  EScriptObject* pObject =
      pVM->CreateScriptObject(p.m_szClass, p.m_szName, nullptr, p.m_szEditVars, false, false, true, false);
  if (!pObject) return false;

  const EEntity::EClassInfo* pClass = pObject->GetEntityClass();
  if ((p.m_dwFlags & kSCRIPT_NOENTITY) || !pClass) {
    static const char* const s_aszKeys[9] = {"PosX", "PosY", "PosZ", "RotX", "RotY", "RotZ", "ScaleX", "ScaleY", "ScaleZ"};
    const EVec3* apValues[3] = {&p.m_vPosition, &p.m_vRotation, &p.m_vScale};
    for (int i = 0; i < 9; ++i) {
      const EVec3& v = *apValues[i / 3];
      pObject->SetTableValue(s_aszKeys[i], i % 3 == 0 ? v.x : i % 3 == 1 ? v.y : v.z);
    }
    pObject->SetTableValue("Domain", m_szName ? m_szName : "");
    pObject->SendStateMessage(kSSM_Spawn);
    return true;
  }

  const bool bMeshEntity = pClass->IsSubclassOf(EMeshEntity::StaticClass());
  if (p.m_iInitialMesh >= 0 && !bMeshEntity) {
    pVM->RemoveScript(pObject, false);
    return SCENE_RECORD_REFUSE("it->m_iInitialMesh == -1");
  }
  EEntity* pEntity = pClass->Create(this, p.m_szName);
  if (!pEntity) {
    pVM->RemoveScript(pObject, false);
    return false;
  }
  pObject->AttachToEntity(pEntity);
  if (EPhysics* pPhysics = pEntity->GetPhysics()) {
    EMat4 mTrans = MatrixRotateEuler(p.m_vRotation.AsEuler());
    mTrans.SetTranslation(p.m_vPosition);
    pPhysics->SetAbsTrans(mTrans, 11);
    pPhysics->SetGravityDir(pPhysics->GetUp());
  }
  if (p.m_iInitialMesh >= 0) {
    EMesh* pMesh = aMeshes[p.m_iInitialMesh];
    aMeshes[p.m_iInitialMesh] = nullptr;
    static_cast<EMeshEntity*>(pEntity)->SetMesh(pMesh, true);
    EMeshManager::Get()->RegisterEntityMesh(pMesh);
  } else if (EPhysics* pPhysics = pEntity->GetPhysics()) {
    pPhysics->SetFlag(PHYSICS_COLLIDEE, false);
  }
  if (p.m_iInitialData >= 0) pEntity->ReadInitData(*m_aEntityInitData[p.m_iInitialData]);
  pEntity->SetOwnerDomain(this);
  pObject->SendStateMessage(kSSM_Spawn);
  return true;
}

bool EDomain::LoadDomain(EStream& s, int eDataType) {
  if (!m_pScene) return false;
  return m_pScene->LoadSceneInto(this, s, false, eDataType);
}

bool EDomain::LoadDomain(const char* szFile, int eDataType) {
  EFile* pFile = gFile->Open(szFile, FILE_READ, kFILELOC_Default);
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unable to open scene '%s'", szFile);
    return false;
  }
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  return LoadDomain(reader, eDataType);
}

EMesh* EDomain::LoadSingleMesh(const char* szFile, int eDataType) {
  g_ErrorManager.TraceMessagef(TT_Mesh, "Now loading mesh '%s'\n", szFile);
  EFile* pFile = gFile->Open(szFile, FILE_READ, kFILELOC_Default);
  if (!pFile) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unable to open mesh '%s'", szFile);
    return nullptr;
  }
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  return LoadSingleMesh(reader, eDataType);
}

EMesh* EDomain::LoadSingleMesh(EStream& s, int eDataType) {
  EScene localScene;
  EScene* pScene = m_pScene ? m_pScene : &localScene;
  EDomain temp(pScene, nullptr);
  const bool bLoaded = pScene->LoadSceneInto(&temp, s, true, eDataType);
  pScene->RemoveRuntimeReferences(&temp);
  if (!bLoaded) return nullptr;
  char szCheck[512];
  if (temp.m_lMeshes.GetCount() != 1) {
    snprintf(szCheck, sizeof(szCheck), "Can't load geometry with more than one top mesh: %s", SceneStreamName(s));
    SCENE_RECORD_REFUSE(szCheck);
    return nullptr;
  }
  if (!temp.m_lChildDomains.IsEmpty() && !temp.m_lChildDomains.GetAt(temp.m_lChildDomains.GetHeadPosition())->m_lMeshes.IsEmpty()) {
    snprintf(szCheck, sizeof(szCheck), "Can't load geometry which contains child domains with additional meshes: %s",
             SceneStreamName(s));
    SCENE_RECORD_REFUSE(szCheck);
    return nullptr;
  }
  EMesh* pMesh = temp.m_lMeshes.RemoveHead();
  pMesh->onDomainChange(nullptr, nullptr);
  pMesh->GetModel()->m_eDataType = eDataType;
  return pMesh;
}

void EDomain::AddMesh(EMesh* pMesh) {
  EASSERT(!pMesh->IsEntityMeshRecord());
  m_lMeshes.AddTail(pMesh);
  pMesh->onDomainChange(nullptr, this);
}

EMesh* EDomain::FindMesh(const char* szName) {
  for (POSITION pos = m_lMeshes.GetHeadPosition(); pos;) {
    if (EMesh* pFound = m_lMeshes.GetNext(pos)->FindMesh(szName)) return pFound;
  }
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) {
    if (EMesh* pFound = m_lChildDomains.GetNext(pos)->FindMesh(szName)) return pFound;
  }
  return nullptr;
}

EEntity* EDomain::FindEntity(const char* szName) {
  if (!szName) return nullptr;
  {
    for (EEntityIter it(this); it; ++it) {
      const char* szOwn = it->GetName();
      if (szOwn && strcasecmp(szOwn, szName) == 0) return *it;
    }
  }
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) {
    if (EEntity* pFound = m_lChildDomains.GetNext(pos)->FindEntity(szName)) return pFound;
  }
  return nullptr;
}

void EDomain::UpdateBoundingBox() {
  for (POSITION pos = m_lMeshes.GetHeadPosition(); pos;)
    m_Bounds = m_Bounds.GetUnion(m_lMeshes.GetNext(pos)->GetTransformedBoundingBox());
  {
    for (EEntityIter it(this); it; ++it) {
      if (!it->IsA(1, true) || !it->IsMeshEntity()) continue;
      EMesh* pMesh = static_cast<EMeshEntity*>(*it)->GetMesh();
      if (!pMesh) continue;
      const EMat4& m = pMesh->GetInclusiveTrans();
      const EVec3 a = m % pMesh->GetBox().vMin, b = m % pMesh->GetBox().vMax;
      m_Bounds = m_Bounds.GetUnion(EBox3(a.Min(b), a.Max(b)));
    }
  }
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) {
    EDomain* pChild = m_lChildDomains.GetNext(pos);
    pChild->UpdateBoundingBox();
    m_Bounds = m_Bounds.GetUnion(pChild->m_Bounds);
  }
}

void EDomain::InvalidateCachedData() {
  for (POSITION pos = m_lMeshes.GetHeadPosition(); pos;) m_lMeshes.GetNext(pos)->InvalidateCachedData();
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) m_lChildDomains.GetNext(pos)->InvalidateCachedData();
}

void EDomain::RequestRender(bool bEntities) {
  if (gGameApp && !gGameApp->m_DebugHooks.ShowScene) return;
  if (bEntities) {
    for (EEntityIter it(this, true); it; ++it) {
      EDomain* pDomain = it->GetOwnerDomain();
      if (!pDomain || !pDomain->IsSleeping()) it->RequestRender();
    }
  }
  if (m_bSleeping) return;
  for (POSITION pos = m_lChildDomains.GetHeadPosition(); pos;) m_lChildDomains.GetNext(pos)->RequestRender(false);
}
