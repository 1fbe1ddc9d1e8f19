// Domains: the tree of named parts of a scene that own entities. This is
// the part that script messages use: finding a domain by name and sending
// a message to the script objects of its entities.
#pragma once

#include "TWUtil/List.h"

class EScriptObject;

class EDomain {
public:
  explicit EDomain(const char* szName);
  ~EDomain();
  EDomain(const EDomain&) = delete;
  EDomain& operator=(const EDomain&) = delete;

  const char* GetName() const { return m_szName; }
  // Makes a domain of that name as the last child of this one.
  EDomain* CreateChildDomain(const char* szName);
  // This domain when its name equals szName exactly, else the first match
  // among the child domains, depth first in list order; null when none.
  EDomain* FindDomain(const char* szName);
  // Sends the text message to the script object of every entity owned by
  // this domain, then, with bChildren, to those of each child domain in
  // list order, recursively.
  void SendMessageToAllEntities(EScriptObject* pSender, const char* szMessage, const char* szText, int iPriority,
                                bool bChildren);

private:
  char* m_szName;
  EList<EDomain*> m_Children;
};
