// The trigger shapes: the oriented box (or plane) that a level's meshes
// carry, the sphere that scripts place or hang on an entity, and the closed
// mesh loaded by name whose collision geometry is the volume.
#pragma once

#include <cstdint>

#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "VERirezo/Trigger.h"

class EMesh;
class EStream;

// One named box or plane of a model, shared by the model's instances.
class EModelTriggerOBB {
public:
  enum { kFLAG_Plane = 0x01 };

  EModelTriggerOBB();
  ~EModelTriggerOBB();
  EModelTriggerOBB(const EModelTriggerOBB&) = delete;
  // Only into a record without a name.
  EModelTriggerOBB& operator=(const EModelTriggerOBB& other);

  void SetName(const char* szName);
  const char* GetName() const { return m_szName; }
  bool IsPlane() const { return (m_byFlags & kFLAG_Plane) != 0; }

  char* m_szName;
  EBox3 m_Box;
  EPlane m_Plane;
  uint8_t m_byFlags;
};

class ETriggerOBB : public ETriggerWithContents {
public:
  enum { kFLAG_PointCheck = 0x01, kFLAG_OwnsModelTrigger = 0x02 };

  // The creator points it at its model record before Init.
  ETriggerOBB();
  ~ETriggerOBB() override;

  // One trigger record of the scene file into the model record and this
  // instance; false when the stream fails.
  bool Init(EMesh* pMesh, EStream& s);
  // A copy of another instance for a new mesh instance.
  void Init(EMesh* pMesh, const ETriggerOBB& source);

  bool Contains(EEntity* pEntity) const override;
  void ParentMoved(EPhysics*) override {}
  EBox3 GetCollisionBoundingBox() const override;
  void ProcessIntersection(const ESweepHitQuery& query, bool bAtRest) override;
  void Describe(char* szBuf, int nSize) const override;
  void RequestRender() const override;
  const char* GetName() const override;

  void SetName(const char* szName);
  // The name of the mesh's owner entity, or of its domain; "None" without a mesh.
  const char* GetOwnerName() const;
  void SetPointCheck(bool bOn);
  bool GetPointCheck() const { return (m_byFlags & kFLAG_PointCheck) != 0; }
  bool IsPlane() const { return m_pModelTrigger && m_pModelTrigger->IsPlane(); }
  const EBox3& GetBox() const { return m_pModelTrigger->m_Box; }
  // Changes this instance's box alone and re-files it.
  void SetBox(const EBox3& box);
  // World to box frame, and back.
  EMat4 GetInvTrans() const;
  EMat4 GetTrans() const;
  EMesh* GetMesh() const { return m_pMesh; }
  EModelTriggerOBB* GetModelTrigger() const { return m_pModelTrigger; }
  void SetModelTrigger(EModelTriggerOBB* pModel) { m_pModelTrigger = pModel; }
  bool OwnsModelTrigger() const { return (m_byFlags & kFLAG_OwnsModelTrigger) != 0; }
  // Mesh-to-box-frame matrix.
  const EMat4& GetInvBoxTrans() const { return m_mInvBoxTrans; }
  // The mesh is going: the trigger no longer refers to it.
  void ForgetMesh() { m_pMesh = nullptr; }

  // "CrossedTriggerPlane" to every listener.
  void BroadcastCrossed(EEntity* pEntity, bool bFromBehind, const EVec3& vPoint) const;

private:
  void ProcessPlane(const ESweepHitQuery& query, bool bAtRest);

  EMesh* m_pMesh;
  EModelTriggerOBB* m_pModelTrigger;
  EMat4 m_mInvBoxTrans;
  uint8_t m_byFlags;
};

class ETriggerSphere : public ETriggerWithContents {
public:
  // Riding pOwner (centre relative to it) when given, else fixed in the
  // world; awake in the game's manager at once.
  ETriggerSphere(const ESphere& sphere, EEntity* pOwner);
  ~ETriggerSphere() override {}

  // The new trigger's handle.
  static unsigned int Create(const ESphere& sphere, EEntity* pOwner);
  static void Destroy(ETriggerSphere* pTrigger);

  bool Contains(EEntity* pEntity) const override;
  void ParentMoved(EPhysics* pParent) override;
  EBox3 GetCollisionBoundingBox() const override;
  void ProcessIntersection(const ESweepHitQuery& query, bool bAtRest) override;
  void Describe(char* szBuf, int nSize) const override;
  void RequestRender() const override;

  void SetSphere(const ESphere& sphere);
  const ESphere& AsSphere() const { return m_Sphere; }
  const EVec3& GetRelPosition() const { return m_vRelPosition; }
  float GetRadius() const { return m_Sphere.radius; }

private:
  void PlaceCentre();
  bool Holds(const ESphere& s) const;

  EVec3 m_vRelPosition;
  ESphere m_Sphere;
};

class ETriggerMesh : public ETriggerWithContents {
public:
  ETriggerMesh(const char* szMesh, const EMat4& mTrans);
  // Rides the owner entity.
  ETriggerMesh(const char* szMesh, EEntity* pOwner);
  ~ETriggerMesh() override;

  bool Contains(EEntity* pEntity) const override;
  void ParentMoved(EPhysics* pParent) override;
  EBox3 GetCollisionBoundingBox() const override;
  void ProcessIntersection(const ESweepHitQuery& query, bool bAtRest) override;
  void Describe(char* szBuf, int nSize) const override;
  void RequestRender() const override;

  void SetPosition(const EVec3& v);
  void SetRotation(const EMat4& m);
  EMesh* GetMesh() const { return m_pMesh; }
  bool IsValid() const { return m_pMesh != nullptr; }

private:
  void Init(const char* szMesh, const EMat4& mTrans);

  EMesh* m_pMesh;
};
