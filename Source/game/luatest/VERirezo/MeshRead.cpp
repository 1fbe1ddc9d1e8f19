// The mesh record: one mesh with its lights, skeletons, fragments,
// affectors, collision tree and children.
#include <strings.h>

#include <cstring>

#include "Game/GameApp.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Light.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshLights.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/SceneRecord.h"
#include "VERirezo/Skeleton.h"
#include "VERirezo/TriggerShapes.h"
#include "VERirezo/MeshManager.h"

EMeshLightHooks& GetMeshLightHooks() {
  static EMeshLightHooks s_Hooks;
  return s_Hooks;
}

void _EEntityMeshInfo::Release() {
  StringFreePooled(m_szScriptClass, kMEMTYPE_String);
  StringFreePooled(m_szEditVars, kMEMTYPE_String);
  m_szScriptClass = nullptr;
  m_szEditVars = nullptr;
}

namespace meshrecord {

const unsigned kSTRING_BUFFER = 4096;
// Deepest chain of child meshes a record may hold; each level takes a name
// buffer of the machine stack.
const int kMAX_DEPTH = 64;
int s_iDepth = 0;

struct DepthGuard {
  DepthGuard() { ++s_iDepth; }
  ~DepthGuard() { --s_iDepth; }
};

// The running level is "CAKC" (its file name without folder and extension).
bool LevelIsCAKC() {
  const char* szLevel = gGameApp ? gGameApp->GetFullCurrentLevelName() : "";
  const char* szBase = szLevel;
  for (const char* p = szLevel; *p; ++p) {
    if (*p == '/' || *p == '\\') szBase = p + 1;
  }
  return strncasecmp(szBase, "CAKC", 4) == 0 && (szBase[4] == 0 || szBase[4] == '.');
}

// Whether a light just read is kept; traces why a dynamic point light goes.
bool KeepLight(const ELight& light, const EMeshLightHooks& hooks) {
  const int iType = light.m_eType;
  if (iType < 2 || iType > 5) return false;
  const char* szName = hooks.pfnGetName ? hooks.pfnGetName(light) : nullptr;
  const unsigned uFlags = hooks.pfnGetFlags ? hooks.pfnGetFlags(light) : 0;
  if (iType == 2 && (uFlags & 0x01) && light.m_fLinearAtten == 0.0f) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skipping a dynamic point light with non-linear falloff: %s",
                                 szName ? szName : "Unknown");
    return false;
  }
  if (szName && LevelIsCAKC() &&
      (strcasecmp(szName, "OldMoonLight1") == 0 || strcasecmp(szName, "MountedLamp1Light5") == 0))
    return false;
  return true;
}

}  // namespace meshrecord

void EMesh::ReleaseLights() {
  const EMeshLightHooks& hooks = GetMeshLightHooks();
  for (int i = 0; i < m_aLights.Num(); ++i) {
    if (hooks.pfnDeleteLight) hooks.pfnDeleteLight(m_aLights[i]);
  }
  m_aLights.Empty();
}

