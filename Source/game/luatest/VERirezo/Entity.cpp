#include "VERirezo/Entity.h"

#include <cstring>

#include "ScriptVM/ScriptIds.h"
#include "ScriptVM/ScriptObject.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"
#include "TWUtil/String.h"

namespace {
EScriptIdTable& EntityIds() {
  static EScriptIdTable s_Ids(EScriptIdTable::kKIND_Entity);
  return s_Ids;
}

EEntity* NewMeshEntity(EDomain* pDomain, const char* szName) { return new EMeshEntity(pDomain, szName); }
}  // namespace

EEntity::EClassInfo* EEntity::EClassInfo::sm_pHead = nullptr;

EEntity::EClassInfo::EClassInfo(const char* szName, int iType, const EClassInfo* pParent, NewFn fnNew)
    : m_szName(szName), m_iType(iType), m_pParent(pParent), m_pNext(sm_pHead), m_fnNew(fnNew) {
  sm_pHead = this;
}

const EEntity::EClassInfo* EEntity::EClassInfo::Lookup(int iType) {
  if (iType == -1) return nullptr;
  for (const EClassInfo* p = sm_pHead; p; p = p->m_pNext) {
    if (p->m_iType == iType) return p;
  }
  return nullptr;
}

const EEntity::EClassInfo* EEntity::EClassInfo::Lookup(const char* szName) {
  if (!szName) return nullptr;
  for (const EClassInfo* p = sm_pHead; p; p = p->m_pNext) {
    if (strcmp(p->m_szName, szName) == 0) return p;
  }
  return nullptr;
}

EEntity::EClassInfo EEntity::sm_ClassInfo("EntityType_Base", 0, nullptr, nullptr);
EEntity::EClassInfo EMeshEntity::sm_ClassInfo("EntityType_Mesh", 1, &EEntity::sm_ClassInfo, NewMeshEntity);

const EEntity::EClassInfo* EEntity::StaticClass() { return &sm_ClassInfo; }
const EEntity::EClassInfo* EMeshEntity::StaticClass() { return &sm_ClassInfo; }

EEntity::EEntity(EDomain*, const char* szName)
    : m_dwEntityFlags(1), m_dwTransientFlags(kTRANSIENT_Simulated), m_pScriptObject(nullptr), m_pClassInfo(nullptr),
      m_szName(nullptr), m_uScriptId(0), m_uState(0), m_vPosition(0.0f, 0.0f, 0.0f) {
  EASSERT(szName);
  m_szName = StringDuplicatePooled(szName, kMEMTYPE_Entity);
  m_uScriptId = EntityIds().Add(this);
}

EEntity::~EEntity() {
  EntityIds().Remove(m_uScriptId);
  m_uScriptId = 0;
  m_uState = (uint8_t)((m_uState & ~3) | 2);
  StringFreePooled(m_szName, kMEMTYPE_Entity);
  m_szName = nullptr;
}

bool EEntity::IsA(const EClassInfo* pClass, bool bExact) const {
  const EClassInfo* p = m_pClassInfo ? m_pClassInfo : DynamicClass();
  if (bExact) return p == pClass;
  for (; p; p = p->m_pParent) {
    if (p == pClass) return true;
  }
  return false;
}

bool EEntity::IsDead() const {
  EASSERT(IsValid());
  return (m_uState & 3) != 0;
}

void EEntity::DetachScript() {
  if (m_pScriptObject) m_pScriptObject->SetEntity(nullptr);
  m_pScriptObject = nullptr;
}

EEntity* EEntity::FromScriptId(uint32_t id) { return static_cast<EEntity*>(EntityIds().Find(id)); }
