// Domains: names, the child tree and messages to the entities they own.
#include "VERirezo/Domain.h"

#include <cstdlib>
#include <cstring>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/Scene.h"

EDomain::EDomain(const char* szName) : m_szName(StringDuplicate(szName ? szName : "", kMEMTYPE_Misc)) {}

EDomain::~EDomain() {
  while (!m_Children.IsEmpty()) delete m_Children.RemoveHead();
  free(m_szName);
}

EDomain* EDomain::CreateChildDomain(const char* szName) {
  EDomain* pChild = new EDomain(szName);
  m_Children.AddTail(pChild);
  return pChild;
}

EDomain* EDomain::FindDomain(const char* szName) {
  if (!szName) return nullptr;
  if (strcmp(m_szName, szName) == 0) return this;
  for (POSITION pos = m_Children.GetHeadPosition(); pos;) {
    EDomain* pFound = m_Children.GetNext(pos)->FindDomain(szName);
    if (pFound) return pFound;
  }
  return nullptr;
}

void EDomain::SendMessageToAllEntities(EScriptObject* pSender, const char* szMessage, const char* szText,
                                       int iPriority, bool bChildren) {
  // Entities do not belong to domains yet: a domain owns none.
  STUBBED("domain entities");
  if (!bChildren) return;
  for (POSITION pos = m_Children.GetHeadPosition(); pos;)
    m_Children.GetNext(pos)->SendMessageToAllEntities(pSender, szMessage, szText, iPriority, true);
}

EDomain* ESceneManager::GetDefaultSceneRootDomain() {
  // No scene is loaded yet.
  return nullptr;
}