bool EMesh::Read(EStream& s, unsigned uVersion, const EArray<unsigned>& aTextureIds, _EEntityMeshInfo* pInfo,
                 int eDataType) {
  meshrecord::DepthGuard depth;
  if (meshrecord::s_iDepth > meshrecord::kMAX_DEPTH) return SCENE_RECORD_REFUSE("iDepth <= kMAX_DEPTH");
  char szName[meshrecord::kSTRING_BUFFER];
  EModel* pModel = new EModel();
  m_pModel = pModel;
  pModel->m_eDataType = eDataType;

  // 1-5: name, placement and box.
  s.StreamString_4b(szName, sizeof(szName));
  pModel->SetName(strcmp(szName, "DomainFirstMesh") == 0 ? SceneStreamName(s) : szName);
  EVec3 vRotation;
  s << pModel->m_vPosition << vRotation << pModel->m_vScale << pModel->m_Box.vMin << pModel->m_Box.vMax;
  pModel->m_mRotation =
      MatrixRotateEuler(EEuler(vRotation.x * 57.29578f, vRotation.y * 57.29578f, vRotation.z * 57.29578f));

  // 6-7: trigger volumes: a shape kept by the model and an instance kept by the mesh for each.
  uint32_t nTriggers = 0;
  s << nTriggers;
  if (s.Err()) return false;
  for (uint32_t i = 0; i < nTriggers; ++i) {
    EModelTriggerOBB* pShape = new EModelTriggerOBB();
    pModel->m_apTriggerShapes.AddData(pShape);
    pModel->m_iNumTriggers = pModel->m_apTriggerShapes.Num();
    ETriggerOBB* pTrigger = new ETriggerOBB();
    pTrigger->SetModelTrigger(pShape);
    m_aTriggerHandles.AddData(pTrigger->GetHandle());
    if (!pTrigger->Init(this, s)) return false;
  }
  if (nTriggers && eDataType == kDATATYPE_COMMON) {
    for (int i = 0; i < m_aTriggerHandles.Num(); ++i) {
      const ETriggerOBB* pTrigger = GetTrigger(i);
      const char* szTrigger = pTrigger ? pTrigger->GetName() : nullptr;
      g_ErrorManager.TraceMessagef(TT_Warning, "Removing trigger '%s' from common mesh '%s'",
                                   szTrigger ? szTrigger : "", GetName());
    }
    DeleteTriggers();
    for (int i = 0; i < pModel->m_apTriggerShapes.Num(); ++i) delete pModel->m_apTriggerShapes[i];
    pModel->m_apTriggerShapes.Empty();
    pModel->m_iNumTriggers = 0;
  }

  // 8-11: record flags, script binding, levels of detail.
  s << m_dwRecordFlags;
  if (m_dwRecordFlags & kRECORD_ScriptClass) {
    if (!pInfo) return SCENE_RECORD_REFUSE("pEntityMeshInfo");
    pInfo->Release();
    pInfo->m_szScriptClass = s.StreamStringPooled_4b(kMEMTYPE_String);
    pInfo->m_szEditVars = s.StreamStringPooled_4b(kMEMTYPE_String);
    m_byFlags |= kFLAG_EntityMesh;
  }
  if (m_dwRecordFlags & kRECORD_LOD) {
    uint8_t byLODs = 0;
    s << byLODs;
    if (!byLODs || byLODs == 255) return SCENE_RECORD_REFUSE("m_pModel->m_byLODCount && m_pModel->m_byLODCount < 255");
    float afDistances[254];
    for (int i = 0; i < byLODs - 1; ++i) s << afDistances[i];
    pModel->SetLODs(afDistances, byLODs - 1);
    pModel->SetNumLODs(byLODs);
  }

  // 12-13: lights, kept only for the types that light anything.
  uint32_t nLights = 0;
  s << nLights;
  const EMeshLightHooks& hooks = GetMeshLightHooks();
  for (uint32_t i = 0; i < nLights; ++i) {
    uint32_t uType = 0;
    s << uType;
    if (s.Err() || !hooks.pfnRead) {
      if (!s.Err())
        g_ErrorManager.TraceMessagef(TT_Warning, "Mesh '%s' holds light records, which this build cannot read",
                                     GetName());
      return false;
    }
    ELight* pLight = hooks.pfnAddLight ? hooks.pfnAddLight() : nullptr;
    if (!pLight) {
      // The record is still read so that the rest of the file stays in step.
      ELight scratch;
      scratch.m_eType = (int)uType;
      if (!hooks.pfnRead(scratch, s, uVersion, this)) return false;
      g_ErrorManager.TraceMessagef(TT_Warning, "Light pool full: a light of mesh '%s' is dropped", GetName());
      continue;
    }
    pLight->m_eType = (int)uType;
    const bool bRead = hooks.pfnRead(*pLight, s, uVersion, this);
    if (!bRead || !meshrecord::KeepLight(*pLight, hooks)) {
      if (hooks.pfnDeleteLight) hooks.pfnDeleteLight(pLight);
      if (!bRead) return false;
      continue;
    }
    m_aLights.AddData(pLight);
    if (hooks.pfnRegisterLight) hooks.pfnRegisterLight(pLight);
  }

  // 14-15: skeletons, then one joint-animation affector ahead of the
  // record's own.
  uint32_t nSkeletons = 0;
  s << nSkeletons;
  for (uint32_t i = 0; i < nSkeletons; ++i) {
    if (s.Err()) return false;
    ESkeleton* pSkeleton = new ESkeleton();
    pSkeleton->SetMesh(this);
    if (!pSkeleton->Read(s, uVersion)) {
      delete pSkeleton;
      return false;
    }
    m_aSkeletons.AddData(pSkeleton);
  }
  if (nSkeletons) m_aAffectors.AddData(new EJointAnimAffector());

  // 16-17: fragments.
  uint32_t nFrags = 0;
  s << nFrags;
  for (uint32_t i = 0; i < nFrags; ++i) {
    if (s.Err() || !ReadMeshFrag(s, uVersion, aTextureIds, eDataType)) return false;
    EMeshFrag* pFrag = m_aMeshFrags[m_aMeshFrags.Num() - 1];
    if (pFrag->m_pModelFrag && pFrag->m_pModelFrag->m_pBlendInfo)
      pFrag->m_pModelFrag->m_pBlendInfo->m_dwFragIndex = (uint32_t)(m_aMeshFrags.Num() - 1);
  }

  // 18-19: frame-animation affectors.
  int32_t nAffectors = 0;
  s << nAffectors;
  for (int32_t i = 0; i < nAffectors; ++i) {
    int32_t iType = -1;
    s << iType;
    if (s.Err()) return false;
    if (iType != 0) return SCENE_RECORD_REFUSE("0");
    EAnimAffector* pAffector = new EAnimAffector();
    if (!pAffector->Read(s)) {
      delete pAffector;
      return false;
    }
    m_aAffectors.AddData(pAffector);
  }

  // 20-21: collision tree.
  uint32_t dwCollision = 0;
  s.Read(&dwCollision, 1, 4);
  if (dwCollision) {
    ECollisionTree* pTree = new ECollisionTree();
    if (!pTree->Read(s, uVersion)) {
      delete pTree;
      return false;
    }
    pModel->m_pCollisionTree = pTree;
    m_bOwnsCollisionTree = true;
  }

  // 22-23: children, attached before they are read so that a failing one
  // goes with this mesh.
  uint32_t nChildren = 0;
  s << nChildren;
  for (uint32_t i = 0; i < nChildren; ++i) {
    if (s.Err()) return false;
    EMesh* pChild = new EMesh();
    pChild->m_pParent = this;
    m_aChildren.AddData(pChild);
    if (!pChild->Read(s, uVersion, aTextureIds, nullptr, eDataType)) return false;
  }
  if (s.Err()) return false;

  *this = *pModel;
  return true;
}
