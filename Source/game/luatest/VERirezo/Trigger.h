// Trigger volumes: the abstract volume the collision manager files in its
// grid and presents moving entities to. The shapes and the listener and
// contents bookkeeping build on these operations.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Primitives.h"

class ECollisionManager;
class EEntity;
class EPhysics;
class ESweepHitQuery;

enum ETriggerType { kTRIGGER_None = 0, kTRIGGER_OBB = 1, kTRIGGER_SPHERE = 2, kTRIGGER_MESH = 4 };

class ETriggerBase {
public:
  enum : uint16_t { NULL_INDEX = 0xFFFF };

  ETriggerBase();
  // Born asleep, without a manager. The destructor leaves the manager's grid.
  virtual ~ETriggerBase();
  ETriggerBase(const ETriggerBase&) = delete;
  ETriggerBase& operator=(const ETriggerBase&) = delete;

  virtual bool Contains(EEntity* pEntity) const = 0;
  virtual void ParentMoved(EPhysics* pParent) = 0;
  virtual EBox3 GetCollisionBoundingBox() const = 0;
  // bAtRest: a teleport, or an entity presented where it stands.
  virtual void ProcessIntersection(const ESweepHitQuery& query, bool bAtRest) = 0;
  virtual void ProcessRemoval(EEntity* pEntity) = 0;
  virtual void Reset() {}
  // The manager re-filed the trigger into this box.
  virtual void NotifyMoved(const EBox3& box) { (void)box; }
  virtual void Describe(char* szBuf, int nSize) const;
  virtual void RequestRender() const = 0;

  ETriggerType GetType() const { return m_eType; }
  ECollisionManager* GetCollisionManager() const { return m_pCM; }
  bool IsSleeping() const { return m_bSleeping != 0; }
  // A sleeping trigger is filed in no grid; waking files it in its manager's.
  void SetSleeping(bool bSleeping);
  // Leaves the old manager's grid and, when awake, joins the new one's.
  void SetCollisionManager(ECollisionManager* pCM);
  // Index of the trigger's collidee record; NULL_INDEX while not filed.
  uint16_t GetCollisionIndex() const { return m_iCollisionIndex; }

  // The sphere of an entity that triggers test against, in world space.
  static ESphere GetTriggeringSphere(EEntity* pEntity);

protected:
  EEntity* m_pOwner;
  ETriggerBase* m_pNextOnOwner;
  ETriggerType m_eType;
  ECollisionManager* m_pCM;

private:
  friend class ECollisionManager;
  uint16_t m_iCollisionIndex;
  uint16_t m_bSleeping;
};
