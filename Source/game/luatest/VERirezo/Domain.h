// Domains: the tree of named regions of a scene. A domain owns its child
// domains; the entities it holds are found through the entity table.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWUtil/Array.h"
#include "TWUtil/List.h"

class ECollisionManager;
class EEntity;
class EFile;
class EMesh;
class EScene;
class EScriptObject;
class EStream;

// Placement flags of a placed object.
enum {
  kSCRIPT_NOENTITY = 0x1,  // a script object without an entity
  kSCRIPT_FROZEN = 0x2,    // handed to the freeze manager
};

// One init-data record of a domain record: a tag and its bytes.

struct EEntityInitData;

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

  // One domain record and its children into this domain (the version must
  // be the stream's). False when a mesh or child is refused; meshes read
  // before a refused one are deleted, objects already created stay.
  bool Read(EStream& s, unsigned uVersion, const EArray<unsigned>& aTextureIds, bool bNonScene, int eDataType);
  // A scene record from the reader, or the named file, into this domain.
  bool LoadDomain(EStream& s, int eDataType);
  bool LoadDomain(const char* szFile, int eDataType);
  // A scene file holding exactly one top mesh: the mesh, taken out of the
  // file's domain, or null.
  EMesh* LoadSingleMesh(const char* szFile, int eDataType);
  EMesh* LoadSingleMesh(EStream& s, int eDataType);
  // Appends an owned mesh (not one standing for an entity).
  void AddMesh(EMesh* pMesh);
  const EList<EMesh*>& GetMeshes() const { return m_lMeshes; }
  const EBox3& GetBounds() const { return m_Bounds; }
  void SetBounds(const EBox3& box) { m_Bounds = box; }
  // Widens the bounds by the meshes, the entity meshes and the children.
  void UpdateBoundingBox();
  void InvalidateCachedData();
  // Requests the subtree's entities (with bEntities), child domains and
  // meshes; nothing below a sleeping domain.
  void RequestRender(bool bEntities);
  // Own meshes by EMesh::FindMesh, then each child domain.
  EMesh* FindMesh(const char* szName);
  // Own entities by name without regard to case, then each child domain.
  EEntity* FindEntity(const char* szName);

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
  // Deletes the meshes, drops the frozen objects, requests the deletion of
  // every own entity, deletes the child domains and resets the bounds.
  void Clear();

private:
  friend class EEntityIter;

  struct Placement;
  // Creates one placed object; false when it breaks the rules and is
  // skipped. Sets the claimed mesh slot to null.
  bool CreatePlacedObject(Placement& p, EArray<EMesh*>& aMeshes);

  ECollisionManager* m_pCM;
  EList<EDomain*> m_lChildDomains;
  EList<EMesh*> m_lMeshes;
  EArray<EEntityInitData*> m_aEntityInitData;
  bool m_bMarked;
  char* m_szName;
  bool m_bSleeping;
  EBox3 m_Bounds;
  EScene* m_pScene;
  EDomain* m_pParent;
};
