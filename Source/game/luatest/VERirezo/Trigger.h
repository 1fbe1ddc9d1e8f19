// Trigger volumes: regions that tell listening scripts which entities enter
// and leave them. The collision manager files each awake trigger in its grid
// and presents moving entities to it; a trigger is addressed by a handle that
// goes stale when the trigger is deleted or the level unloads.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Primitives.h"
#include "TWUtil/Array.h"
#include "TWUtil/HandleAllocator.h"

class ECollisionManager;
class EEntity;
class EPhysics;
class EScriptObject;
class ESweepHitQuery;
class ETriggerBase;

enum ETriggerType { kTRIGGER_None = 0, kTRIGGER_OBB = 1, kTRIGGER_SPHERE = 2, kTRIGGER_MESH = 4 };

// One entry of the handle table.
struct TriggerRef {
  ETriggerBase* m_pTrigger = nullptr;
};

class ETriggerBase {
public:
  enum : uint16_t { NULL_INDEX = 0xFFFF };
  typedef EHandleAllocator<TriggerRef, unsigned short, unsigned int, 0u> HandleTable;

  // Born asleep, without a manager or listeners, with a fresh handle.
  ETriggerBase();
  // Leaves its owner's list and the manager's grid and frees its handle;
  // listeners are not told.
  virtual ~ETriggerBase();
  ETriggerBase(const ETriggerBase&) = delete;
  ETriggerBase& operator=(const ETriggerBase&) = delete;

  // False (with a warning) for null or a script already listening.
  virtual bool RegisterListener(EScriptObject* pScript);
  virtual bool Contains(EEntity* pEntity) const = 0;
  virtual void ParentMoved(EPhysics* pParent) = 0;
  // Drops dead listeners.
  virtual void CleanupReferences();
  virtual EBox3 GetCollisionBoundingBox() const = 0;
  // bAtRest: a teleport, or an entity presented where it stands.
  virtual void ProcessIntersection(const ESweepHitQuery& query, bool bAtRest) = 0;
  virtual void ProcessRemoval(EEntity* pEntity) = 0;
  virtual void Reset() {}
  // The manager re-filed the trigger into this box.
  virtual void NotifyMoved(const EBox3& box) { (void)box; }
  virtual void Describe(char* szBuf, int nSize) const;
  virtual void RequestRender() const = 0;

  // The trigger of a valid handle, else null.
  static ETriggerBase* Get(unsigned int hHandle);
  unsigned int GetHandle() const { return m_hHandle; }
  ETriggerType GetType() const { return m_eType; }
  bool IsSleeping() const { return m_bSleeping != 0; }
  int GetNumListeners() const { return m_aListeners.Num(); }
  const EArray<EScriptObject*>& GetListeners() const { return m_aListeners; }
  ECollisionManager* GetCollisionManager() const { return m_pCM; }
  EEntity* GetOwner() const { return m_pOwner; }
  ETriggerBase* GetNextOnOwner() const { return m_pNextOnOwner; }

  // False for null (with a warning) or a script that is not listening.
  bool UnregisterListener(EScriptObject* pScript);
  // A sleeping trigger is filed in no grid; waking files it in its manager's.
  void SetSleeping(bool bSleeping);
  // Leaves the old manager's grid and, when awake, joins the new one's.
  void SetCollisionManager(ECollisionManager* pCM);
  // Index of the trigger's collidee record; NULL_INDEX while not filed.
  uint16_t GetCollisionIndex() const { return m_iCollisionIndex; }

  // Title and listener names drawn at a world position.
  void RequestRenderListenerNames(const char* szTitle, const EVec3& vPos) const;

  // The sphere of an entity that triggers test against, in world space.
  static ESphere GetTriggeringSphere(EEntity* pEntity);

  // Every trigger of a physics object's attached list moves with it.
  static void ParentMovedAll(ETriggerBase* pHead, EPhysics* pParent);
  // The owner of every trigger of the list is gone: each stays where it is,
  // unlinked. The caller empties its list head.
  static void OwnerDeletedAll(ETriggerBase* pHead);

  // Class-wide passes: dead listeners and entities dropped from every
  // trigger; the level unload's passes before the mesh purge (mesh triggers
  // go) and after it (every trigger goes and all handles go stale).
  static void StaticCleanupReferences();
  static void onUnloadLevel1();
  static void onUnloadLevel2();

protected:
  // Copy for a new mesh instance: the source's manager, nothing else.
  void Init(const ETriggerBase& source);
  // Puts this trigger at the front of the owner physics object's list.
  void AttachToOwner(EEntity* pOwner);
  // Re-files the trigger when it has a manager.
  void Refile();

  // Fields in the order of the record; the collision index is written only
  // by the manager.
  EEntity* m_pOwner;
  ETriggerBase* m_pNextOnOwner;
  uint16_t m_iCollisionIndex;
  uint16_t m_bSleeping;
  EArray<EScriptObject*> m_aListeners;
  ETriggerType m_eType;
  unsigned int m_hHandle;
  ECollisionManager* m_pCM;

private:
  friend class ECollisionManager;
};

// A trigger that keeps the entities inside it and tells its listeners of
// each entry and exit.
class ETriggerWithContents : public ETriggerBase {
public:
  static const char* const sm_szEnterMessage;
  static const char* const sm_szExitMessage;

  ETriggerWithContents();
  ~ETriggerWithContents() override;

  // A new listener hears of every entity already inside.
  bool RegisterListener(EScriptObject* pScript) override;
  void CleanupReferences() override;
  void ProcessRemoval(EEntity* pEntity) override;
  // Every entity inside leaves.
  void Reset() override;
  // Recomputes the contents where the trigger is filed: all exits, then all enters.
  void NotifyMoved(const EBox3& box) override;
  // Null unless the shape has a name.
  virtual const char* GetName() const { return nullptr; }

  bool HasInContents(EEntity* pEntity) const;
  int GetNumContents() const { return m_aContents.Num(); }
  EEntity* GetContents(int i) const { return m_aContents[i]; }
  // Entry and exit with an optional point; nothing when nothing changes.
  void AddEntity(EEntity* pEntity, EVec3* pPoint);
  void RemoveEntity(EEntity* pEntity, EVec3* pPoint);
  void BroadcastEnterExit(const char* szMessage, EEntity* pEntity, EVec3* pPoint) const;
  void SendOneEnterExit(EScriptObject* pListener, const char* szMessage, EEntity* pEntity) const;

private:
  EArray<EEntity*> m_aContents;
};
