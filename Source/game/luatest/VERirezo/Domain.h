// Domains: the tree of named regions of a scene. A domain owns its child
// domains; the entities it holds are found through the entity table.
#pragma once

#include "TWUtil/List.h"

class ECollisionManager;
class EEntity;
class EScene;
class EScriptObject;

class EDomain {
public:
  // A null collision manager gives the inert one.
  EDomain(EScene* pScene, ECollisionManager* pCM);
  // Clears the domain, then frees the name.
  ~EDomain();
  EDomain(const EDomain&) = delete;
  EDomain& operator=(const EDomain&) = delete;

  // Null for an unnamed domain.
  const char* GetName() const { return m_szName; }
  void SetName(const char* szName);
  EDomain* GetParent() const { return m_pParent; }
  void SetParent(EDomain* pParent) { m_pParent = pParent; }
  EScene* GetScene() const { return m_pScene; }
  ECollisionManager* GetCollisionManager() const { return m_pCM; }
  const EList<EDomain*>& GetChildDomains() const { return m_lChildDomains; }
  bool IsSleeping() const { return m_bSleeping; }
  // True when pDomain is this domain or one of its ancestors.
  bool IsChildOf(const EDomain* pDomain) const;
  bool IsMarked() const { return m_bMarked; }

  // A new last child of the same scene, with the given collision manager
  // or this domain's.
  EDomain* CreateChildDomain(const char* szName, ECollisionManager* pCM = nullptr);
  // This domain when its name equals szName exactly, else the first match
  // among the child domains, depth first in list order; null when none.
  EDomain* FindDomain(const char* szName);

  // Puts the domain's entities and, always, every child domain to sleep or
  // wakes them.
  void SetSleepFlag(bool bAsleep);
  // Runs the affectors of the subtree (nothing for a sleeping domain).
  void RunAffectors(float fFrameMS);
  // Queues the message for the script object of every own entity in table
  // order, then, with bRecurse, does the same for each child domain.
  void SendMessageToAllEntities(EScriptObject* pSender, const char* szMessage, const char* szText, int iPriority,
                                bool bRecurse);
  // Sets the frame count of every entity of the subtree to 0.
  void ResetAllEntityFrameCount();
  // Requests the deletion of every own entity and deletes the child
  // domains.
  void Clear();

private:
  friend class EEntityIter;

  ECollisionManager* m_pCM;
  EList<EDomain*> m_lChildDomains;
  bool m_bMarked;
  char* m_szName;
  bool m_bSleeping;
  EScene* m_pScene;
  EDomain* m_pParent;
};
